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

LRESULT HitTest(const ShellContext& shell, HWND window, LPARAM lParam) noexcept {
    if (shell.mode == ShellModeUpdate) return HTCLIENT;
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(window, &point);
    if (point.y < Scale(kDragBandHeight, shell.dpi) && point.x < Scale(kDragBandRight, shell.dpi))
        return HTCAPTION;
    return HTCLIENT;
}

// A click reaches the row of the control that sent it. Every click the host or the user makes acts,
// also on a control the screen hides (a host may tick a box it does not show); what protects
// something refuses at its own place: the accessible default action refuses a hidden or disabled
// control, and while the shell window is disabled (the folder browser's modal loop runs) nothing
// acts, so that no second browser opens over the first.
void OnCommand(ShellContext& shell, WPARAM wParam, HWND control) noexcept {
    if (shell.mode == ShellModeUpdate || !::IsWindowEnabled(shell.window)) return;
    const ShellChild* child = FindShellChild(LOWORD(wParam));
    if (!child || !control || shell.*child->window != control) return;
    if (child->click.routine) child->click.routine(shell, control);
    if (child->click.command) shell.pendingCommand = child->click.command;
}

LRESULT ControlColours(const ShellContext& shell, HDC dc, HWND control) noexcept {
    const ShellChild* child = FindShellChild(shell, control);
    if (child && child->kind == ShellChildKind::Edit) {
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
    ComposeBackdrop(shell);
    LayoutFromWindow(shell);
    ::InvalidateRect(window, nullptr, FALSE);
}

LRESULT DefaultShellMessage(ShellContext&, HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ShellContext* shell = g_shell.get();
    if (!shell) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            if (const HDC dc = ::BeginPaint(window, &paint)) {
                PaintShell(*shell, dc, &paint.rcPaint);
                ::EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintShell(*shell, reinterpret_cast<HDC>(wParam), nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the painter covers everything
        case WM_DRAWITEM:
            if (!lParam) return FALSE;
            return PaintShellItem(*shell, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_NCHITTEST:
            return HitTest(*shell, window, lParam);
        case WM_CLOSE:
            // Closing is the host's decision: it gets the command and the window stays.
            if (shell->mode != ShellModeUpdate && shell->stateKind != ShellStateRunning)
                shell->pendingCommand = ShellCommandClose;
            return 0;
        case WM_COMMAND:
            OnCommand(*shell, wParam, reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_TIMER:
            if (wParam == kSurfaceTimerId && shell->mode == ShellModeUpdate) {
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
    return AccessibleWindowMessage(*shell, window, message, wParam, lParam, DefaultShellMessage);
}

}  // namespace tovrak
