#include "integrity/worker_stream.h"

#include <cstring>
#include <thread>

#include "common/unique_handle.h"
#include "support/environment.h"
#include "worker/worker_event.h"

namespace tovrak::test {
namespace {

// Reads whole records until the writing end is closed.
void DrainRecords(HANDLE pipe, ProgressStream& stream, const std::function<void()>& onFirstRecord) {
    std::string pending;
    char chunk[8192];
    DWORD read = 0;
    while (::ReadFile(pipe, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        pending.append(chunk, read);
        while (pending.size() >= sizeof(WorkerEvent)) {
            WorkerEvent record;
            std::memcpy(&record, pending.data(), sizeof(record));
            pending.erase(0, sizeof(record));
            record.label[kWorkerEventTextUnits - 1] = 0;
            record.text[kWorkerEventTextUnits - 1] = 0;
            if (record.magic != kWorkerEventMagic || record.type != 1 ||
                std::wstring(record.label) != L"progress")
                stream.wellFormed = false;
            stream.values.emplace_back(record.text);
            if (stream.values.size() == 1 && onFirstRecord) onFirstRecord();
        }
    }
    if (!pending.empty()) stream.wellFormed = false;
}

}  // namespace

ProgressStream RunProgressWorker(const std::wstring& arguments) {
    ProgressStream stream;
    ChildProcess worker;
    UniqueHandleKernel output;
    if (!worker.StartWithOutputPipe(ProgramPath(L"progress_worker.exe"), arguments, false, output))
        return stream;
    DrainRecords(output.get(), stream, nullptr);
    stream.exitCode = worker.Wait(60000);
    return stream;
}

ProgressStream VerifyWithProgressPipe(const std::function<int()>& verify,
                                      const std::function<void()>& onFirstRecord) {
    ProgressStream stream;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return stream;
    UniqueHandleKernel reader(readEnd), writer(writeEnd);
    std::thread drain([&] { DrainRecords(reader.get(), stream, onFirstRecord); });

    const HANDLE previous = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    stream.exitCode = static_cast<DWORD>(verify());
    ::SetStdHandle(STD_OUTPUT_HANDLE, previous);
    writer.reset();
    drain.join();
    return stream;
}

}  // namespace tovrak::test
