// The takeover acknowledgement as the installer's parent sees it: takeover_child.exe calls
// ShellAcknowledgeTakeover on the standard output it was given and exits with the result.

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "support/environment.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

// Runs the child with `output` as its standard output, or with a console of its own when
// `newConsole` is set, and returns its exit code.
DWORD RunTakeoverChild(HANDLE output, bool newConsole = false) {
    const std::wstring program = ProgramPath(L"takeover_child.exe");
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = newConsole ? 0 : STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, output != nullptr,
                          newConsole ? CREATE_NEW_CONSOLE : 0, nullptr, nullptr, &startup, &info))
        return ::GetLastError();
    UniqueHandleKernel process(info.hProcess), thread(info.hThread);
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.get(), &code);
    return code;
}

TEST(TakeoverAcknowledgement, WritesExactlyFourBytesIntoAPipe) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueHandleKernel readEnd, writeEnd;
    ASSERT_TRUE(::CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0));
    ASSERT_TRUE(::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0));
    EXPECT_EQ(RunTakeoverChild(writeEnd.get()), 0u);
    writeEnd.reset();  // the child has exited: reading ends after what it wrote

    std::string received;
    char chunk[64];
    DWORD read = 0;
    while (::ReadFile(readEnd.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        received.append(chunk, read);
    EXPECT_EQ(received, "AID1");
}

TEST(TakeoverAcknowledgement, WritesNothingToAFileAConsoleOrNoOutput) {
    TempDirectory temp;
    const std::wstring path = temp.Join(L"output.bin");
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        EXPECT_EQ(RunTakeoverChild(file.get()), TOVRAK_ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(RunTakeoverChild(nullptr, true), TOVRAK_ERROR_INVALID_HANDLE);
    EXPECT_EQ(RunTakeoverChild(nullptr), TOVRAK_ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace tovrak::test
