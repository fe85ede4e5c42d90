#include "support/environment.h"

#include <cstddef>
#include <vector>

#include "common/unique_handle.h"

namespace tovrak::test {

std::wstring ExecutableDirectory() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring ProgramPath(std::wstring_view fileName) {
    return ExecutableDirectory() + L"\\" + std::wstring(fileName);
}

std::wstring SourcePath(std::wstring_view relative) {
    // The source tree is on the Unix side; Wine shows the Unix root as drive Z:.
    std::string root = TOVRAK_SOURCE_DIR;
    std::wstring path = L"Z:" + std::wstring(root.begin(), root.end()) + L"\\" + std::wstring(relative);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

TempDirectory::TempDirectory() {
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, base);
    static LONG counter = 0;
    for (;;) {
        path_ = std::wstring(base) + L"tovrak-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::InterlockedIncrement(&counter));
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

TempDirectory::~TempDirectory() {
    RemoveTree(path_);
}

std::wstring TempDirectory::Join(std::wstring_view relative) const {
    return path_ + L"\\" + std::wstring(relative);
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char chunk[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

bool CreateDirectories(const std::wstring& path) {
    if (::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) return true;
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash < 3) return false;
    return CreateDirectories(path.substr(0, slash)) &&
           (::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
}

bool RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found;
        UniqueFind find(::FindFirstFileW((path + L"\\*").c_str(), &found));
        if (find) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                RemoveTree(path + L"\\" + name);
            } while (::FindNextFileW(find.get(), &found));
        }
        find.reset();
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ::RemoveDirectoryW(path.c_str()) != 0;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ::RemoveDirectoryW(path.c_str()) != 0;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str()) != 0;
}

DWORD HandleCount() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count != 0) return count;
    // Wine's GetProcessHandleCount reports 0: count this process's entries of the system's handle table.
    using QueryFunction = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    for (;;) {
        const LONG status =
            query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) break;
        if (status != kInfoLengthMismatch || buffer.size() >= (64u << 20)) return 0;
        buffer.resize(buffer.size() * 2);
    }
    struct HandleTable {  // SYSTEM_HANDLE_INFORMATION: the entries are aligned for their pointer
        ULONG count;
        HandleEntry first;
    };
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + offsetof(HandleTable, first));
    const DWORD self = ::GetCurrentProcessId();
    for (ULONG i = 0; i < entries; ++i)
        if (entry[i].processId == self) ++count;
    return count;
}

bool ChildProcess::Start(const std::wstring& program, const std::wstring& arguments, DWORD flags) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                          nullptr, &startup, &info))
        return false;
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

bool ChildProcess::StartWithOutputPipe(const std::wstring& program, const std::wstring& arguments,
                                       bool errorsToo, UniqueHandleKernel& output) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return false;
    UniqueHandleKernel reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = errorsToo ? writeEnd : ::GetStdHandle(STD_ERROR_HANDLE);
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &info))
        return false;
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    output = std::move(reader);
    return true;
}

ChildProcess::~ChildProcess() {
    if (!process_) return;
    Terminate();
    ::CloseHandle(process_);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : process_(other.process_), id_(other.id_) {
    other.process_ = nullptr;
    other.id_ = 0;
}

DWORD ChildProcess::Wait(DWORD milliseconds) {
    if (!process_ || ::WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return code;
}

void ChildProcess::Terminate() {
    if (process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
    }
}

}  // namespace tovrak::test
