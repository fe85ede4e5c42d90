#include "shell/update_surface_config.h"

#include <algorithm>
#include <utility>

#include "shell/shell_export.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

constexpr int kHighestStartPercent = 95;

// Given by the host before ShellOpen and consumed by the next open, whatever its mode.
PendingSurfaceConfiguration g_pendingSurface;

}  // namespace

PendingSurfaceConfiguration TakePendingSurfaceConfiguration() noexcept {
    PendingSurfaceConfiguration taken;
    taken.directory = std::exchange(g_pendingSurface.directory, WideString());
    taken.size = std::exchange(g_pendingSurface.size, WideString());
    taken.language = std::exchange(g_pendingSurface.language, WideString());
    taken.startPercent = std::exchange(g_pendingSurface.startPercent, 0);
    return taken;
}

namespace {

std::uint32_t ConfigureSurface(const wchar_t* directory, const wchar_t* size) {
    // Copy both before storing either, so that a failed copy leaves the earlier values whole.
    WideString newDirectory(ArgumentText(directory));
    WideString newSize(ArgumentText(size));
    g_pendingSurface.directory = std::move(newDirectory);
    g_pendingSurface.size = std::move(newSize);
    return ERROR_SUCCESS;
}

std::uint32_t ConfigurePresentation(const wchar_t* language, std::int32_t startPercent) {
    g_pendingSurface.language = WideString(ArgumentText(language));
    g_pendingSurface.startPercent = std::clamp<std::int32_t>(startPercent, 0, kHighestStartPercent);
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace tovrak

extern "C" uint32_t TOVRAK_CALL ShellConfigureUpdateSurface(const wchar_t* directory,
                                                            const wchar_t* size) noexcept {
    return tovrak::GuardConfigurationExport(tovrak::ConfigureSurface, directory, size);
}

extern "C" uint32_t TOVRAK_CALL ShellConfigureUpdateSurfacePresentation(const wchar_t* language,
                                                                        int32_t startPercent) noexcept {
    return tovrak::GuardConfigurationExport(tovrak::ConfigurePresentation, language, startPercent);
}
