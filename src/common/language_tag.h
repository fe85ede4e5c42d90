#pragma once
// Language tags (BCP 47) as the texts' configuration takes them: subtags of ASCII letters and digits
// joined by single hyphens, compared without regard to letter case. Only their form is checked, not
// that a registry lists them, so that a host may name a language this library has never heard of.

#include <cstddef>
#include <string_view>

namespace tovrak {

// The longest tag a Windows locale name holds (LOCALE_NAME_MAX_LENGTH counts the terminator too).
inline constexpr std::size_t kLanguageTagMostCharacters = 84;

constexpr bool IsAsciiLetterOrDigit(wchar_t c) noexcept {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

constexpr wchar_t AsciiLower(wchar_t c) noexcept {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// 1 to 84 characters of subtags that are each at least one letter or digit: no empty subtag, so
// neither "en--US" nor a hyphen at either end.
constexpr bool IsLanguageTag(std::wstring_view tag) noexcept {
    if (tag.empty() || tag.size() > kLanguageTagMostCharacters) return false;
    if (tag.front() == L'-' || tag.back() == L'-') return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        if (tag[i] == L'-') {
            if (tag[i + 1] == L'-') return false;  // the last character is no hyphen, so i + 1 exists
        } else if (!IsAsciiLetterOrDigit(tag[i])) {
            return false;
        }
    }
    return true;
}

// Tags are ASCII, so folding ASCII letters is the whole of their case rule.
constexpr bool EqualsIgnoringAsciiCase(std::wstring_view left, std::wstring_view right) noexcept {
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (AsciiLower(left[i]) != AsciiLower(right[i])) return false;
    }
    return true;
}

// The next shorter form of `tag`, cut at its last hyphen ("zh-Hant-TW", "zh-Hant", "zh"), or empty
// after the primary subtag. A single-character subtag left at the end ("de-x" of "de-x-foo")
// announces what follows it and means nothing alone, so it goes too.
constexpr std::wstring_view ShorterLanguageTag(std::wstring_view tag) noexcept {
    std::size_t hyphen = tag.rfind(L'-');
    if (hyphen == std::wstring_view::npos) return {};
    tag = tag.substr(0, hyphen);
    hyphen = tag.rfind(L'-');
    if (hyphen != std::wstring_view::npos && hyphen + 2 == tag.size()) tag = tag.substr(0, hyphen);
    return tag;
}

// Each subtag of `tag` in turn, from the first.
class LanguageSubtags {
  public:
    constexpr explicit LanguageSubtags(std::wstring_view tag) noexcept : rest_(tag) {}
    constexpr bool Next(std::wstring_view& subtag) noexcept {
        if (done_) return false;
        const std::size_t hyphen = rest_.find(L'-');
        subtag = rest_.substr(0, hyphen);
        if (hyphen == std::wstring_view::npos) {
            done_ = true;
        } else {
            rest_.remove_prefix(hyphen + 1);
        }
        return true;
    }

  private:
    std::wstring_view rest_;
    bool done_ = false;
};

}  // namespace tovrak
