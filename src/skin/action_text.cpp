// SetActionText: a label whose text colour follows the hover and focus state of another control.

#include <cstdint>
#include <new>

#include "common/export_guard.h"
#include "skin/drawing.h"
#include "skin/painted_subclass.h"
#include "skin/skin.h"
#include "tovrak/renderer.h"

namespace tovrak::skin {
namespace {

struct ActionTextSkin {
    HWND trigger = nullptr;
    HWND label = nullptr;  // null once the label has been destroyed
    COLORREF normalColor = 0;
    COLORREF activeColor = 0;
    COLORREF backgroundColor = 0;
    std::uint8_t hovered = 0;
    std::uint8_t focused = 0;

    bool active() const noexcept { return hovered || focused; }
};

// Static controls keep their alignment in the type bits of the style.
UINT AlignmentFlags(HWND label) noexcept {
    const LONG type = ::GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_CENTER) return DT_CENTER;
    if (type == SS_RIGHT) return DT_RIGHT;
    return DT_LEFT;
}

void PaintLabel(HWND label, const ActionTextSkin& skin, HDC dc) noexcept {
    SavedDcState saved(dc);
    RECT client{};
    ::GetClientRect(label, &client);
    FillWithColour(dc, client, skin.backgroundColor);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, skin.active() ? skin.activeColor : skin.normalColor);
    if (const HFONT font = WindowFont(label)) ::SelectObject(dc, font);
    wchar_t text[128] = {};
    ::GetWindowTextW(label, text, 128);
    ::DrawTextW(dc, text, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | AlignmentFlags(label));
}

// The label's skin; the record belongs to the trigger, so the label only forgets itself at its end.
struct LabelSkinProcedure : PaintedSkin<ActionTextSkin> {
    static void Paint(HWND label, const ActionTextSkin& skin, HDC dc) noexcept {
        PaintLabel(label, skin, dc);
    }
    static bool Handle(HWND label, UINT message, WPARAM wParam, LPARAM lParam, ActionTextSkin&,
                       LRESULT& result) noexcept {
        switch (message) {
            case WM_SETTEXT:
                result = comctl32::DefSubclassProc(label, message, wParam, lParam);
                ::InvalidateRect(label, nullptr, FALSE);
                return true;
            case WM_NCHITTEST:
                result = HTTRANSPARENT;
                return true;
            default:
                return false;
        }
    }
    static void Release(HWND, ActionTextSkin* skin) noexcept { skin->label = nullptr; }
};

constexpr SUBCLASSPROC LabelProc = PaintedSubclassProc<LabelSkinProcedure>;

LRESULT CALLBACK TriggerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                             DWORD_PTR data) {
    auto* skin = reinterpret_cast<ActionTextSkin*>(data);
    const bool wasActive = skin->active();
    switch (message) {
        case WM_SETFOCUS:
            skin->focused = 1;
            break;
        case WM_KILLFOCUS:
            skin->focused = 0;
            break;
        case WM_MOUSEMOVE:
            if (!skin->hovered) {
                skin->hovered = 1;
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
                ::TrackMouseEvent(&track);
            }
            break;
        case WM_MOUSELEAVE:
            skin->hovered = 0;
            break;
    }
    if (skin->active() != wasActive && skin->label && ::IsWindow(skin->label))
        ::InvalidateRect(skin->label, nullptr, FALSE);
    if (message == WM_NCDESTROY) {
        if (skin->label && ::IsWindow(skin->label))
            comctl32::RemoveWindowSubclass(skin->label, LabelProc, kActionLabelSubclassId);
        comctl32::RemoveWindowSubclass(window, TriggerProc, id);
        delete skin;
    }
    return comctl32::DefSubclassProc(window, message, wParam, lParam);
}

std::int32_t ApplyActionText(HWND trigger, HWND label, COLORREF normalColor, COLORREF activeColor,
                             COLORREF backgroundColor) noexcept {
    if (!::IsWindow(trigger) || !::IsWindow(label)) return 0;
    if (!EnsureSkinGdiplus()) return 0;
    if (FindSkin<ActionTextSkin>(trigger, TriggerProc, kActionTriggerSubclassId)) return 1;

    auto* skin =
        new (std::nothrow) ActionTextSkin{trigger, label, normalColor, activeColor, backgroundColor, 0, 0};
    if (!skin) return 0;
    if (!comctl32::SetWindowSubclass(trigger, TriggerProc, kActionTriggerSubclassId,
                                     reinterpret_cast<DWORD_PTR>(skin))) {
        delete skin;
        return 0;
    }
    // A label that a previous pair painted now belongs to this pair; the old trigger must no longer
    // reach it, or its destruction would strip the label procedure from under the new pair.
    ActionTextSkin* previous = FindSkin<ActionTextSkin>(label, LabelProc, kActionLabelSubclassId);
    if (!comctl32::SetWindowSubclass(label, LabelProc, kActionLabelSubclassId,
                                     reinterpret_cast<DWORD_PTR>(skin))) {
        comctl32::RemoveWindowSubclass(trigger, TriggerProc, kActionTriggerSubclassId);
        delete skin;
        return 0;
    }
    if (previous && previous != skin) previous->label = nullptr;
    ::InvalidateRect(label, nullptr, FALSE);
    return 1;
}

}  // namespace
}  // namespace tovrak::skin

extern "C" int32_t TOVRAK_CALL SetActionText(HWND trigger, HWND label, COLORREF normalColor,
                                             COLORREF activeColor, COLORREF backgroundColor) noexcept {
    return tovrak::GuardExport<int32_t>(0, tovrak::skin::ApplyActionText, trigger, label, normalColor,
                                        activeColor, backgroundColor);
}
