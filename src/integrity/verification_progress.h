#pragma once
// Progress of a payload verification, mapped onto the slice of the host's progress scale that the
// worker chose with PayloadVerifyProgressRange and written to the event stream as type-1 events.

#include <cstdint>

namespace tovrak {

// Before a walk: nothing processed yet out of `total` bytes.
void ResetProgressBytes(std::uint64_t total) noexcept;
// After a walk: no more reports until the next PayloadVerifyProgressRange.
void ClearProgressRange() noexcept;
// For each chunk of `bytes` > 0 read from a listed file, before it is hashed.
void ReportProgress(std::uint64_t bytes) noexcept;

}  // namespace tovrak
