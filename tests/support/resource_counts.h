#pragma once
// Counts for leak tests that hold on every platform. Wine reports neither a process's handle count
// nor its GDI objects (GetProcessHandleCount and GetGuiResources give 0), so each count falls back to
// a measurement that does not need the platform's help.

#include <windows.h>

#include <cstddef>

namespace tovrak::test {

// GDI objects in use by this process: the platform's own count where it reports one; otherwise how
// far the number of objects the process can still create has dropped below a fixed ceiling.
DWORD GdiObjectsInUse();
// Busy blocks in all heaps of this process. GDI+ objects, the library's records and C++ allocations
// are heap blocks.
std::size_t HeapBlocksInUse();
// Bytes in the busy blocks of all heaps of this process.
std::size_t HeapBytesInUse();

// Kernel handles, GDI objects and heap blocks at one moment.
struct ResourceUse {
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    std::size_t heapBlocks = 0;

    static ResourceUse Now();
};

}  // namespace tovrak::test
