#include "shell/window_text.h"

#include <vector>

namespace tovrak {
namespace {

constexpr int kFirstCapacity = 256;

}  // namespace

std::wstring StoredWindowText(HWND window) {
    if (!window) return {};
    // InternalGetWindowText has no way to ask for the length: a result that fills the buffer may have
    // been cut, so the buffer grows until the text fits with room to spare.
    std::wstring text;
    for (int capacity = kFirstCapacity;; capacity *= 2) {
        text.resize(static_cast<size_t>(capacity));
        const int length = ::InternalGetWindowText(window, text.data(), capacity);
        if (length < capacity - 1) {
            text.resize(static_cast<size_t>(length > 0 ? length : 0));
            return text;
        }
    }
}

bool StoredWindowTextEquals(HWND window, std::wstring_view text) {
    if (!window) return false;
    // Room for one unit more than the expected text: a longer stored text then reads back longer.
    const int capacity = static_cast<int>(text.size()) + 2;
    wchar_t small[64];
    std::vector<wchar_t> large;
    wchar_t* buffer = small;
    if (capacity > static_cast<int>(std::size(small))) {
        large.resize(static_cast<size_t>(capacity));
        buffer = large.data();
    }
    const int length = ::InternalGetWindowText(window, buffer, capacity);
    return length == static_cast<int>(text.size()) &&
           std::wstring_view(buffer, static_cast<size_t>(length)) == text;
}

}  // namespace tovrak
