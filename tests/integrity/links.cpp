#include "integrity/links.h"

#include <windows.h>

#include "common/unique_handle.h"

namespace tovrak::test {
namespace {

using UnixFileNameFunction = char*(CDECL*)(const wchar_t*);

// The Unix name of a Windows path under Wine; empty on Windows.
std::string UnixPath(const std::wstring& path) {
    const auto function = reinterpret_cast<UnixFileNameFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!function) return {};
    char* name = function(path.c_str());
    if (!name) return {};
    std::string unixName = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return unixName;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// Runs a shell command on the Unix side and waits until `done` holds (Wine does not report the exit of
// a Unix process it started).
template <typename Done>
bool RunOnUnixSide(const std::string& command, Done done) {
    std::wstring line = L"Z:\\bin\\sh -c \"" + std::wstring(command.begin(), command.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    UniqueHandleKernel processHandle(process.hProcess), threadHandle(process.hThread);
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        ::Sleep(10);
    }
    return false;
}

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeLink(const std::wstring& link, const std::wstring& target, DWORD flags) {
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                              flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        IsReparsePoint(link))
        return true;
    const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty()) return false;
    // The Unix name of a path that does not exist yet may come back with a trailing slash.
    std::string linkName = unixLink;
    while (linkName.size() > 1 && linkName.back() == '/')
        linkName.pop_back();
    return RunOnUnixSide("ln -sfn " + Quoted(unixTarget) + " " + Quoted(linkName),
                         [&] { return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; }) &&
           IsReparsePoint(link);
}

}  // namespace

bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
    return MakeLink(link, target, SYMBOLIC_LINK_FLAG_DIRECTORY);
}

bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
    return MakeLink(link, target, 0);
}

bool MakeFileOnUnixSide(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    const std::string directory = UnixPath(path.substr(0, slash));
    if (directory.empty()) return false;
    const std::wstring name = path.substr(slash + 1);
    const int count = ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr,
                                            0, nullptr, nullptr);
    std::string unixName(static_cast<size_t>(count), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), unixName.data(), count,
                          nullptr, nullptr);
    std::string target = directory;
    if (target.back() != '/') target += '/';
    target += unixName;
    const std::wstring done = path + L".done";
    return RunOnUnixSide("touch " + Quoted(target) + " && touch " + Quoted(target + ".done"), [&] {
        return ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES && ::DeleteFileW(done.c_str());
    });
}

MappedDrive::MappedDrive(const std::wstring& directory) : directory_(directory) {
    std::wstring root = L"Q:\\";
    while (root[0] <= L'Y' && ::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR)
        ++root[0];
    if (root[0] > L'Y') return;
    const std::wstring device = root.substr(0, 2);
    if (::DefineDosDeviceW(0, device.c_str(), directory.c_str())) {
        if (::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR) {
            root_ = root;
            return;
        }
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device.c_str(),
                           directory.c_str());
    }
    // Under Wine every drive is a link named "x:" in the prefix's dosdevices folder, next to "c:".
    const std::string driveC = UnixPath(L"C:\\");
    const size_t slash = driveC.rfind("/c:");
    const std::string target = UnixPath(directory);
    if (slash == std::string::npos || target.empty()) return;
    const std::string link = driveC.substr(0, slash + 1) + static_cast<char>(::towlower(root[0])) + ":";
    if (RunOnUnixSide("ln -s " + Quoted(target) + " " + Quoted(link),
                      [&] { return ::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR; })) {
        root_ = root;
        unixLink_ = link;
    }
}

MappedDrive::~MappedDrive() {
    if (root_.empty()) return;
    if (unixLink_.empty()) {
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, root_.substr(0, 2).c_str(),
                           directory_.c_str());
        return;
    }
    const std::wstring root = root_;
    RunOnUnixSide("rm -f " + Quoted(unixLink_),
                  [&] { return ::GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR; });
}

}  // namespace tovrak::test
