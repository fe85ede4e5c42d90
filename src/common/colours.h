#pragma once
// GDI colours are COLORREF (0x00BBGGRR); GDI+ colours are ARGB (0xAARRGGBB).

#include <windows.h>

#include <cstdint>

namespace tovrak {

using Argb = std::uint32_t;

constexpr Argb ArgbFromColorref(COLORREF colour, std::uint8_t alpha = 0xFF) noexcept {
    return (Argb{alpha} << 24) | (Argb{GetRValue(colour)} << 16) | (Argb{GetGValue(colour)} << 8) |
           Argb{GetBValue(colour)};
}

constexpr Argb MakeArgb(std::uint8_t alpha, std::uint8_t red, std::uint8_t green,
                        std::uint8_t blue) noexcept {
    return (Argb{alpha} << 24) | (Argb{red} << 16) | (Argb{green} << 8) | Argb{blue};
}

}  // namespace tovrak
