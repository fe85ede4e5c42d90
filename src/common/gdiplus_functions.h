#pragma once
// The GDI+ flat API, loaded from the system at first use. GDI+ is a side-by-side assembly as well, and
// not certain to be a KnownDLL on every supported Windows, so it is never imported statically.
//
// Each function is an object called like the platform's function, with the same arguments. Without GDI+
// it returns Win32Error and the last error tells why; GdiplusStartup then fails, which every caller
// already treats as "GDI+ cannot be started". A function the library starts to use is declared here
// and defined in gdiplus_functions.cpp, one line each.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "common/system_library.h"

namespace tovrak::gdiplus {

template <typename Pointer>
class GdiplusFunction : public SystemFunction<Pointer> {
  public:
    using SystemFunction<Pointer>::SystemFunction;

    template <typename... Args>
    Gdiplus::GpStatus operator()(Args... args) noexcept {
        if (const auto function = this->get()) return function(args...);
        return Gdiplus::Win32Error;
    }
};

namespace flat = Gdiplus::DllExports;

extern GdiplusFunction<decltype(&Gdiplus::GdiplusStartup)> GdiplusStartup;
extern GdiplusFunction<decltype(&flat::GdipAddPathArc)> GdipAddPathArc;
extern GdiplusFunction<decltype(&flat::GdipAddPathPolygon)> GdipAddPathPolygon;
extern GdiplusFunction<decltype(&flat::GdipBitmapLockBits)> GdipBitmapLockBits;
extern GdiplusFunction<decltype(&flat::GdipBitmapUnlockBits)> GdipBitmapUnlockBits;
extern GdiplusFunction<decltype(&flat::GdipCloneBitmapAreaI)> GdipCloneBitmapAreaI;
extern GdiplusFunction<decltype(&flat::GdipClosePathFigure)> GdipClosePathFigure;
extern GdiplusFunction<decltype(&flat::GdipCreateBitmapFromFile)> GdipCreateBitmapFromFile;
extern GdiplusFunction<decltype(&flat::GdipCreateBitmapFromScan0)> GdipCreateBitmapFromScan0;
extern GdiplusFunction<decltype(&flat::GdipCreateFromHDC)> GdipCreateFromHDC;
extern GdiplusFunction<decltype(&flat::GdipCreateImageAttributes)> GdipCreateImageAttributes;
extern GdiplusFunction<decltype(&flat::GdipCreatePath)> GdipCreatePath;
extern GdiplusFunction<decltype(&flat::GdipCreateSolidFill)> GdipCreateSolidFill;
extern GdiplusFunction<decltype(&flat::GdipDeleteBrush)> GdipDeleteBrush;
extern GdiplusFunction<decltype(&flat::GdipDeleteGraphics)> GdipDeleteGraphics;
extern GdiplusFunction<decltype(&flat::GdipDeleteMatrix)> GdipDeleteMatrix;
extern GdiplusFunction<decltype(&flat::GdipDeletePath)> GdipDeletePath;
extern GdiplusFunction<decltype(&flat::GdipDeletePen)> GdipDeletePen;
extern GdiplusFunction<decltype(&flat::GdipDeleteRegion)> GdipDeleteRegion;
extern GdiplusFunction<decltype(&flat::GdipDisposeImage)> GdipDisposeImage;
extern GdiplusFunction<decltype(&flat::GdipDisposeImageAttributes)> GdipDisposeImageAttributes;
extern GdiplusFunction<decltype(&flat::GdipDrawImageRect)> GdipDrawImageRect;
extern GdiplusFunction<decltype(&flat::GdipDrawImageRectI)> GdipDrawImageRectI;
extern GdiplusFunction<decltype(&flat::GdipDrawImageRectRectI)> GdipDrawImageRectRectI;
extern GdiplusFunction<decltype(&flat::GdipFillPath)> GdipFillPath;
extern GdiplusFunction<decltype(&flat::GdipFillRectangleI)> GdipFillRectangleI;
extern GdiplusFunction<decltype(&flat::GdipFlush)> GdipFlush;
extern GdiplusFunction<decltype(&flat::GdipGetDC)> GdipGetDC;
extern GdiplusFunction<decltype(&flat::GdipGetImageGraphicsContext)> GdipGetImageGraphicsContext;
extern GdiplusFunction<decltype(&flat::GdipGetImageHeight)> GdipGetImageHeight;
extern GdiplusFunction<decltype(&flat::GdipGetImageWidth)> GdipGetImageWidth;
extern GdiplusFunction<decltype(&flat::GdipGraphicsClear)> GdipGraphicsClear;
extern GdiplusFunction<decltype(&flat::GdipLoadImageFromFile)> GdipLoadImageFromFile;
extern GdiplusFunction<decltype(&flat::GdipReleaseDC)> GdipReleaseDC;
extern GdiplusFunction<decltype(&flat::GdipRestoreGraphics)> GdipRestoreGraphics;
extern GdiplusFunction<decltype(&flat::GdipSaveGraphics)> GdipSaveGraphics;
extern GdiplusFunction<decltype(&flat::GdipScaleWorldTransform)> GdipScaleWorldTransform;
extern GdiplusFunction<decltype(&flat::GdipSetClipPath)> GdipSetClipPath;
extern GdiplusFunction<decltype(&flat::GdipSetClipRectI)> GdipSetClipRectI;
extern GdiplusFunction<decltype(&flat::GdipSetCompositingMode)> GdipSetCompositingMode;
extern GdiplusFunction<decltype(&flat::GdipSetImageAttributesColorMatrix)> GdipSetImageAttributesColorMatrix;
extern GdiplusFunction<decltype(&flat::GdipSetInterpolationMode)> GdipSetInterpolationMode;
extern GdiplusFunction<decltype(&flat::GdipSetPixelOffsetMode)> GdipSetPixelOffsetMode;
extern GdiplusFunction<decltype(&flat::GdipSetSmoothingMode)> GdipSetSmoothingMode;

}  // namespace tovrak::gdiplus
