// Starting the worker hidden inside a kill-on-close job, and reporting how it ended.

#include <cstdint>
#include <memory>
#include <new>

#include "common/export_guard.h"
#include "common/last_error.h"
#include "common/unique_handle.h"
#include "common/wide_string.h"
#include "shell/shell_export.h"
#include "tovrak/renderer.h"
#include "worker/worker_channel.h"

namespace tovrak {
namespace {

constexpr DWORD kEventPipeBufferBytes = 0x4000;
constexpr DWORD kTempPathUnits = 0x8000;
constexpr DWORD kTerminationWaitMs = 5000;
constexpr DWORD kWorkerCreationFlags = CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW;
// ShellWorkerExit while the worker runs or while its output has not all been taken.
constexpr std::int32_t kStillRunning = -1;

// The step at which a start failed; the numbers are reported to the host and do not follow the order
// in which the steps run.
enum class StartStage : std::uint32_t {
    None = 0,
    CreatePipe = 1,
    ProtectReadEnd = 2,
    OpenNul = 3,
    SizeAttributeList = 4,
    InitialiseAttributeList = 5,
    SetHandleList = 6,
    TempDirectory = 7,
    CreateProcess = 8,
    WorkerPresent = 9,
    CreateJob = 10,
    SetJobLimits = 11,
    AssignToJob = 12,
    ResumeWorker = 13,
};

struct StartOutcome {
    StartStage stage = StartStage::None;
    DWORD error = ERROR_SUCCESS;
};

StartOutcome Failed(StartStage stage, DWORD error) noexcept {
    return {stage, error};
}

// An initialised process-thread attribute list in a buffer of its own; deleted before the buffer goes.
class AttributeList {
  public:
    AttributeList() = default;
    AttributeList(const AttributeList&) = delete;
    AttributeList& operator=(const AttributeList&) = delete;
    ~AttributeList() {
        if (initialised_) ::DeleteProcThreadAttributeList(get());
    }

    bool Allocate(SIZE_T bytes) noexcept {
        storage_.reset(new (std::nothrow) std::uint8_t[bytes]());
        return storage_ != nullptr;
    }
    bool Initialise(DWORD count, SIZE_T bytes) noexcept {
        initialised_ = ::InitializeProcThreadAttributeList(get(), count, 0, &bytes) != FALSE;
        return initialised_;
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const noexcept {
        return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    }

  private:
    std::unique_ptr<std::uint8_t[]> storage_;
    bool initialised_ = false;
};

// The steps that create the worker. What it acquires locally (the pipe's write end, the NUL handle,
// the attribute list, the buffers, the primary thread) is released when it returns; what belongs to
// the channel goes straight into the context, where the caller clears it again after a failure.
StartOutcome LaunchWorker(ShellContext& context, const wchar_t* application,
                          const wchar_t* arguments) noexcept {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};

    UniqueHandleKernel pipeWriteEnd;
    if (!::CreatePipe(context.eventPipe.put(), pipeWriteEnd.put(), &inheritable, kEventPipeBufferBytes))
        return Failed(StartStage::CreatePipe, ::GetLastError());
    // Only the worker may hold the write end, or the pipe would never break when the worker ends.
    if (!::SetHandleInformation(context.eventPipe.get(), HANDLE_FLAG_INHERIT, 0))
        return Failed(StartStage::ProtectReadEnd, ::GetLastError());

    UniqueFile nul(::CreateFileW(L"\\\\.\\NUL", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                                 nullptr));
    if (!nul) return Failed(StartStage::OpenNul, ::GetLastError());

    ::SetLastError(ERROR_SUCCESS);
    SIZE_T listBytes = 0;
    const BOOL sized = ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listBytes);
    if (sized || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || listBytes == 0)
        return Failed(StartStage::SizeAttributeList, LastErrorOr(ERROR_INVALID_DATA));

    AttributeList attributes;
    if (!attributes.Allocate(listBytes))
        return Failed(StartStage::InitialiseAttributeList, ERROR_NOT_ENOUGH_MEMORY);
    if (!attributes.Initialise(1, listBytes))
        return Failed(StartStage::InitialiseAttributeList, ::GetLastError());

    // Inheritance is on for CreateProcess, but limited to exactly these two handles; the list points
    // into this array, which lives until the process has been created.
    HANDLE inherited[2] = {pipeWriteEnd.get(), nul.get()};
    if (!::UpdateProcThreadAttribute(attributes.get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                     sizeof(inherited), nullptr, nullptr))
        return Failed(StartStage::SetHandleList, ::GetLastError());

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(STARTUPINFOEXW);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = nul.get();
    startup.StartupInfo.hStdOutput = pipeWriteEnd.get();
    startup.StartupInfo.hStdError = nul.get();
    startup.lpAttributeList = attributes.get();

    // The worker runs in the temporary directory so that it holds no handle on the installation
    // directory or on the host's current directory.
    std::unique_ptr<wchar_t[]> tempDirectory(new (std::nothrow) wchar_t[kTempPathUnits]());
    if (!tempDirectory) return Failed(StartStage::TempDirectory, ERROR_NOT_ENOUGH_MEMORY);
    const DWORD tempLength = ::GetTempPathW(kTempPathUnits, tempDirectory.get());
    if (tempLength == 0) return Failed(StartStage::TempDirectory, LastErrorOr(ERROR_PATH_NOT_FOUND));
    if (tempLength >= kTempPathUnits) return Failed(StartStage::TempDirectory, ERROR_INSUFFICIENT_BUFFER);

    context.workerJob.reset(::CreateJobObjectW(nullptr, nullptr));
    if (!context.workerJob) return Failed(StartStage::CreateJob, ::GetLastError());
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(context.workerJob.get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits)))
        return Failed(StartStage::SetJobLimits, ::GetLastError());

    // The arguments are passed on exactly as the host wrote them: quoting them is the host's business.
    WideString commandLine;
    try {
        commandLine.append(L"\"").append(application).append(L"\" ").append(arguments);
    } catch (...) {
        return Failed(StartStage::CreateProcess, ERROR_NOT_ENOUGH_MEMORY);
    }

    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(application, commandLine.data(), nullptr, nullptr, TRUE, kWorkerCreationFlags,
                          nullptr, tempDirectory.get(), &startup.StartupInfo, &created))
        return Failed(StartStage::CreateProcess, ::GetLastError());
    UniqueHandleKernel primaryThread(created.hThread);
    context.workerProcess.reset(created.hProcess);

    // The worker is created suspended so that it cannot start a process of its own before it is in
    // the job; a worker that cannot be confined or resumed is ended at once.
    StartOutcome outcome;
    if (!::AssignProcessToJobObject(context.workerJob.get(), context.workerProcess.get()))
        outcome = Failed(StartStage::AssignToJob, ::GetLastError());
    else if (::ResumeThread(primaryThread.get()) == static_cast<DWORD>(-1))
        outcome = Failed(StartStage::ResumeWorker, ::GetLastError());
    if (outcome.stage != StartStage::None) {
        if (outcome.error == ERROR_SUCCESS) outcome.error = ERROR_GEN_FAILURE;
        ::TerminateProcess(context.workerProcess.get(), outcome.error);
        ::WaitForSingleObject(context.workerProcess.get(), kTerminationWaitMs);
    }
    return outcome;
}

std::uint32_t StartWorker(ShellContext& shell, const wchar_t* application,
                          const wchar_t* arguments) noexcept {
    // Cleared before the busy check, so that a refused start also forgets the previous worker's
    // bookkeeping.
    shell.failureStage = 0;
    shell.eventsTaken = 0;
    shell.exitOverride = 0;
    if (shell.workerProcess || shell.workerJob) {
        shell.failureStage = static_cast<std::uint32_t>(StartStage::WorkerPresent);
        return ERROR_BUSY;
    }

    StartOutcome outcome;
    if (!application) {
        outcome = {StartStage::CreateProcess, ERROR_INVALID_PARAMETER};
    } else {
        outcome = LaunchWorker(shell, application, arguments ? arguments : L"");
    }
    if (outcome.stage == StartStage::None) return ERROR_SUCCESS;
    ReleaseWorker(shell);
    shell.failureStage = static_cast<std::uint32_t>(outcome.stage);
    // A step that failed without setting an error must still not read as a running worker.
    return outcome.error != ERROR_SUCCESS ? outcome.error : ERROR_GEN_FAILURE;
}

std::uint32_t WorkerFailureStage(const ShellContext& shell) noexcept {
    return shell.failureStage;
}

std::int32_t WorkerExit(ShellContext& shell) noexcept {
    if (!shell.workerProcess) return kStillRunning;
    if (::WaitForSingleObject(shell.workerProcess.get(), 0) != WAIT_OBJECT_0) return kStillRunning;

    // The exit is reported only after the host has taken everything the worker wrote.
    if (shell.eventPipe) {
        DWORD waiting = 0;
        ::PeekNamedPipe(shell.eventPipe.get(), nullptr, 0, nullptr, &waiting, nullptr);
        if (waiting != 0) return kStillRunning;
    }
    if (shell.eventBuffer.size() >= sizeof(WorkerEvent)) return kStillRunning;

    DWORD exitCode = 1;
    if (!::GetExitCodeProcess(shell.workerProcess.get(), &exitCode)) exitCode = 1;
    if (!shell.eventBuffer.empty()) {
        // The worker ended in the middle of a record.
        shell.exitOverride = ERROR_INVALID_DATA;
        exitCode = ERROR_INVALID_DATA;
    } else if (shell.exitOverride != 0) {
        exitCode = shell.exitOverride;
    }
    ReleaseWorker(shell);
    return static_cast<std::int32_t>(exitCode);
}

}  // namespace
}  // namespace tovrak

extern "C" uint32_t TOVRAK_CALL ShellStartWorker(const wchar_t* application,
                                                 const wchar_t* arguments) noexcept {
    return tovrak::GuardShellExport<uint32_t>(
        {ERROR_INVALID_HANDLE, ERROR_INVALID_THREAD_ID, ERROR_NOT_ENOUGH_MEMORY}, tovrak::StartWorker,
        application, arguments);
}

extern "C" uint32_t TOVRAK_CALL ShellWorkerFailureStage(void) noexcept {
    return tovrak::GuardShellExport<uint32_t>({0, 0, 0}, tovrak::WorkerFailureStage);
}

extern "C" int32_t TOVRAK_CALL ShellWorkerExit(void) noexcept {
    using tovrak::kStillRunning;
    return tovrak::GuardShellExport<int32_t>({kStillRunning, kStillRunning, kStillRunning},
                                             tovrak::WorkerExit);
}
