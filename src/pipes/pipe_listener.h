#pragma once
// The state of one overlapped named-pipe server that waits for one expected client. The shell context
// holds three of them; their operations live in the pipes folder.

#include <windows.h>

#include <cstdint>

#include "common/wide_string.h"

namespace tovrak {

struct PipeListener {
    HANDLE pipe = nullptr;          // server end; non-null exactly while the listener is active
    HANDLE connectEvent = nullptr;  // manual-reset event of `overlapped`
    OVERLAPPED overlapped{};
    WideString expectedImagePath;
    std::uint8_t connected = 0;
};

// The launch-status listener: a PipeListener that also reads one 4-byte status per connection.
struct LaunchStatusListener : PipeListener {
    std::uint8_t reading = 0;
    std::int32_t statusValue = 0;
    std::int32_t lastStatus = 0;
    std::uint64_t listenTick = 0;
    std::uint64_t lastStatusTick = 0;
    std::uint64_t readStartTick = 0;
};

// Cancels pending I/O and closes the handles of a listener (ShellClose uses these).
void ResetListener(PipeListener& listener) noexcept;
void ResetLaunchStatusListener(LaunchStatusListener& listener) noexcept;

}  // namespace tovrak
