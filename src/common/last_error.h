#pragma once
// The thread's last error where a failing call may leave none behind.

#include <windows.h>

namespace tovrak {

// GetLastError(), or `fallback` when the failing call left no error code, so that a failure can never
// read as success.
inline DWORD LastErrorOr(DWORD fallback) noexcept {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

}  // namespace tovrak
