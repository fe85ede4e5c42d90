// What a click on one of the shell's children does (the children's table names the routine).

#include <windows.h>

#include "common/export_guard.h"
#include "shell/accessibility.h"
#include "shell/layout.h"
#include "shell/shell_context.h"
#include "shell/user_actions.h"
#include "tovrak/renderer.h"

namespace tovrak {

void PressPrimary(ShellContext& shell, HWND button) noexcept {
    if (shell.stateKind == ShellStateRunning) return;
    shell.pendingCommand = ShellCommandPrimaryAction;
    // Given back by the host through ShellState, so that a double click starts nothing twice.
    ::EnableWindow(button, FALSE);
}

void PressClose(ShellContext& shell, HWND) noexcept {
    if (shell.stateKind != ShellStateRunning) shell.pendingCommand = ShellCommandClose;
}

void ToggleOptions(ShellContext& shell, HWND button) noexcept {
    // Only a button the user can see opens the panel: in a hidden shell it is no button at all.
    if (!::IsWindowVisible(button)) return;
    shell.optionsExpanded = !shell.optionsExpanded;
    LayoutFromWindow(shell);
}

void ToggleAgreement(ShellContext& shell, HWND box) noexcept {
    shell.agreementAccepted = !shell.agreementAccepted;
    LayoutFromWindow(shell);
    ::InvalidateRect(box, nullptr, FALSE);
}

void ToggleShortcut(ShellContext& shell, HWND box) noexcept {
    shell.createShortcut = !shell.createShortcut;
    ::InvalidateRect(box, nullptr, FALSE);
    AnnounceShellChanges(shell);
}

void CopyDiagnostics(ShellContext& shell, HWND) noexcept {
    CopyDiagnosticsToClipboard(shell);
}

void BrowseForDirectory(ShellContext& shell, HWND) noexcept {
    // Runs a modal loop on the host's thread; the record is written only after it returns.
    GuardExportVoid([&shell] { BrowseForInstallDirectory(shell); });
}

}  // namespace tovrak
