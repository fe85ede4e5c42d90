#include "worker/worker_channel.h"

namespace tovrak {

void ReleaseWorker(ShellContext& context) noexcept {
    context.eventPipe.reset();
    context.workerJob.reset();
    context.workerProcess.reset();
    // Swapping with an empty buffer gives the memory back without an allocation that could fail.
    std::vector<std::uint8_t>().swap(context.eventBuffer);
}

}  // namespace tovrak
