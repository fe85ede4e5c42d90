#include "common/bitmap_pixels.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tovrak {
namespace {

constexpr std::uint32_t kOpaqueAlpha = 0xFF000000u;

// The pixels of a whole bitmap, locked for the life of the object.
class LockedPixels {
  public:
    LockedPixels(Gdiplus::GpBitmap* bitmap, int width, int height, UINT mode,
                 Gdiplus::PixelFormat format) noexcept
        : bitmap_(bitmap) {
        const Gdiplus::Rect whole(0, 0, width, height);
        locked_ = bitmap && gp::GdipBitmapLockBits(bitmap, &whole, mode, format, &data_) == Gdiplus::Ok;
    }
    ~LockedPixels() {
        if (locked_) gp::GdipBitmapUnlockBits(bitmap_, &data_);
    }
    LockedPixels(const LockedPixels&) = delete;
    LockedPixels& operator=(const LockedPixels&) = delete;

    explicit operator bool() const noexcept { return locked_; }
    // The stride may be negative (a bottom-up bitmap), so rows are found one by one.
    std::uint32_t* Row(int y) const noexcept {
        return reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(data_.Scan0) +
                                                static_cast<std::ptrdiff_t>(y) * data_.Stride);
    }

  private:
    Gdiplus::GpBitmap* bitmap_;
    Gdiplus::BitmapData data_{};
    bool locked_ = false;
};

bool SizeIs(Gdiplus::GpBitmap* image, int width, int height) noexcept {
    UINT imageWidth = 0;
    UINT imageHeight = 0;
    return gp::GdipGetImageWidth(image, &imageWidth) == Gdiplus::Ok &&
           gp::GdipGetImageHeight(image, &imageHeight) == Gdiplus::Ok &&
           imageWidth == static_cast<UINT>(width) && imageHeight == static_cast<UINT>(height);
}

bool IsOpaque(const LockedPixels& pixels, int width, int height) noexcept {
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels.Row(y);
        const bool rowOpaque = std::all_of(
            row, row + width, [](std::uint32_t pixel) { return (pixel & kOpaqueAlpha) == kOpaqueAlpha; });
        if (!rowOpaque) return false;
    }
    return true;
}

}  // namespace

DibBackedBitmap CreateDibBackedBitmap(int width, int height) noexcept {
    if (width <= 0 || height <= 0) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as GDI+ lays out its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    DibBackedBitmap result;
    result.section.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!result.section || !bits) return {};
    // The DC keeps the section selected until it is deleted, which releases it again.
    result.dc.reset(::CreateCompatibleDC(nullptr));
    if (!result.dc || !::SelectObject(result.dc.get(), result.section.get())) return {};
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, width * static_cast<int>(sizeof(std::uint32_t)),
                                      PixelFormat32bppPARGB, static_cast<BYTE*>(bits),
                                      &bitmap) != Gdiplus::Ok) {
        if (bitmap) gp::GdipDisposeImage(bitmap);
        return {};
    }
    result.bitmap.reset(bitmap);
    return result;
}

bool FillBitmap(Gdiplus::GpBitmap* bitmap, int width, int height, Gdiplus::ARGB colour) noexcept {
    if ((colour & kOpaqueAlpha) != kOpaqueAlpha || width <= 0 || height <= 0) return false;
    const LockedPixels pixels(bitmap, width, height, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB);
    if (!pixels) return false;
    for (int y = 0; y < height; ++y)
        std::fill_n(pixels.Row(y), width, colour);
    return true;
}

bool CopyOpaqueBitmap(Gdiplus::GpBitmap* target, Gdiplus::GpBitmap* source, int width, int height) noexcept {
    if (!source || width <= 0 || height <= 0 || !SizeIs(source, width, height)) return false;
    // Opaque pixels read the same straight and premultiplied, so the two formats agree on them.
    const LockedPixels from(source, width, height, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB);
    if (!from || !IsOpaque(from, width, height)) return false;
    const LockedPixels to(target, width, height, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB);
    if (!to) return false;
    for (int y = 0; y < height; ++y)
        std::memcpy(to.Row(y), from.Row(y), static_cast<size_t>(width) * sizeof(std::uint32_t));
    return true;
}

}  // namespace tovrak
