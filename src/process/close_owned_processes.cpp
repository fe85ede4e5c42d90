#include "process/close_owned_processes.h"

#include <algorithm>

#include "common/export_guard.h"
#include "common/last_error.h"
#include "common/unique_handle.h"
#include "process/owned_process_enumeration.h"
#include "process/owner_prefix.h"
#include "process/process_access.h"
#include "process/process_identity.h"
#include "process/process_wait_list.h"
#include "tovrak/renderer.h"

namespace tovrak {

namespace {

// The exit code of a terminated owned process.
constexpr UINT kTerminatedExitCode = 1;

DWORD TerminateOwned(const std::vector<OwnedProcessRecord>& records, DWORD watchPid, ProcessWaitList& held) {
    for (const OwnedProcessRecord& record : records) {
        if (watchPid != 0 && !IsProcessAlive(watchPid)) return CloseOwnedProcessesWatchEnded;

        UniqueHandleKernel process(::OpenProcess(kSynchronizeQueryAndTerminate, FALSE, record.processId));
        if (!process) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_INVALID_PARAMETER) continue;  // it has ended since the snapshot
            return ErrorOr(error, ERROR_ACCESS_DENIED);
        }
        if (!StillSameProcess(process.get(), record)) continue;

        if (!::TerminateProcess(process.get(), kTerminatedExitCode)) {
            const DWORD error = ::GetLastError();
            // Terminating a process that is already on its way out fails; that is not a failure here.
            if (IsStillRunning(process.get())) return ErrorOr(error, ERROR_ACCESS_DENIED);
        }
        held.Hold(std::move(process));
    }
    return ERROR_SUCCESS;
}

DWORD AskOwnedToClose(const std::vector<OwnedProcessRecord>& records, DWORD watchPid, ProcessWaitList& held) {
    std::vector<DWORD> processIds;
    processIds.reserve(records.size());
    for (const OwnedProcessRecord& record : records) {
        UniqueHandleKernel process(::OpenProcess(kSynchronizeAndQuery, FALSE, record.processId));
        if (!process || !StillSameProcess(process.get(), record)) continue;
        processIds.push_back(record.processId);
        held.Hold(std::move(process));
    }
    if (processIds.empty()) return ERROR_SUCCESS;

    CloseWindowsContext context{processIds, watchPid};
    ::EnumWindows(PostCloseToOwnedWindows, reinterpret_cast<LPARAM>(&context));
    return context.aborted ? CloseOwnedProcessesWatchEnded : ERROR_SUCCESS;
}

}  // namespace

BOOL CALLBACK PostCloseToOwnedWindows(HWND window, LPARAM context) {
    auto& close = *reinterpret_cast<CloseWindowsContext*>(context);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == 0 ||
        std::find(close.processIds.begin(), close.processIds.end(), processId) == close.processIds.end())
        return TRUE;
    if (close.watchPid != 0 && !IsProcessAlive(close.watchPid)) {
        close.aborted = true;
        return FALSE;
    }
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

namespace {

uint32_t CloseOwned(const wchar_t* directory, int32_t terminate, uint32_t excludePid, uint32_t watchPid,
                    uint32_t initialWatchPid, int32_t skipInitialWatch, uint32_t waitMs) {
    WideString ownerPrefix;
    if (!NormalizeOwnerDirectory(directory, ownerPrefix)) return CloseOwnedProcessesRejected;
    std::vector<OwnedProcessRecord> records;
    if (!EnumerateOwnedProcesses(ownerPrefix, nullptr, excludePid, watchPid, initialWatchPid, false, records))
        return LastErrorOr(ERROR_GEN_FAILURE);
    if (records.empty()) return CloseOwnedProcessesNoneRunning;

    if (initialWatchPid != 0 && skipInitialWatch == 0 && !IsProcessAlive(initialWatchPid))
        return CloseOwnedProcessesWatchEnded;
    if (watchPid != 0 && !IsProcessAlive(watchPid)) return CloseOwnedProcessesWatchEnded;

    // Declared before the action so that every held handle is closed on each of its exits.
    ProcessWaitList held(records.size());
    const DWORD result =
        terminate != 0 ? TerminateOwned(records, watchPid, held) : AskOwnedToClose(records, watchPid, held);
    if (result != ERROR_SUCCESS) return result;

    if (!held.empty() && waitMs != 0) held.WaitAll(waitMs);  // whether all ended is the caller's to confirm
    return CloseOwnedProcessesDone;
}

}  // namespace
}  // namespace tovrak

extern "C" uint32_t TOVRAK_CALL CloseOwnedProcesses(const wchar_t* directory, int32_t terminate,
                                                    uint32_t excludePid, uint32_t watchPid,
                                                    uint32_t initialWatchPid, int32_t skipInitialWatch,
                                                    uint32_t waitMs) noexcept {
    return tovrak::GuardExport<uint32_t>(ERROR_GEN_FAILURE, tovrak::CloseOwned, directory, terminate,
                                         excludePid, watchPid, initialWatchPid, skipInitialWatch, waitMs);
}
