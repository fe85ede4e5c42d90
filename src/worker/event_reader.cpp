// The host's end of the event stream: drains the worker's output pipe without blocking and takes one
// whole record per call.

#include <cstring>

#include "common/export_guard.h"
#include "common/wide_string.h"
#include "shell/shell_export.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

constexpr DWORD kReadBlockBytes = 8192;

// Appends to the buffer what the pipe holds now, at most one block. Only bytes that are already
// waiting are read, so this never blocks.
void DrainWaitingBytes(ShellContext& context) noexcept {
    DWORD waiting = 0;
    ::PeekNamedPipe(context.eventPipe.get(), nullptr, 0, nullptr, &waiting, nullptr);
    if (waiting == 0) return;
    const DWORD wanted = waiting < kReadBlockBytes ? waiting : kReadBlockBytes;

    // Room is made before reading: bytes taken from the pipe and then lost would shift the framing
    // of every record after them.
    std::vector<std::uint8_t>& buffer = context.eventBuffer;
    try {
        buffer.reserve(buffer.size() + wanted);
    } catch (...) {
        return;
    }
    std::uint8_t block[kReadBlockBytes];
    DWORD read = 0;
    if (!::ReadFile(context.eventPipe.get(), block, wanted, &read, nullptr)) return;
    buffer.insert(buffer.end(), block, block + read);
}

bool IsValidRecord(const WorkerEvent& record, std::uint32_t eventsTaken) noexcept {
    return eventsTaken <= kWorkerEventLimit && record.magic == kWorkerEventMagic && record.type >= 1 &&
           record.type <= kLastWorkerEventType && record.label[kWorkerEventTextUnits - 1] == L'\0' &&
           record.text[kWorkerEventTextUnits - 1] == L'\0';
}

void CopyEventText(const wchar_t (&field)[kWorkerEventTextUnits], wchar_t* out, int capacity) noexcept {
    if (out) CopyToBuffer(std::wstring_view(field), out, capacity);
}

std::int32_t ReadEvent(ShellContext& shell, wchar_t* labelOut, wchar_t* textOut,
                       std::int32_t capacity) noexcept {
    if (!shell.eventPipe || capacity <= 0) return 0;

    DrainWaitingBytes(shell);
    std::vector<std::uint8_t>& buffer = shell.eventBuffer;
    if (buffer.size() < sizeof(WorkerEvent)) return 0;

    // Kept before validation, so that the time stamps of a rejected record can still be read.
    std::memcpy(&shell.lastEvent, buffer.data(), sizeof(WorkerEvent));
    buffer.erase(buffer.begin(), buffer.begin() + sizeof(WorkerEvent));
    ++shell.eventsTaken;

    const WorkerEvent& record = shell.lastEvent;
    if (!IsValidRecord(record, shell.eventsTaken)) {
        // The stream cannot be trusted past a bad record: close it for the rest of the worker's life.
        // The bytes already buffered behind it can never be taken, so they go now; otherwise a whole
        // record among them would hold back the worker's exit for ever.
        shell.exitOverride = ERROR_INVALID_DATA;
        shell.eventPipe.reset();
        std::vector<std::uint8_t>().swap(buffer);
        return 0;
    }
    CopyEventText(record.label, labelOut, capacity);
    CopyEventText(record.text, textOut, capacity);
    return static_cast<std::int32_t>(record.type);
}

std::uint64_t EventTime(const ShellContext& shell, std::int32_t which) noexcept {
    const WorkerEvent& record = shell.lastEvent;
    if (which == 0) return (std::uint64_t{record.systemTimeHigh} << 32) | record.systemTimeLow;
    return record.tickCount;
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL ShellReadEvent(wchar_t* labelOut, wchar_t* textOut,
                                              int32_t capacity) noexcept {
    return tovrak::GuardShellExport<int32_t>({0, 0, 0}, tovrak::ReadEvent, labelOut, textOut, capacity);
}

extern "C" uint64_t TOVRAK_CALL ShellEventTime(int32_t which) noexcept {
    return tovrak::GuardShellExport<uint64_t>({0, 0, 0}, tovrak::EventTime, which);
}
