#include "integrity/verification_progress.h"

#include <cwchar>

#include "common/export_guard.h"
#include "tovrak/renderer.h"
#include "worker/worker_event.h"

namespace tovrak {
namespace {

// Process-wide, unsynchronised: one verification at a time per process.
std::int32_t rangeStart = -1;
std::int32_t rangeEnd = -1;
std::int32_t lastReported = -1;
std::uint64_t processedBytes = 0;
std::uint64_t totalBytes = 0;

// rangeStart + processed × (rangeEnd − rangeStart) ÷ total, the product and quotient unsigned 64-bit.
// A falling range is mapped as the mirror of a rising one, so that its values fall from rangeStart to
// rangeEnd instead of wrapping around.
std::int32_t ProgressValue() noexcept {
    const std::int64_t difference = std::int64_t{rangeEnd} - std::int64_t{rangeStart};
    const std::uint64_t magnitude =
        difference >= 0 ? static_cast<std::uint64_t>(difference) : static_cast<std::uint64_t>(-difference);
    const std::uint32_t step = static_cast<std::uint32_t>(processedBytes * magnitude / totalBytes);
    const std::uint32_t start = static_cast<std::uint32_t>(rangeStart);
    return static_cast<std::int32_t>(difference >= 0 ? start + step : start - step);
}

}  // namespace

void ResetProgressBytes(std::uint64_t total) noexcept {
    processedBytes = 0;
    totalBytes = total;
}

void ClearProgressRange() noexcept {
    rangeStart = -1;
    rangeEnd = -1;
}

void ReportProgress(std::uint64_t bytes) noexcept {
    if (rangeStart < 0 || totalBytes == 0) return;
    processedBytes = bytes > totalBytes - processedBytes ? totalBytes : processedBytes + bytes;
    const std::int32_t value = ProgressValue();
    if (value == lastReported) return;
    lastReported = value;
    wchar_t text[16];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%d", static_cast<int>(value));
    ShellEmit(kProgressEventType, L"progress", text);  // it suppresses and refuses on its own terms
}

namespace {

std::int32_t SetProgressRange(std::int32_t start, std::int32_t end) noexcept {
    rangeStart = start;
    rangeEnd = end;
    lastReported = -1;
    return end;
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL PayloadVerifyProgressRange(int32_t start, int32_t end) noexcept {
    return tovrak::GuardExport<int32_t>(end, tovrak::SetProgressRange, start, end);
}
