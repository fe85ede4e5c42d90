#pragma once
// The state of one overlapped named-pipe server that waits for one expected client. The shell context
// holds three of them; their operations live in the pipes folder.

#include <windows.h>

#include <cstdint>

#include "common/unique_handle.h"
#include "common/wide_string.h"

namespace tovrak {

struct PipeListener {
    PipeListener() = default;
    PipeListener(const PipeListener&) = delete;
    PipeListener& operator=(const PipeListener&) = delete;
    ~PipeListener() { Reset(); }

    // Cancels the outstanding operation, waits for it and closes both handles, leaving the listener
    // idle. Written here rather than beside the other operations, so that the record that holds the
    // listeners frees them safely without depending on the pipes library.
    void Reset() noexcept {
        if (pipe) {
            ::CancelIo(pipe.get());
            // The system writes the outcome of the cancelled operation into `overlapped`; wait for it
            // so that nothing is written there after the record has been freed.
            DWORD ignored = 0;
            ::GetOverlappedResult(pipe.get(), &overlapped, &ignored, TRUE);
            ::DisconnectNamedPipe(pipe.get());
            pipe.reset();
        }
        connectEvent.reset();
        overlapped = OVERLAPPED{};
        expectedImagePath.clear();
        connected = false;
        reading = false;
    }

    UniqueFile pipe;                  // server end; open exactly while the listener is active
    UniqueHandleKernel connectEvent;  // manual-reset event of `overlapped`
    OVERLAPPED overlapped{};
    WideString expectedImagePath;
    bool connected = false;
    bool reading = false;  // the operation on `overlapped` is a read rather than a connect
};

// The launch-status listener: a PipeListener that also reads one 4-byte status per connection. Its
// status and times outlive a Reset: the host may still ask how long ago the last status came.
struct LaunchStatusListener : PipeListener {
    std::int32_t statusValue = 0;
    std::int32_t lastStatus = 0;
    std::uint64_t listenTick = 0;
    std::uint64_t lastStatusTick = 0;
    std::uint64_t readStartTick = 0;
};

}  // namespace tovrak
