// The ready and surface-ready channels: the started application signals by connecting, nothing is
// written. Both channels run the same listener on their own pipe name and context field.

#include "common/export_guard.h"
#include "pipes/pipe_server.h"
#include "shell/shell_export.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

constexpr PipeParameters kReadyPipe{
    L"\\\\.\\pipe\\tovrak-installer-ready-",
    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 0, 30000};
constexpr PipeParameters kSurfaceReadyPipe{L"\\\\.\\pipe\\tovrak-installer-surface-ready-",
                                           kReadyPipe.pipeMode, kReadyPipe.inputBufferBytes,
                                           kReadyPipe.defaultTimeoutMs};

constexpr std::uint32_t kExpectedClientConnected = 1;

// Poll results share their range with system errors; an error numbered like the "connected" result
// must not read as the signal.
std::uint32_t AsPollError(DWORD error) noexcept {
    return error == kExpectedClientConnected ? ERROR_GEN_FAILURE : error;
}

std::uint32_t Listen(ShellContext& shell, PipeListener ShellContext::*field, const PipeParameters& parameters,
                     const wchar_t* pipeId, const wchar_t* clientPath) {
    PipeListener& listener = shell.*field;
    listener.Reset();
    if (const DWORD error = OpenListenerPipe(listener, pipeId, clientPath, parameters)) return error;
    if (const DWORD error = StartConnect(listener)) {
        listener.Reset();
        return error;
    }
    return 0;
}

std::uint32_t Poll(ShellContext& shell, PipeListener ShellContext::*field) noexcept {
    PipeListener& listener = shell.*field;
    if (!listener.pipe) return ERROR_INVALID_HANDLE;
    if (const DWORD error = FinishConnect(listener))
        return error == ERROR_IO_INCOMPLETE ? 0 : AsPollError(error);
    if (IsExpectedClient(listener.pipe.get(), listener.expectedImagePath)) {
        listener.Reset();
        return kExpectedClientConnected;
    }
    // Another process: turn it away and wait for the next client on the same pipe.
    ::DisconnectNamedPipe(listener.pipe.get());
    if (const DWORD error = StartConnect(listener)) {
        listener.Reset();
        return AsPollError(error);
    }
    return 0;
}

void Cancel(ShellContext& shell, PipeListener ShellContext::*field) noexcept {
    (shell.*field).Reset();
}

}  // namespace
}  // namespace tovrak

using tovrak::GuardShellExport;
using tovrak::GuardShellExportVoid;
using tovrak::ShellContext;
using tovrak::ShellExportAnswers;

namespace {

constexpr ShellExportAnswers<uint32_t> kListenAnswers{ERROR_INVALID_HANDLE, ERROR_INVALID_THREAD_ID,
                                                      ERROR_NOT_ENOUGH_MEMORY};
constexpr ShellExportAnswers<uint32_t> kPollAnswers{ERROR_INVALID_HANDLE, ERROR_INVALID_THREAD_ID,
                                                    ERROR_GEN_FAILURE};

}  // namespace

extern "C" uint32_t TOVRAK_CALL ShellListenReady(const wchar_t* pipeId, const wchar_t* clientPath) noexcept {
    return GuardShellExport(kListenAnswers, tovrak::Listen, &ShellContext::readyListener, tovrak::kReadyPipe,
                            pipeId, clientPath);
}

extern "C" uint32_t TOVRAK_CALL ShellPollReady(void) noexcept {
    return GuardShellExport(kPollAnswers, tovrak::Poll, &ShellContext::readyListener);
}

extern "C" void TOVRAK_CALL ShellCancelReady(void) noexcept {
    GuardShellExportVoid(tovrak::Cancel, &ShellContext::readyListener);
}

extern "C" uint32_t TOVRAK_CALL ShellListenSurfaceReady(const wchar_t* pipeId,
                                                        const wchar_t* clientPath) noexcept {
    return GuardShellExport(kListenAnswers, tovrak::Listen, &ShellContext::surfaceReadyListener,
                            tovrak::kSurfaceReadyPipe, pipeId, clientPath);
}

extern "C" uint32_t TOVRAK_CALL ShellPollSurfaceReady(void) noexcept {
    return GuardShellExport(kPollAnswers, tovrak::Poll, &ShellContext::surfaceReadyListener);
}

extern "C" void TOVRAK_CALL ShellCancelSurfaceReady(void) noexcept {
    GuardShellExportVoid(tovrak::Cancel, &ShellContext::surfaceReadyListener);
}
