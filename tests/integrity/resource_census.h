#pragma once
// Counts for leak checks that also hold under Wine, whose GetProcessMemoryInfo leaves PrivateUsage at 0.

#include <windows.h>

#include <cstddef>
#include <vector>

#include "support/environment.h"

namespace tovrak::test {

// Kernel handles open in this process (the shared helper also counts them under Wine).
inline DWORD OpenHandleCount() {
    return HandleCount();
}

// Bytes allocated and not freed in every heap of this process.
inline std::size_t HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = ::GetProcessHeaps(64, heaps);
    std::size_t busy = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        ::HeapLock(heaps[i]);
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        ::HeapUnlock(heaps[i]);
    }
    return busy;
}

}  // namespace tovrak::test
