// SetActionText: a label whose text colour follows the hover and focus state of another control.

#include <cstdint>
#include <new>

#include "skin/drawing.h"
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

LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR data) {
    auto* skin = reinterpret_cast<ActionTextSkin*>(data);
    switch (message) {
        case WM_SETTEXT: {
            const LRESULT result = comctl32::DefSubclassProc(window, message, wParam, lParam);
            ::InvalidateRect(window, nullptr, FALSE);
            return result;
        }
        case WM_PAINT: {
            PaintScope paint(window);
            PaintLabel(window, *skin, paint.dc());
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintLabel(window, *skin, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_NCDESTROY:
            // The record belongs to the trigger; the label only forgets itself.
            skin->label = nullptr;
            comctl32::RemoveWindowSubclass(window, LabelProc, id);
            break;
    }
    return comctl32::DefSubclassProc(window, message, wParam, lParam);
}

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

}  // namespace
}  // namespace tovrak::skin

using namespace tovrak;
using namespace tovrak::skin;

extern "C" int32_t __stdcall SetActionText(HWND trigger, HWND label, COLORREF normalColor,
                                           COLORREF activeColor, COLORREF backgroundColor) noexcept {
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
