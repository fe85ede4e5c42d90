// The worker's end of the event stream: one fixed-size record per call, written to standard output.

#include <cwchar>
#include <cstdlib>

#include "common/export_guard.h"
#include "common/wide_string.h"
#include "tovrak/renderer.h"
#include "worker/worker_event.h"

namespace tovrak {
namespace {

// Process-wide and never reset: a worker process emits at most kWorkerEventLimit records in its life,
// the same limit at which the host stops taking them. Not synchronised (one caller at a time).
std::int32_t lastProgressValue = -1;
std::uint32_t recordsWritten = 0;

void CopyEventText(std::wstring_view source, wchar_t (&destination)[kWorkerEventTextUnits]) noexcept {
    // The field is zeroed beforehand, so the terminator and the unit 1023 are already 0.
    const std::size_t count =
        source.size() < kWorkerEventTextUnits - 1 ? source.size() : kWorkerEventTextUnits - 1;
    source.copy(destination, count);
}

std::int32_t Emit(std::uint32_t type, const wchar_t* label, const wchar_t* text) noexcept {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return 0;
    if (type < 1 || type > kLastWorkerEventType || ::GetFileType(output) != FILE_TYPE_PIPE) return 0;

    const std::wstring_view labelText = ArgumentText(label);
    const std::wstring_view bodyText = ArgumentText(text);
    if (type == kProgressEventType) {
        // Progress repeats itself while a large file is hashed; only changes are worth a record.
        const std::int32_t value = ::_wtoi(text ? text : L"");
        if (value == lastProgressValue) return 1;
        lastProgressValue = value;
    }

    if (++recordsWritten > kWorkerEventLimit) return 0;

    WorkerEvent record{};
    record.magic = kWorkerEventMagic;
    record.type = type;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    record.systemTimeLow = now.dwLowDateTime;
    record.systemTimeHigh = now.dwHighDateTime;
    record.tickCount = ::GetTickCount64();
    CopyEventText(labelText, record.label);
    CopyEventText(bodyText, record.text);

    // The host frames records by counting bytes, so a short write is not completed here: the broken
    // framing makes the host report the stream corrupt instead of reading shifted records.
    DWORD written = 0;
    const BOOL ok = ::WriteFile(output, &record, sizeof(record), &written, nullptr);
    return ok && written == sizeof(record) ? 1 : 0;
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL ShellEmit(uint32_t type, const wchar_t* label, const wchar_t* text) noexcept {
    return tovrak::GuardExport<int32_t>(0, tovrak::Emit, type, label, text);
}
