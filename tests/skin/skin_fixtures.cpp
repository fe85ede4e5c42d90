#include "skin/skin_fixtures.h"

#include <commctrl.h>

#include <vector>

#include "common/colours.h"
#include "common/gdiplus.h"

namespace tovrak::test {
namespace {

constexpr wchar_t kHostClass[] = L"TovrakSkinTestHost";

ATOM RegisterHostClass() {
    static ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = kHostClass;
        return ::RegisterClassExW(&windowClass);
    }();
    return atom;
}

ULONG_PTR StartTestGdiplus() {
    static ULONG_PTR token = 0;
    tovrak::StartGdiplus(token);
    return token;
}

bool SavePng(const UniqueGpImage& image, const std::wstring& path) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png")
            return Gdiplus::DllExports::GdipSaveImageToFile(image.get(), path.c_str(), &codecs[i].Clsid,
                                                            nullptr) == Gdiplus::Ok;
    }
    return false;
}

bool WriteRects(const std::wstring& path, int width, int height, const RECT* rects, const COLORREF* colours,
                int count) {
    StartTestGdiplus();
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) !=
        Gdiplus::Ok)
        return false;
    UniqueGpImage image(bitmap);
    {
        Gdiplus::GpGraphics* raw = nullptr;
        if (gp::GdipGetImageGraphicsContext(image.get(), &raw) != Gdiplus::Ok) return false;
        UniqueGpGraphics graphics(raw);
        for (int i = 0; i < count; ++i) {
            Gdiplus::GpSolidFill* fill = nullptr;
            gp::GdipCreateSolidFill(ArgbFromColorref(colours[i]), &fill);
            UniqueGpBrush brush(fill);
            gp::GdipFillRectangleI(graphics.get(), brush.get(), rects[i].left, rects[i].top,
                                   rects[i].right - rects[i].left, rects[i].bottom - rects[i].top);
        }
    }
    return SavePng(image, path);
}

}  // namespace

HostWindow::HostWindow(int x, int y, int width, int height, DWORD exStyle) {
    RegisterHostClass();
    window_ = ::CreateWindowExW(exStyle, kHostClass, L"skin test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x,
                                y, width, height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetForegroundWindow(window_);
}

HostWindow::~HostWindow() {
    if (window_) ::DestroyWindow(window_);
}

HWND HostWindow::AddChild(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                          int height) {
    return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, window_,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

bool WritePng(const std::wstring& path, int width, int height, COLORREF fill) {
    const RECT all{0, 0, width, height};
    return WriteRects(path, width, height, &all, &fill, 1);
}

bool WriteQuadrantPng(const std::wstring& path, int width, int height, const COLORREF (&quadrants)[4]) {
    const int midX = width / 2, midY = height / 2;
    const RECT rects[4] = {
        {0, 0, midX, midY}, {midX, 0, width, midY}, {0, midY, midX, height}, {midX, midY, width, height}};
    return WriteRects(path, width, height, rects, quadrants, 4);
}

PaintCounter::PaintCounter(HWND window) : window_(window) {
    ::SetWindowSubclass(window, Proc, 0x7E57, reinterpret_cast<DWORD_PTR>(this));
}

PaintCounter::~PaintCounter() {
    if (::IsWindow(window_)) ::RemoveWindowSubclass(window_, Proc, 0x7E57);
}

LRESULT CALLBACK PaintCounter::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data) {
    if (message == WM_PAINT) ++reinterpret_cast<PaintCounter*>(data)->count_;
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, Proc, id);
    return ::DefSubclassProc(window, message, wParam, lParam);
}

int CountPixels(const WindowCapture& capture, RECT area, COLORREF colour, int tolerance) {
    const Rgb expected = FromColorref(colour);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (Near(capture.At(x, y), expected, tolerance)) ++count;
    return count;
}

void Settle(DWORD milliseconds) {
    PumpMessages(milliseconds);
}

}  // namespace tovrak::test
