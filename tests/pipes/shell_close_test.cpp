// Closing the shell takes the listeners down with it, whatever they were doing.

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "pipe_test_support.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

UniqueFile OpenPipe(const std::wstring& name) {
    return UniqueFile(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

TEST(ShellClose, TakesDownActiveListenersAndAllowsListeningAgain) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring ready = NewPipeId(), surface = NewPipeId(), status = NewPipeId();
    const std::wstring names[] = {
        L"\\\\.\\pipe\\tovrak-installer-ready-" + PipeNameSuffix(ready),
        L"\\\\.\\pipe\\tovrak-installer-surface-ready-" + PipeNameSuffix(surface),
        L"\\\\.\\pipe\\tovrak-installer-status-" + PipeNameSuffix(status),
    };

    // The first shell also starts what a process keeps for good (GDI+, COM); count from the second.
    DWORD handlesBefore = 0;
    for (int round = 0; round < 3; ++round) {
        if (round == 1) handlesBefore = HandleCount();
        SCOPED_TRACE(round == 0 ? "first shell" : "shell opened again");
        ShellSession session;
        ASSERT_TRUE(session) << "ShellOpen failed";
        ASSERT_EQ(ShellListenReady(ready.c_str(), self), 0u);
        ASSERT_EQ(ShellListenSurfaceReady(surface.c_str(), self), 0u);
        ASSERT_EQ(ShellListenLaunchStatus(status.c_str(), self), 0u);
        // One listener with a client it has not seen yet, one in the middle of a status read.
        UniqueFile readyClient = OpenPipe(names[0]);
        UniqueFile statusClient = OpenPipe(names[2]);
        ASSERT_TRUE(readyClient && statusClient);
        ASSERT_EQ(ShellPollLaunchStatus(), 0);
        ASSERT_EQ(g_shell->launchStatusListener.reading, 1);

        ::ShellClose();
        EXPECT_EQ(g_shell, nullptr);
        EXPECT_EQ(ShellPollReady(), 6u);
        EXPECT_EQ(ShellPollSurfaceReady(), 6u);
        EXPECT_EQ(ShellPollLaunchStatus(), -6);
        for (const std::wstring& name : names) {
            EXPECT_FALSE(OpenPipe(name));
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        }
    }
    // Where the platform counts a process's handles, closing gave back all the listeners took.
    const DWORD handlesAfter = HandleCount();
    if (handlesBefore != 0) {
        EXPECT_LE(handlesAfter, handlesBefore);
    }
}

}  // namespace
}  // namespace tovrak::test
