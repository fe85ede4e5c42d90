// The subclass procedure of the shell's ten owner-drawn buttons. A button paints nothing itself: its
// face is part of the shell's single back buffer, so every change of focus or pressed state is
// repainted through the shell window's painter.

#include <windows.h>

#include "common/comctl32_functions.h"
#include "common/dwmapi_functions.h"
#include "shell/accessibility.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"

namespace tovrak {
namespace {

// Enter is claimed so that the dialog manager gives it to the focused button instead of pressing the
// default one.
constexpr LRESULT kClaimReturnKey = DLGC_BUTTON | DLGC_WANTALLKEYS;
constexpr LPARAM kKeyWasDown = LPARAM{1} << 30;
constexpr WPARAM kButtonTypeBits = 0xF;
constexpr UINT_PTR kButtonSubclassId = 1;

void RepaintButtonArea(const ShellContext& shell, HWND button) noexcept {
    const HWND parent = ::GetParent(button);
    if (!parent) return;
    RECT area{};
    ::GetWindowRect(button, &area);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    if (shell.buttonRepaintsDeferred) {
        ::RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_NOERASE);
        return;
    }
    ::RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
    // The press shows on the next composed frame, not whenever the compositor gets to it.
    dwmapi::DwmFlush();
}

LRESULT ButtonMessage(ShellContext& shell, HWND button, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            ::BeginPaint(button, &paint);
            ::EndPaint(button, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_NCPAINT:
        case WM_PRINTCLIENT:
            return 0;
        case WM_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, ::IsWindowEnabled(button) ? IDC_HAND : IDC_ARROW));
            return 1;
        case BM_SETSTYLE:
            // The dialog manager's default-button styling must never make the button system-drawn.
            return comctl32::DefSubclassProc(button, message, (wParam & ~kButtonTypeBits) | BS_OWNERDRAW,
                                             lParam);
        case WM_GETDLGCODE: {
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            if (key && key->wParam == VK_RETURN) return kClaimReturnKey;
            break;
        }
        case WM_KEYDOWN:
            if (wParam != VK_RETURN) break;
            if (!(lParam & kKeyWasDown)) ::SendMessageW(button, BM_CLICK, 0, 0);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case BM_SETSTATE:
        case WM_KEYUP:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED: {
            const LRESULT result = comctl32::DefSubclassProc(button, message, wParam, lParam);
            RepaintButtonArea(shell, button);
            return result;
        }
        case WM_NCDESTROY:
            comctl32::RemoveWindowSubclass(button, ShellButtonSubclassProc, kButtonSubclassId);
            break;
        default:
            break;
    }
    return comctl32::DefSubclassProc(button, message, wParam, lParam);
}

}  // namespace

UINT_PTR ShellButtonSubclassId() noexcept {
    return kButtonSubclassId;
}

LRESULT CALLBACK ShellButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR referenceData) {
    auto* shell = reinterpret_cast<ShellContext*>(referenceData);
    if (!shell) return comctl32::DefSubclassProc(button, message, wParam, lParam);
    // The button's accessible object is served from here, ahead of the painting side, rather than by
    // a second subclass: every message a button gets would otherwise pay a second subclass hop.
    return AccessibleWindowMessage(*shell, button, message, wParam, lParam, ButtonMessage);
}

}  // namespace tovrak
