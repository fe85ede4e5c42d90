#include "worker/worker_channel.h"

#include <utility>

namespace tovrak {
namespace {

void CloseField(HANDLE& field) noexcept {
    if (HANDLE handle = std::exchange(field, nullptr)) ::CloseHandle(handle);
}

}  // namespace

void ReleaseWorker(ShellContext& context) noexcept {
    CloseField(context.eventPipe);
    CloseField(context.workerJob);
    CloseField(context.workerProcess);
    // Swapping with an empty buffer gives the memory back without an allocation that could fail.
    std::vector<std::uint8_t>().swap(context.eventBuffer);
}

}  // namespace tovrak
