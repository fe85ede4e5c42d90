#include "pipes/pipe_server.h"

#include <cwctype>
#include <memory>
#include <new>
#include <utility>

#include "common/last_error.h"
#include "common/unique_handle.h"

namespace tovrak {

namespace {

// QueryFullProcessImageNameW takes the longest path the system allows.
constexpr DWORD kImagePathCapacity = 32768;

// A security descriptor whose DACL is present and null: any local process may connect. Remote
// clients are kept out by the pipe mode, not by the descriptor.
class OpenSecurity {
  public:
    DWORD Initialize() noexcept {
        if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE))
            return LastErrorOr(ERROR_GEN_FAILURE);
        attributes_.nLength = sizeof(attributes_);
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = FALSE;
        return 0;
    }
    SECURITY_ATTRIBUTES* attributes() noexcept { return &attributes_; }

  private:
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

// After a connect that failed at once, no operation is outstanding although the call set the status
// to "pending"; a wait for the cancelled operation in Reset would never return.
void ClearOperation(PipeListener& listener) noexcept {
    listener.overlapped = OVERLAPPED{};
    listener.overlapped.hEvent = listener.connectEvent.get();
}

}  // namespace

bool IsBracedGuid(const wchar_t* pipeId) noexcept {
    if (!pipeId) return false;
    const std::wstring_view id(pipeId);
    if (id.size() != kPipeIdLength || id.front() != L'{' || id.back() != L'}') return false;
    for (std::size_t i = 1; i + 1 < id.size(); ++i) {
        const bool dashPosition = i == 9 || i == 14 || i == 19 || i == 24;
        if (dashPosition ? id[i] != L'-' : !std::iswxdigit(id[i])) return false;
    }
    return true;
}

WideString ResolveClientPath(const wchar_t* clientPath) {
    if (!clientPath || !*clientPath) return {};
    const DWORD size = ::GetFullPathNameW(clientPath, 0, nullptr, nullptr);
    if (size == 0) return {};
    WideString path(size, L'\0');
    const DWORD length = ::GetFullPathNameW(clientPath, size, path.data(), nullptr);
    // A length that no longer fits means the current directory changed in between.
    if (length == 0 || length >= size) return {};
    path.resize(length);
    return path;
}

DWORD OpenListenerPipe(PipeListener& listener, const wchar_t* pipeId, const wchar_t* clientPath,
                       const PipeParameters& parameters) {
    if (!IsBracedGuid(pipeId)) return ERROR_INVALID_PARAMETER;
    WideString expectedImagePath = ResolveClientPath(clientPath);
    if (expectedImagePath.empty()) return ERROR_INVALID_NAME;

    WideString name(parameters.namePrefix);
    name.append(pipeId + 1, kPipeIdLength - 2);

    OpenSecurity security;
    if (const DWORD error = security.Initialize()) return error;

    UniqueHandleKernel connectEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!connectEvent) return LastErrorOr(ERROR_GEN_FAILURE);

    UniqueFile pipe(::CreateNamedPipeW(name.c_str(), kPipeOpenMode, parameters.pipeMode, 1, 0,
                                       parameters.inputBufferBytes, parameters.defaultTimeoutMs,
                                       security.attributes()));
    if (!pipe) return LastErrorOr(ERROR_GEN_FAILURE);

    listener.expectedImagePath = std::move(expectedImagePath);
    listener.connectEvent = std::move(connectEvent);
    listener.pipe = std::move(pipe);
    return 0;
}

DWORD StartConnect(PipeListener& listener) noexcept {
    ::ResetEvent(listener.connectEvent.get());
    listener.overlapped = OVERLAPPED{};
    listener.overlapped.hEvent = listener.connectEvent.get();
    listener.connected = false;
    if (::ConnectNamedPipe(listener.pipe.get(), &listener.overlapped)) {
        listener.connected = true;
        return 0;
    }
    const DWORD error = ::GetLastError();
    switch (error) {
        case 0:
        case ERROR_IO_PENDING:
            return 0;
        case ERROR_PIPE_CONNECTED:
            // The client came between creating the pipe and this connect. Nothing completes later:
            // signal the event here, and mark the operation finished (the call leaves its status
            // "pending"), so that a later wait for it returns at once.
            ClearOperation(listener);
            ::SetEvent(listener.connectEvent.get());
            listener.connected = true;
            return 0;
        default:
            ClearOperation(listener);
            return error;
    }
}

DWORD FinishConnect(PipeListener& listener) noexcept {
    if (listener.connected) return 0;
    DWORD ignored = 0;
    if (!::GetOverlappedResult(listener.pipe.get(), &listener.overlapped, &ignored, FALSE)) {
        const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
        if (error != ERROR_IO_INCOMPLETE) listener.Reset();
        return error;
    }
    listener.connected = true;
    return 0;
}

bool IsExpectedClient(HANDLE pipe, const WideString& expectedImagePath) noexcept {
    ULONG processId = 0;
    if (!::GetNamedPipeClientProcessId(pipe, &processId)) return false;
    UniqueHandleKernel process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return false;
    std::unique_ptr<wchar_t[]> imagePath(new (std::nothrow) wchar_t[kImagePathCapacity]());
    if (!imagePath) return false;
    DWORD length = kImagePathCapacity;
    if (!::QueryFullProcessImageNameW(process.get(), 0, imagePath.get(), &length)) return false;
    return ::_wcsicmp(expectedImagePath.c_str(), imagePath.get()) == 0;
}

}  // namespace tovrak
