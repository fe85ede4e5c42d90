#pragma once
// Scratch installation directories with copies of the owned_waiter program running from them.

#include <windows.h>

#include <string>
#include <string_view>

#include "support/environment.h"

namespace tovrak::test {

// The exit code of a waiter whose window was closed by WM_CLOSE.
inline constexpr DWORD kClosedByMessageExitCode = 10;

class InstallationDirectory {
  public:
    const std::wstring& path() const { return temp_.path(); }
    std::wstring Join(std::wstring_view relative) const { return temp_.Join(relative); }

    // Copies the waiter to `relative` (once) and starts it with `arguments` (see
    // tests/programs/owned_waiter.cpp); the result's id() is 0 when that failed.
    ChildProcess Start(std::wstring_view relative, const std::wstring& arguments = L"") const {
        const std::wstring program = Join(relative);
        ChildProcess process;
        if (CreateDirectories(program.substr(0, program.find_last_of(L'\\'))) &&
            (::GetFileAttributesW(program.c_str()) != INVALID_FILE_ATTRIBUTES ||
             ::CopyFileW(ProgramPath(L"owned_waiter.exe").c_str(), program.c_str(), TRUE)))
            process.Start(program, arguments);
        return process;
    }

    // A process that has ended; its handle stays open, so its identifier is not reused meanwhile.
    ChildProcess StartEnded(std::wstring_view relative) const {
        ChildProcess process = Start(relative, L"--exit-after 0");
        process.Wait(10000);
        return process;
    }

  private:
    TempDirectory temp_;
};

struct WindowSearch {
    DWORD processId;
    bool found;
};

inline BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    search.found = owner == search.processId;
    return !search.found;
}

// Waits until the process shows a top-level window; false when none appears in time.
inline bool WaitForTopLevelWindow(DWORD processId, DWORD timeoutMs) {
    for (const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;; ::Sleep(20)) {
        WindowSearch search{processId, false};
        ::EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.found) return true;
        if (::GetTickCount64() >= deadline) return false;
    }
}

}  // namespace tovrak::test
