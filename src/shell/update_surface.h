#pragma once
// The update surface's animation: the timer that drives the sheen over the logo and redraws the
// square around it, and the status line under the logo.

#include <windows.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace tovrak {

struct ShellContext;

// The update surface's timer on the shell window, and its period.
constexpr UINT_PTR kSurfaceTimerId = 41245;
constexpr UINT kSurfaceTimerPeriodMs = 33;
// The sheen sweeps for this long after the window is shown.
constexpr std::uint64_t kSheenDurationMs = 6600;

// WM_TIMER of the surface timer in update mode: stops the timer once the sheen is over (the stopping
// tick still redraws, so the last frame has no sheen) and redraws the square around the logo at once.
void AnimateUpdateSurface(ShellContext& shell) noexcept;

// The line under the logo, in the surface's language; held inline so painting never allocates. A
// translation longer than the line can hold is cut.
class UpdateSurfaceText {
  public:
    explicit UpdateSurfaceText(const ShellContext& shell) noexcept;
    std::wstring_view view() const noexcept { return {text_.data(), length_}; }

  private:
    std::array<wchar_t, 1100> text_{};
    std::size_t length_ = 0;
};

// The share of the logo's height that is filled, in percent: from the start percentage at progress 0
// up to 95 at progress 100, never the whole logo.
int SurfaceFillPercent(int startPercent, int progress) noexcept;

}  // namespace tovrak
