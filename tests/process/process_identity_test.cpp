#include "process/process_identity.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <utility>
#include <vector>

#include "common/unique_handle.h"
#include "owned_waiters.h"
#include "process/owner_prefix.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

// The one record the enumeration gives for `directory`.
OwnedProcessRecord EnumerateOne(const std::wstring& directory) {
    WideString prefix;
    EXPECT_TRUE(NormalizeOwnerDirectory(directory.c_str(), prefix));
    std::vector<OwnedProcessRecord> records;
    EXPECT_TRUE(EnumerateOwnedProcesses(prefix, nullptr, 0, 0, 0, false, records));
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? OwnedProcessRecord{} : records.front();
}

UniqueHandleKernel OpenForWaiting(DWORD processId) {
    return UniqueHandleKernel(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
}

TEST(StillSameProcess, RefusesAnotherImageOrAnotherStart) {
    InstallationDirectory root;
    ChildProcess first = root.Start(L"Tool\\a.exe");
    ASSERT_NE(first.id(), 0u);
    const OwnedProcessRecord record = EnumerateOne(root.Join(L"Tool"));
    ASSERT_EQ(record.processId, first.id());
    EXPECT_EQ(record.imagePath, root.Join(L"Tool\\a.exe"));
    UniqueHandleKernel handle = OpenForWaiting(first.id());
    ASSERT_TRUE(handle);

    OwnedProcessRecord shouted = record;
    for (wchar_t& c : shouted.imagePath)
        c = static_cast<wchar_t>(std::towupper(c));
    OwnedProcessRecord otherImage = record;
    otherImage.imagePath = root.Join(L"Tool\\b.exe");
    OwnedProcessRecord laterStart = record;
    laterStart.creationTime += 1;
    OwnedProcessRecord unknownStart = laterStart;
    unknownStart.hasCreationTime = false;
    const struct {
        const char* what;
        const OwnedProcessRecord& record;
        bool expected;
    } cases[] = {
        {"as enumerated", record, true},
        {"image path in other case", shouted, true},
        {"another image", otherImage, false},
        {"another creation time", laterStart, !record.hasCreationTime},
        {"creation time not recorded", unknownStart, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StillSameProcess(handle.get(), c.record), c.expected) << c.what;

    // The same executable started again: an identifier reused by it would be told apart by its start.
    ::Sleep(50);
    ChildProcess again = root.Start(L"Tool\\a.exe");
    ASSERT_NE(again.id(), 0u);
    UniqueHandleKernel againHandle = OpenForWaiting(again.id());
    ASSERT_TRUE(againHandle);
    if (!record.hasCreationTime) GTEST_SKIP() << "the platform reports no creation time of another process";
    EXPECT_FALSE(StillSameProcess(againHandle.get(), record));

    first.Terminate();
    EXPECT_FALSE(StillSameProcess(handle.get(), record)) << "an ended process is never the same";
}

TEST(ProcessLiveness, FollowsTheProcessToItsEnd) {
    InstallationDirectory root;
    ChildProcess running = root.Start(L"a.exe");
    ChildProcess ended = StartEndedProcess(root);
    ASSERT_NE(running.id(), 0u);
    ASSERT_NE(ended.id(), 0u);

    EXPECT_TRUE(IsProcessAlive(running.id()));
    EXPECT_TRUE(IsProcessAlive(::GetCurrentProcessId()));
    EXPECT_FALSE(IsProcessAlive(ended.id())) << "ended, its object still open here";
    EXPECT_FALSE(IsProcessAlive(0));
    EXPECT_TRUE(IsStillRunning(running.handle()));
    EXPECT_FALSE(IsStillRunning(ended.handle()));

    const DWORD id = running.id();
    { ChildProcess closed(std::move(running)); }  // terminated and closed: the identifier names nothing now
    EXPECT_FALSE(IsProcessAlive(id));
}

TEST(OwnedProcessExports, KeepTheHandleCountSteady) {
    InstallationDirectory root;
    ChildProcess stubborn = root.Start(L"Tool\\stubborn.exe", L"--ignore-close");
    ChildProcess ended = StartEndedProcess(root);
    ASSERT_NE(stubborn.id(), 0u);
    ASSERT_TRUE(WaitForTopLevelWindow(stubborn.id(), 20000));
    const std::wstring directory = root.Join(L"Tool");

    auto cycle = [&] {
        EXPECT_EQ(FindOwnedProcesses(directory.c_str(), nullptr, 0, 0, 0), 0);
        EXPECT_EQ(WaitOwnedProcessesExit(directory.c_str(), nullptr, 0, 0, 0, 0), 0);
        EXPECT_EQ(WaitOwnedProcessesExit(directory.c_str(), nullptr, 0, 0, 0, 1), 0);
        EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 0, 0, 0, 0, 0, 1), 0u);
        EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 1, 0, ended.id(), 0, 0, 0), ERROR_TIMEOUT);
        EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 1, stubborn.id(), 0, 0, 0, 0), ERROR_FILE_NOT_FOUND);
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
