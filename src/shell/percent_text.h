#pragma once
// A percentage as the shell writes it, "42%": under the progress bar, as the bar's text and as its
// accessible value. Held inline, so that painting never allocates.

#include <cwchar>
#include <string_view>

namespace tovrak {

class PercentText {
  public:
    explicit PercentText(int percent) noexcept {
        const int written = std::swprintf(text_, std::size(text_), L"%d%%", percent);
        length_ = written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    std::wstring_view view() const noexcept { return {text_, length_}; }

  private:
    wchar_t text_[16] = {};
    std::size_t length_ = 0;
};

}  // namespace tovrak
