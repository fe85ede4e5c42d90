#pragma once
// Checks made on a process just before it is waited on, sent messages or terminated: identifiers are
// reused, so an enumerated identifier alone proves nothing.

#include <windows.h>

#include "process/owned_process_enumeration.h"

namespace tovrak {

// True while `process` still runs the executable the record saw, started at the time the record saw
// (a creation time missing on either side does not disqualify).
bool StillSameProcess(HANDLE process, const OwnedProcessRecord& record);

// False once the process has ended; true when that cannot be told.
bool IsStillRunning(HANDLE process);

// Whether the process with this identifier runs. A process that exists but may not be opened counts as
// running.
bool IsProcessAlive(DWORD processId);

}  // namespace tovrak
