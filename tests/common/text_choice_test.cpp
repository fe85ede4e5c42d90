#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "common/text_choice.h"
#include "common/texts_file.h"
#include "support/environment.h"
#include "utf16_file.h"

namespace tovrak {
namespace {

using test::TempDirectory;
using test::Utf16File;
using test::WriteBytes;

// A British section that gives two texts, one of them empty; written with a UTF-8 mark and CR LF.
const std::string kBritishFile =
    "\xEF\xBB\xBF; British English\r\n[en-GB]\r\n  InstallButton\t=Install now\r\nAgreementJoiner=\r\n";
// A German section, in UTF-16 LE; the second "=" belongs to the text.
const std::string kGermanFile =
    Utf16File(L"# Deutsch\n[de]\nInstallButton=Installieren\nMoreOptions=Weitere Optionen = mehr\n");
const std::string kChineseFile = "[zh]\nInstallButton=立即安装\n";
const wchar_t* const kChineseInstall = L"立即安装";

struct Expected {
    bool chinese;  // the built-in table the texts come from where the section gives none
    std::vector<std::pair<ShellText, const wchar_t*>> fromFile;
};

std::vector<std::wstring> AllTexts(const ShellTexts& texts) {
    std::vector<std::wstring> all;
    for (const ShellTextRow& row : kShellTextRows)
        all.emplace_back(texts[row.text]);
    return all;
}

std::vector<std::wstring> AllTexts(const Expected& expected) {
    std::vector<std::wstring> all;
    for (const ShellTextRow& row : kShellTextRows)
        all.emplace_back(expected.chinese ? row.chinese : row.english);
    for (const auto& [text, given] : expected.fromFile)
        all[static_cast<std::size_t>(text)] = given;
    return all;
}

TEST(TextChoice, TakesTheFirstLanguageThatASectionOrABuiltInTableServes) {
    const Expected english{false, {}};
    const Expected chinese{true, {}};
    const Expected german{
        false,
        {{ShellText::InstallButton, L"Installieren"}, {ShellText::MoreOptions, L"Weitere Optionen = mehr"}}};
    const struct {
        std::vector<std::wstring> languages;
        const std::string* file;
        Expected expected;
    } cases[] = {
        {{L"en"}, nullptr, english},
        {{L"EN-gb"},
         &kBritishFile,
         {false, {{ShellText::InstallButton, L"Install now"}, {ShellText::AgreementJoiner, L""}}}},
        {{L"de-DE"}, &kGermanFile, german},
        {{L"zh-TW"}, nullptr, english},
        {{L"zh-Hant-TW"}, nullptr, english},
        {{L"zh-HK"}, nullptr, english},
        {{L"zh-SG"}, nullptr, chinese},
        {{L"zh-Hans-CN"}, nullptr, chinese},
        {{L"zh-Hans-HK"}, nullptr, chinese},
        {{L"fr-FR", L"de"}, &kGermanFile, german},
        {{L"fr"}, nullptr, english},
        {{}, nullptr, english},
        // A reader's language comes before a later one, whether the file or a built-in table serves it.
        {{L"fr-FR", L"zh-CN", L"de"}, &kGermanFile, chinese},
        {{L"en-US", L"de"}, &kGermanFile, english},
        // A Chinese section fills its gaps from the Simplified table for Simplified readers only.
        {{L"zh-CN"}, &kChineseFile, {true, {{ShellText::InstallButton, kChineseInstall}}}},
        {{L"zh-Hant-TW"}, &kChineseFile, {false, {{ShellText::InstallButton, kChineseInstall}}}},
    };
    TempDirectory directory;
    const std::wstring path = directory.Join(L"translations.txt");
    for (const auto& c : cases) {
        std::wstring shown;
        for (const std::wstring& language : c.languages)
            shown += language + L" ";
        std::optional<TextsFile> file;
        if (c.file) {
            ASSERT_TRUE(WriteBytes(path, *c.file));
            ReadTextsFileResult read = ReadTextsFile(path);
            ASSERT_TRUE(std::holds_alternative<TextsFile>(read)) << shown;
            file = std::get<TextsFile>(std::move(read));
        }
        const ShellTexts chosen = ChooseShellTexts(c.languages, file ? &*file : nullptr);
        EXPECT_EQ(AllTexts(chosen), AllTexts(c.expected)) << shown;
    }
}

}  // namespace
}  // namespace tovrak
