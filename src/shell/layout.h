#pragma once
// Placement of the shell's children, the window's height and scrolling region, and the backdrop
// bitmap behind everything the painter draws. Geometry is given in 96-DPI units.

#include <windows.h>

#include <string_view>

namespace tovrak {

struct ShellContext;

// Brings every child into the position, visibility, enabled state and text that the mode, screen
// kind and panel call for, sizes the window, and repaints once.
void LayoutShell(ShellContext& shell);
// LayoutShell from inside a window procedure, where nothing may be thrown back through the dispatcher.
void LayoutFromWindow(ShellContext& shell) noexcept;
// Rebuilds the backdrop bitmap at the current size, DPI and mode.
void ComposeBackdrop(ShellContext& shell) noexcept;

// Moves a child to (x, y, width, height) in units, each scaled by itself, when it is not there.
void PlaceChild(const ShellContext& shell, HWND control, int x, int y, int width, int height) noexcept;
void SetVisible(HWND control, bool visible) noexcept;
// EnableWindow only when the control's enabled state differs.
void SetEnabled(HWND control, bool enabled) noexcept;
// Calls SetWindowTextW only when the text differs, so that unchanged texts cause no repaint. For
// windows that keep their text in the window record (see window_text.h): not for an edit control.
void SetTextIfChanged(HWND control, std::wstring_view text);
// The same for an edit control, which is asked for its text.
void SetFieldTextIfChanged(HWND edit, std::wstring_view text);
// Repaints the client area from `top` (units) downward, at once, when the window is visible.
void RedrawShell(const ShellContext& shell, int top) noexcept;

}  // namespace tovrak
