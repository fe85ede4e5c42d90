#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shell_texts.h"
#include "support/environment.h"
#include "support/failing_allocations.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

using test::ShellSession;
using test::TempDirectory;
using test::WriteBytes;

std::vector<std::wstring> AllTexts(const ShellTexts& texts) {
    std::vector<std::wstring> all;
    for (const ShellTextRow& row : kShellTextRows)
        all.emplace_back(texts[row.text]);
    return all;
}

std::vector<std::wstring> ChineseColumn() {
    std::vector<std::wstring> all;
    for (const ShellTextRow& row : kShellTextRows)
        all.emplace_back(row.chinese);
    return all;
}

// ctest runs every test in a process of its own, so that here nothing has configured texts yet.
TEST(ShellConfigureTexts, LeavesTheChineseTextsInForceUntilCalled) {
    EXPECT_EQ(AllTexts(CurrentShellTexts()), ChineseColumn());
}

TEST(ShellConfigureTexts, ChangesNothingWhenItRefuses) {
    TempDirectory directory;
    const std::wstring german = directory.Join(L"german.txt");
    const std::wstring malformed = directory.Join(L"malformed.txt");
    ASSERT_TRUE(WriteBytes(german, "[de]\nInstallButton=Installieren\n"));
    ASSERT_TRUE(WriteBytes(malformed, "[de]\nInstallButton=Installieren\nInstallKnopf=Los\n"));
    ASSERT_EQ(ShellConfigureTexts(L"de-AT", german.c_str()), 0u);
    const std::vector<std::wstring> chosen = AllTexts(CurrentShellTexts());
    const std::wstring tooLong(85, L'a');
    ASSERT_EQ(chosen[static_cast<std::size_t>(ShellText::InstallButton)], L"Installieren");

    const struct {
        const wchar_t* language;
        std::wstring file;
        std::uint32_t result;
    } cases[] = {
        {L"en--US", german, ERROR_INVALID_PARAMETER},
        {L"-de", german, ERROR_INVALID_PARAMETER},
        {L"de-", german, ERROR_INVALID_PARAMETER},
        {L"de_DE", german, ERROR_INVALID_PARAMETER},
        {L"de DE", german, ERROR_INVALID_PARAMETER},
        {L"d\x00E9", german, ERROR_INVALID_PARAMETER},
        {tooLong.c_str(), german, ERROR_INVALID_PARAMETER},
        {L"en", directory.Join(L"missing.txt"), ERROR_FILE_NOT_FOUND},
        {L"en", directory.Join(L"missing\\german.txt"), ERROR_PATH_NOT_FOUND},
        {L"en", directory.path(), ERROR_ACCESS_DENIED},
        {L"en", malformed, ERROR_INVALID_DATA},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShellConfigureTexts(c.language, c.file.c_str()), c.result) << c.language << " " << c.file;
        EXPECT_EQ(AllTexts(CurrentShellTexts()), chosen) << c.language << " " << c.file;
    }

    {
        ShellSession shell;
        ASSERT_TRUE(shell);
        EXPECT_EQ(ShellConfigureTexts(L"en", nullptr), ERROR_BUSY);
    }
    EXPECT_EQ(AllTexts(CurrentShellTexts()), chosen) << "while a shell was open";

    std::uint32_t starved = 0;
    {
        test::FailingAllocations failing;
        starved = ShellConfigureTexts(L"en", german.c_str());
    }
    EXPECT_EQ(starved, ERROR_GEN_FAILURE);
    EXPECT_EQ(AllTexts(CurrentShellTexts()), chosen) << "without memory";
}

// The user's first language, asked of the system here rather than of the library, names the
// section that must be chosen: the test holds whatever language the session runs in.
TEST(ShellConfigureTexts, WithoutALanguageFollowsTheUsersLanguages) {
    ULONG count = 0;
    wchar_t names[512] = {};
    ULONG units = static_cast<ULONG>(std::size(names));
    ASSERT_TRUE(::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names, &units));
    const std::wstring first = names;
    ASSERT_FALSE(first.empty());

    TempDirectory directory;
    const std::wstring file = directory.Join(L"translations.txt");
    const std::string tag(first.begin(), first.end());
    ASSERT_TRUE(WriteBytes(file, "[" + tag + "]\nInstallButton=marked\n[tlh]\nInstallButton=Installer\n"));
    for (const wchar_t* language : {static_cast<const wchar_t*>(nullptr), L""}) {
        ASSERT_EQ(ShellConfigureTexts(L"tlh", file.c_str()), 0u);
        ASSERT_EQ(CurrentShellTexts()[ShellText::InstallButton], L"Installer");
        EXPECT_EQ(ShellConfigureTexts(language, file.c_str()), 0u);
        EXPECT_EQ(CurrentShellTexts()[ShellText::InstallButton], L"marked") << first;
    }
}

}  // namespace
}  // namespace tovrak
