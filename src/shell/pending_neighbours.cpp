// Temporary stand-ins for the diagnostics panel and the scrolling region, which are still being
// written, so that the shell links. This file goes away as soon as the skinning library has them.

#include <windows.h>

#include <new>

#include "common/scaling.h"
#include "tovrak/renderer.h"

extern "C" int32_t __stdcall LayoutDiagnostics(HWND panel, int32_t dpi, COLORREF, COLORREF,
                                               COLORREF) noexcept {
    if (!::IsWindow(panel) || !tovrak::IsSupportedDpi(dpi)) return 0;
    // One heading line and one line per text line, 20 units each.
    int lines = 1;
    const int length = ::GetWindowTextLengthW(panel);
    if (length > 0) {
        wchar_t* text = new (std::nothrow) wchar_t[length + 1];
        if (!text) return 0;
        ::GetWindowTextW(panel, text, length + 1);
        for (int i = 0; i < length; ++i)
            lines += text[i] == L'\n' ? 1 : 0;
        lines += text[length - 1] == L'\n' ? 0 : 1;
        delete[] text;
    }
    const int height = lines * 20;
    RECT client{};
    ::GetClientRect(panel, &client);
    ::SetWindowPos(panel, nullptr, 0, 0, client.right, tovrak::Scale(height, static_cast<UINT>(dpi)),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return height;
}

extern "C" int32_t __stdcall ConfigureScroll(HWND host, HWND, uint32_t dpi, int32_t, COLORREF,
                                             COLORREF) noexcept {
    return ::IsWindow(host) && tovrak::IsSupportedDpi(dpi) ? 1 : 0;
}
