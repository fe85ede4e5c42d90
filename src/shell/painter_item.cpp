#include <cwchar>

#include "common/unique_handle.h"
#include "shell/painter.h"
#include "shell/face_geometry.h"
#include "shell/painter_support.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/text_fit.h"

namespace tovrak {
namespace {

constexpr Argb kBrowseFill = MakeArgb(0xFF, 26, 28, 34);
constexpr COLORREF kBrowseBorder = RGB(51, 53, 64);

constexpr COLORREF kPrimaryCaption = RGB(0, 0, 0);
constexpr COLORREF kFocusedCaption = RGB(255, 255, 255);
constexpr COLORREF kShortcutCaption = RGB(155, 159, 162);
constexpr COLORREF kActionCaption = RGB(213, 215, 217);
constexpr COLORREF kQuietCaption = RGB(188, 188, 190);

// The primary button's grey by state: disabled, pressed, normal.
constexpr BYTE kPrimaryDisabledGrey = 143;
constexpr BYTE kPrimaryPressedGrey = 221;
constexpr BYTE kPrimaryGrey = 255;
constexpr int kPrimaryCornerUnits = 8;
constexpr int kBrowseCornerUnits = 7;

constexpr int kCaptionCapacity = 256;

// Where a button draws its picture and its caption, inside the button.
constexpr UnitRect kBoxImage{4, 6, 16, 16};
constexpr int kBoxCaptionLeft = 29;
constexpr int kBoxCaptionTop = 4;
constexpr int kBoxCaptionHeight = 20;
constexpr UnitRect kCloseImage{10, 10, 16, 16};
// The options button grows to the left for a longer caption: its arrow keeps its place from the right
// edge, and its caption runs from the left margin to the room the arrow keeps.
constexpr int kArrowFromRight = 15;
constexpr int kArrowTop = 7;
constexpr int kArrowSize = 14;
constexpr int kToggleCaptionLeft = 6;
constexpr int kToggleCaptionTop = 4;
constexpr int kToggleCaptionHeight = 20;
constexpr int kToggleCaptionRightRoom = 20;
// The gap between a link's words and the words after it.
constexpr int kTrailingGap = 5;

void DrawImageInto(GraphicsTarget& target, Gdiplus::GpImage* image, const UnitRect& rect, UINT dpi) {
    DrawImageInto(target, image, Scale(rect.x, dpi), Scale(rect.y, dpi), Scale(rect.width, dpi),
                  Scale(rect.height, dpi));
}

void FillPrimaryShape(GraphicsTarget& target, UINT itemState, int width, int height, UINT dpi) {
    const BYTE grey = (itemState & ODS_DISABLED)   ? kPrimaryDisabledGrey
                      : (itemState & ODS_SELECTED) ? kPrimaryPressedGrey
                                                   : kPrimaryGrey;
    UniqueGpPath path;
    GpStatus status = gp::GdipCreatePath(Gdiplus::FillModeAlternate, path.put());
    if (status != Gdiplus::Ok) return Record(target, status);
    const float d = static_cast<float>(Scale(kPrimaryCornerUnits, dpi));
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    Record(target, gp::GdipAddPathArc(path.get(), 0, 0, d, d, 180, 90));
    Record(target, gp::GdipAddPathArc(path.get(), w - d, 0, d, d, 270, 90));
    Record(target, gp::GdipAddPathArc(path.get(), w - d, h - d, d, d, 0, 90));
    Record(target, gp::GdipAddPathArc(path.get(), 0, h - d, d, d, 90, 90));
    Record(target, gp::GdipClosePathFigure(path.get()));

    UniqueGpBrush brush;
    status = gp::GdipCreateSolidFill(MakeArgb(0xFF, grey, grey, grey),
                                     reinterpret_cast<Gdiplus::GpSolidFill**>(brush.put()));
    if (status == Gdiplus::Ok) status = gp::GdipFillPath(target.graphics, brush.get(), path.get());
    Record(target, status);
}

void DrawBrowseShape(DcGraphics& graphics, HDC dc, int width, int height, UINT dpi) {
    FillSolid(graphics.target(), kBrowseFill, 0, 0, width, height);
    graphics.Flush();
    // The DC's own brush and pen, so that no GDI object is made for every paint.
    SelectGuard selectBrush(dc, ::GetStockObject(DC_BRUSH));
    SelectGuard selectPen(dc, ::GetStockObject(DC_PEN));
    const COLORREF previousBrush = ::SetDCBrushColor(dc, kBrowseBorder);
    const COLORREF previousPen = ::SetDCPenColor(dc, kBrowseBorder);
    const int corner = Scale(kBrowseCornerUnits, dpi);
    ::RoundRect(dc, 0, 0, width, height, corner, corner);
    ::SetDCPenColor(dc, previousPen);
    ::SetDCBrushColor(dc, previousBrush);
}

COLORREF CaptionColour(ItemLook look, UINT itemState) noexcept {
    if (look == ItemLook::Primary) return kPrimaryCaption;
    if (itemState & ODS_FOCUS) return kFocusedCaption;
    switch (look) {
        case ItemLook::OptionBox:
            return kShortcutCaption;
        case ItemLook::FramedAction:
        case ItemLook::Action:
            return kActionCaption;
        default:
            return kQuietCaption;
    }
}

// The box a check box shows: the agreement's in the footer's style, the panel's own in the panel's.
Gdiplus::GpImage* BoxImage(const ShellContext& shell, ItemLook look, bool checked) noexcept {
    if (look == ItemLook::AgreementBox)
        return checked ? shell.footerCheckedImage.get() : shell.footerUncheckedImage.get();
    return checked ? shell.optionCheckedImage.get() : shell.optionUncheckedImage.get();
}

}  // namespace

BOOL PaintShellItem(const ShellContext& shell, const DRAWITEMSTRUCT& drawItem) noexcept {
    const HDC dc = drawItem.hDC;
    const HWND button = drawItem.hwndItem;
    const ShellChild* child = FindShellChild(shell, button);
    const ItemLook look = child ? child->look : ItemLook::None;
    const UINT dpi = shell.dpi;
    const int width = drawItem.rcItem.right;
    const int height = drawItem.rcItem.bottom;

    const RECT placement = ClientPlacement(shell.window, button);
    const bool inPanel = placement.top >= Scale(kPanelTop, dpi);

    // Whatever GDI+ fails to draw, the button never shows stale pixels.
    const COLORREF previousBrush = ::SetDCBrushColor(dc, inPanel ? kPanelFallback : kFaceFallback);
    ::FillRect(dc, &drawItem.rcItem, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(dc, previousBrush);
    // The slice of the backdrop under the button, so the button looks transparent; copied with GDI
    // before GDI+ draws on the DC, or drawn with GDI+ below.
    const bool backdropCopied = !inPanel && CopyBackdropPart(dc, shell.backdropDc.get(), 0, 0, placement.left,
                                                             placement.top, width, height);

    DcGraphics graphics(dc);
    GraphicsTarget& target = graphics.target();
    if (graphics) {
        Record(target,
               gp::GdipSetInterpolationMode(target.graphics, Gdiplus::InterpolationModeHighQualityBicubic));
        Record(target, gp::GdipSetSmoothingMode(target.graphics, Gdiplus::SmoothingModeAntiAlias));
        if (inPanel) {
            FillSolid(target, kPanelColour, 0, 0, width, height);
        } else if (!backdropCopied) {
            DrawBackdropPart(target, shell.backdropBitmap.get(), 0, 0, placement.left, placement.top, width,
                             height);
        }
        if (look == ItemLook::Primary) FillPrimaryShape(target, drawItem.itemState, width, height, dpi);
    }
    if (look == ItemLook::FramedAction && graphics) DrawBrowseShape(graphics, dc, width, height, dpi);

    // The button keeps its caption in its window record (see window_text.h).
    wchar_t caption[kCaptionCapacity] = {};
    int captionLength = ::InternalGetWindowText(button, caption, kCaptionCapacity);
    std::wstring_view text(caption, captionLength > 0 ? captionLength : 0);
    RECT textRect = drawItem.rcItem;
    UINT format = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_CENTER;

    switch (look) {
        case ItemLook::AgreementBox:
        case ItemLook::OptionBox: {
            const bool checked = child->checked && shell.*child->checked;
            if (graphics) DrawImageInto(target, BoxImage(shell, look, checked), kBoxImage, dpi);
            // A box paints its own words; the links beside the agreement box carry the rest of its
            // sentence.
            if (child->painted) text = shell.texts[*child->painted];
            textRect = RECT{Scale(kBoxCaptionLeft, dpi), Scale(kBoxCaptionTop, dpi), width,
                            Scale(kBoxCaptionTop, dpi) + Scale(kBoxCaptionHeight, dpi)};
            format &= ~DT_CENTER;
            break;
        }
        case ItemLook::Close:
            if (graphics) DrawImageInto(target, shell.closeImage.get(), kCloseImage, dpi);
            return TRUE;
        case ItemLook::PanelToggle: {
            Gdiplus::GpImage* arrow =
                shell.optionsExpanded ? shell.arrowUpImage.get() : shell.arrowDownImage.get();
            const int units = PanelToggleWidth(shell);
            const UnitRect arrowRect{units - kArrowFromRight, kArrowTop, kArrowSize, kArrowSize};
            if (graphics) DrawImageInto(target, arrow, arrowRect, dpi);
            textRect = ScaleCorners(
                UnitRect{kToggleCaptionLeft, kToggleCaptionTop,
                         units - kToggleCaptionLeft - kToggleCaptionRightRoom, kToggleCaptionHeight},
                dpi);
            break;
        }
        default:
            break;
    }

    graphics.Flush();
    const bool medium = look == ItemLook::Primary || look == ItemLook::FramedAction;
    const HFONT font = medium ? shell.mediumFont.get() : shell.bodyFont.get();
    const COLORREF colour = CaptionColour(look, drawItem.itemState);
    format = CaptionFormat(shell, format);
    const std::wstring_view trailing =
        child && child->trailing ? shell.texts[*child->trailing] : std::wstring_view();
    if (!trailing.empty() && shell.textFit.dpi != 0) {
        // The link's words at its left, the words that follow them after the gap.
        const int words = Scale(shell.textFit.userAgreementWords, dpi);
        DrawShellText(dc, text, font, colour, RECT{0, 0, words, height}, format & ~DT_CENTER);
        DrawShellText(dc, trailing, font, kQuietCaption,
                      RECT{words + Scale(kTrailingGap, dpi), 0, width, height}, format & ~DT_CENTER);
        return TRUE;
    }
    DrawShellText(dc, text, font, colour, textRect, format);
    return TRUE;
}

}  // namespace tovrak
