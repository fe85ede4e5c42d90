#pragma once
// The process handles one wait covers. WaitForMultipleObjects takes at most 64 handles; processes
// beyond that are still acted on, but their handles are closed at once and they are not waited for.

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/unique_handle.h"

namespace tovrak {

class ProcessWaitList {
  public:
    static constexpr size_t kCapacity = MAXIMUM_WAIT_OBJECTS;

    explicit ProcessWaitList(size_t expected) { handles_.reserve(std::min(expected, kCapacity)); }

    bool full() const noexcept { return handles_.size() >= kCapacity; }
    bool empty() const noexcept { return handles_.empty(); }
    size_t size() const noexcept { return handles_.size(); }

    // Keeps the handle while there is room; otherwise it is closed here.
    void Hold(UniqueHandleKernel process) {
        if (full()) return;
        handles_.push_back(std::move(process));
    }

    // Waits until every held process has ended or the time-out passes; the handles stay held.
    DWORD WaitAll(DWORD milliseconds) const {
        std::vector<HANDLE> raw;
        raw.reserve(handles_.size());
        for (const UniqueHandleKernel& handle : handles_)
            raw.push_back(handle.get());
        return ::WaitForMultipleObjects(static_cast<DWORD>(raw.size()), raw.data(), TRUE, milliseconds);
    }

  private:
    std::vector<UniqueHandleKernel> handles_;
};

}  // namespace tovrak
