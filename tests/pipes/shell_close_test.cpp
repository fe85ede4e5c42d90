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

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != 0;
}

TEST(ShellClose, TakesDownActiveListenersAndAllowsListeningAgain) {
    // The test program is its own client, so every state is reached without starting processes.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring ready = NewPipeId(), surface = NewPipeId(), status = NewPipeId();
    const std::wstring names[] = {PipeName(kReadyPrefix, ready), PipeName(kSurfaceReadyPrefix, surface),
                                  PipeName(kStatusPrefix, status)};

    // The first shell also starts what a process keeps for good (GDI+, COM); count from the second.
    DWORD handlesBefore = 0;
    for (int round = 0; round < 3 && !HasFailure(); ++round) {
        if (round == 1) handlesBefore = HandleCount();
        ShellSession session;
        ASSERT_TRUE(session) << "ShellOpen failed";
        ASSERT_EQ(ShellListenReady(ready.c_str(), self), 0u);
        ASSERT_EQ(ShellListenSurfaceReady(surface.c_str(), self), 0u);
        ASSERT_EQ(ShellListenLaunchStatus(status.c_str(), self), 0u);
        // One listener with a client it has not seen yet, one in the middle of a status read.
        UniqueFile readyClient = OpenPipe(names[0]), statusClient = OpenPipe(names[2]);
        ASSERT_TRUE(readyClient && statusClient);
        ASSERT_EQ(ShellPollLaunchStatus(), 0);
        ASSERT_TRUE(g_shell->launchStatusListener.reading);
        const HANDLE handles[] = {
            g_shell->readyListener.pipe.get(),        g_shell->readyListener.connectEvent.get(),
            g_shell->surfaceReadyListener.pipe.get(), g_shell->surfaceReadyListener.connectEvent.get(),
            g_shell->launchStatusListener.pipe.get(), g_shell->launchStatusListener.connectEvent.get()};

        ::ShellClose();
        for (HANDLE handle : handles)
            EXPECT_FALSE(HandleIsOpen(handle));
        for (const std::wstring& name : names) {
            UniqueFile again = OpenPipe(name);
            const DWORD error = ::GetLastError();
            EXPECT_FALSE(again);
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        }
        EXPECT_EQ(ShellPollReady(), TOVRAK_ERROR_INVALID_HANDLE);
    }
    if (handlesBefore != 0) {
        EXPECT_LE(HandleCount(), handlesBefore);
    }
}

}  // namespace
}  // namespace tovrak::test
