#include "common/shell_texts.h"

#include <string>
#include <utility>

namespace tovrak {
namespace {

ShellTexts g_currentTexts;

}  // namespace

ShellTexts::ShellTexts() noexcept {
    for (std::size_t i = 0; i < kShellTextCount; ++i)
        views_[i] = kShellTextRows[i].chinese;
}

ShellTexts ShellTexts::English() noexcept {
    ShellTexts english;
    for (std::size_t i = 0; i < kShellTextCount; ++i)
        english.views_[i] = kShellTextRows[i].english;
    return english;
}

ShellTexts::ShellTexts(const ShellTexts& base, Replacements replacements)
    : views_(base.views_), owned_(std::make_shared<const Replacements>(std::move(replacements))) {
    for (std::size_t i = 0; i < kShellTextCount; ++i) {
        if ((*owned_)[i]) views_[i] = *(*owned_)[i];
    }
}

std::optional<ShellText> ShellTextByKey(std::wstring_view key) noexcept {
    for (const ShellTextRow& row : kShellTextRows) {
        if (key == row.key) return row.text;
    }
    return std::nullopt;
}

const ShellTexts& CurrentShellTexts() noexcept {
    return g_currentTexts;
}

void SetCurrentShellTexts(const ShellTexts& texts) noexcept {
    g_currentTexts = texts;
}

WideString FillShellText(std::wstring_view text, std::wstring_view name, int percent) {
    constexpr std::wstring_view kName = L"{name}";
    constexpr std::wstring_view kPercent = L"{percent}";
    WideString filled;
    filled.reserve(text.size() + name.size());
    while (!text.empty()) {
        if (text.starts_with(kName)) {
            filled += name;
            text.remove_prefix(kName.size());
        } else if (text.starts_with(kPercent)) {
            filled += std::to_wstring(percent);
            text.remove_prefix(kPercent.size());
        } else {
            filled += text.front();
            text.remove_prefix(1);
        }
    }
    return filled;
}

}  // namespace tovrak
