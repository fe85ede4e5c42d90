#include <windows.h>

#include <algorithm>
#include <new>

#include "common/comctl32_functions.h"
#include "common/scaling.h"
#include "shell/accessibility.h"
#include "shell/shell_children.h"
#include "shell/shell_window.h"
#include "shell/update_surface_config.h"
#include "tovrak/renderer.h"

namespace tovrak {

HMODULE g_shellModule = nullptr;

namespace {

// Bounds of the update surface, in 96-DPI units.
constexpr int kSurfaceMinimumWidth = 990;
constexpr int kSurfaceMinimumHeight = 640;
constexpr int kSurfaceDefaultWidth = 1440;
constexpr int kSurfaceDefaultHeight = 940;

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

template <typename Function>
Function FindUser32Function(const char* name) noexcept {
    // user32 is always loaded in a process with windows; nothing is loaded here.
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (!user32) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

UINT SystemDpi() noexcept {
    const UINT dpi = ::GetDpiForSystem();
    return dpi != 0 ? dpi : kBaseDpi;
}

int AtLeastOne(int value) noexcept {
    return value < 2 ? 1 : value;
}

UniqueFont CreateShellFont(const ShellContext& shell, int units, int weight) noexcept {
    return UniqueFont(::CreateFontW(-Scale(units, shell.dpi), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, shell.fontFace.c_str()));
}

HWND CreateChild(ShellContext& shell, DWORD exStyle, const wchar_t* className, const wchar_t* text,
                 DWORD style, int controlId) noexcept {
    return ::CreateWindowExW(exStyle, className, text, style, 0, 0, 1, 1, shell.window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), g_shellModule,
                             nullptr);
}

HWND CreateShellChild(ShellContext& shell, const ShellChild& child) {
    const WideString text(child.text.In(shell));
    const int id = static_cast<int>(child.id);
    switch (child.kind) {
        case ShellChildKind::OwnerDrawnButton:
            return CreateShellButton(shell, text.c_str(), id);
        case ShellChildKind::Edit: {
            const HWND edit = CreateChild(shell, WS_EX_TRANSPARENT, L"EDIT", text.c_str(), child.style, id);
            if (edit) SetPath(edit, kPathTextColour, kPathFieldColour);
            return edit;
        }
        case ShellChildKind::Static: {
            // A translated label that is wider than its place ends in an ellipsis.
            const DWORD ellipsis = shell.texts.IsBuiltInChinese() ? 0 : SS_ENDELLIPSIS;
            return CreateChild(shell, 0, L"STATIC", text.c_str(), child.style | ellipsis, id);
        }
        case ShellChildKind::Progress:
            // Created shown; the first layout hides it.
            return CreateProgress(shell.window, shell.dpi, 0x312B29, 0xB7B5B4, 0xFFFFFF, 0x26201E);
    }
    return nullptr;
}

void FillWithShellBackground(const ShellContext* shell, HWND window, HDC dc) noexcept {
    RECT client{};
    ::GetClientRect(window, &client);
    const HBRUSH brush = shell && shell->backgroundBrush ? shell->backgroundBrush.get()
                                                         : static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    ::FillRect(dc, &client, brush);
}

}  // namespace

POINT CentreInWorkArea(const RECT& workArea, int width, int height) noexcept {
    return POINT{workArea.left + std::max(0L, (workArea.right - workArea.left - width) / 2),
                 workArea.top + std::max(0L, (workArea.bottom - workArea.top - height) / 2)};
}

void RegisterShellClasses(const ShellContext& shell) noexcept {
    WNDCLASSEXW shellClass{};
    shellClass.cbSize = sizeof(shellClass);
    shellClass.lpfnWndProc = ShellWindowProc;
    shellClass.hInstance = g_shellModule;
    shellClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    shellClass.lpszClassName = kShellClassName;
    // A later open in the same process finds the classes of the first one registered already.
    ::RegisterClassExW(&shellClass);

    WNDCLASSEXW transitionClass = shellClass;
    transitionClass.lpfnWndProc = TransitionWindowProc;
    transitionClass.hbrBackground = shell.backgroundBrush.get();
    transitionClass.lpszClassName = kTransitionClassName;
    ::RegisterClassExW(&transitionClass);
}

void EnterPerMonitorDpi(ShellContext& shell) noexcept {
    const auto setter = FindUser32Function<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
    if (!setter) return;
    DPI_AWARENESS_CONTEXT previous = setter(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (!previous) previous = setter(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    if (!previous) return;
    shell.dpiContextSetter = setter;
    shell.previousDpiContext = previous;
}

void LeavePerMonitorDpi(ShellContext& shell) noexcept {
    if (shell.dpiContextSetter && shell.previousDpiContext) shell.dpiContextSetter(shell.previousDpiContext);
    shell.dpiContextSetter = nullptr;
    shell.previousDpiContext = nullptr;
}

UINT ProbeWindowDpi(POINT point, UINT fallback) noexcept {
    const auto getDpiForWindow = FindUser32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (!getDpiForWindow) return fallback;
    UniqueWindow probe(::CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP,
                                         point.x, point.y, 1, 1, nullptr, nullptr, g_shellModule, nullptr));
    if (!probe) return fallback;
    const UINT dpi = getDpiForWindow(probe.get());
    return dpi != 0 ? dpi : fallback;
}

ShellPlacement PlaceShellWindow(ShellContext& shell, const WideString& surfaceDirectory,
                                const WideString& surfaceSize) noexcept {
    shell.dpi = SystemDpi();
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    RECT workArea{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) workArea = screen;

    if (shell.mode == ShellModeUpdate) {
        RECT monitor = screen;
        POINT cursor{};
        ::GetCursorPos(&cursor);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &info)) {
            workArea = info.rcWork;
            monitor = info.rcMonitor;
        }
        shell.dpi = ProbeWindowDpi(POINT{workArea.left, workArea.top}, shell.dpi);

        const int monitorHeight = AtLeastOne(Unscale(monitor.bottom - monitor.top, shell.dpi));
        const int workWidth = AtLeastOne(Unscale(workArea.right - workArea.left, shell.dpi));
        const int workHeight = AtLeastOne(Unscale(workArea.bottom - workArea.top, shell.dpi));
        if (const auto size = ResolveSurfaceSize(surfaceDirectory, surfaceSize)) {
            shell.logicalWidth =
                std::clamp(size->width, std::min(workWidth, kSurfaceMinimumWidth), workWidth);
            shell.logicalHeight =
                std::clamp(size->height, std::min(workHeight, kSurfaceMinimumHeight), workHeight);
        } else {
            shell.logicalWidth = std::min(workWidth, kSurfaceDefaultWidth);
            shell.logicalHeight =
                std::min(workHeight, std::min(monitorHeight * 9 / 10, kSurfaceDefaultHeight));
        }
        shell.shownTick = ::GetTickCount64();
    }

    ShellPlacement placement;
    placement.width = Scale(shell.logicalWidth, shell.dpi);
    placement.height = Scale(shell.logicalHeight, shell.dpi);
    const POINT corner = CentreInWorkArea(workArea, placement.width, placement.height);
    placement.x = corner.x;
    placement.y = corner.y;
    return placement;
}

void CreateShellFonts(ShellContext& shell) noexcept {
    shell.bodyFont = CreateShellFont(shell, 13, FW_NORMAL);
    shell.mediumFont = CreateShellFont(shell, 14, FW_MEDIUM);
    shell.titleFont = CreateShellFont(shell, 16, FW_SEMIBOLD);
}

UniqueGpImage LoadShellImage(std::wstring_view assetDirectory, std::wstring_view fileName) noexcept {
    // As long as the asset directory may be (a "\\?\" path reaches 32767 characters); a path that
    // cannot be built for want of memory is a picture that cannot be loaded.
    WideString path;
    try {
        path.reserve(assetDirectory.size() + 1 + fileName.size());
        path.append(assetDirectory).append(1, L'\\').append(fileName);
    } catch (const std::bad_alloc&) {
        return UniqueGpImage();
    }
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Gdiplus::Ok) {
        if (bitmap) gp::GdipDisposeImage(bitmap);
        return UniqueGpImage();
    }
    return UniqueGpImage(bitmap);
}

bool LoadShellImages(ShellContext& shell, std::wstring_view assetDirectory) noexcept {
    shell.backgroundImage = LoadShellImage(assetDirectory, L"installer-background.png");
    shell.logoImage = LoadShellImage(assetDirectory, L"installer-logo.png");
    shell.closeImage = LoadShellImage(assetDirectory, L"installer-close-alpha.png");
    shell.arrowDownImage = LoadShellImage(assetDirectory, L"installer-arrow-down.png");
    shell.arrowUpImage = LoadShellImage(assetDirectory, L"installer-arrow-up.png");
    shell.footerCheckedImage = LoadShellImage(assetDirectory, L"installer-footer-checked.png");
    shell.footerUncheckedImage = LoadShellImage(assetDirectory, L"installer-footer-unchecked.png");
    shell.optionCheckedImage = LoadShellImage(assetDirectory, L"installer-option-checked.png");
    shell.optionUncheckedImage = LoadShellImage(assetDirectory, L"installer-option-unchecked.png");
    shell.pathImage = LoadShellImage(assetDirectory, L"installer-path.png");
    return shell.backgroundImage && shell.logoImage && shell.pathImage;
}

HWND CreateShellButton(ShellContext& shell, const wchar_t* caption, int controlId) noexcept {
    const HWND button =
        CreateChild(shell, WS_EX_TRANSPARENT, L"BUTTON", caption, kOwnerDrawnButtonStyle, controlId);
    // The subclass finds the record through its reference data: the button goes before the record.
    if (button)
        comctl32::SetWindowSubclass(button, ShellButtonSubclassProc, ShellButtonSubclassId(),
                                    reinterpret_cast<DWORD_PTR>(&shell));
    return button;
}

void CreateShellChildren(ShellContext& shell) {
    for (const ShellChild& child : kShellChildren)
        shell.*child.window = CreateShellChild(shell, child);

    ApplyBodyFont(shell, false);
    AttachShellAccessibility(shell);
}

void ApplyBodyFont(const ShellContext& shell, bool redraw) noexcept {
    const WPARAM font = reinterpret_cast<WPARAM>(shell.bodyFont.get());
    for (const ShellChild& child : kShellChildren) {
        const HWND control = shell.*child.window;
        if (control && TakesBodyFont(child.kind)) ::SendMessageW(control, WM_SETFONT, font, redraw);
    }
}

LRESULT CALLBACK TransitionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const ShellContext* shell = g_shell.get();
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            if (const HDC dc = ::BeginPaint(window, &paint)) {
                FillWithShellBackground(shell, window, dc);
                ::EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_ERASEBKGND:
            FillWithShellBackground(shell, window, reinterpret_cast<HDC>(wParam));
            return 1;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace tovrak
