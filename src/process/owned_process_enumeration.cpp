#include "process/owned_process_enumeration.h"

#include <tlhelp32.h>

#include <string_view>
#include <utility>

#include "common/export_guard.h"
#include "common/unique_handle.h"
#include "common/ordinal_text.h"
#include "process/owner_prefix.h"
#include "process/process_access.h"
#include "tovrak/renderer.h"

namespace tovrak {

namespace {

// Opened with SYNCHRONIZE where allowed, so that the same rights serve the later waits; some
// protected processes grant only the limited query right.
UniqueHandleKernel OpenForEnumeration(DWORD processId) {
    UniqueHandleKernel process(::OpenProcess(kSynchronizeAndQuery, FALSE, processId));
    if (!process) process.reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return process;
}

bool IsBelowPrefix(std::wstring_view imagePath, std::wstring_view ownerPrefix) {
    // Strictly longer: the prefix itself names a directory, never an executable.
    return imagePath.size() > ownerPrefix.size() &&
           OrdinalEqualsIgnoringCase(imagePath.substr(0, ownerPrefix.size()), ownerPrefix);
}

}  // namespace

bool QueryProcessImagePath(HANDLE process, WideString& imagePath) {
    std::vector<wchar_t> buffer(kLongPathUnits, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!::QueryFullProcessImageNameW(process, 0, buffer.data(), &size) || size == 0) return false;
    imagePath = StripLongPathPrefix(buffer.data(), size);
    return true;
}

bool QueryProcessCreationTime(HANDLE process, uint64_t& creationTime) {
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &creation, &exit, &kernel, &user)) return false;
    creationTime = (static_cast<uint64_t>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
    return true;
}

bool EnumerateOwnedProcesses(const WideString& ownerPrefix, const wchar_t* imageName, DWORD excludePid1,
                             DWORD excludePid2, DWORD excludePid3, bool stopAtFirst,
                             std::vector<OwnedProcessRecord>& records) {
    records.clear();
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!::Process32FirstW(snapshot.get(), &entry)) {
        const DWORD error = ::GetLastError();
        snapshot.reset();
        ::SetLastError(error);
        return error == ERROR_NO_MORE_FILES;
    }

    const DWORD self = ::GetCurrentProcessId();
    const std::wstring_view nameFilter = ArgumentText(imageName);
    do {
        const DWORD id = entry.th32ProcessID;
        if (id == excludePid3 || id == excludePid2 || id == excludePid1 || id == 0 || id == self) continue;
        if (!nameFilter.empty() && !OrdinalEqualsIgnoringCase(entry.szExeFile, nameFilter)) continue;

        UniqueHandleKernel process = OpenForEnumeration(id);
        if (!process) continue;
        DWORD exitCode = 0;
        if (!::GetExitCodeProcess(process.get(), &exitCode) || exitCode != STILL_ACTIVE) continue;
        OwnedProcessRecord record;
        if (!QueryProcessImagePath(process.get(), record.imagePath)) continue;
        if (!IsBelowPrefix(record.imagePath, ownerPrefix)) continue;

        record.processId = id;
        record.hasCreationTime = QueryProcessCreationTime(process.get(), record.creationTime);
        records.push_back(std::move(record));
        if (stopAtFirst) return true;
    } while (::Process32NextW(snapshot.get(), &entry));
    // The walk ends at the snapshot's end, or wherever the system stops it: both count as complete.
    return true;
}

namespace {

int32_t FindOwned(const wchar_t* directory, const wchar_t* imageName, uint32_t excludePid1,
                  uint32_t excludePid2, uint32_t excludePid3) {
    WideString ownerPrefix;
    if (!NormalizeOwnerDirectory(directory, ownerPrefix)) return OwnedProcessesRejected;
    std::vector<OwnedProcessRecord> records;
    if (!EnumerateOwnedProcesses(ownerPrefix, imageName, excludePid1, excludePid2, excludePid3, true,
                                 records))
        return OwnedProcessesRejected;
    return records.empty() ? OwnedProcessesNoneRunning : OwnedProcessesRunning;
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL FindOwnedProcesses(const wchar_t* directory, const wchar_t* imageName,
                                                  uint32_t excludePid1, uint32_t excludePid2,
                                                  uint32_t excludePid3) noexcept {
    return tovrak::GuardExport<int32_t>(OwnedProcessesRejected, tovrak::FindOwned, directory, imageName,
                                        excludePid1, excludePid2, excludePid3);
}
