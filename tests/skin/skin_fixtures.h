#pragma once
// Windows, images and probes shared by the skinning tests.

#include <windows.h>

#include <cstdint>
#include <string>

#include "support/pixels.h"

namespace tovrak::test {

// A visible top-level popup with a plain white client area, destroyed with the fixture.
class HostWindow {
  public:
    HostWindow(int x, int y, int width, int height, DWORD exStyle = 0);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND get() const { return window_; }
    // A visible child of the given class; owned by the host.
    HWND AddChild(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                  int height);

  private:
    HWND window_ = nullptr;
};

// Writes a PNG of width × height filled with `fill` (0x00BBGGRR); with `quadrants` the four quarters
// get the colours top-left, top-right, bottom-left, bottom-right instead.
bool WritePng(const std::wstring& path, int width, int height, COLORREF fill);
bool WriteQuadrantPng(const std::wstring& path, int width, int height, const COLORREF (&quadrants)[4]);

// Counts the WM_PAINT messages a window receives from now on.
class PaintCounter {
  public:
    explicit PaintCounter(HWND window);
    ~PaintCounter();
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    int count() const { return count_; }

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND window_;
    int count_ = 0;
};

// The number of pixels of `capture` inside (left, top, right, bottom) that are within `tolerance` of
// `colour`.
int CountPixels(const WindowCapture& capture, RECT area, COLORREF colour, int tolerance = 2);

// Paints every pending update of the thread's windows and gives the system a moment to show them.
void Settle(DWORD milliseconds = 60);

}  // namespace tovrak::test
