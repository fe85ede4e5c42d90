#pragma once
// Reads what a window shows: BitBlt from the window's DC into a 32-bit top-down DIB section. Under
// Wine this gives the composed pixels including children (PrintWindow leaves children out).

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace tovrak::test {

struct Rgb {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);

Rgb FromColorref(COLORREF colour);

class WindowCapture {
  public:
    // Captures the client area of `window`.
    explicit WindowCapture(HWND window);
    int width() const { return width_; }
    int height() const { return height_; }
    bool valid() const { return width_ > 0 && height_ > 0; }
    Rgb At(int x, int y) const;
    // Saves the capture as a 24-bit BMP (for looking at a failure).
    bool SaveBmp(const wchar_t* path) const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// True when every channel is within `tolerance` (Wine's GDI+ is not exact: allow 2 by default).
bool Near(const Rgb& actual, const Rgb& expected, int tolerance = 2);

// Dispatches the thread's messages for about `milliseconds`.
void PumpMessages(DWORD milliseconds);

}  // namespace tovrak::test
