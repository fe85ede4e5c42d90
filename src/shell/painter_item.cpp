#include <cwchar>

#include "common/unique_handle.h"
#include "shell/painter.h"
#include "shell/painter_support.h"
#include "shell/shell_context.h"

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

COLORREF CaptionColour(const ShellContext& shell, HWND button, UINT itemState) noexcept {
    if (button == shell.primaryButton) return kPrimaryCaption;
    if (itemState & ODS_FOCUS) return kFocusedCaption;
    if (button == shell.shortcutCheckbox) return kShortcutCaption;
    if (button == shell.browseButton || button == shell.copyDiagnosticsButton ||
        button == shell.openLogButton)
        return kActionCaption;
    return kQuietCaption;
}

}  // namespace

BOOL PaintShellItem(const DRAWITEMSTRUCT& drawItem) noexcept {
    const ShellContext* shell = g_shell;
    if (!shell) return TRUE;
    const HDC dc = drawItem.hDC;
    const HWND button = drawItem.hwndItem;
    const UINT dpi = shell->dpi;
    const int width = drawItem.rcItem.right;
    const int height = drawItem.rcItem.bottom;

    const RECT placement = ClientPlacement(shell->window, button);
    const bool inPanel = placement.top >= Scale(kPanelTopUnits, dpi);

    // Whatever GDI+ fails to draw, the button never shows stale pixels.
    const COLORREF previousBrush = ::SetDCBrushColor(dc, inPanel ? kPanelFallback : kFaceFallback);
    ::FillRect(dc, &drawItem.rcItem, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(dc, previousBrush);
    // The slice of the backdrop under the button, so the button looks transparent; copied with GDI
    // before GDI+ draws on the DC, or drawn with GDI+ below.
    const bool backdropCopied = !inPanel && CopyBackdropPart(dc, shell->backdropDc.get(), 0, 0,
                                                             placement.left, placement.top, width, height);

    DcGraphics graphics(dc);
    GraphicsTarget& target = graphics.target();
    if (graphics) {
        Record(target,
               gp::GdipSetInterpolationMode(target.graphics, Gdiplus::InterpolationModeHighQualityBicubic));
        Record(target, gp::GdipSetSmoothingMode(target.graphics, Gdiplus::SmoothingModeAntiAlias));
        if (inPanel) {
            FillSolid(target, kPanelColour, 0, 0, width, height);
        } else if (!backdropCopied) {
            DrawBackdropPart(target, shell->backdropBitmap.get(), 0, 0, placement.left, placement.top, width,
                             height);
        }
        if (button == shell->primaryButton) FillPrimaryShape(target, drawItem.itemState, width, height, dpi);
    }
    if (button == shell->browseButton && graphics) DrawBrowseShape(graphics, dc, width, height, dpi);

    // The button keeps its caption in its window record (see window_text.h).
    wchar_t caption[kCaptionCapacity] = {};
    int captionLength = ::InternalGetWindowText(button, caption, kCaptionCapacity);
    std::wstring_view text(caption, captionLength > 0 ? captionLength : 0);
    RECT textRect = drawItem.rcItem;
    UINT format = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_CENTER;
    const RECT boxText{Scale(29, dpi), Scale(4, dpi), width, Scale(4, dpi) + Scale(20, dpi)};

    if (button == shell->agreementCheckbox || button == shell->shortcutCheckbox) {
        const bool agreement = button == shell->agreementCheckbox;
        const bool checked = agreement ? shell->agreementAccepted : shell->createShortcut;
        Gdiplus::GpImage* box =
            agreement ? (checked ? shell->footerCheckedImage.get() : shell->footerUncheckedImage.get())
                      : (checked ? shell->optionCheckedImage.get() : shell->optionUncheckedImage.get());
        if (graphics)
            DrawImageInto(target, box, Scale(4, dpi), Scale(6, dpi), Scale(16, dpi), Scale(16, dpi));
        // The links beside the agreement box carry the rest of its sentence.
        text = agreement ? std::wstring_view(L"同意") : std::wstring_view(L"创建桌面快捷方式");
        textRect = boxText;
        format &= ~DT_CENTER;
    } else if (button == shell->closeButton) {
        if (graphics)
            DrawImageInto(target, shell->closeImage.get(), Scale(10, dpi), Scale(10, dpi), Scale(16, dpi),
                          Scale(16, dpi));
        return TRUE;
    } else if (button == shell->optionsButton) {
        Gdiplus::GpImage* arrow =
            shell->optionsExpanded ? shell->arrowUpImage.get() : shell->arrowDownImage.get();
        if (graphics)
            DrawImageInto(target, arrow, Scale(69, dpi), Scale(7, dpi), Scale(14, dpi), Scale(14, dpi));
        textRect = ScaledCorners(6, 4, 6 + 58, 4 + 20, dpi);
    }

    graphics.Flush();
    const bool medium = button == shell->primaryButton || button == shell->browseButton;
    DrawShellText(dc, text, medium ? shell->mediumFont.get() : shell->bodyFont.get(),
                  CaptionColour(*shell, button, drawItem.itemState), textRect, format);
    return TRUE;
}

}  // namespace tovrak
