#pragma once
// Small GDI and GDI+ helpers of the skinning routines.

#include <windows.h>

#include "common/colours.h"
#include "common/gdiplus.h"
#include "common/unique_handle.h"
#include "common/wide_string.h"

namespace tovrak::skin {

// A width × height GDI+ bitmap of 32 bits per pixel without alpha; empty when it cannot be made.
inline UniqueGpImage CreateRgbBitmap(int width, int height) noexcept {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppRGB, nullptr, &bitmap) != Gdiplus::Ok)
        return {};
    return UniqueGpImage(bitmap);
}

inline UniqueGpGraphics GraphicsOnImage(const UniqueGpImage& image) noexcept {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (!image || gp::GdipGetImageGraphicsContext(image.get(), &graphics) != Gdiplus::Ok) return {};
    return UniqueGpGraphics(graphics);
}

inline UniqueGpGraphics GraphicsOnDc(HDC dc) noexcept {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gp::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok) return {};
    return UniqueGpGraphics(graphics);
}

inline UniqueGpImage LoadImageFile(const WideString& path) noexcept {
    Gdiplus::GpImage* image = nullptr;
    if (path.empty() || gp::GdipLoadImageFromFile(path.c_str(), &image) != Gdiplus::Ok) return {};
    return UniqueGpImage(image);
}

inline UniqueGpBrush CreateSolidFill(Argb colour) noexcept {
    Gdiplus::GpSolidFill* brush = nullptr;
    if (gp::GdipCreateSolidFill(colour, &brush) != Gdiplus::Ok) return {};
    return UniqueGpBrush(brush);
}

// The pixel size of a GDI+ image.
inline SIZE ImageSize(const UniqueGpImage& image) noexcept {
    UINT width = 0, height = 0;
    gp::GdipGetImageWidth(image.get(), &width);
    gp::GdipGetImageHeight(image.get(), &height);
    return {static_cast<LONG>(width), static_cast<LONG>(height)};
}

// Fills with a plain colour through the DC brush, so that no brush has to be created.
inline void FillWithColour(HDC dc, const RECT& rect, COLORREF colour) noexcept {
    const COLORREF previous = ::SetDCBrushColor(dc, colour);
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(dc, previous);
}

inline HFONT WindowFont(HWND window) noexcept {
    return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
}

// BeginPaint/EndPaint for the lifetime of the guard.
class PaintScope {
  public:
    explicit PaintScope(HWND window) noexcept : window_(window) { dc_ = ::BeginPaint(window, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    HDC dc() const noexcept { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

}  // namespace tovrak::skin
