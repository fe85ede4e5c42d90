#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "common/texts_file.h"
#include "support/environment.h"
#include "utf16_file.h"

namespace tovrak {
namespace {

using test::TempDirectory;
using test::Utf16File;
using test::WriteBytes;

std::string Repeated(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

constexpr std::size_t kWellFormed = ~std::size_t{0};

TEST(TextsFile, IsRefusedWholeAtItsFirstProblem) {
    const std::string section = "[de]\n";
    const std::string comments = std::string(kTextsFileMostBytes - 1, ';') + "\n";
    const struct {
        const char* what;
        std::string bytes;
        std::size_t line;  // kWellFormed for a file at the edge of what is allowed
        const wchar_t* message;
    } cases[] = {
        {"a line of no kind", section + "InstallButton Installieren\n", 2, L"no [section], Key=Text"},
        {"an unknown key", section + "InstalButton=x\n", 2, L"unknown key \"InstalButton\""},
        {"a key in other letters", section + "installbutton=x\n", 2, L"case-sensitive: \"InstallButton\"?"},
        {"a line without its key", section + " =x\n", 2, L"without its key"},
        {"a key before any section", "; note\nInstallButton=x\n[de]\n", 2, L"before any [section]"},
        {"a key twice in a section", section + "InstallButton=a\r\nInstallButton=b\r\n", 3,
         L"second time in [de] (first on line 2)"},
        {"a section twice, letter case aside", "[de]\n\n[DE]\n", 3, L"second time (first on line 1)"},
        {"a tag of other characters", "[de_DE]\n", 1, L"no language tag"},
        {"a tag with an empty subtag", "[en--US]\n", 1, L"no language tag"},
        {"a tag ending in a hyphen", "[de-]\n", 1, L"no language tag"},
        {"a tag with spaces", "[ de ]\n", 1, L"no language tag"},
        {"an empty tag", "[]\n", 1, L"no language tag"},
        {"a tag of 85 characters", "[" + std::string(85, 'a') + "]\n", 1, L"no language tag"},
        {"a section line with more after it", "[de] ; German\n", 1, L"end with \"]\""},
        {"a text of 1025 units", section + "InstallButton=" + std::string(1025, 'a') + "\n", 2,
         L"1025 UTF-16 units long"},
        // 513 characters outside the Basic Multilingual Plane take two units each.
        {"a text of 1026 units in 513 characters", section + "NoteKey=" + Repeated("\xF0\x9F\x98\x80", 513),
         2, L"1026 UTF-16 units long"},
        {"a NUL character", section + std::string("InstallButton=a\0b", 17), 2, L"NUL"},
        {"UTF-16 without its mark", std::string("[\0d\0e\0]\0", 8), 1, L"byte-order mark"},
        {"old Mac line ends", "; German\r[de]\rInstallButton=x\r", 1, L"carriage return inside a line"},
        {"a control character", section + "InstallButton=a\x07", 2, L"U+0007"},
        {"an overlong slash", section + "InstallButton=\xC0\xAF", 2, L"overlong"},
        {"an overlong three-byte form", section + "InstallButton=\xE0\x80\xAF", 2, L"overlong"},
        {"an encoded surrogate", section + "InstallButton=\xED\xA0\x80", 2, L"surrogate"},
        {"a code point above U+10FFFF", section + "InstallButton=\xF4\x90\x80\x80", 2, L"above U+10FFFF"},
        {"a character cut short by the line end", section + "InstallButton=\xE4\xB8\nNoteKey=x\n", 2,
         L"cut short"},
        {"a character cut short by the file end", section + "InstallButton=\xE4", 2, L"cut short"},
        {"a stray continuation byte", section + "InstallButton=\x80", 2, L"continuation byte"},
        {"a byte never in UTF-8", section + "InstallButton=\xFF", 2, L"never occurs"},
        {"a UTF-16 big-endian mark", std::string("\xFE\xFF\0[\0d\0e\0]", 10), 1, L"big-endian"},
        {"UTF-16 ending inside a unit", Utf16File(L"[de]\n") + "x", 2, L"ends inside a code unit"},
        {"UTF-16 with a lone surrogate", Utf16File(L"[de]\nInstallButton=\xD800!"), 2, L"surrogate"},
        {"more than 1 MiB", comments + "\n", 0, L"larger than 1 MiB"},
        {"exactly 1 MiB", comments, kWellFormed, nullptr},
        {"a tag of 84 characters", "[" + std::string(84, 'a') + "]\n", kWellFormed, nullptr},
        {"a text of 1024 units", section + "InstallButton=" + std::string(1024, 'a'), kWellFormed, nullptr},
    };
    TempDirectory directory;
    const std::wstring path = directory.Join(L"translations.txt");
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(path, c.bytes)) << c.what;
        const ReadTextsFileResult read = ReadTextsFile(path);
        if (c.line == kWellFormed) {
            EXPECT_TRUE(std::holds_alternative<TextsFile>(read)) << c.what;
            continue;
        }
        const auto* problem = std::get_if<TextsFileProblem>(&read);
        ASSERT_NE(problem, nullptr) << c.what;
        EXPECT_EQ(problem->line, c.line) << c.what;
        EXPECT_NE(problem->message.find(c.message), std::wstring::npos) << c.what << ": " << problem->message;
    }
}

}  // namespace
}  // namespace tovrak
