#pragma once
// The fixed-size record that a worker writes to its standard output and the host reads back.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace tovrak {

constexpr std::uint32_t kWorkerEventMagic = 0x54564931;  // "TVI1" as a big-endian four-character code
constexpr std::size_t kWorkerEventTextUnits = 1024;
constexpr std::uint32_t kWorkerEventLimit = 512;  // records per worker
// Record types run from 1 to kLastWorkerEventType; type 1 carries a progress value as its text.
constexpr std::uint32_t kProgressEventType = 1;
constexpr std::uint32_t kLastWorkerEventType = 10;

#pragma pack(push, 1)
struct WorkerEvent {
    std::uint32_t magic;
    std::uint32_t type;
    std::uint32_t systemTimeLow;
    std::uint32_t systemTimeHigh;
    std::uint64_t tickCount;
    wchar_t label[kWorkerEventTextUnits];
    wchar_t text[kWorkerEventTextUnits];
};
#pragma pack(pop)

static_assert(sizeof(WorkerEvent) == 4120, "the record's size is part of the wire format");
static_assert(offsetof(WorkerEvent, label) == 24 && offsetof(WorkerEvent, text) == 2072);

}  // namespace tovrak
