// ConfigureScroll: the lower part of a host window scrolls by moving its children and clipping each to
// the visible band, with a slim painted scroll bar, the mouse wheel and the keyboard focus driving it.

#include "skin/scroll.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "common/shell_texts.h"
#include "common/export_guard.h"
#include "common/scaling.h"
#include "skin/drawing.h"
#include "skin/painted_subclass.h"
#include "skin/skin.h"
#include "tovrak/renderer.h"

namespace tovrak::skin {
namespace {

// Geometry in 96-DPI units.
constexpr int kRegionTop = 494;
constexpr int kScrollBarWidth = 14;
constexpr int kLineStep = 24;
constexpr int kWheelStep = 48;  // per notch of WHEEL_DELTA
constexpr int kThumbInset = 4;
constexpr int kThumbCorner = 6;

constexpr UINT kMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

UniqueRegion CopyRegion(const UniqueRegion& region) noexcept {
    if (!region) return {};
    UniqueRegion copy(::CreateRectRgn(0, 0, 0, 0));
    if (copy && ::CombineRgn(copy.get(), region.get(), nullptr, RGN_COPY) == ERROR) copy.reset();
    return copy;
}

// The window takes the region over only when it accepts it.
void GiveRegion(HWND window, UniqueRegion region) noexcept {
    if (::SetWindowRgn(window, region.get(), FALSE)) static_cast<void>(region.release());
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                          DWORD_PTR data);
LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR data);

// Every use checks that a child is still a window: a child destroyed while configured is skipped.
void ReleaseScrollSkin(ScrollSkin* skin, bool restore) noexcept {
    for (ScrolledChild& entry : skin->children) {
        if (!::IsWindow(entry.child)) continue;
        comctl32::RemoveWindowSubclass(entry.child, ChildProc, kScrollChildSubclassId);
        if (!restore) continue;
        GiveRegion(entry.child, CopyRegion(entry.originalRegion));
        ::SetWindowPos(entry.child, nullptr, entry.rect.left, entry.rect.top, 0, 0, kMoveFlags);
    }
    if (::IsWindow(skin->scrollBar)) ::DestroyWindow(skin->scrollBar);
    delete skin;
}

void PaintScrollBar(HWND bar, const ScrollSkin& skin, HDC dc) noexcept {
    RECT client{};
    ::GetClientRect(bar, &client);
    FillWithColour(dc, client, skin.trackColor);
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetScrollBarInfo(bar, OBJID_CLIENT, &info)) return;
    SavedDcState saved(dc);
    const int inset = Scale(kThumbInset, skin.dpi);
    const int corner = Scale(kThumbCorner, skin.dpi);
    ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    ::SetDCBrushColor(dc, skin.thumbColor);
    ::RoundRect(dc, inset, info.xyThumbTop, client.right - inset, info.xyThumbBottom, corner, corner);
}

int ScrollRequest(const ScrollSkin& skin, WORD code) noexcept {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(skin.scrollBar, SB_CTL, &info);
    const int line = Scale(kLineStep, skin.dpi);
    const int page = static_cast<int>(info.nPage);
    const int p = skin.position;
    switch (code) {
        case SB_LINEUP:
            return p - line;
        case SB_LINEDOWN:
            return p + line;
        case SB_PAGEUP:
            return p - page;
        case SB_PAGEDOWN:
            return p + page;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            return info.nTrackPos;
        case SB_TOP:
            return 0;
        case SB_BOTTOM:
            return info.nMax;
        default:
            return p;
    }
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                          DWORD_PTR data) {
    auto* skin = reinterpret_cast<ScrollSkin*>(data);
    switch (message) {
        case WM_VSCROLL:
            if (reinterpret_cast<HWND>(lParam) != skin->scrollBar) break;
            ScrollTo(*skin, ScrollRequest(*skin, LOWORD(wParam)));
            return 0;
        case WM_MOUSEWHEEL: {
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ScreenToClient(window, &point);
            if (point.y < skin->regionTop || point.y >= skin->viewportBottom) break;
            // Whole notches scroll; the rest waits for the next message (high-resolution wheels).
            const int sum = GET_WHEEL_DELTA_WPARAM(wParam) + skin->wheelRemainder;
            skin->wheelRemainder = sum % WHEEL_DELTA;
            ScrollTo(*skin, skin->position + (sum / -WHEEL_DELTA) * Scale(kWheelStep, skin->dpi));
            return 0;
        }
        case WM_NCDESTROY:
            comctl32::RemoveWindowSubclass(window, HostProc, id);
            ReleaseScrollSkin(skin, false);
            break;
    }
    return comctl32::DefSubclassProc(window, message, wParam, lParam);
}

// Every subclass of the region lets go of its window on WM_NCDESTROY: a subclass that is still
// installed when its window is gone leaves the subclassing records behind. The record belongs to the
// host's subclass, which destroys the bar before it frees the record.
struct ScrollBarSkinProcedure : PaintedSkin<ScrollSkin> {
    static void Paint(HWND bar, const ScrollSkin& skin, HDC dc) noexcept { PaintScrollBar(bar, skin, dc); }
    static void Release(HWND, ScrollSkin*) noexcept {}
};

constexpr SUBCLASSPROC ScrollBarProc = PaintedSubclassProc<ScrollBarSkinProcedure>;

// A child that takes the focus is scrolled into the band; for a child taller than the band its top wins.
LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR data) {
    auto* skin = reinterpret_cast<ScrollSkin*>(data);
    if (message == WM_NCDESTROY) comctl32::RemoveWindowSubclass(window, ChildProc, id);
    if (message == WM_SETFOCUS) {
        const auto entry = std::find_if(skin->children.begin(), skin->children.end(),
                                        [&](const ScrolledChild& c) { return c.child == window; });
        if (entry != skin->children.end()) {
            int p = skin->position;
            if (entry->rect.bottom - p > skin->viewportBottom) p = entry->rect.bottom - skin->viewportBottom;
            if (entry->rect.top - p < skin->regionTop) p = entry->rect.top - skin->regionTop;
            if (p != skin->position) ScrollTo(*skin, p);
        }
    }
    return comctl32::DefSubclassProc(window, message, wParam, lParam);
}

// The host's direct children that start at or below the line, except `exclude`.
void RecordChildren(ScrollSkin& skin, HWND exclude) {
    for (HWND child = ::GetWindow(skin.host, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (child == exclude) continue;
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, skin.host, reinterpret_cast<POINT*>(&rect), 2);
        if (rect.top < skin.regionTop) continue;
        UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
        if (region && ::GetWindowRgn(child, region.get()) == ERROR) region.reset();
        skin.children.push_back(ScrolledChild{child, rect, std::move(region)});
    }
}

}  // namespace

void ScrollTo(ScrollSkin& skin, int requested) noexcept {
    const int position = std::max(std::min(requested, skin.contentHeight - skin.viewportBottom), 0);
    skin.position = position;
    for (const ScrolledChild& entry : skin.children) {
        if (!::IsWindow(entry.child)) continue;
        const int top = entry.rect.top - position;
        const int height = entry.rect.bottom - entry.rect.top;
        const int visibleTop = std::max(std::min(skin.regionTop - top, height), 0);
        const int visibleBottom = std::max(std::min(skin.viewportBottom - top, height), visibleTop);
        UniqueRegion clip(::CreateRectRgn(0, visibleTop, entry.rect.right - entry.rect.left, visibleBottom));
        if (clip && entry.originalRegion)
            ::CombineRgn(clip.get(), clip.get(), entry.originalRegion.get(), RGN_AND);
        if (clip) GiveRegion(entry.child, std::move(clip));
        ::SetWindowPos(entry.child, nullptr, entry.rect.left, top, 0, 0, kMoveFlags);
    }
    ::SetScrollPos(skin.scrollBar, SB_CTL, position, TRUE);
    RECT band{};
    ::GetClientRect(skin.host, &band);
    band.top = skin.regionTop;
    ::RedrawWindow(skin.host, &band, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

namespace {

std::int32_t ApplyScrollSkin(HWND host, HWND exclude, std::uint32_t dpi, std::int32_t contentHeight,
                             COLORREF trackColor, COLORREF thumbColor) {
    if (!::IsWindow(host) || !IsSupportedDpi(dpi)) return 0;
    if (auto* previous = FindSkin<ScrollSkin>(host, HostProc, kScrollHostSubclassId)) {
        comctl32::RemoveWindowSubclass(host, HostProc, kScrollHostSubclassId);
        ReleaseScrollSkin(previous, true);
        // The children moved back without drawing; show them where they are now.
        ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    if (contentHeight == 0) return 1;

    const int regionTop = Scale(kRegionTop, dpi);
    const int content = Scale(contentHeight, dpi);
    RECT client{};
    ::GetClientRect(host, &client);
    if (client.bottom >= content || regionTop >= client.bottom) return 1;  // it fits, or there is no band
    if (!EnsureSkinGdiplus()) return 0;

    std::unique_ptr<ScrollSkin> skin(new (std::nothrow) ScrollSkin);
    if (!skin) return 0;
    skin->host = host;
    skin->regionTop = regionTop;
    skin->viewportBottom = client.bottom;
    skin->contentHeight = content;
    skin->dpi = static_cast<int>(dpi);
    skin->trackColor = trackColor;
    skin->thumbColor = thumbColor;
    RecordChildren(*skin, exclude);

    const int width = Scale(kScrollBarWidth, dpi);
    const WideString name(CurrentShellTexts()[ShellText::ScrollName]);
    skin->scrollBar = ::CreateWindowExW(
        0, L"SCROLLBAR", name.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | SBS_VERT, client.right - width,
        regionTop, width, client.bottom - regionTop, host, nullptr, libraryModule, nullptr);
    if (!skin->scrollBar || !comctl32::SetWindowSubclass(host, HostProc, kScrollHostSubclassId,
                                                         reinterpret_cast<DWORD_PTR>(skin.get()))) {
        ReleaseScrollSkin(skin.release(), true);
        return 0;
    }
    ScrollSkin& installed = *skin.release();
    const auto data = reinterpret_cast<DWORD_PTR>(&installed);
    comctl32::SetWindowSubclass(installed.scrollBar, ScrollBarProc, kScrollBarSubclassId, data);
    for (const ScrolledChild& entry : installed.children)
        comctl32::SetWindowSubclass(entry.child, ChildProc, kScrollChildSubclassId, data);

    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = installed.contentHeight - installed.regionTop - 1;
    info.nPage = static_cast<UINT>(installed.viewportBottom - installed.regionTop);
    info.nPos = 0;
    ::SetScrollInfo(installed.scrollBar, SB_CTL, &info, TRUE);
    ::SetWindowPos(installed.scrollBar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ScrollTo(installed, 0);
    return 1;
}

}  // namespace
}  // namespace tovrak::skin

extern "C" int32_t TOVRAK_CALL ConfigureScroll(HWND host, HWND exclude, uint32_t dpi, int32_t contentHeight,
                                               COLORREF trackColor, COLORREF thumbColor) noexcept {
    return tovrak::GuardExport<int32_t>(0, tovrak::skin::ApplyScrollSkin, host, exclude, dpi, contentHeight,
                                        trackColor, thumbColor);
}
