#pragma once
// Counts for the verification leak checks.

#include "support/environment.h"
#include "support/resource_counts.h"

namespace tovrak::test {

// Kernel handles open in this process (the shared helper also counts them under Wine).
inline DWORD OpenHandleCount() {
    return HandleCount();
}

}  // namespace tovrak::test
