#include "shell/update_surface.h"

#include "shell/painter.h"
#include "shell/shell_context.h"

namespace tovrak {

void AnimateUpdateSurface(ShellContext&) noexcept {}

WideString UpdateSurfaceText(const ShellContext&) {
    return WideString();
}

void PaintUpdateSurface(HDC, const RECT*) noexcept {}

}  // namespace tovrak
