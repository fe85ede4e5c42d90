#pragma once
// Pixel work on GDI+ bitmaps done directly where GDI+'s own drawing would give exactly the same
// pixels: a solid fill, and the 1:1 copy of a picture with no transparency. Under Wine, GDI+ clears
// and draws into a bitmap one pixel at a time, which made these two a third of the shell's first
// frame; on Windows the direct way costs no more than GDI+'s.

#include <windows.h>

#include "common/gdiplus.h"

namespace tovrak {

// A 32-bit top-down DIB section, selected into a memory DC, and a premultiplied-ARGB GDI+ bitmap over
// the same memory: GDI+ composes into it and GDI copies out of the DC with BitBlt. The bitmap borrows
// the section's memory, so it goes first, then the DC, then the section (the order of the members).
struct DibBackedBitmap {
    UniqueBitmap section;
    UniqueMemoryDc dc;
    UniqueGpImage bitmap;
};

// All empty when any of them cannot be made.
DibBackedBitmap CreateDibBackedBitmap(int width, int height) noexcept;

// Sets every pixel of the 32-bit `bitmap` (width × height) to `colour`, which must be opaque (alpha
// 0xFF, so that its straight and premultiplied forms agree): what GdipGraphicsClear gives. False when
// the colour is not opaque or the pixels cannot be reached; the bitmap is then unchanged.
bool FillBitmap(Gdiplus::GpBitmap* bitmap, int width, int height, Gdiplus::ARGB colour) noexcept;

// Copies `source` onto the 32-bit `target` when `source` is exactly width × height and every one of
// its pixels is opaque: drawing it 1:1 over anything would then leave its own pixels. False, with
// `target` unchanged, in every other case; the caller draws it instead.
bool CopyOpaqueBitmap(Gdiplus::GpBitmap* target, Gdiplus::GpBitmap* source, int width, int height) noexcept;

}  // namespace tovrak
