#pragma once
// The GDI+ flat API with owning wrappers for its objects. The library talks to GDI+ only through the
// flat functions, so every object is a plain pointer that one of these wrappers releases.

#include <windows.h>

#include "common/gdiplus_functions.h"
#include "common/unique_handle.h"

namespace tovrak {

namespace gp = gdiplus;
using Gdiplus::GpStatus;

template <typename T, auto& Dispose>
struct GdiplusTraits {
    using pointer = T*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer p) noexcept { Dispose(p); }
};

using UniqueGpImage = UniqueHandle<GdiplusTraits<Gdiplus::GpImage, gp::GdipDisposeImage>>;
using UniqueGpGraphics = UniqueHandle<GdiplusTraits<Gdiplus::GpGraphics, gp::GdipDeleteGraphics>>;
using UniqueGpPath = UniqueHandle<GdiplusTraits<Gdiplus::GpPath, gp::GdipDeletePath>>;
using UniqueGpBrush = UniqueHandle<GdiplusTraits<Gdiplus::GpBrush, gp::GdipDeleteBrush>>;
using UniqueGpPen = UniqueHandle<GdiplusTraits<Gdiplus::GpPen, gp::GdipDeletePen>>;
using UniqueGpRegion = UniqueHandle<GdiplusTraits<Gdiplus::GpRegion, gp::GdipDeleteRegion>>;
using UniqueGpImageAttributes =
    UniqueHandle<GdiplusTraits<Gdiplus::GpImageAttributes, gp::GdipDisposeImageAttributes>>;
using UniqueGpMatrix = UniqueHandle<GdiplusTraits<Gdiplus::GpMatrix, gp::GdipDeleteMatrix>>;

// A GDI+ bitmap is a GpImage; the flat API takes it as either.
inline Gdiplus::GpBitmap* AsBitmap(const UniqueGpImage& image) noexcept {
    return static_cast<Gdiplus::GpBitmap*>(image.get());
}

// Starts GDI+ into `token` unless it already holds one. Version 1, no debug callback, the background
// thread and external codecs left on. Returns false when GDI+ cannot be started.
inline bool StartGdiplus(ULONG_PTR& token) noexcept {
    if (token != 0) return true;
    Gdiplus::GdiplusStartupInput input;  // version 1, the defaults above
    ULONG_PTR started = 0;
    if (gp::GdiplusStartup(&started, &input, nullptr) != Gdiplus::Ok) return false;
    token = started;
    return true;
}

}  // namespace tovrak
