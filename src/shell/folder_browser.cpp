#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "common/unique_handle.h"
#include "shell/shell_context.h"
#include "shell/user_actions.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

struct ItemListTraits {  // SHBrowseForFolderW's result, allocated by the shell's task allocator
    using pointer = PIDLIST_ABSOLUTE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer list) noexcept { ::CoTaskMemFree(list); }
};
using UniqueItemList = UniqueHandle<ItemListTraits>;

bool IsSeparator(wchar_t c) noexcept {
    return c == L'\\' || c == L'/';
}

bool IsDriveRootOrLess(const WideString& path) noexcept {
    return path.empty() || (path.size() >= 2 && path[1] == L':');
}

// "\\server" or less of a UNC path: above a share there is nothing to browse, and cutting further
// would leave "\", the root of whatever drive is current.
bool IsAboveUncShare(const WideString& path) noexcept {
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    return path.find_first_of(L"\\/", 2) == WideString::npos;
}

bool IsExistingDirectory(const WideString& path) noexcept {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM startFolder) {
    if (message == BFFM_INITIALIZED) ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, startFolder);
    return 0;
}

}  // namespace

WideString FindBrowseStartFolder(WideString path) {
    const WideString original = path;
    if (path.empty()) return original;
    for (;;) {
        // An existing directory is returned as given, trailing separator and all.
        if (IsExistingDirectory(path)) return path;
        while (path.size() >= 4 && IsSeparator(path.back()))
            path.pop_back();
        if (path.size() <= 3 && IsDriveRootOrLess(path)) return original;

        const size_t separator = path.find_last_of(L"\\/");
        if (separator == WideString::npos) return original;
        // "X:\" keeps its separator: "X:" alone would name the drive's current directory.
        path.resize(separator == 2 && path[1] == L':' ? 3 : separator);
        if (path.empty() || IsAboveUncShare(path)) return original;
    }
}

void BrowseForInstallDirectory(ShellContext& shell) {
    const WideString start = FindBrowseStartFolder(shell.installDirectory);

    const WideString title(shell.texts[ShellText::ChooseLocationTitle]);

    BROWSEINFOW browse{};
    browse.hwndOwner = shell.window;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    UniqueItemList chosen(::SHBrowseForFolderW(&browse));
    if (!chosen) return;

    // The dialog pumps messages of the host's thread: make sure the shell it was opened for is
    // still the one that is open before writing to it.
    if (!IsOpenShell(shell)) return;
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(chosen.get(), path)) return;
    shell.installDirectory = path;
    ::SetWindowTextW(shell.pathEdit, path);
    shell.pendingCommand = ShellCommandDirectoryChanged;
}

}  // namespace tovrak
