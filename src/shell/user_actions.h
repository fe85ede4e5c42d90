#pragma once
// What the shell does when the user clicks one of its children. Actions that matter to the
// installation are left as a pending command for ShellPoll; the window never acts on them itself.
// Everything else (a ticked box, an opened panel, a chosen directory, copied diagnostics) the shell
// does at once.

#include <windows.h>

#include <cstdint>

#include "common/wide_string.h"

namespace tovrak {

struct ShellContext;

// A click's effect: a routine that acts on the record, or a command left for ShellPoll.
struct ShellClick {
    void (*routine)(ShellContext& shell, HWND control) noexcept = nullptr;
    std::int32_t command = 0;
};

// The primary action, once: the button stays disabled until the host's next ShellState.
void PressPrimary(ShellContext& shell, HWND button) noexcept;
void PressClose(ShellContext& shell, HWND button) noexcept;
// Opens or closes the options panel (on the failure screen, the diagnostics).
void ToggleOptions(ShellContext& shell, HWND button) noexcept;
void ToggleAgreement(ShellContext& shell, HWND box) noexcept;
void ToggleShortcut(ShellContext& shell, HWND box) noexcept;
void CopyDiagnostics(ShellContext& shell, HWND button) noexcept;
void BrowseForDirectory(ShellContext& shell, HWND button) noexcept;

// The folder the browser opens on: the nearest existing directory at or above `path`, or `path`
// itself when the walk reaches a missing drive or share root or runs out of separators.
WideString FindBrowseStartFolder(WideString path);

// Shows the folder browser over the shell window; a chosen folder becomes the install directory, the
// path field's text and command 6. Cancelling changes nothing.
void BrowseForInstallDirectory(ShellContext& shell);

// Puts the shell's diagnostics text on the clipboard as Unicode text. Failures are silent.
void CopyDiagnosticsToClipboard(const ShellContext& shell) noexcept;

}  // namespace tovrak
