#pragma once
// Which running processes are owned by a directory: those whose executable image lies below it.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/wide_string.h"

namespace tovrak {

// One owned process as the enumeration saw it. The identifier alone may be reused once the process is
// gone; the creation time and image path let a later check tell the same process from a newcomer.
struct OwnedProcessRecord {
    DWORD processId = 0;
    uint64_t creationTime = 0;  // FILETIME units; zero when it could not be read
    bool hasCreationTime = false;
    WideString imagePath;
};

// The full Win32 path of the process's executable, without a long-path prefix.
bool QueryProcessImagePath(HANDLE process, WideString& imagePath);

// The process's creation time in FILETIME units, when the system reports it.
bool QueryProcessCreationTime(HANDLE process, uint64_t& creationTime);

// Fills `records` (emptied first) with the running processes whose image lies below `ownerPrefix`, in
// snapshot order, leaving out process 0, the caller and the three excluded identifiers. `imageName`,
// when neither null nor empty, keeps only executables of that file name (compared ignoring case).
// With `stopAtFirst` the walk ends at the first owned process. On failure the thread's last error
// tells why.
bool EnumerateOwnedProcesses(const WideString& ownerPrefix, const wchar_t* imageName, DWORD excludePid1,
                             DWORD excludePid2, DWORD excludePid3, bool stopAtFirst,
                             std::vector<OwnedProcessRecord>& records);

}  // namespace tovrak
