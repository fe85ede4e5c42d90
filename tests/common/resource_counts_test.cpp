// The leak counters themselves: each sees a single object that is left behind.

#include <gtest/gtest.h>

#include <memory>

#include "support/resource_counts.h"

namespace tovrak::test {
namespace {

TEST(LeakCounters, SeeOneLeakedFont) {
    GdiObjectsInUse();  // the first probe may grow the system's tables
    const DWORD before = GdiObjectsInUse();
    HFONT font =
        ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    ASSERT_NE(font, nullptr);
    const DWORD withFont = GdiObjectsInUse();
    ::DeleteObject(font);
    EXPECT_EQ(withFont, before + 1);
    EXPECT_EQ(GdiObjectsInUse(), before);
}

TEST(LeakCounters, SeeOneLeakedHeapBlock) {
    const std::size_t before = HeapBlocksInUse();
    void* block = ::HeapAlloc(::GetProcessHeap(), 0, 24);
    ASSERT_NE(block, nullptr);
    const std::size_t withBlock = HeapBlocksInUse();
    ::HeapFree(::GetProcessHeap(), 0, block);
    EXPECT_EQ(withBlock, before + 1);
    EXPECT_EQ(HeapBlocksInUse(), before);

    // A C++ allocation is seen as well, whichever heap the runtime takes it from.
    auto record = std::make_unique<char[]>(100);
    EXPECT_EQ(HeapBlocksInUse(), before + 1);
    record.reset();
    EXPECT_EQ(HeapBlocksInUse(), before);
}

TEST(LeakCounters, GiveEveryCountAtOnce) {
    const ResourceUse before = ResourceUse::Now();
    EXPECT_NE(before.handles, 0u);
    EXPECT_NE(before.gdiObjects, 0u);
    EXPECT_NE(before.heapBlocks, 0u);
    HRGN region = ::CreateRectRgn(0, 0, 2, 2);
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const ResourceUse during = ResourceUse::Now();
    ::DeleteObject(region);
    ::CloseHandle(event);
    EXPECT_EQ(during.gdiObjects, before.gdiObjects + 1);
    EXPECT_EQ(during.handles, before.handles + 1);
}

}  // namespace
}  // namespace tovrak::test
