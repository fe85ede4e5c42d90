#include <vector>

#include "common/export_guard.h"
#include "common/unique_handle.h"
#include "process/owned_process_enumeration.h"
#include "process/owner_prefix.h"
#include "process/process_access.h"
#include "process/process_identity.h"
#include "process/process_wait_list.h"
#include "tovrak/renderer.h"

namespace tovrak {

namespace {

// How often processes that may be seen but not waited on are looked at again.
constexpr DWORD kUnwaitablePollMs = 25;

// The budget runs out while an owned process still runs.
constexpr int32_t kBudgetSpent = OwnedProcessesRunning;

int32_t WaitOwnedExit(const wchar_t* directory, const wchar_t* imageName, uint32_t excludePid1,
                      uint32_t excludePid2, uint32_t excludePid3, uint32_t timeoutMs) {
    WideString ownerPrefix;
    if (!NormalizeOwnerDirectory(directory, ownerPrefix)) return OwnedProcessesRejected;
    const ULONGLONG start = ::GetTickCount64();

    std::vector<OwnedProcessRecord> records;
    // Every cycle starts from a fresh snapshot: that alone decides whether anything still runs, so
    // processes started meanwhile are caught and a failed or partial wait costs nothing.
    for (;;) {
        if (!EnumerateOwnedProcesses(ownerPrefix, imageName, excludePid1, excludePid2, excludePid3, false,
                                     records))
            return OwnedProcessesRejected;
        if (records.empty()) return OwnedProcessesNoneRunning;
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= timeoutMs) return kBudgetSpent;

        ProcessWaitList held(records.size());
        for (const OwnedProcessRecord& record : records) {
            if (held.full()) break;
            UniqueHandleKernel process(::OpenProcess(kSynchronizeAndQuery, FALSE, record.processId));
            if (process && StillSameProcess(process.get(), record)) held.Hold(std::move(process));
        }
        if (held.empty()) {
            ::Sleep(kUnwaitablePollMs);
            continue;
        }
        const DWORD remaining = static_cast<DWORD>(timeoutMs - elapsed);
        if (held.WaitAll(remaining) == WAIT_TIMEOUT) return kBudgetSpent;
    }
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL WaitOwnedProcessesExit(const wchar_t* directory, const wchar_t* imageName,
                                                      uint32_t excludePid1, uint32_t excludePid2,
                                                      uint32_t excludePid3, uint32_t timeoutMs) noexcept {
    return tovrak::GuardExport<int32_t>(OwnedProcessesRejected, tovrak::WaitOwnedExit, directory, imageName,
                                        excludePid1, excludePid2, excludePid3, timeoutMs);
}
