// SetPath: an edit field that, while it does not have the keyboard focus, shows its text on a flat
// background, cut with an ellipsis at the end.

#include <cstdint>
#include <new>

#include "skin/drawing.h"
#include "skin/skin.h"
#include "tovrak/renderer.h"

namespace tovrak::skin {
namespace {

struct PathSkin {
    COLORREF textColor = 0;
    COLORREF backgroundColor = 0;
};

// Drawn off screen and copied in one go, so that the unfocused field never flickers through the edit's
// own painting. Without a memory DC nothing is drawn, but the paint still completes.
void PaintUnfocused(HWND edit, const PathSkin& skin, HDC dc) noexcept {
    RECT client{};
    ::GetClientRect(edit, &client);
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    UniqueBitmap bitmap(memory ? ::CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr);
    if (!bitmap) return;
    SelectGuard selectBitmap(memory.get(), bitmap.get());
    SelectGuard selectFont(memory.get(), WindowFont(edit));
    FillWithColour(memory.get(), client, skin.backgroundColor);
    ::SetBkMode(memory.get(), TRANSPARENT);
    ::SetTextColor(memory.get(), skin.textColor);
    try {
        const WideString text = WindowText(edit);
        ::DrawTextW(memory.get(), text.c_str(), static_cast<int>(text.size()), &client,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    } catch (...) {
        // Without memory for the text the field shows its background only.
    }
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK PathProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                          DWORD_PTR data) {
    auto* skin = reinterpret_cast<PathSkin*>(data);
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::InvalidateRect(window, nullptr, TRUE);
            break;
        case WM_PAINT:
            // With the focus the edit draws itself, with its caret, selection and scrolling.
            if (::GetFocus() == window) break;
            {
                PaintScope paint(window);
                PaintUnfocused(window, *skin, paint.dc());
            }
            return 0;
        case WM_NCDESTROY:
            comctl32::RemoveWindowSubclass(window, PathProc, id);
            delete skin;
            break;
    }
    return comctl32::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace
}  // namespace tovrak::skin

using namespace tovrak;
using namespace tovrak::skin;

extern "C" int32_t __stdcall SetPath(HWND edit, COLORREF textColor, COLORREF backgroundColor) noexcept {
    if (!::IsWindow(edit)) return 0;
    if (!EnsureSkinGdiplus()) return 0;
    if (FindSkin<PathSkin>(edit, PathProc, kPathSubclassId)) return 1;
    auto* skin = new (std::nothrow) PathSkin{textColor, backgroundColor};
    if (!skin) return 0;
    if (!comctl32::SetWindowSubclass(edit, PathProc, kPathSubclassId, reinterpret_cast<DWORD_PTR>(skin))) {
        delete skin;
        return 0;
    }
    ::InvalidateRect(edit, nullptr, TRUE);
    return 1;
}
