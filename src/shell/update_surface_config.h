#pragma once
// The update surface's configuration: given by the host before ShellOpen, consumed by the next open.

#include <optional>

#include "common/wide_string.h"

namespace tovrak {

// A surface size in 96-DPI units.
struct SurfaceSize {
    int width = 0;
    int height = 0;
};

struct PendingSurfaceConfiguration {
    WideString directory;
    WideString size;
    WideString language;
    int startPercent = 0;
};

// Moves the pending configuration out, leaving the process-wide texts empty and the percentage 0.
PendingSurfaceConfiguration TakePendingSurfaceConfiguration() noexcept;

std::optional<SurfaceSize> ResolveSurfaceSize(const WideString& directory, const WideString& size) noexcept;

}  // namespace tovrak
