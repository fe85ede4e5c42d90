#pragma once
// Small pieces shared by the shell's painters.

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "common/colours.h"
#include "common/gdiplus.h"
#include "common/scaling.h"
#include "shell/painter.h"

namespace tovrak {

// The face and panel fills are drawn with GDI+ and, where GDI+ may fail, with GDI beforehand: one
// colour, written once, in both forms.
constexpr COLORREF kFaceFallback = RGB(30, 32, 38);
constexpr COLORREF kPanelFallback = RGB(33, 35, 40);
constexpr Argb kFaceColour = ArgbFromColorref(kFaceFallback);
constexpr Argb kPanelColour = ArgbFromColorref(kPanelFallback);

// A child's window rectangle in the shell window's client coordinates.
inline RECT ClientPlacement(HWND window, HWND control) noexcept {
    RECT placement{};
    ::GetWindowRect(control, &placement);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placement), 2);
    return placement;
}

// Keeps the status of the last failed drawing call; painting goes on without the failed element.
inline void Record(GraphicsTarget& target, GpStatus status) noexcept {
    if (status != Gdiplus::Ok) target.status = status;
}

// A rectangle written as corners (left, top)-(right, bottom) in 96-DPI units, each scaled by itself.
inline RECT ScaledCorners(int left, int top, int right, int bottom, UINT dpi) noexcept {
    return RECT{Scale(left, dpi), Scale(top, dpi), Scale(right, dpi), Scale(bottom, dpi)};
}

// A GDI+ graphics object on a device context, deleted with the guard.
class DcGraphics {
  public:
    explicit DcGraphics(HDC dc) noexcept {
        if (gp::GdipCreateFromHDC(dc, graphics_.put()) != Gdiplus::Ok) graphics_.reset();
        target_.graphics = graphics_.get();
    }
    explicit operator bool() const noexcept { return static_cast<bool>(graphics_); }
    GraphicsTarget& target() noexcept { return target_; }
    Gdiplus::GpGraphics* get() const noexcept { return graphics_.get(); }
    // Lets GDI draw on the same DC after GDI+ without either overwriting the other.
    void Flush() noexcept {
        if (graphics_) gp::GdipFlush(graphics_.get(), Gdiplus::FlushIntentionSync);
    }

  private:
    UniqueGpGraphics graphics_;
    GraphicsTarget target_;
};

// Restores the graphics state saved when it was made, so a clip never outlives its drawing.
class SavedGraphicsState {
  public:
    explicit SavedGraphicsState(GraphicsTarget& target) noexcept : target_(target) {
        Record(target_, gp::GdipSaveGraphics(target_.graphics, &state_));
    }
    SavedGraphicsState(const SavedGraphicsState&) = delete;
    SavedGraphicsState& operator=(const SavedGraphicsState&) = delete;
    ~SavedGraphicsState() { Record(target_, gp::GdipRestoreGraphics(target_.graphics, state_)); }

  private:
    GraphicsTarget& target_;
    Gdiplus::GraphicsState state_ = 0;
};

// Fills a rectangle of pixels with an opaque ARGB colour.
inline void FillSolid(GraphicsTarget& target, Argb colour, int x, int y, int width, int height) noexcept {
    UniqueGpBrush brush;
    GpStatus status = gp::GdipCreateSolidFill(colour, reinterpret_cast<Gdiplus::GpSolidFill**>(brush.put()));
    if (status == Gdiplus::Ok)
        status = gp::GdipFillRectangleI(target.graphics, brush.get(), x, y, width, height);
    Record(target, status);
}

// Draws a whole image scaled into a rectangle of pixels; an absent image draws nothing.
inline void DrawImageInto(GraphicsTarget& target, Gdiplus::GpImage* image, int x, int y, int width,
                          int height) noexcept {
    Record(target, gp::GdipDrawImageRectI(target.graphics, image, x, y, width, height));
}

// Draws the part (sourceX, sourceY, width, height) of the backdrop 1:1 at (x, y). The backdrop is
// composed over an opaque fill, so an opaque copy of the part shows exactly its pixels; GDI+ copies
// an opaque bitmap many times faster than it blends a part of a large premultiplied one (under Wine
// a button-sized slice of the whole backdrop costs milliseconds, its opaque copy microseconds).
// The part is cut to the backdrop's bounds: outside them there is nothing to draw.
inline void DrawBackdropPart(GraphicsTarget& target, Gdiplus::GpImage* backdrop, int x, int y, int sourceX,
                             int sourceY, int width, int height) noexcept {
    UINT backdropWidth = 0;
    UINT backdropHeight = 0;
    GpStatus status = gp::GdipGetImageWidth(backdrop, &backdropWidth);
    if (status == Gdiplus::Ok) status = gp::GdipGetImageHeight(backdrop, &backdropHeight);
    if (status != Gdiplus::Ok) return Record(target, status);
    const int left = std::max(sourceX, 0);
    const int top = std::max(sourceY, 0);
    const int right = std::min(sourceX + width, static_cast<int>(backdropWidth));
    const int bottom = std::min(sourceY + height, static_cast<int>(backdropHeight));
    if (right <= left || bottom <= top) return;
    UniqueGpImage part;
    status = gp::GdipCloneBitmapAreaI(left, top, right - left, bottom - top, PixelFormat32bppRGB,
                                      static_cast<Gdiplus::GpBitmap*>(backdrop),
                                      reinterpret_cast<Gdiplus::GpBitmap**>(part.put()));
    if (status != Gdiplus::Ok) return Record(target, status);
    Record(target,
           gp::GdipDrawImageRectRectI(target.graphics, part.get(), x + left - sourceX, y + top - sourceY,
                                      right - left, bottom - top, 0, 0, right - left, bottom - top,
                                      Gdiplus::UnitPixel, nullptr, nullptr, nullptr));
}

// Copies the part (sourceX, sourceY, width, height) of the backdrop 1:1 to (x, y) of `dc` with BitBlt
// from `backdropDc`, the memory DC that holds the DIB section under the backdrop bitmap. The backdrop
// is opaque, so these are the pixels DrawBackdropPart gives, without GDI+ converting the part first
// (under Wine, milliseconds for the whole face). False when there is no such DC or the part is not
// wholly inside the backdrop; the caller then draws it with DrawBackdropPart.
inline bool CopyBackdropPart(HDC dc, HDC backdropDc, int x, int y, int sourceX, int sourceY, int width,
                             int height) noexcept {
    BITMAP size{};
    if (!backdropDc ||
        ::GetObjectW(::GetCurrentObject(backdropDc, OBJ_BITMAP), sizeof(size), &size) != sizeof(size))
        return false;
    if (sourceX < 0 || sourceY < 0 || width <= 0 || height <= 0 || sourceX + width > size.bmWidth ||
        sourceY + height > size.bmHeight)
        return false;
    return ::BitBlt(dc, x, y, width, height, backdropDc, sourceX, sourceY, SRCCOPY) != FALSE;
}

// Draws `text` with GDI, transparent background.
inline void DrawShellText(HDC dc, std::wstring_view text, HFONT font, COLORREF colour, RECT rect,
                          UINT format) noexcept {
    SelectGuard selectFont(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, format);
}

}  // namespace tovrak
