#include <gtest/gtest.h>

#include <cwctype>

#include "owned_waiters.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

int Find(const std::wstring& directory, const wchar_t* imageName = nullptr, DWORD exclude1 = 0,
         DWORD exclude2 = 0, DWORD exclude3 = 0) {
    return FindOwnedProcesses(directory.c_str(), imageName, exclude1, exclude2, exclude3);
}

TEST(FindOwnedProcesses, CountsOnlyRunningProcessesBelowTheDirectory) {
    InstallationDirectory root;
    ChildProcess sibling = root.Start(L"Tool2\\a.exe");
    ChildProcess neighbour = root.Start(L"Tool.exe");
    ChildProcess ended = root.StartEnded(L"Tool\\ended.exe");  // ended, though still open here
    ASSERT_TRUE(sibling.id() && neighbour.id() && ended.id());
    EXPECT_EQ(Find(root.path()), OwnedProcessesRunning) << "the siblings run below the root";
    EXPECT_EQ(Find(root.Join(L"Tool")), OwnedProcessesNoneRunning)
        << "Tool2 and Tool.exe only share the name's beginning";

    ChildProcess owned = root.Start(L"Tool\\bin\\a.exe");
    ASSERT_NE(owned.id(), 0u);
    std::wstring shouted = root.Join(L"TOOL\\");
    for (wchar_t& c : shouted)
        c = static_cast<wchar_t>(std::towupper(c));
    for (const std::wstring& directory : {root.Join(L"Tool"), shouted, L"\\\\?\\" + root.Join(L"Tool")})
        EXPECT_EQ(Find(directory), OwnedProcessesRunning) << directory;
    EXPECT_EQ(Find(root.Join(L"Tool\\bin\\a.exe")), OwnedProcessesNoneRunning)
        << "an executable is no directory";
}

TEST(FindOwnedProcesses, NeverCountsItsCallerOrAnExcludedProcess) {
    InstallationDirectory root;
    // The waiter asks about its own directory: alone there, it must not find itself.
    EXPECT_EQ(root.Start(L"asker.exe", L"--find-own-directory").Wait(30000), 1u);
    ChildProcess owned = root.Start(L"owned.exe");
    ASSERT_NE(owned.id(), 0u);
    EXPECT_EQ(root.Start(L"asker.exe", L"--find-own-directory").Wait(30000), 0u) << "it does find the other";

    const DWORD id = owned.id();
    EXPECT_EQ(Find(root.path(), nullptr, id, 0, 0), OwnedProcessesNoneRunning);
    EXPECT_EQ(Find(root.path(), nullptr, 0, id, 0), OwnedProcessesNoneRunning);
    EXPECT_EQ(Find(root.path(), nullptr, 0, 0, id), OwnedProcessesNoneRunning);
    EXPECT_EQ(Find(root.path(), nullptr, id + 4, id + 8, id + 12), OwnedProcessesRunning);
}

TEST(FindOwnedProcesses, FiltersByTheWholeExecutableNameIgnoringCase) {
    InstallationDirectory root;
    ChildProcess backup = root.Start(L"a.exe.bak");
    if (backup.id() == 0) GTEST_SKIP() << "the platform starts no executable without the .exe extension";
    const struct {
        const wchar_t* imageName;
        int expected;
    } cases[] = {{L"a.exe", OwnedProcessesNoneRunning},
                 {L"A.EXE.BAK", OwnedProcessesRunning},
                 {L"a.exe.ba", OwnedProcessesNoneRunning},
                 {L"", OwnedProcessesRunning},
                 {nullptr, OwnedProcessesRunning}};
    for (const auto& c : cases)
        EXPECT_EQ(Find(root.path(), c.imageName), c.expected) << (c.imageName ? c.imageName : L"(null)");

    ChildProcess shouted = root.Start(L"sub\\A.EXE");
    ASSERT_NE(shouted.id(), 0u);
    EXPECT_EQ(Find(root.path(), L"a.exe"), OwnedProcessesRunning);
}

TEST(OwnedProcessExports, RejectDirectoriesThatCannotOwnProcesses) {
    for (const wchar_t* directory : {static_cast<const wchar_t*>(nullptr), L"C:\\", L"\\\\srv\\share"}) {
        EXPECT_EQ(FindOwnedProcesses(directory, nullptr, 0, 0, 0), OwnedProcessesRejected);
        EXPECT_EQ(WaitOwnedProcessesExit(directory, nullptr, 0, 0, 0, 0), OwnedProcessesRejected);
        EXPECT_EQ(CloseOwnedProcesses(directory, 1, 0, 0, 0, 0, 0), CloseOwnedProcessesRejected);
    }
}

}  // namespace
}  // namespace tovrak::test
