// The window procedure of the shell window.
// User actions that matter to the installation are left as a pending command for ShellPoll; the
// window never acts on them itself.

#include <windows.h>
#include <windowsx.h>

#include "common/export_guard.h"
#include "common/scaling.h"
#include "shell/accessibility.h"
#include "shell/layout.h"
#include "shell/painter.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"
#include "shell/update_surface.h"
#include "shell/user_actions.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

// The top band of the window drags it, except at its right end where the close button sits.
constexpr int kDragBandHeight = 120;
constexpr int kDragBandRight = 650;

bool IsShellChild(const ShellContext& shell, HWND control) noexcept {
    return control && ::GetParent(control) == shell.window;
}

// Layout runs inside a window procedure: nothing may be thrown back through the dispatcher.
void LayoutFromWindow() noexcept {
    GuardExportVoid([] { LayoutShell(); });
}

LRESULT HitTest(const ShellContext& shell, HWND window, LPARAM lParam) noexcept {
    if (shell.updateMode) return HTCLIENT;
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(window, &point);
    if (point.y < Scale(kDragBandHeight, shell.dpi) && point.x < Scale(kDragBandRight, shell.dpi))
        return HTCAPTION;
    return HTCLIENT;
}

// A click can arrive after its control stopped taking clicks: a screen reader's default action is
// posted and lands after the host has moved to another screen, and the folder browser's modal loop
// disables the shell but still dispatches what was posted before it opened.
bool TakesClicks(const ShellContext& shell, HWND control) noexcept {
    // The control's own style, not IsWindowVisible: a host may act on a shell it has not shown yet.
    const bool shown = (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    return shown && ::IsWindowEnabled(control) && ::IsWindowEnabled(shell.window);
}

void OnCommand(ShellContext& shell, HWND control) noexcept {
    if (shell.updateMode || !control || !TakesClicks(shell, control)) return;
    if (control == shell.primaryButton) {
        if (shell.stateKind != ShellStateRunning) {
            shell.pendingCommand = ShellCommandPrimaryAction;
            // Given back by the host through ShellState, so that a double click starts nothing twice.
            ::EnableWindow(control, FALSE);
        }
    } else if (control == shell.closeButton) {
        if (shell.stateKind != ShellStateRunning) shell.pendingCommand = ShellCommandClose;
    } else if (control == shell.optionsButton) {
        // Only a button the user can see opens the panel: in a hidden shell it is no button at all.
        if (::IsWindowVisible(control)) {
            shell.optionsExpanded = !shell.optionsExpanded;
            LayoutFromWindow();
        }
    } else if (control == shell.agreementCheckbox) {
        shell.agreementAccepted = !shell.agreementAccepted;
        LayoutFromWindow();
        ::InvalidateRect(control, nullptr, FALSE);
    } else if (control == shell.shortcutCheckbox) {
        shell.createShortcut = !shell.createShortcut;
        ::InvalidateRect(control, nullptr, FALSE);
        AnnounceShellChanges(shell);
    } else if (control == shell.userAgreementLink) {
        shell.pendingCommand = ShellCommandOpenUserAgreement;
    } else if (control == shell.privacyPolicyLink) {
        shell.pendingCommand = ShellCommandOpenPrivacyPolicy;
    } else if (control == shell.openLogButton) {
        shell.pendingCommand = ShellCommandOpenLogDirectory;
    } else if (control == shell.copyDiagnosticsButton) {
        CopyDiagnosticsToClipboard();
    } else if (control == shell.browseButton) {
        // Runs a modal loop on the host's thread; the record is written only after it returns.
        GuardExportVoid([&shell] { BrowseForInstallDirectory(shell); });
    }
}

LRESULT ControlColours(const ShellContext& shell, HDC dc, HWND control) noexcept {
    if (control == shell.pathEdit) {
        ::SetTextColor(dc, kPathTextColour);
        ::SetBkColor(dc, kPathFieldColour);
        return reinterpret_cast<LRESULT>(shell.pathFieldBrush.get());
    }
    ::SetTextColor(dc, kMutedTextColour);
    ::SetBkColor(dc, kBackgroundColour);
    return reinterpret_cast<LRESULT>(shell.backgroundBrush.get());
}

void OnDpiChanged(ShellContext& shell, HWND window, WPARAM wParam, const RECT* suggested) noexcept {
    shell.dpi = HIWORD(wParam);
    // Only the suggested position is used: the size follows the logical size at the new DPI.
    if (suggested) {
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top, Scale(shell.logicalWidth, shell.dpi),
                       Scale(shell.logicalHeight, shell.dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    CreateShellFonts(shell);
    ApplyBodyFont(shell, true);
    // Forces a new diagnostics measurement and a new scrolling region at the new DPI.
    shell.diagnosticsDpi = 0;
    shell.scrollRange = -1;
    ComposeBackdrop();
    LayoutFromWindow();
    ::InvalidateRect(window, nullptr, FALSE);
}

LRESULT DefaultShellMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ShellContext* shell = g_shell;
    if (!shell) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            if (const HDC dc = ::BeginPaint(window, &paint)) {
                PaintShell(dc, &paint.rcPaint);
                ::EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintShell(reinterpret_cast<HDC>(wParam), nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the painter covers everything
        case WM_DRAWITEM:
            if (!lParam) return FALSE;
            return PaintShellItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_NCHITTEST:
            return HitTest(*shell, window, lParam);
        case WM_CLOSE:
            // Closing is the host's decision: it gets the command and the window stays.
            if (!shell->updateMode && shell->stateKind != ShellStateRunning)
                shell->pendingCommand = ShellCommandClose;
            return 0;
        case WM_COMMAND:
            OnCommand(*shell, reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_TIMER:
            if (wParam == kSurfaceTimerId && shell->updateMode) {
                AnimateUpdateSurface(*shell);
                return 0;
            }
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (!IsShellChild(*shell, reinterpret_cast<HWND>(lParam))) break;
            return ControlColours(*shell, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_WINDOWPOSCHANGED: {
            const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
            const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (position && !(position->flags & SWP_NOSIZE) && ::IsWindowVisible(window)) {
                ::RedrawWindow(window, nullptr, nullptr,
                               RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
            }
            return result;
        }
        case WM_DPICHANGED:
            OnDpiChanged(*shell, window, wParam, reinterpret_cast<const RECT*>(lParam));
            return 0;
        default:
            break;
    }
    return AccessibleWindowMessage(window, message, wParam, lParam, DefaultShellMessage);
}

}  // namespace tovrak
