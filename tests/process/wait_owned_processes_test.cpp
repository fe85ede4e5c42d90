#include <gtest/gtest.h>

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
    EXPECT_EQ(Wait(root.Join(L"Tool2"), 0), 1) << "nothing owned runs, even with no budget";
    EXPECT_EQ(Wait(root.path(), 0, L"b.exe"), 1) << "filtered out by name";
    EXPECT_EQ(Wait(root.path(), 0, nullptr, owned.id()), 1) << "excluded";
    EXPECT_EQ(Wait(root.path(), 0), 0);
    EXPECT_EQ(Wait(root.path(), 300), 0);
    EXPECT_EQ(owned.Wait(0), STILL_ACTIVE) << "waiting never ends a process";
}

TEST(WaitOwnedProcessesExit, ReturnsOnceTheLastOwnedProcessHasEnded) {
    InstallationDirectory root;
    ChildProcess first = root.Start(L"Tool\\a.exe", L"--exit-after 300");
    ChildProcess second = root.Start(L"Tool\\bin\\b.exe", L"--exit-after 900");
    ASSERT_TRUE(first.id() && second.id());
    // A generous budget: 1 shows that the wait ended with the processes, not with the budget.
    EXPECT_EQ(Wait(root.Join(L"Tool"), 60000), 1);
    EXPECT_EQ(second.Wait(0), 0u);
}

}  // namespace
}  // namespace tovrak::test
