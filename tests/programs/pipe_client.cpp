// A pipe client for the hand-over pipes: connects to a named pipe for writing, optionally writes one
// message and keeps the connection open for a while.
//
//   pipe_client <pipe name> [--i32 <value>]... [--bytes <hex>]... [--before <ms>] [--hold <ms>]
//                           [--connect-timeout <ms>]
//
//   --i32 <value>          appends a little-endian 32-bit integer (decimal, or hexadecimal with 0x)
//   --bytes <hex>          appends raw bytes written as hexadecimal pairs, e.g. 0102ff
//   --before <ms>          waits this long after connecting before writing
//   --hold <ms>            keeps the connection open this long after writing (or after connecting)
//   --connect-timeout <ms> how long to keep trying while the pipe is missing or busy (default 10000)
//
// Without --i32 or --bytes nothing is written: the connection alone is the signal. The pieces are
// written as one message. Exit code: 0 on success, 87 for a bad command line, otherwise the system
// error of the failing connect or write.

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace {

constexpr int kUsageError = ERROR_INVALID_PARAMETER;

bool ParseNumber(const wchar_t* text, long long& value) {
    wchar_t* end = nullptr;
    value = std::wcstoll(text, &end, 0);
    return end != text && *end == L'\0';
}

bool AppendHex(const wchar_t* text, std::vector<std::uint8_t>& message) {
    const std::wstring hex(text);
    if (hex.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        if (!std::iswxdigit(hex[i]) || !std::iswxdigit(hex[i + 1])) return false;
        message.push_back(static_cast<std::uint8_t>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return true;
}

// Opens the pipe for writing, waiting while it does not exist yet or serves another client.
tovrak::UniqueFile Connect(const wchar_t* name, DWORD timeoutMs, DWORD& error) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        tovrak::UniqueFile pipe(::CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (pipe) return pipe;
        error = ::GetLastError();
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return {};
        if (error == ERROR_PIPE_BUSY)
            ::WaitNamedPipeW(name, static_cast<DWORD>(deadline - now));
        else if (error == ERROR_FILE_NOT_FOUND)
            ::Sleep(10);
        else
            return {};
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return kUsageError;
    const wchar_t* name = argv[1];
    std::vector<std::uint8_t> message;
    bool writes = false;
    long long before = 0, hold = 0, connectTimeout = 10000;
    for (int i = 2; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (i + 1 >= argc) return kUsageError;
        const wchar_t* value = argv[++i];
        long long number = 0;
        if (option == L"--bytes") {
            if (!AppendHex(value, message)) return kUsageError;
            writes = true;
        } else if (!ParseNumber(value, number)) {
            return kUsageError;
        } else if (option == L"--i32") {
            const auto bits = static_cast<std::uint32_t>(number);
            for (int shift = 0; shift < 32; shift += 8)
                message.push_back(static_cast<std::uint8_t>(bits >> shift));
            writes = true;
        } else if (option == L"--before") {
            before = number;
        } else if (option == L"--hold") {
            hold = number;
        } else if (option == L"--connect-timeout") {
            connectTimeout = number;
        } else {
            return kUsageError;
        }
    }

    DWORD error = 0;
    tovrak::UniqueFile pipe = Connect(name, static_cast<DWORD>(connectTimeout), error);
    if (!pipe) return static_cast<int>(error);
    if (before > 0) ::Sleep(static_cast<DWORD>(before));
    if (writes) {
        DWORD written = 0;
        if (!::WriteFile(pipe.get(), message.data(), static_cast<DWORD>(message.size()), &written, nullptr))
            return static_cast<int>(::GetLastError());
    }
    if (hold > 0) ::Sleep(static_cast<DWORD>(hold));
    return 0;
}
