// SetPath: an edit field that, while it does not have the keyboard focus, shows its text on a flat
// background, cut with an ellipsis at the end.

#include <cstdint>
#include <new>

#include "common/export_guard.h"
#include "skin/drawing.h"
#include "skin/painted_subclass.h"
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

struct PathSkinProcedure : PaintedSkin<PathSkin> {
    // With the focus the edit draws itself, with its caret, selection and scrolling.
    static bool PaintsNow(HWND edit, const PathSkin&) noexcept { return ::GetFocus() != edit; }
    static void Paint(HWND edit, const PathSkin& skin, HDC dc) noexcept { PaintUnfocused(edit, skin, dc); }
    static bool Handle(HWND edit, UINT message, WPARAM, LPARAM, PathSkin&, LRESULT&) noexcept {
        if (message == WM_SETFOCUS || message == WM_KILLFOCUS) ::InvalidateRect(edit, nullptr, TRUE);
        return false;
    }
};

constexpr SUBCLASSPROC PathProc = PaintedSubclassProc<PathSkinProcedure>;

std::int32_t ApplyPathSkin(HWND edit, COLORREF textColor, COLORREF backgroundColor) noexcept {
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

}  // namespace
}  // namespace tovrak::skin

extern "C" int32_t TOVRAK_CALL SetPath(HWND edit, COLORREF textColor, COLORREF backgroundColor) noexcept {
    return tovrak::GuardExport<int32_t>(0, tovrak::skin::ApplyPathSkin, edit, textColor, backgroundColor);
}
