#include "desktop_shortcut.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "owned.h"
#include "protocol.h"

namespace sample {
namespace {

HRESULT DesktopShortcutPath(std::wstring& path) {
    OwnedCoTaskString desktop;
    const HRESULT found = ::SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_DEFAULT, nullptr, desktop.put());
    if (FAILED(found)) return found;
    path = std::wstring(desktop.get()) + L"\\" + kProductName + L".lnk";
    return S_OK;
}

}  // namespace

HRESULT CreateDesktopShortcut(const std::wstring& application, const std::wstring& workingDirectory) {
    std::wstring path;
    HRESULT result = DesktopShortcutPath(path);
    if (FAILED(result)) return result;
    OwnedCom<IShellLinkW> link;
    result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()));
    if (FAILED(result)) return result;
    if (FAILED(result = link.get()->SetPath(application.c_str()))) return result;
    if (FAILED(result = link.get()->SetWorkingDirectory(workingDirectory.c_str()))) return result;
    if (FAILED(result = link.get()->SetIconLocation(application.c_str(), 0))) return result;
    OwnedCom<IPersistFile> file;
    result = link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
    if (FAILED(result)) return result;
    return file.get()->Save(path.c_str(), TRUE);
}

HRESULT RemoveDesktopShortcut() {
    std::wstring path;
    const HRESULT found = DesktopShortcutPath(path);
    if (FAILED(found)) return found;
    if (::DeleteFileW(path.c_str())) return S_OK;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace sample
