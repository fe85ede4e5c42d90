#pragma once
// The update surface's size: a "WxH" text from the host, or the size file that another program leaves
// beside a readiness marker. Both files are compared byte by byte; no JSON parser is involved, so any
// other writing of the same JSON is refused.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "common/wide_string.h"
#include "shell/update_surface_config.h"

namespace tovrak {

// Both size files hold at most this many bytes.
constexpr std::size_t kSmallAsciiFileLimit = 512;

// The bytes of a small ASCII file; held inline so that reading one never allocates.
class SmallAsciiText {
  public:
    std::string_view view() const noexcept { return {bytes_.data(), length_}; }

  private:
    friend std::optional<SmallAsciiText> ReadSmallAsciiFile(const WideString& path) noexcept;
    std::array<char, kSmallAsciiFileLimit> bytes_{};
    std::size_t length_ = 0;
};

// (W, H) from "WxH": 1 to 5 decimal digits each, values 1 to 32767, a lower-case "x", nothing else.
std::optional<SurfaceSize> ParseSurfaceSize(std::wstring_view text) noexcept;
// The size in "data.json" of `directory`, when its ".ready.json" marker is exactly the expected one.
std::optional<SurfaceSize> ReadSurfaceDataFile(const WideString& directory) noexcept;
// A regular file (not a link) of 1 to 512 bytes, each between 1 and 127.
std::optional<SmallAsciiText> ReadSmallAsciiFile(const WideString& path) noexcept;

}  // namespace tovrak
