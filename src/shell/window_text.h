#pragma once
// Reading the texts of the shell's own windows without a message.
//
// Buttons, static labels, the progress bar and the shell window keep their text in the window
// record, where InternalGetWindowText reads it directly. GetWindowTextW instead sends WM_GETTEXT
// (and WM_GETTEXTLENGTH) through every subclass of the control, and under Wine each subclass hop is a
// round trip to the window server: the layout, the painter and the accessibility announcements
// compare texts many times a frame. An edit control keeps its text in a buffer of its own and has to
// be asked with a message.

#include <windows.h>

#include <string>
#include <string_view>

namespace tovrak {

// The text stored in the window record; empty for no window.
std::wstring StoredWindowText(HWND window);
// Whether the stored text is exactly `text`.
bool StoredWindowTextEquals(HWND window, std::wstring_view text);

}  // namespace tovrak
