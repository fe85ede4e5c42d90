#pragma once
// The skeleton every painted skin shares: a subclass procedure with a record, which draws the whole
// client area itself. PaintedSubclassProc<Skin> answers the four messages that every such skin
// answers alike (WM_PAINT, WM_PRINTCLIENT, WM_ERASEBKGND, WM_NCDESTROY) and hands every other message
// to the skin.
//
// A skin describes itself with a type derived from PaintedSkin<Record> that defines
//     static void Paint(HWND window, const Record& record, HDC dc) noexcept;
// and, where the defaults below do not fit, hides them with its own PaintsNow, Handle or Release.

#include <windows.h>

#include "common/comctl32_functions.h"
#include "skin/drawing.h"

namespace tovrak::skin {

template <typename RecordType>
struct PaintedSkin {
    using Record = RecordType;

    // False while the control paints itself (its own WM_PAINT, WM_PRINTCLIENT and erasing).
    static bool PaintsNow(HWND, const Record&) noexcept { return true; }
    // Any other message; true when it is answered with `result`, false to pass it on.
    static bool Handle(HWND, UINT, WPARAM, LPARAM, Record&, LRESULT&) noexcept { return false; }
    // The record's end, once the subclass is gone. The record belongs to this subclass by default.
    static void Release(HWND, Record* record) noexcept { delete record; }
};

template <typename Skin>
LRESULT CALLBACK PaintedSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data) {
    auto* record = reinterpret_cast<typename Skin::Record*>(data);
    switch (message) {
        case WM_PAINT:
            if (!Skin::PaintsNow(window, *record)) break;
            {
                PaintScope paint(window);
                Skin::Paint(window, *record, paint.dc());
            }
            return 0;
        case WM_PRINTCLIENT:
            if (!Skin::PaintsNow(window, *record)) break;
            Skin::Paint(window, *record, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            // The paint covers the whole client area; erasing first would only show as a flash.
            if (!Skin::PaintsNow(window, *record)) break;
            return 1;
        case WM_NCDESTROY:
            // The subclass goes first and the record after it: once the procedure is removed no
            // message can reach it with the record, so nothing sent while the window is torn down (by
            // the removal or by the procedures below it) can find the record already freed.
            comctl32::RemoveWindowSubclass(window, PaintedSubclassProc<Skin>, id);
            Skin::Release(window, record);
            break;
        default: {
            LRESULT result = 0;
            if (Skin::Handle(window, message, wParam, lParam, *record, result)) return result;
            break;
        }
    }
    return comctl32::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace tovrak::skin
