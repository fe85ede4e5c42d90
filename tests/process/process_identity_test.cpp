#include "process/process_identity.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <vector>

#include "common/unique_handle.h"
#include "owned_waiters.h"
#include "process/owner_prefix.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

UniqueHandleKernel OpenForWaiting(DWORD processId) {
    return UniqueHandleKernel(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
}

TEST(StillSameProcess, RefusesAnotherImageOrAnotherStart) {
    InstallationDirectory root;
    ChildProcess first = root.Start(L"Tool\\a.exe");
    ASSERT_NE(first.id(), 0u);
    WideString prefix;
    std::vector<OwnedProcessRecord> records;
    ASSERT_TRUE(NormalizeOwnerDirectory(root.Join(L"Tool").c_str(), prefix));
    ASSERT_TRUE(EnumerateOwnedProcesses(prefix, nullptr, 0, 0, 0, false, records));
    ASSERT_EQ(records.size(), 1u);
    const OwnedProcessRecord& record = records.front();
    EXPECT_EQ(record.processId, first.id());
    EXPECT_EQ(record.imagePath, root.Join(L"Tool\\a.exe"));
    UniqueHandleKernel handle = OpenForWaiting(first.id());
    ASSERT_TRUE(handle);

    OwnedProcessRecord shouted = record, otherImage = record, laterStart = record;
    for (wchar_t& c : shouted.imagePath)
        c = static_cast<wchar_t>(std::towupper(c));
    otherImage.imagePath = root.Join(L"Tool\\b.exe");
    laterStart.creationTime += 1;
    OwnedProcessRecord unknownStart = laterStart;
    unknownStart.hasCreationTime = false;
    EXPECT_TRUE(StillSameProcess(handle.get(), record));
    EXPECT_TRUE(StillSameProcess(handle.get(), shouted));
    EXPECT_FALSE(StillSameProcess(handle.get(), otherImage));
    EXPECT_TRUE(StillSameProcess(handle.get(), unknownStart)) << "a missing time does not disqualify";
    EXPECT_EQ(StillSameProcess(handle.get(), laterStart), !record.hasCreationTime);

    first.Terminate();
    EXPECT_FALSE(StillSameProcess(handle.get(), record)) << "an ended process is never the same";

    if (!record.hasCreationTime) GTEST_SKIP() << "the platform reports no creation time of another process";
    // The same executable started again: were the identifier reused, its start would tell it apart.
    ::Sleep(50);
    ChildProcess again = root.Start(L"Tool\\a.exe");
    UniqueHandleKernel againHandle = OpenForWaiting(again.id());
    ASSERT_TRUE(againHandle);
    EXPECT_FALSE(StillSameProcess(againHandle.get(), record));
}

TEST(OwnedProcessExports, KeepTheHandleCountSteady) {
    InstallationDirectory root;
    ChildProcess stubborn = root.Start(L"Tool\\stubborn.exe", L"--ignore-close");
    ChildProcess ended = root.StartEnded(L"ended.exe");
    ASSERT_TRUE(stubborn.id() && ended.id() && WaitForTopLevelWindow(stubborn.id(), 20000));
    const std::wstring directory = root.Join(L"Tool");
    const auto cycle = [&] {
        EXPECT_EQ(FindOwnedProcesses(directory.c_str(), nullptr, 0, 0, 0), OwnedProcessesRunning);
        EXPECT_EQ(WaitOwnedProcessesExit(directory.c_str(), nullptr, 0, 0, 0, 1), OwnedProcessesRunning);
        EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 0, 0, 0, 0, 0, 1), CloseOwnedProcessesDone);
        EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 1, 0, ended.id(), 0, 0, 0),
                  CloseOwnedProcessesWatchEnded);
    };
    cycle();
    const DWORD before = HandleCount();
    for (int i = 0; i < 40; ++i)
        cycle();
    EXPECT_LE(HandleCount(), before + 2);
    EXPECT_EQ(stubborn.Wait(0), STILL_ACTIVE);
}

}  // namespace
}  // namespace tovrak::test
