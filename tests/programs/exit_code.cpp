// Runs a command line and writes its exit code, all 32 bits of it, in decimal into a file. Under
// Wine a Linux shell sees only the low 8 bits of a Windows program's exit code, and an installer's
// codes (1602, 1603, 1618) need them all. The program inherits standard input, output and error.
//
//   exit_code.exe <result file> <program> [<arguments>...]
//
// The command line after the result file is passed on as it stands, so that an argument such as
// NSIS's /D=, which takes the rest of the line with its spaces, reaches the program unchanged.
// Exits 0 when the program ran, 1 when it could not be started.

#include <windows.h>

#include <cwctype>
#include <string>

#include "common/unique_handle.h"

namespace {

// The rest of the line after one argument, read as CommandLineToArgvW reads it (whitespace ends an
// argument outside quotes).
const wchar_t* SkipArgument(const wchar_t* line) {
    while (*line && std::iswspace(*line))
        ++line;
    bool quoted = false;
    for (; *line && (quoted || !std::iswspace(*line)); ++line)
        if (*line == L'"') quoted = !quoted;
    while (*line && std::iswspace(*line))
        ++line;
    return line;
}

std::wstring ArgumentAt(const wchar_t* line) {
    std::wstring argument(line, SkipArgument(line));
    while (!argument.empty() && std::iswspace(argument.back()))
        argument.pop_back();
    if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"')
        argument = argument.substr(1, argument.size() - 2);
    return argument;
}

// Written beside the result file and moved onto it, so that a script that waits for the file never
// reads it half written.
bool WriteResult(const std::wstring& path, DWORD code) {
    const std::wstring partial = path + L".partial";
    const std::string text = std::to_string(code);
    {
        tovrak::UniqueFile file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            return false;
    }
    return ::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain() {
    const wchar_t* afterSelf = SkipArgument(::GetCommandLineW());
    const std::wstring resultFile = ArgumentAt(afterSelf);
    std::wstring commandLine = SkipArgument(afterSelf);
    if (resultFile.empty() || commandLine.empty()) return 2;

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &started))
        return 1;
    const tovrak::UniqueHandleKernel thread(started.hThread), process(started.hProcess);
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return WriteResult(resultFile, code) ? 0 : 1;
}
