#include "install_log.h"

#include <cstdarg>
#include <cstdio>

namespace sample {
namespace {

std::wstring Format(const wchar_t* format, va_list arguments) {
    wchar_t line[2048];
    _vsnwprintf_s(line, _countof(line), _TRUNCATE, format, arguments);
    return line;
}

std::string ToUtf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

std::string LocalTimeStamp() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return stamp;
}

}  // namespace

bool InstallLog::Open(const std::wstring& path) {
    if (path.empty()) return true;
    // Others may read the log while the installation runs; nobody else writes it.
    file_.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
}

void InstallLog::Say(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::wstring line = Format(format, arguments);
    va_end(arguments);
    Write(line, true);
}

void InstallLog::Note(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::wstring line = Format(format, arguments);
    va_end(arguments);
    Write(line, false);
}

void InstallLog::Write(const std::wstring& line, bool console) {
    // UTF-8 on both, so that a terminal and the log show the Chinese texts.
    const std::string bytes = ToUtf8(line);
    if (console) {
        const std::string text = "[installer] " + bytes + "\n";
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
    if (!file_) return;
    // One write per line and no buffer of our own: a log that ends early still holds every line
    // written before.
    const std::string record = LocalTimeStamp() + bytes + "\r\n";
    DWORD written = 0;
    ::WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

}  // namespace sample
