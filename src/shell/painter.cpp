#include "shell/painter.h"

#include "shell/shell_context.h"

namespace tovrak {

void PaintShell(HDC targetDc, const RECT* dirtyRect) noexcept {
    if (g_shell && g_shell->updateMode) PaintUpdateSurface(targetDc, dirtyRect);
}

BOOL PaintShellItem(const DRAWITEMSTRUCT&) noexcept {
    return TRUE;
}

}  // namespace tovrak
