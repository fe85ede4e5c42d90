#include "screenshot.h"

#include <objidl.h>
#include <gdiplus.h>

namespace sample {
namespace {

namespace gp = Gdiplus::DllExports;

// The PNG encoder that GDI+ ships with.
constexpr CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

ULONG_PTR StartGdiplusOnce() {
    static ULONG_PTR token = 0;
    if (!token) {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    return token;
}

}  // namespace

bool SaveWindowPng(HWND window, const std::wstring& path) {
    if (!StartGdiplusOnce()) return false;
    RECT client{};
    if (!::GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return false;
    HDC windowDc = ::GetDC(window);
    if (!windowDc) return false;
    HDC memoryDc = ::CreateCompatibleDC(windowDc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(windowDc, client.right, client.bottom);
    bool saved = false;
    if (memoryDc && bitmap) {
        HGDIOBJ previous = ::SelectObject(memoryDc, bitmap);
        ::BitBlt(memoryDc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
        ::SelectObject(memoryDc, previous);
        Gdiplus::GpBitmap* image = nullptr;
        if (gp::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
            saved = gp::GdipSaveImageToFile(image, path.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
            gp::GdipDisposeImage(image);
        }
    }
    if (bitmap) ::DeleteObject(bitmap);
    if (memoryDc) ::DeleteDC(memoryDc);
    ::ReleaseDC(window, windowDc);
    return saved;
}

}  // namespace sample
