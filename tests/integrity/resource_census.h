#pragma once
// Counts for leak checks that also hold under Wine, whose GetProcessHandleCount always reports 0 and
// whose GetProcessMemoryInfo leaves PrivateUsage at 0.

#include <windows.h>

#include <cstddef>
#include <vector>

namespace tovrak::test {

// Kernel handles open in this process: GetProcessHandleCount, or the system's handle table.
inline DWORD OpenHandleCount() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count != 0) return count;
    using QueryFunction = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    constexpr ULONG kSystemHandleInformation = 16;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
        if (buffer.size() >= (64u << 20)) return 0;
        buffer.resize(buffer.size() * 2);
    }
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(ULONG));
    const DWORD self = ::GetCurrentProcessId();
    for (ULONG i = 0; i < entries; ++i)
        if (entry[i].processId == self) ++count;
    return count;
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
