#include "support/resource_counts.h"

#include "support/environment.h"

namespace tovrak::test {
namespace {

// Far above the most objects a test ever holds, and above the per-process limit of Windows
// (10000 by default); Wine's handle table is somewhat smaller than this.
constexpr std::size_t kGdiProbeCeiling = 1u << 17;
// Outside the heaps, so that probing leaves the heap counts alone.
HGDIOBJ g_probeObjects[kGdiProbeCeiling];

// How many more GDI objects this process can create right now. Regions are among the cheapest
// objects and come from the same table as fonts, brushes and bitmaps.
std::size_t GdiHeadroom() {
    std::size_t created = 0;
    while (created < kGdiProbeCeiling) {
        HRGN region = ::CreateRectRgn(0, 0, 1, 1);
        if (!region) break;
        g_probeObjects[created++] = region;
    }
    for (std::size_t i = 0; i < created; ++i)
        ::DeleteObject(g_probeObjects[i]);
    return created;
}

template <typename Visit>
void WalkBusyBlocks(Visit&& visit) {
    HANDLE heaps[256];
    const DWORD count = ::GetProcessHeaps(256, heaps);
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!::HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) visit(entry);
        ::HeapUnlock(heaps[i]);
    }
}

}  // namespace

DWORD GdiObjectsInUse() {
    if (const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return reported;
    return static_cast<DWORD>(kGdiProbeCeiling - GdiHeadroom());
}

std::size_t HeapBlocksInUse() {
    std::size_t blocks = 0;
    WalkBusyBlocks([&](const PROCESS_HEAP_ENTRY&) { ++blocks; });
    return blocks;
}

std::size_t HeapBytesInUse() {
    std::size_t bytes = 0;
    WalkBusyBlocks([&](const PROCESS_HEAP_ENTRY& entry) { bytes += entry.cbData; });
    return bytes;
}

ResourceUse ResourceUse::Now() {
    ResourceUse use;
    // The GDI probe first: should it grow a table on the heap, the heap count that follows includes it.
    use.gdiObjects = GdiObjectsInUse();
    use.handles = HandleCount();
    use.heapBlocks = HeapBlocksInUse();
    return use;
}

}  // namespace tovrak::test
