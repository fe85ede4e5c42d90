#include "common/gdiplus_functions.h"

namespace tovrak::gdiplus {
namespace {

constinit SystemLibrary library(L"gdiplus.dll");

}  // namespace

constinit GdiplusFunction<decltype(&Gdiplus::GdiplusStartup)> GdiplusStartup(library, "GdiplusStartup");
constinit GdiplusFunction<decltype(&flat::GdipAddPathArc)> GdipAddPathArc(library, "GdipAddPathArc");
constinit GdiplusFunction<decltype(&flat::GdipAddPathPolygon)> GdipAddPathPolygon(library,
                                                                                  "GdipAddPathPolygon");
constinit GdiplusFunction<decltype(&flat::GdipBitmapLockBits)> GdipBitmapLockBits(library,
                                                                                  "GdipBitmapLockBits");
constinit GdiplusFunction<decltype(&flat::GdipBitmapUnlockBits)> GdipBitmapUnlockBits(library,
                                                                                      "GdipBitmapUnlockBits");
constinit GdiplusFunction<decltype(&flat::GdipCloneBitmapAreaI)> GdipCloneBitmapAreaI(library,
                                                                                      "GdipCloneBitmapAreaI");
constinit GdiplusFunction<decltype(&flat::GdipClosePathFigure)> GdipClosePathFigure(library,
                                                                                    "GdipClosePathFigure");
constinit GdiplusFunction<decltype(&flat::GdipCreateBitmapFromFile)> GdipCreateBitmapFromFile(
    library, "GdipCreateBitmapFromFile");
constinit GdiplusFunction<decltype(&flat::GdipCreateBitmapFromScan0)> GdipCreateBitmapFromScan0(
    library, "GdipCreateBitmapFromScan0");
constinit GdiplusFunction<decltype(&flat::GdipCreateFromHDC)> GdipCreateFromHDC(library, "GdipCreateFromHDC");
constinit GdiplusFunction<decltype(&flat::GdipCreateImageAttributes)> GdipCreateImageAttributes(
    library, "GdipCreateImageAttributes");
constinit GdiplusFunction<decltype(&flat::GdipCreatePath)> GdipCreatePath(library, "GdipCreatePath");
constinit GdiplusFunction<decltype(&flat::GdipCreateSolidFill)> GdipCreateSolidFill(library,
                                                                                    "GdipCreateSolidFill");
constinit GdiplusFunction<decltype(&flat::GdipDeleteBrush)> GdipDeleteBrush(library, "GdipDeleteBrush");
constinit GdiplusFunction<decltype(&flat::GdipDeleteGraphics)> GdipDeleteGraphics(library,
                                                                                  "GdipDeleteGraphics");
constinit GdiplusFunction<decltype(&flat::GdipDeleteMatrix)> GdipDeleteMatrix(library, "GdipDeleteMatrix");
constinit GdiplusFunction<decltype(&flat::GdipDeletePath)> GdipDeletePath(library, "GdipDeletePath");
constinit GdiplusFunction<decltype(&flat::GdipDeletePen)> GdipDeletePen(library, "GdipDeletePen");
constinit GdiplusFunction<decltype(&flat::GdipDeleteRegion)> GdipDeleteRegion(library, "GdipDeleteRegion");
constinit GdiplusFunction<decltype(&flat::GdipDisposeImage)> GdipDisposeImage(library, "GdipDisposeImage");
constinit GdiplusFunction<decltype(&flat::GdipDisposeImageAttributes)> GdipDisposeImageAttributes(
    library, "GdipDisposeImageAttributes");
constinit GdiplusFunction<decltype(&flat::GdipDrawImageRect)> GdipDrawImageRect(library, "GdipDrawImageRect");
constinit GdiplusFunction<decltype(&flat::GdipDrawImageRectI)> GdipDrawImageRectI(library,
                                                                                  "GdipDrawImageRectI");
constinit GdiplusFunction<decltype(&flat::GdipDrawImageRectRectI)> GdipDrawImageRectRectI(
    library, "GdipDrawImageRectRectI");
constinit GdiplusFunction<decltype(&flat::GdipFillPath)> GdipFillPath(library, "GdipFillPath");
constinit GdiplusFunction<decltype(&flat::GdipFillRectangleI)> GdipFillRectangleI(library,
                                                                                  "GdipFillRectangleI");
constinit GdiplusFunction<decltype(&flat::GdipFlush)> GdipFlush(library, "GdipFlush");
constinit GdiplusFunction<decltype(&flat::GdipGetDC)> GdipGetDC(library, "GdipGetDC");
constinit GdiplusFunction<decltype(&flat::GdipGetImageGraphicsContext)> GdipGetImageGraphicsContext(
    library, "GdipGetImageGraphicsContext");
constinit GdiplusFunction<decltype(&flat::GdipGetImageHeight)> GdipGetImageHeight(library,
                                                                                  "GdipGetImageHeight");
constinit GdiplusFunction<decltype(&flat::GdipGetImageWidth)> GdipGetImageWidth(library, "GdipGetImageWidth");
constinit GdiplusFunction<decltype(&flat::GdipGraphicsClear)> GdipGraphicsClear(library, "GdipGraphicsClear");
constinit GdiplusFunction<decltype(&flat::GdipLoadImageFromFile)> GdipLoadImageFromFile(
    library, "GdipLoadImageFromFile");
constinit GdiplusFunction<decltype(&flat::GdipReleaseDC)> GdipReleaseDC(library, "GdipReleaseDC");
constinit GdiplusFunction<decltype(&flat::GdipRestoreGraphics)> GdipRestoreGraphics(library,
                                                                                    "GdipRestoreGraphics");
constinit GdiplusFunction<decltype(&flat::GdipSaveGraphics)> GdipSaveGraphics(library, "GdipSaveGraphics");
constinit GdiplusFunction<decltype(&flat::GdipScaleWorldTransform)> GdipScaleWorldTransform(
    library, "GdipScaleWorldTransform");
constinit GdiplusFunction<decltype(&flat::GdipSetClipPath)> GdipSetClipPath(library, "GdipSetClipPath");
constinit GdiplusFunction<decltype(&flat::GdipSetClipRectI)> GdipSetClipRectI(library, "GdipSetClipRectI");
constinit GdiplusFunction<decltype(&flat::GdipSetCompositingMode)> GdipSetCompositingMode(
    library, "GdipSetCompositingMode");
constinit GdiplusFunction<decltype(&flat::GdipSetImageAttributesColorMatrix)>
    GdipSetImageAttributesColorMatrix(library, "GdipSetImageAttributesColorMatrix");
constinit GdiplusFunction<decltype(&flat::GdipSetInterpolationMode)> GdipSetInterpolationMode(
    library, "GdipSetInterpolationMode");
constinit GdiplusFunction<decltype(&flat::GdipSetPixelOffsetMode)> GdipSetPixelOffsetMode(
    library, "GdipSetPixelOffsetMode");
constinit GdiplusFunction<decltype(&flat::GdipSetSmoothingMode)> GdipSetSmoothingMode(library,
                                                                                      "GdipSetSmoothingMode");

}  // namespace tovrak::gdiplus
