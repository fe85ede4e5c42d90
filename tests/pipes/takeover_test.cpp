// The takeover acknowledgement as the parent of the installer sees it: takeover_child.exe calls
// ShellAcknowledgeTakeover on the standard output it was given and exits with the result.

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "support/environment.h"

namespace tovrak::test {
namespace {

constexpr bool kRedirect = true;

// Runs takeover_child.exe, with `output` as its standard output when `redirect` is set, and returns
// its exit code.
DWORD RunTakeoverChild(bool redirect, HANDLE output, DWORD flags = 0) {
    const std::wstring program = ProgramPath(L"takeover_child.exe");
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (redirect) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
    }
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, redirect && output, flags,
                          nullptr, nullptr, &startup, &info))
        return ::GetLastError();
    UniqueHandleKernel process(info.hProcess), thread(info.hThread);
    if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

TEST(TakeoverAcknowledgement, WritesExactlyFourBytesIntoAPipe) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueHandleKernel readEnd, writeEnd;
    ASSERT_TRUE(::CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0));
    ASSERT_TRUE(::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0));

    EXPECT_EQ(RunTakeoverChild(kRedirect, writeEnd.get()), 0u);
    writeEnd.reset();  // the child has exited: reading now ends at the end of what it wrote

    std::string received;
    char chunk[64];
    DWORD read = 0;
    while (::ReadFile(readEnd.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        received.append(chunk, read);
    EXPECT_EQ(received, "AID1");
}

TEST(TakeoverAcknowledgement, WritesNothingWhenOutputIsAFileOrAbsent) {
    TempDirectory temp;
    const std::wstring path = temp.Join(L"output.bin");
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        EXPECT_EQ(RunTakeoverChild(kRedirect, file.get()), 6u);
    }
    EXPECT_EQ(ReadBytes(path), "");

    EXPECT_EQ(RunTakeoverChild(kRedirect, nullptr), 6u);
}

TEST(TakeoverAcknowledgement, WritesNothingToAConsole) {
    // With a console of its own and no redirection, the child's standard output is that console.
    EXPECT_EQ(RunTakeoverChild(!kRedirect, nullptr, CREATE_NEW_CONSOLE), 6u);
}

}  // namespace
}  // namespace tovrak::test
