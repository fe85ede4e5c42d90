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

enum WaitResult : int32_t { kBudgetSpent = 0, kNoneRunning = 1, kRejected = 2 };

}  // namespace

}  // namespace tovrak

extern "C" int32_t __stdcall WaitOwnedProcessesExit(const wchar_t* directory, const wchar_t* imageName,
                                                    uint32_t excludePid1, uint32_t excludePid2,
                                                    uint32_t excludePid3, uint32_t timeoutMs) noexcept {
    using namespace tovrak;
    return GuardExport<int32_t>(kRejected, [&]() -> int32_t {
        WideString ownerPrefix;
        if (!NormalizeOwnerDirectory(directory, ownerPrefix)) return kRejected;
        const ULONGLONG start = ::GetTickCount64();

        std::vector<OwnedProcessRecord> records;
        // Every cycle starts from a fresh snapshot: that alone decides whether anything still runs, so
        // processes started meanwhile are caught and a failed or partial wait costs nothing.
        for (;;) {
            if (!EnumerateOwnedProcesses(ownerPrefix, imageName, excludePid1, excludePid2, excludePid3, false,
                                         records))
                return kRejected;
            if (records.empty()) return kNoneRunning;
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
    });
}
