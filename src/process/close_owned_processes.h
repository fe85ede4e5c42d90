#pragma once
// Asking owned processes to close: WM_CLOSE to each of their top-level windows.

#include <windows.h>

#include <vector>

namespace tovrak {

struct CloseWindowsContext {
    const std::vector<DWORD>& processIds;  // the verified owned processes
    DWORD watchPid;                        // 0, or a process whose end abandons the enumeration
    bool aborted = false;
};

// The EnumWindows callback; `context` is a CloseWindowsContext. Posts, never sends, so that a hung
// target cannot block the caller.
BOOL CALLBACK PostCloseToOwnedWindows(HWND window, LPARAM context);

}  // namespace tovrak
