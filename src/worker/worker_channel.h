#pragma once
// The host's channel to the worker: its process, its job and the read end of its output pipe, all
// kept in the ShellContext.

#include "shell/shell_context.h"

namespace tovrak {

// Closes the event pipe, the job (which ends the worker and everything it started, if still running)
// and the process handle, in that order, clears the fields and empties the event buffer. Does not
// wait. Safe to call when there is no worker.
void ReleaseWorker(ShellContext& context) noexcept;

}  // namespace tovrak
