#pragma once
// Opens the shell as a host would, on pictures whose colours a pixel test can tell apart: the sample
// assets, with the background and the path field replaced by flat colours of their own.

#include <windows.h>

#include <functional>
#include <string>

#include "support/environment.h"
#include "support/pixels.h"

namespace tovrak::test {

// What a control's click sends to the shell: its id and BN_CLICKED, matched on the handle.
void Command(HWND control);

constexpr Rgb kTestBackground{120, 60, 30};
constexpr Rgb kTestPathField{40, 160, 90};

// Writes a flat PNG of the given size and colour, opaque but for its first `clearColumns` columns,
// which are fully transparent.
bool WriteSolidPng(const std::wstring& path, int width, int height, Rgb colour, int clearColumns = 0);

class ShellFace {
  public:
    ShellFace();
    ~ShellFace();
    ShellFace(const ShellFace&) = delete;
    ShellFace& operator=(const ShellFace&) = delete;

    const std::wstring& assets() const { return assets_.path(); }
    // Replaces one of the pictures with a flat, opaque square of `colour`; before Open.
    bool ReplacePicture(const wchar_t* picture, Rgb colour, int size = 16);
    // ShellOpen on the test pictures, then ShellShow; null when either fails.
    HWND Open(unsigned mode, const wchar_t* displayName = L"Demo");
    // Lets the window repaint, then captures its client area.
    WindowCapture Capture(DWORD pumpMilliseconds = 150);

  private:
    TempDirectory assets_;
    HWND window_ = nullptr;
};

// Pixels of `capture` inside the rectangle (pixels, right and bottom exclusive) that satisfy `test`.
int CountPixels(const WindowCapture& capture, RECT area, const std::function<bool(const Rgb&)>& test);
inline bool IsNearWhite(const Rgb& c) {
    return c.red >= 235 && c.green >= 235 && c.blue >= 235;
}
inline bool IsNearBlack(const Rgb& c) {
    return c.red <= 40 && c.green <= 40 && c.blue <= 40;
}

}  // namespace tovrak::test
