#include "owned_waiters.h"

namespace tovrak::test {

std::wstring InstallationDirectory::Install(std::wstring_view relative) const {
    const std::wstring target = Join(relative);
    if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return target;
    const size_t slash = target.find_last_of(L'\\');
    if (!CreateDirectories(target.substr(0, slash))) return {};
    if (!::CopyFileW(ProgramPath(L"owned_waiter.exe").c_str(), target.c_str(), TRUE)) return {};
    return target;
}

ChildProcess InstallationDirectory::Start(std::wstring_view relative, const std::wstring& arguments) const {
    ChildProcess process;
    const std::wstring program = Install(relative);
    if (!program.empty()) process.Start(program, arguments);
    return process;
}

namespace {

struct WindowSearch {
    DWORD processId;
    bool found;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId) return TRUE;
    search.found = true;
    return FALSE;
}

}  // namespace

bool WaitForTopLevelWindow(DWORD processId, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        WindowSearch search{processId, false};
        ::EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.found) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(20);
    }
}

ChildProcess StartEndedProcess(const InstallationDirectory& directory) {
    ChildProcess process = directory.Start(L"ended\\ended.exe", L"--exit-after 0");
    process.Wait(10000);
    return process;
}

}  // namespace tovrak::test
