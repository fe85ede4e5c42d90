#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "common/ordinal_text.h"
#include "common/system_library.h"
#include "support/environment.h"

namespace {

using tovrak::SystemFunction;
using tovrak::SystemLibrary;

std::wstring FolderOf(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

TEST(SystemLibrary, ResolvesByNameOrOrdinalAndReportsWhatIsMissing) {
    // The stand-in DLL lies beside this program, where a plain LoadLibraryW would find it.
    ASSERT_NE(::GetFileAttributesW(tovrak::test::ProgramPath(L"planted_library.dll").c_str()),
              INVALID_FILE_ATTRIBUTES);
    const struct {
        const wchar_t* file;
        const char* function;
        WORD ordinal;
        DWORD error;  // 0: found, by name unless byOrdinal
        bool byOrdinal;
    } cases[] = {
        {L"comctl32.dll", "SetWindowSubclass", 410, 0, false},
        {L"comctl32.dll", "NoSuchFunction", 410, 0, true},  // as an older comctl32 exports it
        {L"comctl32.dll", "NoSuchFunction", 0, ERROR_PROC_NOT_FOUND, false},
        {L"planted_library.dll", "DllMain", 0, ERROR_MOD_NOT_FOUND, false},  // not in System32
        {L"tovrak-no-such-library.dll", "Anything", 0, ERROR_MOD_NOT_FOUND, false},
    };
    for (const auto& entry : cases) {
        SystemLibrary library(entry.file);
        SystemFunction<FARPROC> function(library, entry.function, entry.ordinal);
        ::SetLastError(ERROR_SUCCESS);
        const FARPROC found = function.get();
        if (entry.error != 0) {
            EXPECT_EQ(found, nullptr) << entry.function;
            EXPECT_EQ(::GetLastError(), entry.error) << entry.function;
            continue;
        }
        ASSERT_NE(found, nullptr) << entry.function;
        const HMODULE module = ::GetModuleHandleW(entry.file);
        const FARPROC expected = entry.byOrdinal ? ::GetProcAddress(module, MAKEINTRESOURCEA(entry.ordinal))
                                                 : ::GetProcAddress(module, entry.function);
        EXPECT_EQ(found, expected) << entry.function;
        EXPECT_EQ(function.get(), found) << "a second look-up gives the first answer";
    }
}

TEST(SystemLibrary, LoadsFromTheSystemDirectory) {
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(length, 0u);
    for (const wchar_t* file : {L"dwmapi.dll", L"bcrypt.dll", L"gdiplus.dll"}) {
        SystemLibrary library(file);
        const HMODULE module = library.Module();
        ASSERT_NE(module, nullptr) << ::GetLastError();
        EXPECT_EQ(library.Module(), module);
        EXPECT_TRUE(tovrak::OrdinalEqualsIgnoringCase(FolderOf(module), std::wstring(system, length)));
    }
}

}  // namespace
