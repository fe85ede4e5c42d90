#include "shell/shell_children.h"

namespace tovrak {
namespace {

// The button subclass and the painter serve every owner-drawn button alike; a row that asks for
// another style would be a different kind of child.
constexpr bool ButtonsShareTheirStyle() noexcept {
    for (const ShellChild& child : kShellChildren) {
        if (child.kind == ShellChildKind::OwnerDrawnButton && child.style != kOwnerDrawnButtonStyle)
            return false;
    }
    return true;
}
static_assert(ButtonsShareTheirStyle());

}  // namespace

const ShellChild* FindShellChild(const ShellContext& shell, HWND window) noexcept {
    if (!window) return nullptr;
    for (const ShellChild& child : kShellChildren) {
        if (shell.*child.window == window) return &child;
    }
    return nullptr;
}

const ShellChild* FindShellChild(int controlId) noexcept {
    if (controlId == static_cast<int>(ShellControlId::None)) return nullptr;
    for (const ShellChild& child : kShellChildren) {
        if (static_cast<int>(child.id) == controlId) return &child;
    }
    return nullptr;
}

}  // namespace tovrak
