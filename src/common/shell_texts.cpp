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

const ShellTexts& ShellTexts::English() noexcept {
    // Made once: the update surface reads it on every frame.
    static const ShellTexts english = [] {
        ShellTexts column;
        for (std::size_t i = 0; i < kShellTextCount; ++i)
            column.views_[i] = kShellTextRows[i].english;
        column.builtInChinese_ = false;
        return column;
    }();
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
