// The ready and surface-ready pipes as a host drives them: listen, poll, cancel; the started
// application is pipe_client.exe.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pipe_test_support.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

struct ReadyChannel {
    const char* label;
    uint32_t(__stdcall* listen)(const wchar_t*, const wchar_t*) noexcept;
    uint32_t(__stdcall* poll)() noexcept;
    void(__stdcall* cancel)() noexcept;
    const wchar_t* namePrefix;
    PipeListener ShellContext::*listener;
};

const ReadyChannel kChannels[] = {
    {"ready", ShellListenReady, ShellPollReady, ShellCancelReady, L"\\\\.\\pipe\\tovrak-installer-ready-",
     &ShellContext::readyListener},
    {"surface ready", ShellListenSurfaceReady, ShellPollSurfaceReady, ShellCancelSurfaceReady,
     L"\\\\.\\pipe\\tovrak-installer-surface-ready-", &ShellContext::surfaceReadyListener},
};

std::wstring PipeName(const ReadyChannel& channel, const std::wstring& pipeId) {
    return channel.namePrefix + PipeNameSuffix(pipeId);
}

// Polls until the channel reports something other than "still waiting"; 0 when nothing came.
uint32_t PollUntilReported(const ReadyChannel& channel, DWORD timeoutMs = 15000) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < deadline) {
        if (const uint32_t result = channel.poll()) return result;
        ::Sleep(5);
    }
    return 0;
}

bool PipeExists(const std::wstring& name) {
    UniqueFile pipe(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return pipe || ::GetLastError() != ERROR_FILE_NOT_FOUND;
}

TEST(PipeListeners, ReportNothingToDoWithoutAShell) {
    ASSERT_EQ(g_shell, nullptr);
    const std::wstring id = NewPipeId();
    const std::wstring client = ProgramPath(L"pipe_client.exe");
    for (const ReadyChannel& channel : kChannels) {
        SCOPED_TRACE(channel.label);
        EXPECT_EQ(channel.listen(id.c_str(), client.c_str()), 6u);
        EXPECT_EQ(channel.poll(), 6u);
        channel.cancel();
    }
    EXPECT_EQ(ShellListenLaunchStatus(id.c_str(), client.c_str()), 6u);
    EXPECT_EQ(ShellPollLaunchStatus(), -6);
    EXPECT_EQ(ShellLaunchElapsed(0), 0);
    EXPECT_EQ(ShellLaunchElapsed(1), 0);
    ShellCancelLaunchStatus();
}

TEST(ReadyPipes, RejectBadArgumentsAfterDroppingTheEarlierListener) {
    ShellContextScope scope;
    const std::wstring client = ProgramPath(L"pipe_client.exe");
    struct Case {
        const wchar_t* pipeId;
        const wchar_t* clientPath;
        uint32_t expected;
    };
    const Case cases[] = {
        {nullptr, client.c_str(), 87},
        {L"", client.c_str(), 87},
        {L"01234567-89ab-cdef-0123-456789abcdef", client.c_str(), 87},     // no braces
        {L"{01234567-89ab-cdef-0123-456789abcde}", client.c_str(), 87},    // 37 characters
        {L"{01234567-89ab-cdef-0123-456789abcdef0}", client.c_str(), 87},  // 39 characters
        {L"{0123456-789ab-cdef-0123-456789abcdef}", client.c_str(), 87},   // "-" at position 8
        {L"{01234567-89ab-cdef-0123-456789abcdeg}", client.c_str(), 87},   // not hexadecimal
        {L"(01234567-89ab-cdef-0123-456789abcdef)", client.c_str(), 87},   // wrong brackets
        {L"{01234567-89ab-cdef-0123-456789abcdef}", L"", 123},
        {L"{01234567-89ab-cdef-0123-456789abcdef}", nullptr, 123},
    };
    for (const ReadyChannel& channel : kChannels) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(channel.label) + " case " + std::to_string(&c - cases));
            const std::wstring earlier = NewPipeId();
            ASSERT_EQ(channel.listen(earlier.c_str(), client.c_str()), 0u);
            ASSERT_EQ(channel.poll(), 0u);
            EXPECT_EQ(channel.listen(c.pipeId, c.clientPath), c.expected);
            EXPECT_EQ(channel.poll(), 6u);
            EXPECT_FALSE(PipeExists(PipeName(channel, earlier)));
        }
    }
}

TEST(ReadyPipes, AcceptTheExpectedApplicationOnceByAnyFormOfItsPath) {
    ShellContextScope scope;
    const std::wstring program = ProgramPath(L"pipe_client.exe");
    std::wstring otherCase = program;
    ::CharUpperW(otherCase.data());
    // Relative to the current directory, which is made the program's folder for this test.
    const std::wstring folder = ExecutableDirectory();
    const std::size_t slash = folder.find_last_of(L'\\');
    const std::wstring relative = L"..\\" + folder.substr(slash + 1) + L"\\pipe_client.exe";
    wchar_t previousDirectory[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previousDirectory);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));

    for (const ReadyChannel& channel : kChannels) {
        for (const std::wstring& clientPath : {program, otherCase, relative}) {
            SCOPED_TRACE(channel.label);
            SCOPED_TRACE(std::string(clientPath.begin(), clientPath.end()));
            const std::wstring id = NewPipeId();
            ASSERT_EQ(channel.listen(id.c_str(), clientPath.c_str()), 0u);
            ChildProcess client = StartPipeClient(program, PipeName(channel, id), L"--hold 10000");
            ASSERT_NE(client.handle(), nullptr);
            EXPECT_EQ(PollUntilReported(channel), 1u);
            EXPECT_EQ(channel.poll(), 6u);
        }
    }
    ::SetCurrentDirectoryW(previousDirectory);
}

TEST(ReadyPipes, TurnAnotherExecutableAwayAndKeepListening) {
    ShellContextScope scope;
    TempDirectory temp;
    const std::wstring program = ProgramPath(L"pipe_client.exe");
    const std::wstring impostor = temp.Join(L"pipe_client.exe");
    ASSERT_TRUE(::CopyFileW(program.c_str(), impostor.c_str(), FALSE));

    for (const ReadyChannel& channel : kChannels) {
        SCOPED_TRACE(channel.label);
        const std::wstring id = NewPipeId();
        ASSERT_EQ(channel.listen(id.c_str(), program.c_str()), 0u);
        const PipeListener& listener = scope.context().*channel.listener;

        ChildProcess wrong = StartPipeClient(impostor, PipeName(channel, id), L"--hold 20000");
        ASSERT_TRUE(WaitForClient(listener, 15000));
        EXPECT_EQ(channel.poll(), 0u);
        // Listening again: the pipe is there, and no client is connected.
        EXPECT_NE(listener.pipe, nullptr);
        EXPECT_FALSE(ClientWaiting(listener));
        EXPECT_EQ(channel.poll(), 0u);

        ChildProcess right = StartPipeClient(program, PipeName(channel, id), L"--hold 20000");
        EXPECT_EQ(PollUntilReported(channel), 1u);
    }
}

TEST(ReadyPipes, KeepTheLetterCaseOfTheIdentifierInThePipeName) {
    ShellContextScope scope;
    const std::wstring id = L"{aBcDeF01-2345-6789-AbCd-0123456789eF}";
    ASSERT_EQ(ShellListenReady(id.c_str(), ProgramPath(L"pipe_client.exe").c_str()), 0u);
    // Pipe names compare without case, so the case is only visible in the name the server holds.
    std::vector<std::uint8_t> buffer(sizeof(FILE_NAME_INFO) + 512 * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(scope.context().readyListener.pipe, FileNameInfo, info,
                                        static_cast<DWORD>(buffer.size())))
        GTEST_SKIP()
            << "GetFileInformationByHandleEx(FileNameInfo) on a named pipe is not supported here (error "
            << ::GetLastError() << ")";
    const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
    EXPECT_EQ(name, L"\\tovrak-installer-ready-" + PipeNameSuffix(id));
}

}  // namespace
}  // namespace tovrak::test
