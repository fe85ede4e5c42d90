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

// Scaling the logo is by far the dearest step of an update-surface frame (under Wine a few
// milliseconds per draw, and a frame with the sheen draws it four times), while the picture and its
// size stay the same for as long as the shell is open. So the logo is scaled once per size into the
// shell's own copy, which goes with the shell, and then drawn 1:1 from there.
// The logo at `size` pixels square, or null when it cannot be made (the caller then scales itself).
Gdiplus::GpImage* ScaledLogoFor(ShellContext& shell, int size) noexcept {
    Gdiplus::GpImage* logo = shell.logoImage.get();
    if (!logo || size <= 0) return nullptr;
    if (shell.scaledLogo && shell.scaledLogoSize == size) return shell.scaledLogo.get();
    shell.scaledLogo.reset();
    UniqueGpImage scaled;
    if (gp::GdipCreateBitmapFromScan0(size, size, 0, PixelFormat32bppPARGB, nullptr,
                                      reinterpret_cast<Gdiplus::GpBitmap**>(scaled.put())) != Gdiplus::Ok)
        return nullptr;
    UniqueGpGraphics graphics;
    if (gp::GdipGetImageGraphicsContext(scaled.get(), graphics.put()) != Gdiplus::Ok) return nullptr;
    // The same sampling as the painters' own graphics objects, which draw the logo bicubic.
    gp::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
    UINT width = 0;
    UINT height = 0;
    gp::GdipGetImageWidth(logo, &width);
    gp::GdipGetImageHeight(logo, &height);
    if (gp::GdipDrawImageRectRectI(graphics.get(), logo, 0, 0, size, size, 0, 0, static_cast<INT>(width),
                                   static_cast<INT>(height), Gdiplus::UnitPixel, nullptr, nullptr,
                                   nullptr) != Gdiplus::Ok)
        return nullptr;
    graphics.reset();
    shell.scaledLogo = std::move(scaled);
    shell.scaledLogoSize = size;
    return shell.scaledLogo.get();
}

}  // namespace

void DrawTintedLogo(ShellContext& shell, GraphicsTarget& target, int x, int y, int size,
                    float alpha) noexcept {
    Gdiplus::GpImage* logo = shell.logoImage.get();
    if (Gdiplus::GpImage* scaled = ScaledLogoFor(shell, size)) logo = scaled;

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
