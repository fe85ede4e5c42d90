// ResizeShell: the installer window keeps its width and takes a requested height, as far as the work
// area of its monitor allows.

#include <algorithm>
#include <cstdint>

#include "common/export_guard.h"
#include "common/scaling.h"
#include "skin/installer_frame.h"
#include "tovrak/renderer.h"

namespace tovrak::skin {
namespace {

constexpr uint32_t kMinimumHeight = kInstallerMinimumHeight;
constexpr uint32_t kMaximumHeight = kInstallerMaximumHeight;

std::int32_t ResizeShellWindow(HWND window, std::uint32_t dpi, std::uint32_t height) noexcept {
    if (!::IsWindow(window) || height < kMinimumHeight || height > kMaximumHeight || !IsSupportedDpi(dpi))
        return 0;
    int pixels = Scale(static_cast<int>(height), dpi);
    RECT frame{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetWindowRect(window, &frame) &&
        ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const int room = monitor.rcWork.bottom - frame.top;
        pixels = std::max(std::min(pixels, room), Scale(kInstallerMinimumHeight, dpi));
    }
    return ::SetWindowPos(window, nullptr, 0, 0, Scale(kInstallerWidth, dpi), pixels,
                          SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE)
               ? 1
               : 0;
}

}  // namespace
}  // namespace tovrak::skin

extern "C" int32_t TOVRAK_CALL ResizeShell(HWND window, uint32_t dpi, uint32_t height) noexcept {
    return tovrak::GuardExport<int32_t>(0, tovrak::skin::ResizeShellWindow, window, dpi, height);
}
