#include <gtest/gtest.h>

#include <vector>

#include "owned_waiters.h"
#include "support/failing_allocations.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

TEST(CloseOwnedProcesses, PoliteModeClosesTheWindowsOfOwnedProcessesOnly) {
    InstallationDirectory root;
    ChildProcess windowed = root.Start(L"Tool\\app.exe", L"--window");
    ChildProcess stubborn = root.Start(L"Tool\\bin\\stubborn.exe", L"--ignore-close");
    ChildProcess sibling = root.Start(L"Tool2\\app.exe", L"--window");
    for (const ChildProcess* process : {&windowed, &stubborn, &sibling})
        ASSERT_TRUE(process->id() && WaitForTopLevelWindow(process->id(), 20000));
    // A watched process that lives (this one) does not hold the operation back.
    EXPECT_EQ(CloseOwnedProcesses(root.Join(L"Tool").c_str(), 0, 0, ::GetCurrentProcessId(), 0, 0, 200),
              CloseOwnedProcessesDone);
    EXPECT_EQ(windowed.Wait(20000), kClosedByMessageExitCode);
    EXPECT_EQ(stubborn.Wait(0), STILL_ACTIVE) << "a process may refuse a polite request";
    EXPECT_EQ(sibling.Wait(0), STILL_ACTIVE) << "Tool2 is not below Tool";
}

TEST(CloseOwnedProcesses, TerminatesMoreProcessesThanOneWaitCanHold) {
    constexpr int kProcesses = 70;  // beyond the 64 handles of one wait
    InstallationDirectory root;
    ChildProcess sibling = root.Start(L"Tool.exe");
    std::vector<ChildProcess> owned;
    owned.reserve(kProcesses);
    for (int i = 0; i < kProcesses; ++i) {
        owned.push_back(root.Start(i % 2 ? L"Tool\\odd.exe" : L"Tool\\bin\\even.exe"));
        ASSERT_NE(owned.back().id(), 0u) << i;
    }
    const std::wstring directory = root.Join(L"Tool");
    EXPECT_EQ(WaitOwnedProcessesExit(directory.c_str(), nullptr, 0, 0, 0, 0), OwnedProcessesRunning);
    EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 1, 0, 0, 0, 0, 10000), CloseOwnedProcessesDone);
    for (ChildProcess& process : owned)
        EXPECT_EQ(process.Wait(10000), 1u) << process.id();
    EXPECT_EQ(sibling.Wait(0), STILL_ACTIVE);
    EXPECT_EQ(WaitOwnedProcessesExit(directory.c_str(), nullptr, 0, 0, 0, 10000), OwnedProcessesNoneRunning);
    EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 1, 0, 0, 0, 0, 0), CloseOwnedProcessesNoneRunning);
}

TEST(CloseOwnedProcesses, GivesUpWhenAWatchedProcessHasEnded) {
    InstallationDirectory root;
    ChildProcess owned = root.Start(L"Tool\\a.exe");
    ChildProcess ended = root.StartEnded(L"Elsewhere\\ended.exe");
    ASSERT_TRUE(owned.id() && ended.id());
    const DWORD gone = ended.id();
    const DWORD self = ::GetCurrentProcessId();
    const struct {
        const char* what;
        int32_t terminate;
        DWORD excludePid, watchPid, initialWatchPid;
        int32_t skipInitialWatch;
        uint32_t expected;
    } cases[] = {
        {"watched process ended", 1, 0, gone, 0, 0, CloseOwnedProcessesWatchEnded},
        {"watched process ended, polite", 0, 0, gone, 0, 0, CloseOwnedProcessesWatchEnded},
        {"initially watched process ended", 1, 0, 0, gone, 0, CloseOwnedProcessesWatchEnded},
        {"initial watch skipped (polite, no window)", 0, 0, self, gone, 1, CloseOwnedProcessesDone},
        {"owned process excluded", 1, owned.id(), 0, 0, 0, CloseOwnedProcessesNoneRunning},
        {"owned process watched", 1, 0, owned.id(), 0, 0, CloseOwnedProcessesNoneRunning},
        {"owned process initially watched", 1, 0, 0, owned.id(), 0, CloseOwnedProcessesNoneRunning},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CloseOwnedProcesses(root.Join(L"Tool").c_str(), c.terminate, c.excludePid, c.watchPid,
                                      c.initialWatchPid, c.skipInitialWatch, 0),
                  c.expected)
            << c.what;
        EXPECT_EQ(owned.Wait(0), STILL_ACTIVE) << c.what;
    }
}

// Running out of memory is a failure without a system error code.
TEST(CloseOwnedProcesses, ReportsAnAllocationFailureAsAGeneralFailure) {
    uint32_t result = 0;
    {
        FailingAllocations failing;
        result = CloseOwnedProcesses(L"C:\\Tovrak\\Nowhere", 0, 0, 0, 0, 0, 0);
    }
    EXPECT_EQ(result, TOVRAK_ERROR_GEN_FAILURE);
}

TEST(CloseOwnedProcesses, PoliteModeClosesMoreProcessesThanOneWaitCanHold) {
    constexpr int kProcesses = 66;  // just beyond the 64 handles of one wait
    InstallationDirectory root;
    std::vector<ChildProcess> owned;
    owned.reserve(kProcesses);
    for (int i = 0; i < kProcesses; ++i) {
        owned.push_back(root.Start(i % 2 ? L"Tool\\odd.exe" : L"Tool\\bin\\even.exe", L"--window"));
        ASSERT_NE(owned.back().id(), 0u) << i;
    }
    for (const ChildProcess& process : owned)
        ASSERT_TRUE(WaitForTopLevelWindow(process.id(), 20000)) << process.id();
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_EQ(CloseOwnedProcesses(root.Join(L"Tool").c_str(), 0, 0, 0, 0, 0, 60000), CloseOwnedProcessesDone);
    EXPECT_LT(::GetTickCount64() - before, 60000u) << "the wait ends with the processes, not the budget";
    for (ChildProcess& process : owned)
        EXPECT_EQ(process.Wait(20000), kClosedByMessageExitCode) << process.id();
}

TEST(CloseOwnedProcesses, WaitsForTheProcessesUpToTheBudgetAndNoLonger) {
    InstallationDirectory root;
    ChildProcess stubborn = root.Start(L"Tool\\stubborn.exe", L"--ignore-close");
    ASSERT_TRUE(stubborn.id() && WaitForTopLevelWindow(stubborn.id(), 20000));
    const std::wstring directory = root.Join(L"Tool");
    for (const DWORD budget : {0u, 700u, 1500u}) {
        SCOPED_TRACE(::testing::Message() << "polite, budget " << budget << " ms");
        const ULONGLONG before = ::GetTickCount64();
        EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 0, 0, 0, 0, 0, budget), CloseOwnedProcessesDone);
        const ULONGLONG spent = ::GetTickCount64() - before;
        // A refused request leaves the whole budget to wait, and not much more.
        EXPECT_GE(spent + 20, budget);
        EXPECT_LE(spent, budget + 1000u);
        EXPECT_EQ(stubborn.Wait(0), STILL_ACTIVE);
    }
    // A terminated process ends the wait at once, long before the budget.
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_EQ(CloseOwnedProcesses(directory.c_str(), 1, 0, 0, 0, 0, 30000), CloseOwnedProcessesDone);
    EXPECT_LT(::GetTickCount64() - before, 10000u);
    EXPECT_EQ(stubborn.Wait(0), 1u);
}

}  // namespace
}  // namespace tovrak::test
