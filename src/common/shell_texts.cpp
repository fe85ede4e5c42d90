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
    english.builtInChinese_ = false;
    return english;
}

ShellTexts::ShellTexts(const ShellTexts& base, Replacements replacements)
    : views_(base.views_),
      builtInChinese_(false),
      owned_(std::make_shared<const Replacements>(std::move(replacements))) {
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
    WideString filled;
    filled.reserve(text.size() + name.size());
    ExpandShellText(text, name, percent, [&filled](std::wstring_view piece) { filled += piece; });
    return filled;
}

}  // namespace tovrak
