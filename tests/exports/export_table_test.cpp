#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "export_list.h"

namespace {

TEST(ExportTable, EveryExportHasItsPlainAndDecoratedNameAtOneAddress) {
    HMODULE dll = ::LoadLibraryW(L"TovrakRenderer.dll");
    ASSERT_NE(dll, nullptr) << "LoadLibraryW failed: " << ::GetLastError();
    int checked = 0;
    for (const ExportName* entry = kExports; entry->name; ++entry) {
        const std::string decorated = std::string(entry->name) + "@" + std::to_string(entry->argumentBytes);
        FARPROC plain = ::GetProcAddress(dll, entry->name);
        FARPROC withSize = ::GetProcAddress(dll, decorated.c_str());
        EXPECT_NE(plain, nullptr) << entry->name;
        EXPECT_NE(withSize, nullptr) << decorated;
        EXPECT_EQ(plain, withSize) << entry->name;
        ++checked;
    }
    EXPECT_GT(checked, 0);
    ::FreeLibrary(dll);
}

}  // namespace
