#pragma once
// Access to the shell for assistive technology and the keyboard: an accessible object for the window
// and every interactive child, WinEvents when what they report changes, and a reading and tab order that
// follow the face from top to bottom and left to right.

#include <windows.h>

namespace tovrak {

struct ShellContext;

// Called once the children exist. Gives the window and each interactive child its accessible object
// and the Tab key; both stay until the window is destroyed.
void AttachShellAccessibility(ShellContext& shell) noexcept;

// A screen reader's default action, posted to the control so that the client's call returns first (the
// click may open the folder browser's modal loop). The control clicks itself on arrival only if it
// still takes clicks then: the host may have moved to another screen in between.
constexpr UINT kAccessibleClickMessage = WM_APP + 0x154;

// What processes a message after the accessibility has had its share.
using NextWindowProcedure = LRESULT (*)(ShellContext& shell, HWND, UINT, WPARAM, LPARAM) noexcept;
// The accessibility's share of a message of the shell window or of one of its owner-drawn buttons,
// whose procedures are the library's own: they hand their messages here, with what follows, instead
// of carrying a subclass for it, so that no message they get pays for a second subclass hop.
LRESULT AccessibleWindowMessage(ShellContext& shell, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                NextWindowProcedure next) noexcept;

// The control that Tab (or Shift+Tab, `backwards`) moves the focus to from `from`: the next shown and
// enabled tab stop in reading order, wrapping around; from a control outside that order, the first
// (or last). Null when none takes the focus.
HWND NextTabStop(const ShellContext& shell, HWND from, bool backwards) noexcept;
// When the focus was lost with a control that was hidden or disabled, gives it to the shell window,
// where Tab finds the controls again. Nothing while another window is active.
void KeepFocusReachable(const ShellContext& shell) noexcept;
// Moves the focus there; false when no control takes it.
bool MoveFocusInReadingOrder(const ShellContext& shell, HWND from, bool backwards) noexcept;

// Raises a name, state, value or description change for the window and every shown child whose
// accessible facts differ from what was last announced, nothing when nothing changed; and keeps the
// focus where the keyboard can go on from.
void AnnounceShellChanges(const ShellContext& shell) noexcept;

}  // namespace tovrak
