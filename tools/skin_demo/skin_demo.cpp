// skin_demo <screenshot.png>: opens a dialog-like window whose controls are skinned by TovrakRenderer
// (an image label, an icon, a surface, an action-text label, a path field and a progress bar at 50 %),
// shows it for a moment, saves what it shows as a PNG and exits 0.
//
// The images it needs are drawn at run time with GDI+ into a temporary folder.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tovrak/renderer.h"

namespace {

namespace gp = Gdiplus::DllExports;

constexpr int kWidth = 700;
constexpr int kHeight = 500;
constexpr DWORD kShowMs = 800;

struct ImageDeleter {
    void operator()(Gdiplus::GpImage* image) const { gp::GdipDisposeImage(image); }
};
struct GraphicsDeleter {
    void operator()(Gdiplus::GpGraphics* graphics) const { gp::GdipDeleteGraphics(graphics); }
};
struct BrushDeleter {
    void operator()(Gdiplus::GpBrush* brush) const { gp::GdipDeleteBrush(brush); }
};
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DcDeleter {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
using Image = std::unique_ptr<Gdiplus::GpImage, ImageDeleter>;
using Graphics = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;
using Brush = std::unique_ptr<Gdiplus::GpBrush, BrushDeleter>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

class GdiplusSession {
  public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (started_) Gdiplus::GdiplusShutdown(token_);
    }
    bool started() const { return started_; }

  private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

bool PngEncoder(CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (gp::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (gp::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool SavePng(Gdiplus::GpImage* image, const std::wstring& path) {
    CLSID png{};
    return PngEncoder(png) && gp::GdipSaveImageToFile(image, path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

Brush SolidBrush(Gdiplus::ARGB colour) {
    Gdiplus::GpSolidFill* brush = nullptr;
    gp::GdipCreateSolidFill(colour, &brush);
    return Brush(brush);
}

// Draws a width × height picture with `paint` and saves it as a PNG.
template <typename Paint>
bool WriteImage(const std::wstring& path, int width, int height, Paint paint) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) !=
        Gdiplus::Ok)
        return false;
    const Image image(bitmap);
    {
        Gdiplus::GpGraphics* raw = nullptr;
        if (gp::GdipGetImageGraphicsContext(image.get(), &raw) != Gdiplus::Ok) return false;
        const Graphics graphics(raw);
        gp::GdipSetSmoothingMode(raw, Gdiplus::SmoothingModeAntiAlias);
        paint(raw);
    }
    return SavePng(image.get(), path);
}

// The window's background: a vertical gradient with a band and a few circles, 700 × 500.
bool WriteBackground(const std::wstring& path) {
    return WriteImage(path, kWidth, kHeight, [](Gdiplus::GpGraphics* graphics) {
        const Gdiplus::PointF top(0.0f, 0.0f), bottom(0.0f, static_cast<float>(kHeight));
        Gdiplus::GpLineGradient* gradient = nullptr;
        gp::GdipCreateLineBrush(&top, &bottom, 0xFFEFF4FF, 0xFFD6E2F5, Gdiplus::WrapModeTile, &gradient);
        const Brush fill(gradient);
        gp::GdipFillRectangleI(graphics, fill.get(), 0, 0, kWidth, kHeight);
        const Brush band = SolidBrush(0x30396AD6);
        gp::GdipFillRectangleI(graphics, band.get(), 0, 300, kWidth, 90);
        const Brush circles = SolidBrush(0x402563EB);
        gp::GdipFillEllipseI(graphics, circles.get(), 480, -60, 260, 260);
        gp::GdipFillEllipseI(graphics, circles.get(), -80, 380, 220, 220);
    });
}

bool WriteIcon(const std::wstring& path) {
    return WriteImage(path, 64, 64, [](Gdiplus::GpGraphics* graphics) {
        const Brush disc = SolidBrush(0xFF2563EB);
        gp::GdipFillEllipseI(graphics, disc.get(), 2, 2, 60, 60);
        const Brush mark = SolidBrush(0xFFFFFFFF);
        gp::GdipFillRectangleI(graphics, mark.get(), 28, 14, 8, 26);
        gp::GdipFillEllipseI(graphics, mark.get(), 27, 44, 10, 10);
    });
}

bool WriteSurface(const std::wstring& path) {
    return WriteImage(path, 120, 120, [](Gdiplus::GpGraphics* graphics) {
        const Brush tile = SolidBrush(0xFF0F766E);
        gp::GdipFillRectangleI(graphics, tile.get(), 0, 0, 120, 120);
        const Brush inner = SolidBrush(0xFF5EEAD4);
        gp::GdipFillEllipseI(graphics, inner.get(), 20, 20, 80, 80);
    });
}

std::wstring TemporaryFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, base);
    std::wstring folder =
        std::wstring(base) + L"tovrak-skin-demo-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// The generated images, removed again when the demo ends.
struct DemoImages {
    std::wstring folder, background, icon, surface;
    ~DemoImages() {
        for (const std::wstring* file : {&background, &icon, &surface})
            ::DeleteFileW(file->c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
};

// The host paints the background image; the skinned controls show their own slices of it.
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        const auto* images = reinterpret_cast<const DemoImages*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        Gdiplus::GpImage* raw = nullptr;
        if (images && gp::GdipLoadImageFromFile(images->background.c_str(), &raw) == Gdiplus::Ok) {
            const Image background(raw);
            Gdiplus::GpGraphics* target = nullptr;
            if (gp::GdipCreateFromHDC(dc, &target) == Gdiplus::Ok) {
                const Graphics graphics(target);
                gp::GdipDrawImageRectI(target, background.get(), 0, 0, kWidth, kHeight);
            }
        }
        ::EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
           int height) {
    const HWND child = ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                                         height, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

void Pump(DWORD milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (::GetTickCount64() < end) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Copies the client area from the window's DC and saves it as a PNG.
bool SaveScreenshot(HWND window, const std::wstring& path) {
    RECT client{};
    ::GetClientRect(window, &client);
    HDC source = ::GetDC(window);
    if (!source) return false;
    const MemoryDc memory(::CreateCompatibleDC(source));
    const Bitmap copy(::CreateCompatibleBitmap(source, client.right, client.bottom));
    bool copied = false;
    if (memory && copy) {
        const HGDIOBJ previous = ::SelectObject(memory.get(), copy.get());
        copied = ::BitBlt(memory.get(), 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY) != FALSE;
        ::SelectObject(memory.get(), previous);
    }
    ::ReleaseDC(window, source);
    if (!copied) return false;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromHBITMAP(copy.get(), nullptr, &bitmap) != Gdiplus::Ok) return false;
    const Image image(bitmap);
    return SavePng(image.get(), path);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argumentCount = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(
        ::CommandLineToArgvW(::GetCommandLineW(), &argumentCount), &::LocalFree);
    if (!arguments || argumentCount < 2) return 2;
    const std::wstring screenshot = arguments.get()[1];

    GdiplusSession gdiplus;
    if (!gdiplus.started()) return 3;
    const std::wstring folder = TemporaryFolder();
    const DemoImages images{folder, folder + L"\\background.png", folder + L"\\icon.png",
                            folder + L"\\surface.png"};
    if (!WriteBackground(images.background) || !WriteIcon(images.icon) || !WriteSurface(images.surface))
        return 4;

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"TovrakSkinDemo";
    if (!::RegisterClassExW(&windowClass)) return 5;
    RECT frame{0, 0, kWidth, kHeight};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    ::AdjustWindowRect(&frame, style, FALSE);
    const HWND window = ::CreateWindowExW(WS_EX_DLGMODALFRAME, windowClass.lpszClassName,
                                          L"TovrakRenderer skins", style, 40, 40, frame.right - frame.left,
                                          frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 5;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&images));

    const HWND title = Child(window, L"STATIC", L"Install TovrakRenderer", 0, 130, 44, 360, 36);
    const HWND icon = Child(window, L"STATIC", L"", 0, 40, 30, 64, 64);
    const HWND surface = Child(window, L"STATIC", L"", 0, 560, 40, 100, 100);
    const HWND path =
        Child(window, L"EDIT", L"C:\\Program Files\\Tovrak\\Renderer\\Installed Application Folder",
              ES_AUTOHSCROLL | WS_TABSTOP, 40, 200, 420, 28);
    const HWND browse = Child(window, L"BUTTON", L"Browse...", BS_PUSHBUTTON | WS_TABSTOP, 480, 200, 120, 28);
    const HWND change = Child(window, L"STATIC", L"Change the install location", SS_RIGHT, 200, 250, 400, 22);
    const HWND progress = CreateProgress(window, 96, RGB(226, 232, 240), RGB(37, 99, 235), RGB(96, 165, 250),
                                         RGB(222, 231, 246));

    const bool skinned =
        SetLabel(title, images.background.c_str(), 130, 44, 96, RGB(15, 23, 42)) == 1 &&
        SetIcon(icon, images.icon.c_str(), images.background.c_str(), 40, 30, 96) == 1 &&
        SetSurface(surface, images.surface.c_str(), 96) == 1 &&
        SetPath(path, RGB(51, 65, 85), RGB(255, 255, 255)) == 1 &&
        SetActionText(browse, change, RGB(71, 85, 105), RGB(37, 99, 235), RGB(229, 236, 248)) == 1 &&
        progress != nullptr;
    if (!skinned) return 6;
    ::SendMessageW(progress, SetProgressMessage, 50, 0);

    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
    ::SetFocus(browse);  // the action text shows its active colour
    Pump(kShowMs);
    const bool saved = SaveScreenshot(window, screenshot);
    ::DestroyWindow(window);
    return saved ? 0 : 7;
}
