// Tab walks the face in reading order: top to bottom, left to right. The dialog manager that ShellPoll
// runs would walk the children's Z-order, which is their order of creation (the primary button first,
// the close button third, the change button before the path it changes); the children keep that
// order, and claim the Tab key to walk this one instead.

#include <windows.h>

#include <array>
#include <cstddef>

#include "shell/accessibility.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"

namespace tovrak {
namespace {

constexpr std::size_t kTabStopCount =
    CountShellChildren([](const ShellChild& child) { return child.readingPosition != kNotInReadingOrder; });

// The children's fields by their reading position: the close button at the top right, the action, the
// footer row, the location panel, the diagnostics panel.
constexpr std::array<HWND ShellContext::*, kTabStopCount> kReadingOrder = [] {
    std::array<HWND ShellContext::*, kTabStopCount> order{};
    for (const ShellChild& child : kShellChildren) {
        if (child.readingPosition != kNotInReadingOrder) order[child.readingPosition] = child.window;
    }
    return order;
}();

// Every position from 0 up is taken exactly once, so that Tab reaches every stop.
constexpr bool EveryPositionTaken() noexcept {
    for (HWND ShellContext::*field : kReadingOrder) {
        if (!field) return false;
    }
    return true;
}
static_assert(EveryPositionTaken());

bool TakesTheFocus(HWND control) noexcept {
    return control && ::IsWindowVisible(control) && ::IsWindowEnabled(control) &&
           (::GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP);
}

}  // namespace

HWND NextTabStop(const ShellContext& shell, HWND from, bool backwards) noexcept {
    std::array<HWND, kTabStopCount> readingOrder{};
    for (std::size_t i = 0; i < kTabStopCount; ++i)
        readingOrder[i] = shell.*kReadingOrder[i];
    const int count = static_cast<int>(kTabStopCount);
    int start = backwards ? count : -1;
    for (int i = 0; i < count; ++i) {
        if (readingOrder[i] == from) start = i;
    }
    for (int step = 1; step <= count; ++step) {
        const int index = ((backwards ? start - step : start + step) % count + count) % count;
        if (TakesTheFocus(readingOrder[index])) return readingOrder[index];
    }
    return nullptr;
}

void KeepFocusReachable(const ShellContext& shell) noexcept {
    if (!shell.window || ::GetActiveWindow() != shell.window) return;
    const HWND focus = ::GetFocus();
    if (focus == shell.window) return;
    if (focus && ::GetParent(focus) == shell.window && ::IsWindowVisible(focus) && ::IsWindowEnabled(focus))
        return;
    // A disabled or hidden control drops the focus, and with no focus the keyboard's keys reach no
    // control and no dialog manager. On the window itself, Tab goes on from the top of the face.
    ::SetFocus(shell.window);
}

bool MoveFocusInReadingOrder(const ShellContext& shell, HWND from, bool backwards) noexcept {
    const HWND next = NextTabStop(shell, from, backwards);
    if (!next) return false;
    ::SetFocus(next);
    // As the dialog manager does: a field reached by Tab has its text selected.
    if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageW(next, EM_SETSEL, 0, -1);
    return true;
}

}  // namespace tovrak
