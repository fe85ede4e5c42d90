#include "process/owner_prefix.h"

#include <gtest/gtest.h>

#include <string>

namespace tovrak {
namespace {

TEST(OwnerPrefix, GivesEverySpellingOfADirectoryOneCanonicalForm) {
    const std::wstring longName(300, L'n');  // beyond MAX_PATH only the 32768-unit limit applies
    const struct {
        std::wstring directory, prefix;
    } cases[] = {
        {L"C:\\Apps\\Tool", L"C:\\Apps\\Tool\\"},
        {L"C:\\Apps\\Tool\\", L"C:\\Apps\\Tool\\"},
        {L"C:/Apps/Tool//", L"C:\\Apps\\Tool\\"},
        {L"C:\\Apps\\Tool\\bin\\..", L"C:\\Apps\\Tool\\"},
        {L"\\\\?\\C:\\Apps\\Tool", L"C:\\Apps\\Tool\\"},
        {L"\\\\?\\UNC\\srv\\share\\dir", L"\\\\srv\\share\\dir\\"},
        {L"\\\\?\\unc\\srv\\share\\dir", L"\\\\srv\\share\\dir\\"},
        {L"\\\\srv\\share\\dir\\", L"\\\\srv\\share\\dir\\"},
        {L"C:\\abc", L"C:\\abc\\"},
        {L"\\\\?\\C:\\" + longName + L"\\" + longName, L"C:\\" + longName + L"\\" + longName + L"\\"},
    };
    for (const auto& c : cases) {
        WideString prefix;
        EXPECT_TRUE(NormalizeOwnerDirectory(c.directory.c_str(), prefix)) << c.directory;
        EXPECT_EQ(prefix, c.prefix) << c.directory;
    }
}

TEST(OwnerPrefix, RejectsRootsSharesAndUnusableText) {
    const std::wstring overLong = L"C:\\" + std::wstring(kLongPathUnits, L'a');
    const wchar_t* const rejected[] = {
        L"",
        L"C:\\",
        L"C:/",
        L"\\\\?\\C:\\",
        L"\\\\srv\\share",
        L"\\\\srv\\share\\",
        L"\\\\srv",
        L"\\\\?\\UNC\\srv\\share",
        // Long-path forms that name no drive directory would otherwise resolve against the current
        // directory and match nothing.
        L"\\\\?\\Volume{6f1f5b0c-0000-0000-0000-100000000000}\\Apps",
        L"\\\\?\\GLOBALROOT\\Device\\Apps",
        L"\\\\?\\C:",
        overLong.c_str(),
        nullptr,
    };
    for (const wchar_t* directory : rejected) {
        WideString prefix = L"unchanged";
        EXPECT_FALSE(NormalizeOwnerDirectory(directory, prefix)) << (directory ? directory : L"(null)");
        EXPECT_EQ(prefix, L"unchanged");
    }
}

}  // namespace
}  // namespace tovrak
