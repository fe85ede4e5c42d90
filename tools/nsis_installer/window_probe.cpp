// Looks at the shell of an installer that runs in another process, for a script that drives it
// from outside as a user would (with real pointer input on the display):
//
//   window_probe.exe center <control id>   prints the control's centre in screen pixels, "x y";
//                                          exits 1 while there is no shell or the control is hidden
//   window_probe.exe shot <png file>       saves what the shell shows, as the sample's pictures
//   window_probe.exe running <png file> <ms>
//                                          waits for the running screen (the primary button goes),
//                                          then <ms> more, and saves it if it still shows; a
//                                          running screen can be shorter than a program start

#include <windows.h>

#include <cstdio>
#include <string>

#include "screenshot.h"

namespace {

// The class the library registers for its installer window.
constexpr wchar_t kShellClass[] = L"TovrakSetupShell";

HWND FindShell() {
    HWND shell = ::FindWindowW(kShellClass, nullptr);
    return shell && ::IsWindowVisible(shell) ? shell : nullptr;
}

int PrintCentre(HWND shell, int id) {
    HWND control = ::GetDlgItem(shell, id);
    if (!control || !::IsWindowVisible(control)) return 1;
    RECT rect;
    ::GetWindowRect(control, &rect);
    std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return 0;
}

constexpr int kPrimaryButton = 0x65;

int ShootRunning(const wchar_t* path, DWORD afterMs) {
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    auto running = [] {
        HWND shell = FindShell();
        return shell && !::IsWindowVisible(::GetDlgItem(shell, kPrimaryButton));
    };
    while (!running()) {
        if (::GetTickCount64() > deadline) return 1;
        ::Sleep(10);
    }
    ::Sleep(afterMs);
    HWND shell = FindShell();
    return running() && sample::SaveWindowPng(shell, path) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Screen pixels, as the display that receives the pointer counts them.
    ::SetProcessDPIAware();
    if (argc < 3) return 2;
    const std::wstring command = argv[1];
    if (command == L"running" && argc == 4) return ShootRunning(argv[2], std::wcstoul(argv[3], nullptr, 10));
    HWND shell = FindShell();
    if (!shell) return 1;
    if (command == L"center") return PrintCentre(shell, static_cast<int>(std::wcstol(argv[2], nullptr, 0)));
    if (command == L"shot") return sample::SaveWindowPng(shell, argv[2]) ? 0 : 1;
    return 2;
}
