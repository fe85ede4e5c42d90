#pragma once
// What the sample host, its worker and the sample application agree on. The library carries the
// events and the status codes; their meaning is ours.

#include <cstdint>

namespace sample {

// Worker events (type 1, progress, is the library's own).
enum EventType : std::uint32_t {
    kEventProgress = 1,    // text: percentage
    kEventStage = 2,       // label: stage key, text: what the user reads
    kEventFileCopied = 3,  // text: relative path
    kEventFailure = 4,     // label: stage key, text: "code|system error|message"
    kEventFinished = 5,    // text: number of files installed
};

// Worker exit codes.
enum WorkerExit : int {
    kWorkerSucceeded = 0,
    kWorkerBadArguments = 2,
    kWorkerPayloadRejected = 100,  // + the verification result (1 to 4)
    kWorkerTreeNotPlain = 120,
    kWorkerCopyFailed = 130,
    kWorkerRemoveFailed = 140,
};

// Launch status codes the application writes to the status pipe.
enum LaunchStatus : std::int32_t {
    kLaunchStarting = 1,
    kLaunchWindowCreated = 2,
    kLaunchFailed = 3,   // final
    kLaunchRunning = 4,  // final
};

// Progress shares of the worker's stages.
constexpr int kVerifyStart = 0;
constexpr int kVerifyEnd = 60;
constexpr int kCopyEnd = 100;

}  // namespace sample
