#pragma once
// Painting of the shell window: the whole face, its owner-drawn buttons and the update surface.

#include <windows.h>

#include "common/gdiplus.h"

namespace tovrak {

struct ShellContext;

// Paints the shell's client area into `targetDc`. Outside update mode the dirty rectangle is ignored.
void PaintShell(ShellContext& shell, HDC targetDc, const RECT* dirtyRect) noexcept;
// Draws one of the ten owner-drawn buttons; returns TRUE for WM_DRAWITEM.
BOOL PaintShellItem(const ShellContext& shell, const DRAWITEMSTRUCT& drawItem) noexcept;
// Paints the update surface; a null dirty rectangle means the whole client area.
void PaintUpdateSurface(ShellContext& shell, HDC targetDc, const RECT* dirtyRect) noexcept;

// A GDI+ graphics object with the status of the last failed drawing call.
struct GraphicsTarget {
    Gdiplus::GpGraphics* graphics = nullptr;
    Gdiplus::GpStatus status = Gdiplus::Ok;
};

// Draws the shell's logo tinted for the update surface at (x, y), `size` pixels square.
void DrawTintedLogo(ShellContext& shell, GraphicsTarget& target, int x, int y, int size,
                    float alpha) noexcept;

}  // namespace tovrak
