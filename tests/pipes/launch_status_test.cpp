// The launch-status pipe as a host drives it; pipe_client.exe plays the started application and
// writes one message per connection.

#include <windows.h>

#include <climits>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "pipe_test_support.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr int32_t kTimedOut = INT32_MIN;

std::wstring StatusPipeName(const std::wstring& pipeId) {
    return L"\\\\.\\pipe\\tovrak-installer-status-" + PipeNameSuffix(pipeId);
}

// Polls until the listener reports a code, or has finished with the client that came and listens
// again (then the message was dropped and the result is 0).
int32_t PollOneClient(const LaunchStatusListener& listener, DWORD timeoutMs = 15000) {
    bool clientSeen = false;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < deadline) {
        clientSeen = clientSeen || listener.reading || ClientWaiting(listener);
        if (const int32_t result = ShellPollLaunchStatus()) return result;
        if (clientSeen && !listener.reading && !ClientWaiting(listener)) return 0;
        ::Sleep(2);
    }
    return kTimedOut;
}

struct Message {
    const wchar_t* clientArguments;
    int32_t expected;
};

class LaunchStatus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(ShellListenLaunchStatus(id_.c_str(), program_.c_str()), 0u); }

    int32_t Send(const std::wstring& arguments, const std::wstring& program = L"") {
        ChildProcess client = StartPipeClient(program.empty() ? program_ : program, StatusPipeName(id_),
                                              arguments + L" --hold 10000");
        if (!client.handle()) return kTimedOut;
        return PollOneClient(scope_.context().launchStatusListener);
    }

    void SendAll(const Message* messages, std::size_t count, const std::wstring& program = L"") {
        for (std::size_t i = 0; i < count; ++i) {
            SCOPED_TRACE(std::string("message ") + std::to_string(i));
            EXPECT_EQ(Send(messages[i].clientArguments, program), messages[i].expected);
        }
    }

    ShellContextScope scope_;
    const std::wstring id_ = NewPipeId();
    const std::wstring program_ = ProgramPath(L"pipe_client.exe");
};

TEST_F(LaunchStatus, ReportsEachNewCodeOnceAndNothingAfterAFinalOne) {
    const Message messages[] = {
        {L"--i32 1", 1}, {L"--i32 1", 0}, {L"--i32 2", 2}, {L"--i32 4", 4}, {L"--i32 1", 0},
    };
    SendAll(messages, std::size(messages));
}

TEST_F(LaunchStatus, DropsMalformedMessagesAndStrangersWithoutChangingTheLastCode) {
    const Message messages[] = {
        {L"--i32 2", 2},
        {L"--i32 0", 0},
        {L"--i32 5", 0},
        {L"--i32 -1", 0},
        {L"--bytes 0300", 0},              // 2 bytes
        {L"--bytes 0300000003000000", 0},  // 8 bytes, although the first four hold a valid code
        {L"--i32 2", 0},                   // still the last code
    };
    SendAll(messages, std::size(messages));

    TempDirectory temp;
    const std::wstring stranger = temp.Join(L"pipe_client.exe");
    ASSERT_TRUE(::CopyFileW(program_.c_str(), stranger.c_str(), FALSE));
    EXPECT_EQ(Send(L"--i32 3", stranger), 0);
    // Had anything above replaced the last code with 3 or more, this final code would be ignored.
    EXPECT_EQ(Send(L"--i32 3"), 3);
}

TEST_F(LaunchStatus, DropsASilentClientAfterOneSecondWithoutBlockingAPoll) {
    const LaunchStatusListener& listener = scope_.context().launchStatusListener;
    ChildProcess silent = StartPipeClient(program_, StatusPipeName(id_), L"--hold 20000");
    ASSERT_TRUE(WaitForClient(listener, 15000));

    ULONGLONG longestPoll = 0;
    ULONGLONG droppedAt = 0;
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    bool readStarted = false;
    while (::GetTickCount64() < deadline) {
        const ULONGLONG before = ::GetTickCount64();
        EXPECT_EQ(ShellPollLaunchStatus(), 0);
        const ULONGLONG after = ::GetTickCount64();
        longestPoll = std::max(longestPoll, after - before);
        readStarted = readStarted || listener.reading;
        if (readStarted && !listener.reading) {
            droppedAt = after;
            break;
        }
        ::Sleep(5);
    }
    ASSERT_TRUE(readStarted);
    ASSERT_NE(droppedAt, 0u) << "the silent client was never dropped";
    EXPECT_GE(droppedAt - listener.readStartTick, 1000u);
    EXPECT_LT(droppedAt - listener.readStartTick, 5000u);
    // A blocking poll would take the whole read limit.
    EXPECT_LT(longestPoll, 500u);

    // The silent client still holds its end, yet the pipe listens for the next one.
    EXPECT_EQ(silent.Wait(0), STILL_ACTIVE);
    EXPECT_EQ(Send(L"--i32 1"), 1);
}

TEST_F(LaunchStatus, MeasuresFromListeningAndFromTheLastNewCode) {
    EXPECT_LT(ShellLaunchElapsed(0), 250);
    EXPECT_LT(ShellLaunchElapsed(1), 250);
    ::Sleep(400);
    // Without a code yet, both measure from listening.
    EXPECT_GE(ShellLaunchElapsed(1), 350);

    ASSERT_EQ(Send(L"--i32 1"), 1);
    const int32_t sinceListening = ShellLaunchElapsed(0);
    const int32_t sinceCode = ShellLaunchElapsed(1);
    EXPECT_GE(sinceListening, 400);
    EXPECT_LT(sinceCode, sinceListening - 300);

    // A repeated code is not new and does not restart the second measure.
    ::Sleep(100);
    ASSERT_EQ(Send(L"--i32 1"), 0);
    EXPECT_GE(ShellLaunchElapsed(1), sinceCode + 90);

    ShellCancelLaunchStatus();
    EXPECT_EQ(ShellPollLaunchStatus(), -6);
    const int32_t afterCancel = ShellLaunchElapsed(0);
    ::Sleep(100);
    EXPECT_GE(ShellLaunchElapsed(0), afterCancel + 90);
    EXPECT_GE(ShellLaunchElapsed(1), sinceCode + 190);
}

TEST_F(LaunchStatus, ListeningAgainWithBadArgumentsLeavesNothingToPoll) {
    EXPECT_EQ(ShellListenLaunchStatus(L"{01234567-89ab-cdef-0123-456789abcdef", program_.c_str()), 87u);
    EXPECT_EQ(ShellPollLaunchStatus(), -6);
    EXPECT_EQ(ShellListenLaunchStatus(id_.c_str(), L""), 123u);
    EXPECT_EQ(ShellPollLaunchStatus(), -6);
}

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != 0;
}

TEST(PipeListenerReset, ClosesEveryHandleInAnyState) {
    // The test program is its own client here, so every state is reached without starting processes.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto cycle = [&self] {
        ShellContextScope scope;
        const std::wstring ready = NewPipeId(), surface = NewPipeId(), status = NewPipeId();
        const std::wstring readyName = L"\\\\.\\pipe\\tovrak-installer-ready-" + PipeNameSuffix(ready);
        const std::wstring surfaceName =
            L"\\\\.\\pipe\\tovrak-installer-surface-ready-" + PipeNameSuffix(surface);
        const std::wstring statusName = L"\\\\.\\pipe\\tovrak-installer-status-" + PipeNameSuffix(status);
        ASSERT_EQ(ShellListenReady(ready.c_str(), self), 0u);
        ASSERT_EQ(ShellListenSurfaceReady(surface.c_str(), self), 0u);
        ASSERT_EQ(ShellListenLaunchStatus(status.c_str(), self), 0u);
        // Listening, connected but not yet polled, and a status read outstanding: the reset must
        // finish or cancel each of them.
        UniqueFile readyClient(
            ::CreateFileW(readyName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        UniqueFile statusClient(
            ::CreateFileW(statusName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(readyClient && statusClient);
        ASSERT_EQ(ShellPollLaunchStatus(), 0);
        ASSERT_EQ(scope.context().launchStatusListener.reading, 1);

        const ShellContext& context = scope.context();
        const HANDLE handles[] = {
            context.readyListener.pipe,        context.readyListener.connectEvent,
            context.surfaceReadyListener.pipe, context.surfaceReadyListener.connectEvent,
            context.launchStatusListener.pipe, context.launchStatusListener.connectEvent};
        ShellCancelReady();
        ShellCancelSurfaceReady();
        ShellCancelLaunchStatus();
        for (HANDLE handle : handles)
            EXPECT_FALSE(HandleIsOpen(handle));
        for (const std::wstring& name : {readyName, surfaceName, statusName}) {
            UniqueFile again(
                ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            EXPECT_FALSE(again);
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        }
    };
    cycle();
    const DWORD before = HandleCount();
    for (int i = 0; i < 50 && !HasFailure(); ++i)
        cycle();
    // Not every platform counts a process's handles; where it does, none may have been added.
    if (before != 0) {
        EXPECT_LE(HandleCount(), before);
    }
}

}  // namespace
}  // namespace tovrak::test
