#pragma once
// The progress window's state and its painting, shared with the benchmark that measures a frame.

#include <windows.h>

namespace tovrak::skin {

struct ProgressState {
    UINT percent = 0;      // 0 to 100
    DWORD startTick = 0;   // origin of the sweep animation
    BOOL animate = FALSE;  // client-area animations allowed
    COLORREF trackColor = 0;
    COLORREF fillColor = 0;
    COLORREF highlightColor = 0;
    COLORREF backgroundColor = 0;
};

// Renders the bar for a client area of width × height into `dc`, three times supersampled.
void PaintProgress(HDC dc, int width, int height, const ProgressState& state) noexcept;

}  // namespace tovrak::skin
