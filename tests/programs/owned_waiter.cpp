// A program that tests copy into a scratch "installation directory" under any name and start. It waits
// until it is told to end, in one of these ways:
//   (no option)            no window; ends after the lifetime
//   --window               a top-level window that closes on WM_CLOSE (exit code 10)
//   --ignore-close         a top-level window that ignores WM_CLOSE
//   --exit-after <ms>      ends by itself after that time (exit code 0); 120 s when not given
//   --find-own-directory   asks FindOwnedProcesses about its own directory and exits with the result
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <string_view>

#include "tovrak/renderer.h"

namespace {

constexpr int kClosedByMessageExitCode = 10;
constexpr DWORD kDefaultLifetimeMs = 120000;  // so that a forgotten waiter cannot outlive a test run
constexpr UINT_PTR kLifetimeTimerId = 1;

bool g_ignoreClose = false;

LRESULT CALLBACK WaiterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (g_ignoreClose) return 0;
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(kClosedByMessageExitCode);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

int FindInOwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    directory.resize(directory.find_last_of(L'\\'));
    return FindOwnedProcesses(directory.c_str(), nullptr, 0, 0, 0);
}

int RunWindow(HINSTANCE instance, DWORD lifetimeMs) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WaiterWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TovrakOwnedWaiter";
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    if (!::RegisterClassW(&windowClass)) return 2;
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"owned waiter", WS_OVERLAPPEDWINDOW, 0, 0,
                                    160, 120, nullptr, nullptr, instance, nullptr);
    // Left hidden: it is still a top-level window, and on the shared virtual display it cannot cover
    // the windows whose pixels other tests capture.
    if (!window) return 2;
    ::SetTimer(nullptr, kLifetimeTimerId, lifetimeMs, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) return 0;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    bool window = false;
    bool find = false;
    DWORD lifetimeMs = kDefaultLifetimeMs;
    for (int i = 1; arguments && i < count; ++i) {
        const std::wstring_view argument = arguments[i];
        if (argument == L"--window") {
            window = true;
        } else if (argument == L"--ignore-close") {
            window = true;
            g_ignoreClose = true;
        } else if (argument == L"--exit-after" && i + 1 < count) {
            lifetimeMs = static_cast<DWORD>(std::wcstoul(arguments[++i], nullptr, 10));
        } else if (argument == L"--find-own-directory") {
            find = true;
        }
    }
    ::LocalFree(arguments);

    if (find) return FindInOwnDirectory();
    if (window) return RunWindow(instance, lifetimeMs);
    ::Sleep(lifetimeMs);
    return 0;
}
