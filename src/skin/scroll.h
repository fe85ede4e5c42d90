#pragma once
// The scrolled lower part of a host window: the children below a fixed line move up and down and are
// clipped with window regions to the band between that line and the bottom of the client area.

#include <windows.h>

#include <vector>

#include "common/unique_handle.h"

namespace tovrak::skin {

struct ScrolledChild {
    HWND child = nullptr;
    RECT rect{};                  // window rectangle in the host's client coordinates when configured
    UniqueRegion originalRegion;  // a copy of its own window region then, or none
};

struct ScrollSkin {
    HWND host = nullptr;
    HWND scrollBar = nullptr;
    int regionTop = 0;       // top of the scrolled band, client pixels
    int viewportBottom = 0;  // client height when configured
    int contentHeight = 0;   // pixels
    int position = 0;        // 0 to contentHeight - viewportBottom
    int dpi = 96;
    int wheelRemainder = 0;  // wheel delta not yet turned into scrolling
    COLORREF trackColor = 0;
    COLORREF thumbColor = 0;
    std::vector<ScrolledChild> children;  // in the host's child order
};

// Moves the content to `requested` (clamped to the scrollable range), clips every child to the band,
// updates the scroll bar and redraws the band.
void ScrollTo(ScrollSkin& skin, int requested) noexcept;

}  // namespace tovrak::skin
