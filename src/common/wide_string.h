#pragma once
// Text crossing the export boundary is NUL-terminated UTF-16; inside, it is a WideString value.

#include <windows.h>

#include <string>
#include <string_view>

namespace tovrak {

using WideString = std::wstring;

// A string argument as a view; a null pointer reads as empty text.
inline std::wstring_view ArgumentText(const wchar_t* text) noexcept {
    return text ? std::wstring_view(text) : std::wstring_view();
}

// Copies `text` into an output buffer of `capacity` characters, truncating, always terminated.
// Returns the number of characters written without the terminator.
inline int CopyToBuffer(std::wstring_view text, wchar_t* buffer, int capacity) noexcept {
    if (!buffer || capacity <= 0) return 0;
    const size_t count = text.size() < static_cast<size_t>(capacity - 1) ? text.size() : capacity - 1;
    text.copy(buffer, count);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

// The whole window text, through WM_GETTEXT as the window itself answers it; empty for no window.
inline WideString WindowText(HWND window) {
    WideString text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    const int read = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(read > 0 ? read : 0));
    return text;
}

}  // namespace tovrak
