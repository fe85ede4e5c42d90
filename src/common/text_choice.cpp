#include "common/text_choice.h"

#include <windows.h>

#include <algorithm>

#include "common/language_tag.h"

namespace tovrak {
namespace {

// The script and regions that mark Traditional Chinese, which the Simplified table must not serve.
constexpr std::wstring_view kTraditionalMarks[] = {L"Hant", L"TW", L"HK", L"MO"};
constexpr std::wstring_view kSimplifiedScript = L"Hans";

bool ReadsTraditionalChinese(std::wstring_view tag) noexcept {
    LanguageSubtags subtags(tag);
    std::wstring_view subtag;
    subtags.Next(subtag);  // the language itself
    bool traditional = false;
    while (subtags.Next(subtag)) {
        // A single character opens extensions or private use, whose subtags say nothing of the script.
        if (subtag.size() == 1) break;
        // A reader who names the Simplified script reads it wherever they live ("zh-Hans-HK").
        if (EqualsIgnoringAsciiCase(subtag, kSimplifiedScript)) return false;
        for (const std::wstring_view mark : kTraditionalMarks) {
            if (EqualsIgnoringAsciiCase(subtag, mark)) traditional = true;
        }
    }
    return traditional;
}

// The built-in table that serves `language`, and English for a language that none serves: what a
// section leaves out comes from there.
ShellTexts BuiltInBase(std::wstring_view language) noexcept {
    return BuiltInTextsFor(language) == BuiltInTexts::Chinese ? ShellTexts() : ShellTexts::English();
}

}  // namespace

BuiltInTexts BuiltInTextsFor(std::wstring_view tag) noexcept {
    std::wstring_view primary;
    LanguageSubtags(tag).Next(primary);
    if (EqualsIgnoringAsciiCase(primary, L"en")) return BuiltInTexts::English;
    if (EqualsIgnoringAsciiCase(primary, L"zh") && !ReadsTraditionalChinese(tag))
        return BuiltInTexts::Chinese;
    return BuiltInTexts::None;
}

ShellTexts ChooseShellTexts(std::span<const WideString> languages, const TextsFile* file) {
    for (const WideString& language : languages) {
        if (file) {
            for (std::wstring_view form = language; !form.empty(); form = ShorterLanguageTag(form)) {
                if (const TextsSection* section = FindTextsSection(*file, form))
                    return ShellTexts(BuiltInBase(language), section->texts);
            }
        }
        if (BuiltInTextsFor(language) != BuiltInTexts::None) return BuiltInBase(language);
    }
    return ShellTexts::English();
}

std::vector<WideString> UserPreferredUiLanguages() {
    std::vector<WideString> languages;
    ULONG count = 0;
    ULONG units = 0;
    if (::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &units) && units > 0) {
        WideString names(units, L'\0');
        if (::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &units)) {
            // A list of terminated names, ended by an empty one.
            for (std::wstring_view rest = names; !rest.empty() && rest.front() != L'\0';) {
                const std::wstring_view name = rest.substr(0, rest.find(L'\0'));
                languages.emplace_back(name);
                rest.remove_prefix(std::min(rest.size(), name.size() + 1));
            }
        }
    }
    if (!languages.empty()) return languages;
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    const LCID locale = MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
    if (::LCIDToLocaleName(locale, name, LOCALE_NAME_MAX_LENGTH, 0) > 1) languages.emplace_back(name);
    return languages;
}

}  // namespace tovrak
