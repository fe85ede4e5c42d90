#pragma once
// The installer window as the skins that size and fill it know it, in 96-DPI units: ResizeShell keeps
// its width and its height within the range, and CreateProgress puts the bar in its place.

#include "common/scaling.h"

namespace tovrak::skin {

constexpr int kInstallerWidth = 700;
constexpr int kInstallerMinimumHeight = 500;
constexpr int kInstallerMaximumHeight = 1200;

// Under the installer's headline, in the place of its primary button.
inline constexpr UnitRect kProgressBarRect{184, 339, 333, 9};

}  // namespace tovrak::skin
