#pragma once
// The geometry of the shell's face, in 96-DPI units and one convention (x, y, width, height): the
// window's sizes and the rectangles the painter fills. The children's places are beside it, in
// layout_placements.h.

#include "common/scaling.h"
#include "skin/installer_frame.h"

namespace tovrak {

// Design size of the install and uninstall window.
constexpr int kShellWidth = skin::kInstallerWidth;
constexpr int kShellCollapsedHeight = skin::kInstallerMinimumHeight;
// The height of the idle window with its options panel open.
constexpr int kExpandedIdleHeight = 668;
// The options panel starts this far from the top.
constexpr int kPanelTop = 494;

inline constexpr UnitRect kLogoRect{318, 140, 64, 64};
inline constexpr UnitRect kHeadlineRect{32, 240, 636, 22};
inline constexpr UnitRect kStatusRect{32, 274, 636, 40};
// The bar takes the primary button's place while the installation runs, the percentage under it.
inline constexpr UnitRect kProgressBarRect = skin::kProgressBarRect;
inline constexpr UnitRect kPercentRect{184, 360, 333, 20};
// The frame drawn behind the path field on the idle screen's panel.
inline constexpr UnitRect kPathFrameRect{32, 555, 636, 44};

// The update surface shows the logo this size, centred, at this opacity before the fill reaches it.
constexpr int kSurfaceLogoSize = 60;
constexpr float kSurfaceLogoAlpha = 0.3f;

}  // namespace tovrak
