// The sample application: what an installed program does to take over from its installer. It opens
// its window, then tells the installer over the pipes whose identifiers it was given that it is
// ready, that its window is up, and how its launch went.
//
//   sample_app.exe [--ready {id}] [--surface {id}] [--status {id}] [--exit-after <ms>]

#include <windows.h>

#include <cstdint>
#include <string>

#include "protocol.h"

namespace {

std::wstring ArgumentAfter(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wstring(argv[i]) == name) return argv[i + 1];
    return {};
}

std::wstring PipeName(const wchar_t* prefix, const std::wstring& braced) {
    return std::wstring(L"\\\\.\\pipe\\") + prefix + braced.substr(1, braced.size() - 2);
}

// Connecting is the signal; a status pipe also takes one 4-byte code per connection.
bool Signal(const std::wstring& name, const std::int32_t* status) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE pipe = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            bool ok =
                !status || (::WriteFile(pipe, status, sizeof(*status), &written, nullptr) && written == 4);
            ::FlushFileBuffers(pipe);
            ::CloseHandle(pipe);
            return ok;
        }
        // Busy: the installer is still identifying an earlier client; try again shortly.
        ::Sleep(25);
    }
    return false;
}

void SendStatus(const std::wstring& id, std::int32_t status) {
    if (!id.empty()) Signal(PipeName(L"tovrak-installer-status-", id), &status);
}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            HBRUSH brush = ::CreateSolidBrush(RGB(0x21, 0x23, 0x28));
            ::FillRect(dc, &client, brush);
            ::DeleteObject(brush);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
            ::DrawTextW(dc, L"Tovrak sample application", -1, &client,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_TIMER:
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::wstring readyId = ArgumentAfter(argc, argv, L"--ready");
    const std::wstring surfaceId = ArgumentAfter(argc, argv, L"--surface");
    const std::wstring statusId = ArgumentAfter(argc, argv, L"--status");
    const std::wstring exitAfter = ArgumentAfter(argc, argv, L"--exit-after");
    ::LocalFree(argv);

    SendStatus(statusId, sample::kLaunchStarting);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = AppWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"TovrakSampleApplication";
    ::RegisterClassExW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"Tovrak sample application",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 80, 640, 400, nullptr, nullptr,
                                    instance, nullptr);
    if (!window) {
        SendStatus(statusId, sample::kLaunchFailed);
        return 1;
    }
    ::UpdateWindow(window);
    SendStatus(statusId, sample::kLaunchWindowCreated);
    if (!surfaceId.empty()) Signal(PipeName(L"tovrak-installer-surface-ready-", surfaceId), nullptr);
    if (!readyId.empty()) Signal(PipeName(L"tovrak-installer-ready-", readyId), nullptr);
    SendStatus(statusId, sample::kLaunchRunning);

    if (!exitAfter.empty()) ::SetTimer(window, 1, static_cast<UINT>(_wtoi(exitAfter.c_str())), nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
