#pragma once
// Translations files written in UTF-16 LE by the tests.

#include <string>
#include <string_view>

namespace tovrak::test {

// `text` as a UTF-16 LE file with its byte-order mark; each unit as written, paired or not.
inline std::string Utf16File(std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace tovrak::test
