// The launch-status pipe as a host drives it; pipe_client.exe is the application and writes one
// message per connection.

#include <windows.h>

#include <climits>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "pipe_test_support.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr int32_t kTimedOut = INT32_MIN;

class LaunchStatus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(ShellListenLaunchStatus(id_.c_str(), program_.c_str()), 0u); }

    // One client writes `arguments`; returns what the polls report for it: a code, or 0 once the
    // listener has finished with the client and listens again.
    int32_t Send(const std::wstring& arguments, const std::wstring& program = L"") {
        ChildProcess client = StartPipeClient(program.empty() ? program_ : program,
                                              PipeName(kStatusPrefix, id_), arguments + L" --hold 10000");
        // Nothing polls until the client is there, so the poll below cannot deal with it unseen.
        if (!ClientWaiting(listener(), 15000)) return kTimedOut;
        for (const ULONGLONG deadline = ::GetTickCount64() + 15000; ::GetTickCount64() < deadline;
             ::Sleep(2)) {
            if (const int32_t result = ShellPollLaunchStatus()) return result;
            if (!listener().reading && !ClientWaiting(listener())) return 0;
        }
        return kTimedOut;
    }

    const LaunchStatusListener& listener() { return scope_.context().launchStatusListener; }

    ShellContextScope scope_;
    const std::wstring id_ = NewPipeId();
    const std::wstring program_ = ProgramPath(L"pipe_client.exe");
};

TEST_F(LaunchStatus, ReportsEachNewCodeOnceAndDropsEverythingElse) {
    TempDirectory temp;
    const std::wstring stranger = temp.Join(L"pipe_client.exe");
    ASSERT_TRUE(::CopyFileW(program_.c_str(), stranger.c_str(), FALSE));
    const struct {
        const wchar_t* arguments;
        bool fromStranger;
        int32_t expected;
    } messages[] = {
        {L"--i32 1", false, 1},
        {L"--i32 1", false, 0},  // repeated
        {L"--i32 0", false, 0},
        {L"--i32 5", false, 0},
        {L"--bytes 0200", false, 0},              // 2 bytes
        {L"--bytes 0200000002000000", false, 0},  // 8 bytes, though the first four hold a valid code
        {L"--i32 2", true, 0},
        {L"--i32 1", false, 0},  // none of the above replaced the last code
        {L"--i32 2", false, 2},
        {L"--i32 4", false, 4},
        {L"--i32 1", false, 0},  // after a final code
    };
    for (const auto& message : messages) {
        SCOPED_TRACE("message " + std::to_string(&message - messages));
        EXPECT_EQ(Send(message.arguments, message.fromStranger ? stranger : L""), message.expected);
    }
}

TEST_F(LaunchStatus, DropsASilentClientAfterOneSecondWithoutBlockingAPoll) {
    ChildProcess silent = StartPipeClient(program_, PipeName(kStatusPrefix, id_), L"--hold 20000");
    ASSERT_TRUE(ClientWaiting(listener(), 15000));
    ULONGLONG longestPoll = 0, droppedAt = 0;
    bool readStarted = false;
    for (const ULONGLONG deadline = ::GetTickCount64() + 10000; !droppedAt && ::GetTickCount64() < deadline;
         ::Sleep(5)) {
        const ULONGLONG before = ::GetTickCount64();
        EXPECT_EQ(ShellPollLaunchStatus(), 0);
        longestPoll = std::max(longestPoll, ::GetTickCount64() - before);
        readStarted = readStarted || listener().reading;
        if (readStarted && !listener().reading) droppedAt = ::GetTickCount64();
    }
    ASSERT_NE(droppedAt, 0u) << "the silent client was never dropped";
    EXPECT_GE(droppedAt - listener().readStartTick, 1000u);
    EXPECT_LT(droppedAt - listener().readStartTick, 5000u);
    EXPECT_LT(longestPoll, 500u);  // a blocking poll would wait out the read limit
    EXPECT_EQ(Send(L"--i32 1"), 1);
}

TEST_F(LaunchStatus, MeasuresFromListeningAndFromTheLastNewCode) {
    EXPECT_LT(ShellLaunchElapsed(0), 250);
    ::Sleep(400);
    EXPECT_GE(ShellLaunchElapsed(1), 350);  // no code yet: measured from listening

    ASSERT_EQ(Send(L"--i32 1"), 1);
    const int32_t sinceCode = ShellLaunchElapsed(1);
    EXPECT_LT(sinceCode, ShellLaunchElapsed(0) - 300);
    ASSERT_EQ(Send(L"--i32 1"), 0);  // not new: the measure goes on

    ShellCancelLaunchStatus();
    EXPECT_EQ(ShellPollLaunchStatus(), -6);
    const int32_t sinceListening = ShellLaunchElapsed(0);
    ::Sleep(100);
    EXPECT_GE(ShellLaunchElapsed(0), sinceListening + 50);
    EXPECT_GE(ShellLaunchElapsed(1), sinceCode + 50);
}

TEST_F(LaunchStatus, TakesThreeAsFinalToo) {
    const struct {
        int32_t code;
        int32_t expected;
    } messages[] = {{2, 2}, {3, 3}, {4, 0}, {1, 0}, {3, 0}, {2, 0}};
    for (const auto& message : messages) {
        SCOPED_TRACE("code " + std::to_string(message.code));
        EXPECT_EQ(Send(L"--i32 " + std::to_wstring(message.code)), message.expected);
    }
}

bool PipeExists(const std::wstring& name) {
    UniqueFile client(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD error = ::GetLastError();
    return client || error != ERROR_FILE_NOT_FOUND;
}

TEST_F(LaunchStatus, RefusesBadArgumentsAfterDroppingTheListenerButKeepsItsTicks) {
    // A code makes the two ticks differ, so that each is seen to be kept as it was.
    ASSERT_EQ(Send(L"--i32 1"), 1);
    const LaunchStatusListener& status = listener();
    ASSERT_GT(status.lastStatusTick, status.listenTick);
    const std::wstring client = ProgramPath(L"pipe_client.exe");
    const struct {
        const wchar_t* pipeId;
        const wchar_t* clientPath;
        uint32_t expected;
    } cases[] = {
        {L"{01234567-89ab-cdef-0123-456789abcde}", client.c_str(), 87},
        {nullptr, client.c_str(), 87},
        {L"{01234567-89ab-cdef-0123-456789abcdef}", L"", 123},
        {L"{01234567-89ab-cdef-0123-456789abcdef}", nullptr, 123},
    };
    std::wstring active = id_;  // the fixture's listener comes first
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        const uint64_t listenTick = status.listenTick, lastStatusTick = status.lastStatusTick;
        ::Sleep(60);
        const int32_t sinceListening = ShellLaunchElapsed(0), sinceCode = ShellLaunchElapsed(1);
        ASSERT_TRUE(PipeExists(PipeName(kStatusPrefix, active)));

        EXPECT_EQ(ShellListenLaunchStatus(c.pipeId, c.clientPath), c.expected);
        EXPECT_EQ(ShellPollLaunchStatus(), -6);
        EXPECT_FALSE(PipeExists(PipeName(kStatusPrefix, active))) << "the earlier listener is gone";
        EXPECT_EQ(status.listenTick, listenTick);
        EXPECT_EQ(status.lastStatusTick, lastStatusTick);
        EXPECT_GE(ShellLaunchElapsed(0), sinceListening);
        EXPECT_GE(ShellLaunchElapsed(1), sinceCode);

        // Listening again starts both measures afresh.
        active = NewPipeId();
        ASSERT_EQ(ShellListenLaunchStatus(active.c_str(), client.c_str()), 0u);
        EXPECT_LT(ShellLaunchElapsed(0), 250);
        EXPECT_LT(ShellLaunchElapsed(1), 250);
    }
}

}  // namespace
}  // namespace tovrak::test
