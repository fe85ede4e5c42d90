#pragma once
// Construction of the shell window: its classes, placement, fonts, pictures, child controls and the
// procedures that serve them. Everything here runs on the thread that called ShellOpen.

#include <windows.h>

#include <string_view>

#include "common/gdiplus.h"
#include "common/wide_string.h"
#include "shell/face_geometry.h"
#include "shell/shell_context.h"

namespace tovrak {

inline constexpr wchar_t kShellClassName[] = L"TovrakSetupShell";
inline constexpr wchar_t kTransitionClassName[] = L"TovrakSetupTransition";

// Colours of the window (COLORREF).
constexpr COLORREF kBackgroundColour = 0x282321;
constexpr COLORREF kPathFieldColour = 0x221C1A;
constexpr COLORREF kPathTextColour = 0xD9D7D5;
constexpr COLORREF kMutedTextColour = 0xA29F9B;

// The library's module handle: the instance of every class and window of the shell.
extern HMODULE g_shellModule;

// Where the window goes and how big it is, in pixels.
struct ShellPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The top-left corner that centres a width × height window in `workArea`. A work area smaller than
// the window keeps the window at its left and top edges.
POINT CentreInWorkArea(const RECT& workArea, int width, int height) noexcept;

void RegisterShellClasses(const ShellContext& shell) noexcept;
// Update mode: switches the thread to per-monitor awareness and records the way back in the record.
void EnterPerMonitorDpi(ShellContext& shell) noexcept;
// Gives the thread its awareness back when it was overridden.
void LeavePerMonitorDpi(ShellContext& shell) noexcept;
// The DPI of the monitor at `point`, found through a throw-away window created there.
UINT ProbeWindowDpi(POINT point, UINT fallback) noexcept;
// Sets `dpi`, `logicalWidth`, `logicalHeight` and, in update mode, `shownTick`; returns the window's
// rectangle. `surfaceDirectory` and `surfaceSize` are the update surface's pending size sources.
ShellPlacement PlaceShellWindow(ShellContext& shell, const WideString& surfaceDirectory,
                                const WideString& surfaceSize) noexcept;
// The three fonts at the record's `dpi` and `fontFace`.
void CreateShellFonts(ShellContext& shell) noexcept;
// A picture from the asset directory; empty when it does not load.
UniqueGpImage LoadShellImage(std::wstring_view assetDirectory, std::wstring_view fileName) noexcept;
// Loads the ten pictures; false when one of the three required ones is missing.
bool LoadShellImages(ShellContext& shell, std::wstring_view assetDirectory) noexcept;
HWND CreateShellButton(ShellContext& shell, const wchar_t* caption, int controlId) noexcept;
// The children of kShellChildren (shell_children.h), in its order, with their fonts.
void CreateShellChildren(ShellContext& shell);
// Gives the children that show text the body font; `redraw` repaints them with it at once.
void ApplyBodyFont(const ShellContext& shell, bool redraw) noexcept;

LRESULT CALLBACK TransitionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ShellButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR referenceData);
// The id under which CreateShellButton installs ShellButtonSubclassProc.
UINT_PTR ShellButtonSubclassId() noexcept;

}  // namespace tovrak
