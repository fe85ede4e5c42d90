#include "shell_face.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/gdiplus.h"
#include "shell/shell_context.h"
#include "tovrak/renderer.h"

namespace tovrak::test {

void Command(HWND control) {
    ::SendMessageW(g_shell->window, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                   reinterpret_cast<LPARAM>(control));
}
namespace {

// {557CF406-1A04-11D3-9A73-0000F81EF32E}: the GDI+ PNG encoder.
constexpr CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

const wchar_t* const kPictures[] = {
    L"installer-background.png",       L"installer-logo.png",
    L"installer-close-alpha.png",      L"installer-arrow-down.png",
    L"installer-arrow-up.png",         L"installer-footer-checked.png",
    L"installer-footer-unchecked.png", L"installer-option-checked.png",
    L"installer-option-unchecked.png", L"installer-path.png",
};

}  // namespace

bool WriteSolidPng(const std::wstring& path, int width, int height, Rgb colour, int clearColumns) {
    static ULONG_PTR token = 0;
    if (!StartGdiplus(token)) return false;
    const std::uint32_t argb = 0xFF000000u | (colour.red << 16) | (colour.green << 8) | colour.blue;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height, argb);
    for (int y = 0; y < height; ++y)
        std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width, std::min(clearColumns, width),
                    0u);
    UniqueGpImage bitmap;
    if (gp::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                      reinterpret_cast<BYTE*>(pixels.data()),
                                      reinterpret_cast<Gdiplus::GpBitmap**>(bitmap.put())) != Gdiplus::Ok)
        return false;
    return Gdiplus::DllExports::GdipSaveImageToFile(bitmap.get(), path.c_str(), &kPngEncoder, nullptr) ==
           Gdiplus::Ok;
}

ShellFace::ShellFace() {
    for (const wchar_t* picture : kPictures)
        ::CopyFileW(SourcePath(std::wstring(L"assets\\") + picture).c_str(), assets_.Join(picture).c_str(),
                    FALSE);
    WriteSolidPng(assets_.Join(L"installer-background.png"), 700, 500, kTestBackground);
    WriteSolidPng(assets_.Join(L"installer-path.png"), 600, 32, kTestPathField);
}

bool ShellFace::ReplacePicture(const wchar_t* picture, Rgb colour, int size) {
    return WriteSolidPng(assets_.Join(picture), size, size, colour);
}

ShellFace::~ShellFace() {
    ShellClose();
}

HWND ShellFace::Open(unsigned mode, const wchar_t* displayName) {
    window_ = ShellOpen(assets_.path().c_str(), L"C:\\Program Files\\Demo", displayName, L"Tahoma", mode);
    if (!window_ || ShellShow() != 0) return nullptr;
    return window_;
}

WindowCapture ShellFace::Capture(DWORD pumpMilliseconds) {
    ShellPoll();
    PumpMessages(pumpMilliseconds);
    return WindowCapture(window_);
}

int CountPixels(const WindowCapture& capture, RECT area, const std::function<bool(const Rgb&)>& test) {
    int count = 0;
    for (int y = area.top; y < area.bottom && y < capture.height(); ++y)
        for (int x = area.left; x < area.right && x < capture.width(); ++x)
            if (test(capture.At(x, y))) ++count;
    return count;
}

}  // namespace tovrak::test
