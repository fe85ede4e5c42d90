#pragma once
// Access rights with which owned and watched processes are opened.

#include <windows.h>

namespace tovrak {

// Enough to read the image path and exit code and to wait for the end.
inline constexpr DWORD kSynchronizeAndQuery = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
inline constexpr DWORD kSynchronizeQueryAndTerminate = kSynchronizeAndQuery | PROCESS_TERMINATE;

}  // namespace tovrak
