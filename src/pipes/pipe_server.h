#pragma once
// The pieces the three listeners share: the pipe identifier rule, the client path, creating the
// overlapped server end, (re)starting its connect and telling who the client is.

#include <windows.h>

#include <cstdint>

#include "common/wide_string.h"
#include "pipes/pipe_listener.h"

namespace tovrak {

// How one channel's server end is created.
struct PipeParameters {
    const wchar_t* namePrefix;
    DWORD pipeMode;
    DWORD inputBufferBytes;
    DWORD defaultTimeoutMs;
};

inline constexpr DWORD kPipeOpenMode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED;
// Characters of a braced GUID identifier, braces included.
inline constexpr std::size_t kPipeIdLength = 38;

// True for "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" with hexadecimal digits of either case.
bool IsBracedGuid(const wchar_t* pipeId) noexcept;

// The full path of `clientPath`; empty when it is null, empty or cannot be resolved.
WideString ResolveClientPath(const wchar_t* clientPath);

// Validates the arguments and creates the event and the server end of the pipe. The listener must
// be idle; it is filled in only when everything exists, so a failure leaves it idle. Returns 0,
// ERROR_INVALID_PARAMETER, ERROR_INVALID_NAME or the system error of the failing step.
DWORD OpenListenerPipe(PipeListener& listener, const wchar_t* pipeId, const wchar_t* clientPath,
                       const PipeParameters& parameters);

// Puts the pipe back into the listening state with a fresh overlapped connect. Returns 0 when a
// client is connected or the connect is outstanding, otherwise the error of ConnectNamedPipe.
DWORD StartConnect(PipeListener& listener) noexcept;

// Asks whether the connect that StartConnect began has completed, without waiting: 0 once a client is
// connected (`connected` is set), ERROR_IO_INCOMPLETE while none is, any other error after the
// listener was reset.
DWORD FinishConnect(PipeListener& listener) noexcept;

// True when the process at the client end of `pipe` runs the executable `expectedImagePath`
// (letter case ignored). A client that cannot be identified is not the expected one.
bool IsExpectedClient(HANDLE pipe, const WideString& expectedImagePath) noexcept;

}  // namespace tovrak
