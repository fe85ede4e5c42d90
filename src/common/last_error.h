#pragma once
// The thread's last error where a failing call may leave none behind.

#include <windows.h>

namespace tovrak {

// `error`, taken from GetLastError() earlier, or `fallback` when it is no error code.
inline DWORD ErrorOr(DWORD error, DWORD fallback) noexcept {
    return error != ERROR_SUCCESS ? error : fallback;
}

// GetLastError(), or `fallback` when the failing call left no error code, so that a failure can never
// read as success.
inline DWORD LastErrorOr(DWORD fallback) noexcept {
    return ErrorOr(::GetLastError(), fallback);
}

}  // namespace tovrak
