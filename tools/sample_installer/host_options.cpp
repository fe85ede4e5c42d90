#include "host_options.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwctype>
#include <vector>

#include "owned.h"

namespace sample {
namespace {

struct ArgumentVectorTraits {  // CommandLineToArgvW's array
    using pointer = wchar_t**;
    static pointer Empty() noexcept { return nullptr; }
    static void Release(pointer p) noexcept { ::LocalFree(p); }
};

std::wstring LocalApplicationData() {
    OwnedCoTaskString folder;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, folder.put())))
        return {};
    return folder.get();
}

// "C:\Apps\Tool\" and "C:\Apps\Tool" are one directory; the uninstall entry and the worker's quoted
// arguments want the form without the separator (a quoted argument that ends in a backslash would
// swallow its closing quote). A drive root keeps its backslash.
std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

bool StartsWithIgnoringCase(const std::wstring& text, const wchar_t* prefix) {
    const int length = static_cast<int>(wcslen(prefix));
    return static_cast<int>(text.size()) >= length &&
           ::CompareStringOrdinal(text.c_str(), length, prefix, length, TRUE) == CSTR_EQUAL;
}

// Where an unquoted /D= starts an argument: NSIS's rule, which lets the directory hold spaces
// because it takes the rest of the line. npos when there is none.
size_t FindDirectorySwitch(const std::wstring& commandLine) {
    bool quoted = false;
    for (size_t i = 0; i < commandLine.size(); ++i) {
        if (commandLine[i] == L'"') quoted = !quoted;
        if (!quoted && i > 0 && std::iswspace(commandLine[i - 1]) && commandLine.compare(i, 3, L"/D=") == 0)
            return i;
    }
    return std::wstring::npos;
}

void ApplyArguments(const std::wstring& commandLine, HostOptions& options) {
    int count = 0;
    Owned<ArgumentVectorTraits> argv(::CommandLineToArgvW(commandLine.c_str(), &count));
    if (!argv) return;
    const std::vector<std::wstring> arguments(argv.get() + 1, argv.get() + count);
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& name = arguments[i];
        if (name == L"/S") {
            options.silent = true;
        } else if (::CompareStringOrdinal(name.c_str(), -1, L"/uninstall", -1, TRUE) == CSTR_EQUAL) {
            options.mode = Mode::Uninstall;
        } else if (StartsWithIgnoringCase(name, L"/log=")) {
            options.logFile = name.substr(5);
        } else if (name.compare(0, 3, L"/D=") == 0) {  // quoted, as "/D=C:\Program Files\Tool"
            options.target = name.substr(3);
        } else if (name == L"--auto") {
            options.autopilot = true;
        } else if (i + 1 < arguments.size()) {
            const std::wstring& value = arguments[++i];
            if (name == L"--mode")
                options.mode = value == L"uninstall" ? Mode::Uninstall
                               : value == L"update"  ? Mode::Update
                                                     : Mode::Install;
            else if (name == L"--screenshots")
                options.screenshots = value;
            else if (name == L"--assets")
                options.assets = value;
            else if (name == L"--payload")
                options.payload = value;
            else if (name == L"--manifest")
                options.manifest = value;
            else if (name == L"--target")
                options.target = value;
            else if (name == L"--font")
                options.font = value;
            else if (name == L"--lang")
                options.language = value;
            else if (name == L"--pace")
                options.paceMs = static_cast<DWORD>(_wtoi(value.c_str()));
        }
    }
}

}  // namespace

std::wstring ExecutablePath() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::wstring(buffer.data(), length);
}

std::wstring ExecutableDirectory() {
    const std::wstring path = ExecutablePath();
    return path.substr(0, path.find_last_of(L'\\'));
}

HostOptions ParseHostOptions(const std::wstring& commandLine) {
    HostOptions options;
    const std::wstring here = ExecutableDirectory();
    options.assets = here + L"\\assets";
    options.payload = here + L"\\sample\\payload";
    options.manifest = here + L"\\sample\\payload.manifest";
    options.translations = here + L"\\translations.txt";
    // Where Windows puts the programs that a user installs for himself.
    options.target = LocalApplicationData() + L"\\Programs\\TovrakSample";

    const size_t directorySwitch = FindDirectorySwitch(commandLine);
    ApplyArguments(commandLine.substr(0, directorySwitch), options);
    if (directorySwitch != std::wstring::npos) {
        std::wstring directory = commandLine.substr(directorySwitch + 3);
        while (!directory.empty() && std::iswspace(directory.back()))
            directory.pop_back();
        options.target = directory;
    }
    options.target = WithoutTrailingSeparators(options.target);
    if (options.silent) options.autopilot = false;  // nothing to click
    return options;
}

}  // namespace sample
