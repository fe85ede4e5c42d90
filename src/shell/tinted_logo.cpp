#include "common/gdiplus.h"
#include "shell/painter.h"
#include "shell/painter_support.h"
#include "shell/shell_context.h"

namespace tovrak {
namespace {

// The logo's white comes out as the surface's grey, RGB 155, 159, 162.
constexpr float kTintRed = 155.0f / 255.0f;
constexpr float kTintGreen = 159.0f / 255.0f;
constexpr float kTintBlue = 162.0f / 255.0f;

}  // namespace

void DrawTintedLogo(GraphicsTarget& target, int x, int y, int size, float alpha) noexcept {
    Gdiplus::GpImage* logo = g_shell ? g_shell->logoImage.get() : nullptr;
    UniqueGpImageAttributes attributes;
    GpStatus status = gp::GdipCreateImageAttributes(attributes.put());
    if (status != Gdiplus::Ok) return Record(target, status);

    Gdiplus::ColorMatrix matrix{};
    matrix.m[0][0] = kTintRed;
    matrix.m[1][1] = kTintGreen;
    matrix.m[2][2] = kTintBlue;
    matrix.m[3][3] = alpha;
    matrix.m[4][4] = 1.0f;
    Record(target,
           gp::GdipSetImageAttributesColorMatrix(attributes.get(), Gdiplus::ColorAdjustTypeBitmap, TRUE,
                                                 &matrix, nullptr, Gdiplus::ColorMatrixFlagsDefault));

    UINT width = 0;
    UINT height = 0;
    Record(target, gp::GdipGetImageWidth(logo, &width));
    Record(target, gp::GdipGetImageHeight(logo, &height));
    Record(target, gp::GdipDrawImageRectRectI(target.graphics, logo, x, y, size, size, 0, 0,
                                              static_cast<INT>(width), static_cast<INT>(height),
                                              Gdiplus::UnitPixel, attributes.get(), nullptr, nullptr));
}

}  // namespace tovrak
