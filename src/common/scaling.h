#pragma once
// Geometry is written in units of 96 DPI and turned into pixels coordinate by coordinate, with the
// rounding of MulDiv.

#include <windows.h>

namespace tovrak {

constexpr UINT kBaseDpi = 96;

inline int Scale(int units, UINT dpi) noexcept {
    return ::MulDiv(units, static_cast<int>(dpi), kBaseDpi);
}
inline int Unscale(int pixels, UINT dpi) noexcept {
    return ::MulDiv(pixels, kBaseDpi, static_cast<int>(dpi));
}

// The range of DPI values the skinning exports accept.
inline bool IsSupportedDpi(long long dpi) noexcept {
    return dpi >= 96 && dpi <= 768;
}

}  // namespace tovrak
