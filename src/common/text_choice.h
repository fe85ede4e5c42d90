#pragma once
// Which texts a reader gets: from the sections of a translations file and the built-in tables, by the
// reader's languages in the order of preference.

#include <span>
#include <vector>

#include "common/shell_texts.h"
#include "common/texts_file.h"
#include "common/wide_string.h"

namespace tovrak {

// The built-in tables, and the tags each serves. Chinese is Simplified Chinese: it serves "zh" and
// every longer tag of it ("zh-CN", "zh-SG", "zh-Hans-HK") except those of Traditional readers, which
// name the Hant script or Taiwan, Hong Kong or Macao without naming Hans ("zh-TW", "zh-Hant",
// "zh-Hant-CN"). English serves "en" and every longer tag of it.
enum class BuiltInTexts { None, Chinese, English };
BuiltInTexts BuiltInTextsFor(std::wstring_view tag) noexcept;

// For each of `languages` in turn: the section of `file` (if any) that has its tag, or else one of
// its shorter forms ("zh-Hant-TW", then "zh-Hant", then "zh"), or else the built-in table that serves
// it. The first found wins; with none, English. A text the chosen section leaves out comes from the
// built-in table that serves the reader's language, or else from English.
ShellTexts ChooseShellTexts(std::span<const WideString> languages, const TextsFile* file);

// The user's preferred user-interface languages, most preferred first, as language tags.
std::vector<WideString> UserPreferredUiLanguages();

}  // namespace tovrak
