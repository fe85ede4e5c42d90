// The ready and surface-ready pipes as a host drives them; pipe_client.exe is the application.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "pipe_test_support.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

struct ReadyChannel {
    const char* label;
    uint32_t(__stdcall* listen)(const wchar_t*, const wchar_t*) noexcept;
    uint32_t(__stdcall* poll)() noexcept;
    const wchar_t* prefix;
    PipeListener ShellContext::*listener;
};

const ReadyChannel kChannels[] = {
    {"ready", ShellListenReady, ShellPollReady, kReadyPrefix, &ShellContext::readyListener},
    {"surface ready", ShellListenSurfaceReady, ShellPollSurfaceReady, kSurfaceReadyPrefix,
     &ShellContext::surfaceReadyListener},
};

uint32_t PollUntilReported(const ReadyChannel& channel) {
    for (const ULONGLONG deadline = ::GetTickCount64() + 15000; ::GetTickCount64() < deadline; ::Sleep(5))
        if (const uint32_t result = channel.poll()) return result;
    return 0;
}

TEST(PipeListeners, HaveNothingToDoWithoutAShell) {
    const std::wstring id = NewPipeId(), client = ProgramPath(L"pipe_client.exe");
    for (const ReadyChannel& channel : kChannels) {
        EXPECT_EQ(channel.listen(id.c_str(), client.c_str()), TOVRAK_ERROR_INVALID_HANDLE);
        EXPECT_EQ(channel.poll(), TOVRAK_ERROR_INVALID_HANDLE);
    }
    ShellCancelReady();
    ShellCancelSurfaceReady();
    EXPECT_EQ(ShellListenLaunchStatus(id.c_str(), client.c_str()), TOVRAK_ERROR_INVALID_HANDLE);
    EXPECT_EQ(ShellPollLaunchStatus(), -6);
    EXPECT_EQ(ShellLaunchElapsed(0), 0);
    ShellCancelLaunchStatus();
}

TEST(ReadyPipes, RejectBadArgumentsAfterDroppingTheEarlierListener) {
    ShellContextScope scope;
    const std::wstring client = ProgramPath(L"pipe_client.exe");
    const wchar_t* const kGood = L"{01234567-89ab-cdef-0123-456789abcdef}";
    const struct {
        const wchar_t* pipeId;
        const wchar_t* clientPath;
        uint32_t expected;
    } cases[] = {
        {nullptr, client.c_str(), 87},
        {L"01234567-89ab-cdef-0123-456789abcdef", client.c_str(), 87},     // no braces
        {L"{01234567-89ab-cdef-0123-456789abcde}", client.c_str(), 87},    // 37 characters
        {L"{01234567-89ab-cdef-0123-456789abcdef0}", client.c_str(), 87},  // 39 characters
        {L"{0123456-789ab-cdef-0123-456789abcdef}", client.c_str(), 87},   // "-" at position 8
        {L"{01234567-89ab-cdef-0123-456789abcdeg}", client.c_str(), 87},   // not hexadecimal
        {kGood, L"", 123},
        {kGood, nullptr, 123},
    };
    for (const ReadyChannel& channel : kChannels) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(channel.label) + " case " + std::to_string(&c - cases));
            const std::wstring earlier = NewPipeId();
            ASSERT_EQ(channel.listen(earlier.c_str(), client.c_str()), 0u);
            EXPECT_EQ(channel.listen(c.pipeId, c.clientPath), c.expected);
            EXPECT_EQ(channel.poll(), TOVRAK_ERROR_INVALID_HANDLE);
            UniqueFile gone(::CreateFileW(PipeName(channel.prefix, earlier).c_str(), GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
            const DWORD error = ::GetLastError();
            EXPECT_FALSE(gone);
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        }
    }
}

TEST(ReadyPipes, AcceptTheExpectedApplicationOnceByAnyFormOfItsPath) {
    ShellContextScope scope;
    const std::wstring program = ProgramPath(L"pipe_client.exe");
    std::wstring otherCase = program;
    ::CharUpperW(otherCase.data());
    const std::wstring folder = ExecutableDirectory();
    const std::wstring relative =
        L"..\\" + folder.substr(folder.find_last_of(L'\\') + 1) + L"\\pipe_client.exe";
    wchar_t previousDirectory[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previousDirectory);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));

    for (const ReadyChannel& channel : kChannels) {
        for (const std::wstring& clientPath : {program, otherCase, relative}) {
            SCOPED_TRACE(std::string(channel.label) + " " +
                         std::string(clientPath.begin(), clientPath.end()));
            const std::wstring id = NewPipeId();
            ASSERT_EQ(channel.listen(id.c_str(), clientPath.c_str()), 0u);
            ChildProcess client = StartPipeClient(program, PipeName(channel.prefix, id), L"--hold 10000");
            EXPECT_EQ(PollUntilReported(channel), 1u);
            EXPECT_EQ(channel.poll(), TOVRAK_ERROR_INVALID_HANDLE);
        }
    }
    ::SetCurrentDirectoryW(previousDirectory);
}

// A copy of the client under a path that only resembles the expected one is another executable: each
// look-alike is one that a careless comparison of the two paths would let through.
TEST(ReadyPipes, TurnAwayExecutablesWhosePathsOnlyResembleTheExpectedOne) {
    ShellContextScope scope;
    TempDirectory temp;
    const std::wstring program = ProgramPath(L"pipe_client.exe"),
                       expected = temp.Join(L"app\\pipe_client.exe");
    const std::wstring lookAlikes[] = {
        temp.Join(L"app\\pipe_client.exe.evil.exe"),  // begins with the expected path
        temp.Join(L"app\\pipe_clien"),                // the expected path begins with it
        temp.Join(L"other\\app\\pipe_client.exe"),    // ends with the expected folder and name
        temp.Join(L"app-evil\\pipe_client.exe"),      // a sibling folder named like the expected one
    };
    for (const std::wstring& path : {expected, lookAlikes[0], lookAlikes[1], lookAlikes[2], lookAlikes[3]}) {
        ASSERT_TRUE(CreateDirectories(path.substr(0, path.find_last_of(L'\\'))));
        ASSERT_TRUE(::CopyFileW(program.c_str(), path.c_str(), FALSE));
    }

    const std::wstring id = NewPipeId(), name = PipeName(kReadyPrefix, id);
    ASSERT_EQ(ShellListenReady(id.c_str(), expected.c_str()), 0u);
    for (const std::wstring& lookAlike : lookAlikes) {
        SCOPED_TRACE(std::string(lookAlike.begin(), lookAlike.end()));
        ChildProcess wrong = StartPipeClient(lookAlike, name, L"--hold 20000");
        ASSERT_TRUE(wrong.handle());
        ASSERT_TRUE(ClientWaiting(scope.context().readyListener, 15000));
        EXPECT_EQ(ShellPollReady(), 0u);
        EXPECT_FALSE(ClientWaiting(scope.context().readyListener));
    }
    ChildProcess right = StartPipeClient(expected, name, L"--hold 20000");
    EXPECT_EQ(PollUntilReported(kChannels[0]), 1u);
}

TEST(ReadyPipes, TurnAnotherExecutableAwayAndKeepListening) {
    ShellContextScope scope;
    TempDirectory temp;
    const std::wstring program = ProgramPath(L"pipe_client.exe"), impostor = temp.Join(L"pipe_client.exe");
    ASSERT_TRUE(::CopyFileW(program.c_str(), impostor.c_str(), FALSE));

    for (const ReadyChannel& channel : kChannels) {
        SCOPED_TRACE(channel.label);
        const std::wstring id = NewPipeId();
        ASSERT_EQ(channel.listen(id.c_str(), program.c_str()), 0u);
        const PipeListener& listener = scope.context().*channel.listener;
        ChildProcess wrong = StartPipeClient(impostor, PipeName(channel.prefix, id), L"--hold 20000");
        ASSERT_TRUE(ClientWaiting(listener, 15000));
        EXPECT_EQ(channel.poll(), 0u);
        EXPECT_FALSE(ClientWaiting(listener));  // turned away, though it still holds its end
        ChildProcess right = StartPipeClient(program, PipeName(channel.prefix, id), L"--hold 20000");
        EXPECT_EQ(PollUntilReported(channel), 1u);
    }
}

TEST(ReadyPipes, NameThePipeWithTheIdentifierInItsOwnLetterCase) {
    ShellContextScope scope;
    const std::wstring id = L"{aBcDeF01-2345-6789-AbCd-0123456789eF}";
    ASSERT_EQ(ShellListenReady(id.c_str(), ProgramPath(L"pipe_client.exe").c_str()), 0u);
    // Pipe names compare without case; only the name the server end holds shows it.
    std::vector<std::uint8_t> buffer(sizeof(FILE_NAME_INFO) + 512 * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(scope.context().readyListener.pipe.get(), FileNameInfo, info,
                                        static_cast<DWORD>(buffer.size())))
        GTEST_SKIP() << "GetFileInformationByHandleEx(FileNameInfo) does not name a pipe here";
    EXPECT_EQ(std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t)),
              PipeName(L"\\tovrak-installer-ready-", id));
}

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return handle && ::GetHandleInformation(handle, &flags) != 0;
}

TEST(ReadyPipes, CancelTakesDownAnActiveListenerAndOnlyThatOne) {
    ShellContextScope scope;
    // The test program is its own client, so a connection needs no other process.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const struct {
        const char* label;
        void(__stdcall* cancel)() noexcept;
        void(__stdcall* cancelOther)() noexcept;
        const ReadyChannel& cancelled;
        const ReadyChannel& other;
        bool clientWaiting;
    } cases[] = {
        {"ready, listening", ShellCancelReady, ShellCancelSurfaceReady, kChannels[0], kChannels[1], false},
        {"ready, with a client not yet polled", ShellCancelReady, ShellCancelSurfaceReady, kChannels[0],
         kChannels[1], true},
        {"surface ready, listening", ShellCancelSurfaceReady, ShellCancelReady, kChannels[1], kChannels[0],
         false},
        {"surface ready, with a client not yet polled", ShellCancelSurfaceReady, ShellCancelReady,
         kChannels[1], kChannels[0], true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::wstring id = NewPipeId(), otherId = NewPipeId();
        ASSERT_EQ(c.cancelled.listen(id.c_str(), self), 0u);
        ASSERT_EQ(c.other.listen(otherId.c_str(), self), 0u);
        const PipeListener& listener = scope.context().*c.cancelled.listener;
        UniqueFile client;
        if (c.clientWaiting) {
            client = UniqueFile(::CreateFileW(PipeName(c.cancelled.prefix, id).c_str(), GENERIC_WRITE, 0,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(client);
            ASSERT_TRUE(ClientWaiting(listener, 5000));
        }
        const HANDLE pipe = listener.pipe.get(), event = listener.connectEvent.get();

        c.cancel();
        EXPECT_FALSE(listener.pipe);
        EXPECT_FALSE(HandleIsOpen(pipe));
        EXPECT_FALSE(HandleIsOpen(event));
        EXPECT_EQ(c.cancelled.poll(), TOVRAK_ERROR_INVALID_HANDLE);
        UniqueFile gone(::CreateFileW(PipeName(c.cancelled.prefix, id).c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        const DWORD error = ::GetLastError();
        EXPECT_FALSE(gone);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        c.cancel();  // idle already: nothing to do
        EXPECT_EQ(c.cancelled.poll(), TOVRAK_ERROR_INVALID_HANDLE);

        EXPECT_EQ(c.other.poll(), 0u) << "the other channel still listens";
        // The same identifier can be listened on again at once.
        EXPECT_EQ(c.cancelled.listen(id.c_str(), self), 0u);
        EXPECT_EQ(c.cancelled.poll(), 0u);
        c.cancel();
        c.cancelOther();
    }
}

}  // namespace
}  // namespace tovrak::test
