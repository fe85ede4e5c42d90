#include "shell/update_surface.h"

#include <algorithm>
#include <cwchar>

#include "common/gdiplus.h"
#include "common/scaling.h"
#include "shell/painter.h"
#include "shell/face_geometry.h"
#include "shell/painter_support.h"
#include "shell/shell_context.h"

namespace tovrak {
namespace {

constexpr int kRedrawSquareUnits = 88;
constexpr int kFillCeilingPercent = 95;
constexpr float kFillAlpha = 0.46f;
constexpr COLORREF kSurfaceTextColour = RGB(188, 188, 190);

// The sheen: three bands around one centre that sweeps from 1.4 to -0.4 logo widths (measured from
// the logo's left edge) once per cycle, leaning by the slant; widths and slant in logo widths.
constexpr std::uint64_t kSheenCycleMs = 2200;
constexpr float kSheenStart = 1.4f;
constexpr float kSheenTravel = -1.8f;
constexpr float kSheenSlant = 0.18f;
struct SheenBand {
    float width;
    float alpha;
};
constexpr SheenBand kSheenBands[] = {{0.23f, 0.10f}, {0.12f, 0.24f}, {0.045f, 0.52f}};

void DrawLogoFill(GraphicsTarget& target, ShellContext& shell, int width, int height, const RECT& area) {
    const int size = Scale(kSurfaceLogoSize, shell.dpi);
    const int filledRows = SurfaceFillPercent(shell.surfaceStartPercent, shell.surfaceProgress) * size;
    if (filledRows < 100) return;  // less than one row
    const int fillHeight = filledRows / 100;
    const int x0 = (width - size) / 2 - area.left;
    const int y0 = (height - size) / 2 - area.top;
    SavedGraphicsState saved(target);
    Record(target, gp::GdipSetClipRectI(target.graphics, x0, y0 + size - fillHeight, size, fillHeight,
                                        Gdiplus::CombineModeIntersect));
    DrawTintedLogo(shell, target, x0, y0, size, kFillAlpha);
}

void DrawSheen(GraphicsTarget& target, ShellContext& shell, int width, int height, const RECT& area,
               std::uint64_t elapsed) {
    const float size = static_cast<float>(Scale(kSurfaceLogoSize, shell.dpi));
    const float baseX = (static_cast<float>(width) - size) * 0.5f - static_cast<float>(area.left);
    const float baseY = (static_cast<float>(height) - size) * 0.5f - static_cast<float>(area.top);
    const float phase = static_cast<float>(elapsed % kSheenCycleMs);
    const float centre =
        ((phase / static_cast<float>(kSheenCycleMs)) * kSheenTravel + kSheenStart) * size + baseX;
    const float slant = kSheenSlant * size;

    for (const SheenBand& band : kSheenBands) {
        const float half = band.width * size * 0.5f;
        // A parallelogram leaning like a backslash: the top edge shifted left, the bottom one right.
        const Gdiplus::GpPointF corners[] = {
            {centre - half - slant, baseY},
            {centre + half - slant, baseY},
            {centre + half + slant, baseY + size},
            {centre - half + slant, baseY + size},
        };
        UniqueGpPath path;
        GpStatus status = gp::GdipCreatePath(Gdiplus::FillModeAlternate, path.put());
        if (status != Gdiplus::Ok) {
            Record(target, status);
            continue;
        }
        Record(target, gp::GdipAddPathPolygon(path.get(), corners, 4));
        SavedGraphicsState saved(target);
        Record(target, gp::GdipSetClipPath(target.graphics, path.get(), Gdiplus::CombineModeIntersect));
        DrawTintedLogo(shell, target, static_cast<int>(baseX), static_cast<int>(baseY),
                       static_cast<int>(size), band.alpha);
    }
}

}  // namespace

int SurfaceFillPercent(int startPercent, int progress) noexcept {
    return startPercent + (kFillCeilingPercent - startPercent) * progress / 100;
}

UpdateSurfaceText::UpdateSurfaceText(const ShellContext& shell) noexcept {
    // The presentation's language "en" asks for the English texts whatever the shell's own are.
    const ShellTexts& texts = shell.englishSurface ? ShellTexts::English() : shell.texts;
    const ShellText line = shell.surfaceComplete       ? ShellText::UpdateStarting
                           : shell.surfaceProgress > 0 ? ShellText::UpdateInstalling
                                                       : ShellText::UpdateWaiting;
    ExpandShellText(texts[line], shell.displayName, shell.surfaceProgress, [this](std::wstring_view piece) {
        const std::size_t room = text_.size() - length_;
        length_ += piece.copy(text_.data() + length_, room);
    });
}

void PaintUpdateSurface(ShellContext& shell, HDC targetDc, const RECT* dirtyRect) noexcept {
    const int width = Scale(shell.logicalWidth, shell.dpi);
    const int height = Scale(shell.logicalHeight, shell.dpi);

    RECT area{0, 0, width, height};
    if (dirtyRect) {
        area.left = std::clamp<LONG>(dirtyRect->left, 0, width);
        area.top = std::clamp<LONG>(dirtyRect->top, 0, height);
        area.right = std::max<LONG>(std::min<LONG>(dirtyRect->right, width), area.left);
        area.bottom = std::max<LONG>(std::min<LONG>(dirtyRect->bottom, height), area.top);
    }
    const int areaWidth = area.right - area.left;
    const int areaHeight = area.bottom - area.top;
    if (areaWidth <= 0 || areaHeight <= 0) return;

    // The buffer covers only the dirty rectangle: the timer's frames redraw a small square.
    UniqueMemoryDc buffer(::CreateCompatibleDC(targetDc));
    if (!buffer) return;
    UniqueBitmap bitmap(::CreateCompatibleBitmap(targetDc, areaWidth, areaHeight));
    if (!bitmap) return;
    SelectGuard selectBitmap(buffer.get(), bitmap.get());
    // The base is a 1:1 copy of the prepared backdrop: with GDI before GDI+ draws, or with GDI+ below.
    const bool backdropCopied = CopyBackdropPart(buffer.get(), shell.backdropDc.get(), 0, 0, area.left,
                                                 area.top, areaWidth, areaHeight);

    if (DcGraphics graphics(buffer.get()); graphics) {
        GraphicsTarget& target = graphics.target();
        if (!backdropCopied) {
            Record(target, gp::GdipSetCompositingMode(target.graphics, Gdiplus::CompositingModeSourceCopy));
            Record(target,
                   gp::GdipSetInterpolationMode(target.graphics, Gdiplus::InterpolationModeNearestNeighbor));
            DrawBackdropPart(target, shell.backdropBitmap.get(), 0, 0, area.left, area.top, areaWidth,
                             areaHeight);
        }
        Record(target, gp::GdipSetCompositingMode(target.graphics, Gdiplus::CompositingModeSourceOver));
        Record(target,
               gp::GdipSetInterpolationMode(target.graphics, Gdiplus::InterpolationModeHighQualityBicubic));
        Record(target, gp::GdipSetSmoothingMode(target.graphics, Gdiplus::SmoothingModeAntiAlias));

        DrawLogoFill(target, shell, width, height, area);
        const std::uint64_t elapsed = ::GetTickCount64() - shell.shownTick;
        if (shell.mode == ShellModeUpdate && shell.surfaceAnimating && elapsed < kSheenDurationMs)
            DrawSheen(target, shell, width, height, area, elapsed);
    }  // GDI+ is done with the buffer before GDI writes the text into it

    const int halfHeight = shell.logicalHeight / 2;
    RECT textRect{Scale(0, shell.dpi) - area.left, Scale(halfHeight + 48, shell.dpi) - area.top,
                  Scale(shell.logicalWidth, shell.dpi) - area.left,
                  Scale(halfHeight + 72, shell.dpi) - area.top};
    if (textRect.bottom > 0 && textRect.top < areaHeight) {
        DrawShellText(buffer.get(), UpdateSurfaceText(shell).view(), shell.bodyFont.get(), kSurfaceTextColour,
                      textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }

    ::BitBlt(targetDc, area.left, area.top, areaWidth, areaHeight, buffer.get(), 0, 0, SRCCOPY);
}

void AnimateUpdateSurface(ShellContext& shell) noexcept {
    if (!shell.surfaceAnimating || ::GetTickCount64() - shell.shownTick >= kSheenDurationMs) {
        ::KillTimer(shell.window, kSurfaceTimerId);
        shell.surfaceAnimating = false;
    }
    const int width = Scale(shell.logicalWidth, shell.dpi);
    const int height = Scale(shell.logicalHeight, shell.dpi);
    const int edge = Scale(kRedrawSquareUnits, shell.dpi);
    const int x = (width - edge) / 2;
    const int y = (height - edge) / 2;
    const RECT square{x, y, x + edge, y + edge};
    ::RedrawWindow(shell.window, &square, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
}

}  // namespace tovrak
