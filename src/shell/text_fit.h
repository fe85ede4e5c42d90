#pragma once
// Room for texts that are longer than the ones the design was measured for. With the built-in Chinese
// texts every rectangle stays the design's. Other texts get room where the design has it: the
// agreement row is placed from its measured words, from its left edge and with its gaps, and the
// options button grows to the left from its right edge. What still does not fit ends in an ellipsis
// where it is painted; the window texts, and so the accessible names, keep every word.

#include <windows.h>

#include <optional>

#include "common/scaling.h"
#include "shell/shell_context.h"

namespace tovrak {

// Measures the texts at the shell's DPI, once per DPI.
void MeasureTextFit(ShellContext& shell) noexcept;

// The rectangle that takes the place of the design's for `child`, when its texts need one.
std::optional<UnitRect> FittedPlacement(const ShellContext& shell, HWND ShellContext::*child) noexcept;

// The options button's width for its caption on the present screen.
int PanelToggleWidth(const ShellContext& shell) noexcept;

// The DrawText format a caption is painted with: translated captions end in an ellipsis where they
// do not fit.
UINT CaptionFormat(const ShellContext& shell, UINT format) noexcept;

}  // namespace tovrak
