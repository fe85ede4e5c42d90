// Checks translations files as ShellConfigureTexts reads them, for the people who write them:
//
//   texts_check FILE...
//
// For each file with a problem, its first problem goes to standard error as "file:line: what is
// wrong" ("file: what is wrong" when it is the file as a whole, such as its size). Nothing is printed
// for a file that is well formed.
//
// Exit codes: 0 every file is well formed, 1 a file has a problem, 2 a usage error or a file that
// cannot be opened or read (which outweighs a problem in another file).

#include <windows.h>

#include <new>
#include <string>
#include <variant>

#include "common/texts_file.h"
#include "common/wide_string.h"

namespace {

using namespace tovrak;

enum ExitCode : int { kWellFormed = 0, kProblem = 1, kUnusable = 2 };

// As UTF-16 to a console, which shows any script, and as UTF-8 to a file or a pipe.
void WriteError(const WideString& line) {
    const HANDLE output = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    DWORD mode = 0;
    if (::GetConsoleMode(output, &mode)) {
        ::WriteConsoleW(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int units = static_cast<int>(line.size());
    const int count = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), units, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), units, bytes.data(), count, nullptr, nullptr);
    ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

WideString SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    WideString message = length ? WideString(text, length) : WideString();
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message.empty() ? L"system error " + std::to_wstring(error)
                           : message + L" (system error " + std::to_wstring(error) + L")";
}

int Check(const WideString& path) {
    const ReadTextsFileResult read = ReadTextsFile(path);
    if (const auto* unreadable = std::get_if<TextsFileUnreadable>(&read)) {
        WriteError(path + L": cannot be read: " + SystemMessage(unreadable->error) + L"\n");
        return kUnusable;
    }
    if (const auto* problem = std::get_if<TextsFileProblem>(&read)) {
        const WideString where = problem->line ? L":" + std::to_wstring(problem->line) : WideString();
        WriteError(path + where + L": " + problem->message + L"\n");
        return kProblem;
    }
    return kWellFormed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        WriteError(
            L"usage: texts_check FILE...\n"
            L"Checks translations files; prints the first problem of each as file:line: message.\n");
        return kUnusable;
    }
    int worst = kWellFormed;
    try {
        for (int i = 1; i < argc; ++i) {
            const int result = Check(argv[i]);
            if (result > worst) worst = result;
        }
    } catch (const std::bad_alloc&) {
        WriteError(L"texts_check: out of memory\n");
        return kUnusable;
    }
    return worst;
}
