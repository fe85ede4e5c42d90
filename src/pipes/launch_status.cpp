// The launch-status channel: the started application connects once per status code and writes one
// 4-byte message. Each new code is reported once; 3 and 4 are final.

#include <cstdint>

#include "common/export_guard.h"
#include "pipes/pipe_server.h"
#include "shell/shell_export.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

// The input buffer holds exactly one status message.
constexpr PipeParameters kLaunchStatusPipe{
    L"\\\\.\\pipe\\tovrak-installer-status-",
    PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_REJECT_REMOTE_CLIENTS, sizeof(std::int32_t), 1000};

// A client that connects and does not write is dropped after this long, so it cannot hold the one
// pipe instance.
constexpr std::uint64_t kStatusReadLimitMs = 1000;

constexpr std::int32_t kFirstStatus = 1;
constexpr std::int32_t kLastStatus = 4;
constexpr std::int32_t kFirstFinalStatus = 3;
constexpr std::int32_t kElapsedCap = 2147483647;

std::int32_t Negated(DWORD error) noexcept {
    return -static_cast<std::int32_t>(error);
}

DWORD Relisten(LaunchStatusListener& listener) noexcept {
    listener.reading = false;
    return StartConnect(listener);
}

// Ends the current client's connection and listens for the next one. A failing re-listen leaves the
// pipe in place; the next poll tries again.
std::int32_t DropClient(LaunchStatusListener& listener) noexcept {
    ::DisconnectNamedPipe(listener.pipe.get());
    const DWORD error = Relisten(listener);
    return error ? Negated(error) : 0;
}

// Issues the one read of the current client's message into `statusValue`. Returns true when the
// read is outstanding or already complete.
bool StartStatusRead(LaunchStatusListener& listener) noexcept {
    ::ResetEvent(listener.connectEvent.get());
    listener.overlapped = OVERLAPPED{};
    listener.overlapped.hEvent = listener.connectEvent.get();
    listener.readStartTick = ::GetTickCount64();
    listener.statusValue = 0;
    listener.reading = true;
    return ::ReadFile(listener.pipe.get(), &listener.statusValue, sizeof(listener.statusValue), nullptr,
                      &listener.overlapped) ||
           ::GetLastError() == ERROR_IO_PENDING;
}

// Returns the number of bytes read, 0 when the read failed or the client stayed silent for too
// long, or -1 while the read is still within its time.
int FinishStatusRead(LaunchStatusListener& listener) noexcept {
    DWORD bytes = 0;
    if (::GetOverlappedResult(listener.pipe.get(), &listener.overlapped, &bytes, FALSE))
        return static_cast<int>(bytes);
    if (::GetLastError() == ERROR_IO_INCOMPLETE &&
        ::GetTickCount64() - listener.readStartTick < kStatusReadLimitMs)
        return -1;
    // A longer message also ends here (ERROR_MORE_DATA). The read targets `statusValue`, so it
    // must be finished before the record is used again.
    ::CancelIo(listener.pipe.get());
    ::GetOverlappedResult(listener.pipe.get(), &listener.overlapped, &bytes, TRUE);
    return 0;
}

std::int32_t TakeStatus(LaunchStatusListener& listener) noexcept {
    if (!listener.pipe) return Negated(ERROR_INVALID_HANDLE);
    if (!listener.reading) {
        if (const DWORD error = FinishConnect(listener))
            return error == ERROR_IO_INCOMPLETE ? 0 : Negated(error);
        if (!IsExpectedClient(listener.pipe.get(), listener.expectedImagePath)) return DropClient(listener);
        if (!StartStatusRead(listener)) return DropClient(listener);
    }

    const int bytes = FinishStatusRead(listener);
    if (bytes < 0) return 0;
    const std::int32_t status = listener.statusValue;
    if (const std::int32_t failure = DropClient(listener)) return failure;

    if (bytes != sizeof(status) || status < kFirstStatus || status > kLastStatus) return 0;
    if (listener.lastStatus >= kFirstFinalStatus || status == listener.lastStatus) return 0;
    listener.lastStatus = status;
    listener.lastStatusTick = ::GetTickCount64();
    return status;
}

std::uint32_t ListenLaunchStatus(ShellContext& shell, const wchar_t* pipeId, const wchar_t* clientPath) {
    LaunchStatusListener& listener = shell.launchStatusListener;
    listener.Reset();
    if (const DWORD error = OpenListenerPipe(listener, pipeId, clientPath, kLaunchStatusPipe)) return error;
    listener.lastStatus = 0;
    listener.listenTick = listener.lastStatusTick = ::GetTickCount64();
    if (const DWORD error = Relisten(listener)) {
        listener.Reset();
        return error;
    }
    return 0;
}

std::int32_t PollLaunchStatus(ShellContext& shell) noexcept {
    return TakeStatus(shell.launchStatusListener);
}

std::int32_t LaunchElapsed(const ShellContext& shell, std::int32_t which) noexcept {
    const LaunchStatusListener& listener = shell.launchStatusListener;
    const std::uint64_t since = which != 0 ? listener.lastStatusTick : listener.listenTick;
    const std::uint64_t elapsed = ::GetTickCount64() - since;
    return elapsed < static_cast<std::uint64_t>(kElapsedCap) ? static_cast<std::int32_t>(elapsed)
                                                             : kElapsedCap;
}

void CancelLaunchStatus(ShellContext& shell) noexcept {
    shell.launchStatusListener.Reset();
}

}  // namespace
}  // namespace tovrak

using tovrak::GuardShellExport;
using tovrak::GuardShellExportVoid;

extern "C" uint32_t TOVRAK_CALL ShellListenLaunchStatus(const wchar_t* pipeId,
                                                        const wchar_t* clientPath) noexcept {
    return GuardShellExport<uint32_t>(
        {ERROR_INVALID_HANDLE, ERROR_INVALID_THREAD_ID, ERROR_NOT_ENOUGH_MEMORY}, tovrak::ListenLaunchStatus,
        pipeId, clientPath);
}

extern "C" int32_t TOVRAK_CALL ShellPollLaunchStatus(void) noexcept {
    using tovrak::Negated;
    return GuardShellExport<int32_t>(
        {Negated(ERROR_INVALID_HANDLE), Negated(ERROR_INVALID_THREAD_ID), Negated(ERROR_GEN_FAILURE)},
        tovrak::PollLaunchStatus);
}

extern "C" int32_t TOVRAK_CALL ShellLaunchElapsed(int32_t which) noexcept {
    return GuardShellExport<int32_t>({0, 0, 0}, tovrak::LaunchElapsed, which);
}

extern "C" void TOVRAK_CALL ShellCancelLaunchStatus(void) noexcept {
    GuardShellExportVoid(tovrak::CancelLaunchStatus);
}
