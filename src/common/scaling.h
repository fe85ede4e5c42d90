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

// A rectangle in 96-DPI units: its left and top edges and its size.
struct UnitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    constexpr int right() const noexcept { return x + width; }
    constexpr int bottom() const noexcept { return y + height; }
};

// The pixel rectangle whose corners are the unit rectangle's corners, each scaled by itself.
inline RECT ScaleCorners(const UnitRect& rect, UINT dpi) noexcept {
    return RECT{Scale(rect.x, dpi), Scale(rect.y, dpi), Scale(rect.right(), dpi), Scale(rect.bottom(), dpi)};
}

// The range of DPI values the skinning exports accept.
inline bool IsSupportedDpi(long long dpi) noexcept {
    return dpi >= 96 && dpi <= 768;
}

}  // namespace tovrak
