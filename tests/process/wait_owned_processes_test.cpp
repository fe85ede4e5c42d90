#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "owned_waiters.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

int Wait(const std::wstring& directory, DWORD timeoutMs, const wchar_t* imageName = nullptr,
         DWORD exclude = 0) {
    return WaitOwnedProcessesExit(directory.c_str(), imageName, exclude, 0, 0, timeoutMs);
}

TEST(WaitOwnedProcessesExit, AnswersAtOnceOrWhenTheBudgetIsSpent) {
    InstallationDirectory root;
    ChildProcess owned = root.Start(L"Tool\\a.exe");
    ASSERT_NE(owned.id(), 0u);
    EXPECT_EQ(Wait(root.Join(L"Tool2"), 0), OwnedProcessesNoneRunning)
        << "nothing owned runs, even with no budget";
    EXPECT_EQ(Wait(root.path(), 0, L"b.exe"), OwnedProcessesNoneRunning) << "filtered out by name";
    EXPECT_EQ(Wait(root.path(), 0, nullptr, owned.id()), OwnedProcessesNoneRunning) << "excluded";
    EXPECT_EQ(Wait(root.path(), 0), OwnedProcessesRunning);
    EXPECT_EQ(Wait(root.path(), 300), OwnedProcessesRunning);
    EXPECT_EQ(owned.Wait(0), STILL_ACTIVE) << "waiting never ends a process";
}

TEST(WaitOwnedProcessesExit, ReturnsOnceTheLastOwnedProcessHasEnded) {
    InstallationDirectory root;
    ChildProcess first = root.Start(L"Tool\\a.exe", L"--exit-after 300");
    ChildProcess second = root.Start(L"Tool\\bin\\b.exe", L"--exit-after 900");
    ASSERT_TRUE(first.id() && second.id());
    // A generous budget: 1 shows that the wait ended with the processes, not with the budget.
    EXPECT_EQ(Wait(root.Join(L"Tool"), 60000), OwnedProcessesNoneRunning);
    EXPECT_EQ(second.Wait(0), 0u);
}

// Just more than the 64 handles one wait can hold.
constexpr int kManyProcesses = 66;

TEST(WaitOwnedProcessesExit, WaitsForMoreProcessesThanOneWaitCanHold) {
    InstallationDirectory root;
    std::vector<ChildProcess> owned;
    owned.reserve(kManyProcesses);
    // The last two, beyond the first 64 in the order of their start, live longest.
    for (int i = 0; i < kManyProcesses; ++i) {
        const bool last = i >= 64;
        owned.push_back(root.Start(i % 2 ? L"Tool\\odd.exe" : L"Tool\\bin\\even.exe",
                                   last ? L"--exit-after 6000" : L"--exit-after 3000"));
        ASSERT_NE(owned.back().id(), 0u) << i;
    }
    const std::wstring directory = root.Join(L"Tool");
    ASSERT_EQ(WaitOwnedProcessesExit(directory.c_str(), nullptr, 0, 0, 0, 0), OwnedProcessesRunning);

    EXPECT_EQ(Wait(directory, 120000), OwnedProcessesNoneRunning);
    for (ChildProcess& process : owned)
        EXPECT_EQ(process.Wait(0), 0u) << "process " << process.id() << " still ran when the wait ended";
}

TEST(WaitOwnedProcessesExit, SpendsItsWholeBudgetOnProcessesThatKeepRunning) {
    InstallationDirectory many, single;
    std::vector<ChildProcess> owned;
    owned.reserve(kManyProcesses + 1);
    for (int i = 0; i < kManyProcesses; ++i) {
        owned.push_back(many.Start(L"Tool\\app.exe"));
        ASSERT_NE(owned.back().id(), 0u) << i;
    }
    owned.push_back(single.Start(L"Tool\\app.exe"));
    ASSERT_NE(owned.back().id(), 0u);
    const struct {
        const char* what;
        std::wstring directory;
    } cases[] = {{"one process", single.Join(L"Tool")}, {"66 processes", many.Join(L"Tool")}};
    for (const auto& c : cases) {
        for (const DWORD budget : {0u, 700u, 1500u}) {
            SCOPED_TRACE(::testing::Message() << c.what << ", budget " << budget << " ms");
            const ULONGLONG before = ::GetTickCount64();
            EXPECT_EQ(Wait(c.directory, budget), OwnedProcessesRunning);
            const ULONGLONG spent = ::GetTickCount64() - before;
            // The whole budget, and not much more.
            EXPECT_GE(spent + 20, budget);
            EXPECT_LE(spent, budget + 1000u);
        }
    }
    for (ChildProcess& process : owned)
        EXPECT_EQ(process.Wait(0), STILL_ACTIVE) << "waiting never ends a process";
}

}  // namespace
}  // namespace tovrak::test
