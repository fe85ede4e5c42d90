#pragma once
// The update surface's animation: the timer that drives the sheen over the logo and redraws the
// square around it, and the status text under the logo.

#include <windows.h>

#include <cstdint>

#include "common/wide_string.h"

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

// The line under the logo, in the surface's language.
WideString UpdateSurfaceText(const ShellContext& shell);

}  // namespace tovrak
