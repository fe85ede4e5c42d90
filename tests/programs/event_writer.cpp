// A worker for the event-stream tests. Each argument is one command, run in order:
//   emit:<type>:<label>:<text>  ShellEmit                     many:<count>:<type>  ShellEmit count times
//   paced:<count>:<ms>          ShellEmit(2) count times, pausing after each
//   progress:<text>             ShellEmit(1, "progress")      long:<units>         label and text of <units>
//   raw:<valid|magic|type0|type11|label1023|text1023>         a hand-made record, bypassing ShellEmit
//   partial:<bytes>             the first bytes of a record   pieces:<n>:<event>   one record in n pieces,
//                                                                                  waiting for <event>
//                                                                                  between
//   hold:<event>                wait for a named event        sleep:<ms>           pause
//   wait                        wait for ever                 exit:<code>          end with that code
//   grandchild                  start "wait" as a child and emit its process id (type 5)
//   cmdline                     emit the command line (6), the current directory (7), the start-up flags (8)
//   handles                     emit every handle value of this process and what object it is (type 9)
//   tofile:<path> | toconsole | restore   point standard output elsewhere, and back
//   report                      emit "<calls that returned 1> <calls that returned 0>" (type 10), followed
//                               by " noconsole" when "toconsole" found no console
//   exitreport                  end with <calls that returned 1> * 1000 + <calls that returned 0>, for
//                               when no record can carry the report any more
// Without arguments it behaves as "cmdline". Unknown commands are ignored.

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tovrak/renderer.h"
#include "worker/worker_event.h"

namespace {

using tovrak::WorkerEvent;

// Stamps of every hand-made record, so that the host can recognise them in ShellEventTime.
constexpr std::uint64_t kRawSystemTime = 0x0102030405060708ull;
constexpr std::uint64_t kRawTickCount = 0x1122334455667788ull;

int emitted = 0;
int refused = 0;
HANDLE pipeOutput = nullptr;
bool consoleMissing = false;  // "toconsole" found no console to write to

void Emit(std::uint32_t type, const std::wstring& label, const std::wstring& text) {
    if (ShellEmit(type, label.c_str(), text.c_str()))
        ++emitted;
    else
        ++refused;
}

std::vector<std::wstring> Split(const std::wstring& command) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = command.find(L':', start);
        parts.push_back(command.substr(start, colon - start));
        if (colon == std::wstring::npos) return parts;
        start = colon + 1;
    }
}

WorkerEvent RawRecord(const std::wstring& kind) {
    WorkerEvent record{};
    record.magic = tovrak::kWorkerEventMagic;
    record.type = 2;
    record.systemTimeLow = static_cast<std::uint32_t>(kRawSystemTime);
    record.systemTimeHigh = static_cast<std::uint32_t>(kRawSystemTime >> 32);
    record.tickCount = kRawTickCount;
    wcscpy(record.label, L"raw");
    wcscpy(record.text, kind.c_str());
    if (kind == L"magic") record.magic = 0x31495654;  // the right bytes in the wrong order
    if (kind == L"type0") record.type = 0;
    if (kind == L"type11") record.type = 11;
    if (kind == L"label1023") record.label[1023] = L'x';
    if (kind == L"text1023") record.text[1023] = L'x';
    return record;
}

void WriteRaw(const void* bytes, DWORD size) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, size, &written, nullptr);
}

void WaitForNamedEvent(const std::wstring& name) {
    HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (!event) return;
    ::WaitForSingleObject(event, 30000);
    ::CloseHandle(event);
}

std::wstring ObjectText(HANDLE handle, OBJECT_INFORMATION_CLASS what) {
    using QueryObject = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    alignas(8) std::uint8_t buffer[4096] = {};
    ULONG length = 0;
    if (!query || query(handle, what, buffer, sizeof(buffer), &length) < 0) return L"?";
    // Both the type and the name information begin with their UNICODE_STRING.
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
    if (!text->Buffer) return L"";
    return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
}

// What object a handle value of this process refers to, e.g. "File:pipe-client", "File:char:\Device\Null",
// "Job:member", "Process:1234", "Event:\BaseNamedObjects\x".
std::wstring DescribeHandle(HANDLE handle) {
    const std::wstring type = ObjectText(handle, static_cast<OBJECT_INFORMATION_CLASS>(2));
    std::wstring detail;
    if (type == L"File") {
        switch (::GetFileType(handle)) {
            case FILE_TYPE_PIPE: {
                DWORD flags = 0;
                ::GetNamedPipeInfo(handle, &flags, nullptr, nullptr, nullptr);
                detail = (flags & PIPE_SERVER_END) ? L"pipe-server" : L"pipe-client";
                break;
            }
            case FILE_TYPE_CHAR:
                detail = L"char:" + ObjectText(handle, ObjectNameInformation);
                break;
            case FILE_TYPE_DISK:
                detail = L"disk";
                break;
            default:
                detail = L"unknown";
                break;
        }
    } else if (type == L"Job") {
        BOOL member = FALSE;
        detail = ::IsProcessInJob(::GetCurrentProcess(), handle, &member) && member ? L"member" : L"other";
    } else if (type == L"Process") {
        detail = std::to_wstring(::GetProcessId(handle));
    } else {
        detail = ObjectText(handle, ObjectNameInformation);
    }
    return type + L":" + detail;
}

void ReportHandles() {
    std::wstring text;
    for (std::uintptr_t value = 4; value <= 4096; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD flags = 0;
        if (!::GetHandleInformation(handle, &flags)) continue;
        std::wstring entry = std::to_wstring(value) + L"=" + DescribeHandle(handle) + L";";
        if (text.size() + entry.size() > 1000) {
            Emit(9, L"handles", text);
            text.clear();
        }
        text += entry;
    }
    Emit(9, L"handles", text);
    const auto value = [](DWORD which) {
        return std::to_wstring(reinterpret_cast<std::uintptr_t>(::GetStdHandle(which)));
    };
    Emit(9, L"std",
         value(STD_INPUT_HANDLE) + L" " + value(STD_OUTPUT_HANDLE) + L" " + value(STD_ERROR_HANDLE));
}

void ReportStart() {
    Emit(6, L"cmdline", ::GetCommandLineW());
    wchar_t directory[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH + 1, directory);
    Emit(7, L"cwd", directory);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    Emit(8, L"startup", std::to_wstring(startup.dwFlags) + L" " + std::to_wstring(startup.wShowWindow));
}

void StartGrandchild() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" wait";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &created)) {
        Emit(5, L"grandchild", L"0");
        return;
    }
    ::CloseHandle(created.hThread);
    ::CloseHandle(created.hProcess);
    Emit(5, L"grandchild", std::to_wstring(created.dwProcessId));
}

void Run(const std::wstring& command) {
    const std::vector<std::wstring> part = Split(command);
    const std::wstring& verb = part[0];
    const auto arg = [&](std::size_t i) { return i < part.size() ? part[i] : std::wstring(); };
    const auto number = [&](std::size_t i) { return std::wcstoul(arg(i).c_str(), nullptr, 0); };

    if (verb == L"emit") {
        Emit(number(1), arg(2), arg(3));
    } else if (verb == L"many") {
        for (unsigned long i = 0; i < number(1); ++i)
            Emit(number(2), L"item", std::to_wstring(i));
    } else if (verb == L"paced") {
        for (unsigned long i = 0; i < number(1); ++i) {
            Emit(2, L"item", std::to_wstring(i));
            ::Sleep(number(2));
        }
    } else if (verb == L"progress") {
        Emit(1, L"progress", arg(1));
    } else if (verb == L"long") {
        std::wstring label, text;
        for (unsigned long i = 0; i < number(1); ++i) {
            label += static_cast<wchar_t>(L'a' + i % 26);
            text += static_cast<wchar_t>(L'A' + i % 26);
        }
        Emit(2, label, text);
    } else if (verb == L"raw") {
        const WorkerEvent record = RawRecord(arg(1));
        WriteRaw(&record, sizeof(record));
    } else if (verb == L"partial") {
        const WorkerEvent record = RawRecord(L"valid");
        WriteRaw(&record, number(1) < sizeof(record) ? number(1) : sizeof(record));
    } else if (verb == L"pieces") {
        const WorkerEvent record = RawRecord(L"pieces");
        const DWORD count = number(1), step = sizeof(record) / count;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
        for (DWORD i = 0; i < count; ++i) {
            const DWORD size = i + 1 == count ? sizeof(record) - step * i : step;
            WriteRaw(bytes + step * i, size);
            if (i + 1 != count) WaitForNamedEvent(arg(2));
        }
    } else if (verb == L"hold") {
        WaitForNamedEvent(arg(1));
    } else if (verb == L"sleep") {
        ::Sleep(number(1));
    } else if (verb == L"wait") {
        ::Sleep(INFINITE);
    } else if (verb == L"exit") {
        ::ExitProcess(number(1));
    } else if (verb == L"grandchild") {
        StartGrandchild();
    } else if (verb == L"cmdline") {
        ReportStart();
    } else if (verb == L"handles") {
        ReportHandles();
    } else if (verb == L"tofile") {
        const HANDLE file = ::CreateFileW(arg(1).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ::SetStdHandle(STD_OUTPUT_HANDLE, file);
    } else if (verb == L"toconsole") {
        ::AllocConsole();
        const HANDLE console =
            ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
        ::SetStdHandle(STD_OUTPUT_HANDLE, console);
        consoleMissing = console == INVALID_HANDLE_VALUE;
    } else if (verb == L"restore") {
        ::SetStdHandle(STD_OUTPUT_HANDLE, pipeOutput);
    } else if (verb == L"exitreport") {
        ::ExitProcess(static_cast<UINT>(emitted * 1000 + refused));
    } else if (verb == L"report") {
        const std::wstring text = std::to_wstring(emitted) + L" " + std::to_wstring(refused) +
                                  (consoleMissing ? L" noconsole" : L"");
        Emit(10, L"results", text);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    pipeOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc < 2) ReportStart();
    for (int i = 1; i < argc; ++i)
        Run(argv[i]);
    return 0;
}
