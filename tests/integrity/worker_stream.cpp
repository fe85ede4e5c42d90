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
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return stream;
    UniqueHandleKernel reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd == nullptr ? nullptr : ::GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring program = ProgramPath(L"progress_worker.exe");
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &process))
        return stream;
    UniqueHandleKernel processHandle(process.hProcess), threadHandle(process.hThread);
    writer.reset();  // the child holds the only writing end now: its exit ends the stream
    DrainRecords(reader.get(), stream, nullptr);
    ::WaitForSingleObject(processHandle.get(), 60000);
    ::GetExitCodeProcess(processHandle.get(), &stream.exitCode);
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
