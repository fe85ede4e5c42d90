#include "shell/painter.h"

#include <cwchar>

#include "common/unique_handle.h"
#include "shell/face_geometry.h"
#include "shell/painter_support.h"
#include "shell/percent_text.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"

namespace tovrak {
namespace {

constexpr COLORREF kHeadlineColour = RGB(255, 255, 255);
constexpr COLORREF kStatusColour = RGB(188, 188, 190);

constexpr UINT kSingleLine = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;

// Visible on screen: shown by the layout, in a shell that is itself shown. A control that only
// carries the style bit inside a hidden shell is nothing a user sees. The shell's visibility is asked
// once per paint: the children's own style bits are read from the window record.
bool IsOnScreen(bool shellShown, HWND control) noexcept {
    return shellShown && control && (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

// `backdropCopied`: the whole face already holds the backdrop, copied with GDI.
void PaintFaceImages(GraphicsTarget& target, const ShellContext& shell, bool backdropCopied) {
    const UINT dpi = shell.dpi;
    if (!backdropCopied) {
        Record(target, gp::GdipGraphicsClear(target.graphics, kFaceColour));
        // 1:1 at the backdrop's own size: the backdrop is already composed at the window's pixel size.
        DrawBackdropPart(target, shell.backdropBitmap.get(), 0, 0, 0, 0, Scale(shell.logicalWidth, dpi),
                         Scale(shell.logicalHeight, dpi));
    }
    if (!shell.optionsExpanded) return;
    FillSolid(target, kPanelColour, 0, Scale(kPanelTop, dpi), Scale(kShellWidth, dpi),
              Scale(shell.logicalHeight - kPanelTop, dpi));
    if (IsIdleScreen(shell)) {
        const UnitRect& frame = kPathFrameRect;
        DrawImageInto(target, shell.pathImage.get(), Scale(frame.x, dpi), Scale(frame.y, dpi),
                      Scale(frame.width, dpi), Scale(frame.height, dpi));
    }
}

void PaintFaceTexts(HDC dc, const ShellContext& shell) {
    const UINT dpi = shell.dpi;
    const WideString& headline = IsIdleInstallScreen(shell) ? shell.gateReason : shell.windowTitle;
    DrawShellText(dc, headline, shell.titleFont.get(), kHeadlineColour, ScaleCorners(kHeadlineRect, dpi),
                  kSingleLine);
    DrawShellText(dc, shell.statusText, shell.bodyFont.get(), kStatusColour, ScaleCorners(kStatusRect, dpi),
                  DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    if (shell.stateKind == ShellStateRunning && shell.mode == ShellModeInstall) {
        DrawShellText(dc, PercentText(shell.percent).view(), shell.bodyFont.get(), kStatusColour,
                      ScaleCorners(kPercentRect, dpi), kSingleLine);
    }
}

// Lets the window procedure draw one button into a bitmap of its own, then composes that into the
// back buffer: the buttons never paint themselves, so they cannot flicker over the face. `itemDc` is a
// memory DC shared by the buttons of one paint: under Wine every new DC checks the display settings
// with the window server.
void ComposeButton(HDC backBuffer, HDC itemDc, const ShellContext& shell, HWND button, const RECT& placement,
                   HWND focus) {
    const int width = placement.right - placement.left;
    const int height = placement.bottom - placement.top;
    UniqueBitmap itemBitmap(::CreateCompatibleBitmap(backBuffer, width, height));
    if (!itemBitmap) return;
    // Whatever one button's drawing leaves set in the shared DC goes with its turn.
    SavedDcState saved(itemDc);
    SelectGuard selectBitmap(itemDc, itemBitmap.get());

    DRAWITEMSTRUCT drawItem{};
    drawItem.CtlType = ODT_BUTTON;
    drawItem.CtlID = static_cast<UINT>(::GetDlgCtrlID(button));
    drawItem.itemAction = ODA_DRAWENTIRE;
    if (!::IsWindowEnabled(button)) drawItem.itemState |= ODS_DISABLED;
    if (focus == button) drawItem.itemState |= ODS_FOCUS;
    if (::SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) drawItem.itemState |= ODS_SELECTED;
    drawItem.hwndItem = button;
    drawItem.hDC = itemDc;
    ::GetClientRect(button, &drawItem.rcItem);
    ::SendMessageW(shell.window, WM_DRAWITEM, drawItem.CtlID, reinterpret_cast<LPARAM>(&drawItem));

    ::BitBlt(backBuffer, placement.left, placement.top, width, height, itemDc, 0, 0, SRCCOPY);
}

}  // namespace

void PaintShell(ShellContext& shell, HDC targetDc, const RECT* dirtyRect) noexcept {
    if (shell.mode == ShellModeUpdate) return PaintUpdateSurface(shell, targetDc, dirtyRect);

    const int width = Scale(shell.logicalWidth, shell.dpi);
    const int height = Scale(shell.logicalHeight, shell.dpi);
    UniqueMemoryDc backBuffer(::CreateCompatibleDC(targetDc));
    if (!backBuffer) return;
    UniqueBitmap bitmap(::CreateCompatibleBitmap(targetDc, width, height));
    if (!bitmap) return;
    SelectGuard selectBitmap(backBuffer.get(), bitmap.get());

    // GDI goes first: GDI+ draws over it on the same DC.
    const bool backdropCopied =
        CopyBackdropPart(backBuffer.get(), shell.backdropDc.get(), 0, 0, 0, 0, width, height);
    if (DcGraphics graphics(backBuffer.get()); graphics)
        PaintFaceImages(graphics.target(), shell, backdropCopied);
    PaintFaceTexts(backBuffer.get(), shell);

    const bool shown = ::IsWindowVisible(shell.window) != FALSE;
    if (shown) {
        const HWND focus = ::GetFocus();
        if (UniqueMemoryDc itemDc(::CreateCompatibleDC(backBuffer.get())); itemDc) {
            for (const ShellChild& child : kShellChildren) {
                if (child.kind != ShellChildKind::OwnerDrawnButton) continue;
                const HWND button = shell.*child.window;
                if (!IsOnScreen(shown, button)) continue;
                // Outside the area being repainted a button's pixels would be clipped away anyway.
                RECT overlap{};
                const RECT placement = ClientPlacement(shell.window, button);
                if (dirtyRect && !::IntersectRect(&overlap, &placement, dirtyRect)) continue;
                ComposeButton(backBuffer.get(), itemDc.get(), shell, button, placement, focus);
            }
        }
    }

    {
        // The children that paint themselves keep their pixels: the copy goes around them.
        SavedDcState saved(targetDc);
        for (const ShellChild& child : kShellChildren) {
            if (!PaintsItself(child.kind)) continue;
            const HWND control = shell.*child.window;
            if (!IsOnScreen(shown, control)) continue;
            const RECT placement = ClientPlacement(shell.window, control);
            ::ExcludeClipRect(targetDc, placement.left, placement.top, placement.right, placement.bottom);
        }
        ::BitBlt(targetDc, 0, 0, width, height, backBuffer.get(), 0, 0, SRCCOPY);
    }
    if (IsOnScreen(shown, shell.pathEdit))
        ::RedrawWindow(shell.pathEdit, nullptr, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
}

}  // namespace tovrak
