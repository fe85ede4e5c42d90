#pragma once
// File-system names compare the way NTFS does: ordinally, with simple upper-casing, never by locale.

#include <windows.h>

#include <string_view>

namespace tovrak {

inline bool OrdinalEqualsIgnoringCase(std::wstring_view left, std::wstring_view right) noexcept {
    if (left.size() != right.size()) return false;
    return ::CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                                  static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace tovrak
