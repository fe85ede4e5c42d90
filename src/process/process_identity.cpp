#include "process/process_identity.h"

#include "common/unique_handle.h"
#include "common/ordinal_text.h"
#include "process/process_access.h"

namespace tovrak {

bool StillSameProcess(HANDLE process, const OwnedProcessRecord& record) {
    if (!IsStillRunning(process)) return false;
    WideString imagePath;
    if (!QueryProcessImagePath(process, imagePath) || !OrdinalEqualsIgnoringCase(imagePath, record.imagePath))
        return false;
    uint64_t creationTime = 0;
    if (record.hasCreationTime && QueryProcessCreationTime(process, creationTime) &&
        creationTime != record.creationTime)
        return false;
    return true;
}

bool IsStillRunning(HANDLE process) {
    if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return false;
    DWORD exitCode = 0;
    return !::GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE;
}

bool IsProcessAlive(DWORD processId) {
    UniqueHandleKernel process(::OpenProcess(kSynchronizeAndQuery, FALSE, processId));
    if (process) return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
    if (::GetLastError() != ERROR_ACCESS_DENIED) return false;

    // Not allowed to wait on it: the limited query right may still show whether it runs.
    process.reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exitCode = 0;
    return ::GetExitCodeProcess(process.get(), &exitCode) && exitCode == STILL_ACTIVE;
}

}  // namespace tovrak
