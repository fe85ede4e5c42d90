// The sample worker: the installer's long work, in a hidden process of its own. It verifies the
// payload against its manifest, makes sure the payload holds no links, copies it into the
// installation directory, puts the shortcut on the desktop and the entry into Apps & features, and
// reports every stage to the host as events on its standard output. Uninstalling takes all of it
// away again. The same worker serves the visible and the silent installer, so both do the same work.
//
//   sample_worker.exe install <payload directory> <manifest> <installation directory>
//                     [--shortcut] [--uninstaller <program>] [--pause <ms>]
//   sample_worker.exe uninstall <manifest> <installation directory> [--pause <ms>]
//
// --uninstaller names the program that the Apps & features entry runs to uninstall; without it the
// installation is not registered. The optional pause between two files lets a demonstration show
// the running screen.

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include <tovrak/renderer.h>

#include "desktop_shortcut.h"
#include "file_tree.h"
#include "manifest_paths.h"
#include "payload_diagnosis.h"
#include "owned.h"
#include "protocol.h"
#include "uninstall_entry.h"

namespace {

struct InstallRequest {
    std::wstring payload;
    std::wstring manifest;
    std::wstring target;
    std::wstring uninstaller;
    bool shortcut = false;
};

DWORD g_pauseMs = 0;

void Stage(const wchar_t* key, const wchar_t* text) {
    ShellEmit(sample::kEventStage, key, text);
}

void Progress(int percent) {
    ShellEmit(sample::kEventProgress, L"progress", std::to_wstring(percent).c_str());
}

int Fail(const wchar_t* stage, int exitCode, DWORD systemError, const std::wstring& message) {
    const std::wstring text =
        std::to_wstring(exitCode) + L"|" + std::to_wstring(systemError) + L"|" + message;
    ShellEmit(sample::kEventFailure, stage, text.c_str());
    return exitCode;
}

int RejectPayload(const InstallRequest& request, int verified) {
    // The verification of the whole tree says only that it differs; the file to blame is what an
    // administrator needs to find in the log.
    const std::wstring file = sample::FindRejectedPayloadFile(request.payload, request.manifest);
    std::wstring message = L"安装包校验未通过";
    if (!file.empty()) message += L"：" + file;
    return Fail(L"verify", sample::kWorkerPayloadRejected + verified, 0, message);
}

int CopyPayload(const InstallRequest& request, ULONGLONG& copied, size_t& count) {
    sample::FileTree tree;
    if (!sample::ListFileTree(request.payload, tree))
        return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), L"无法列出安装包");
    if (!sample::EnsureDirectoryPath(request.target))
        return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), L"无法创建安装目录");
    for (const std::wstring& directory : tree.directories)
        if (!sample::EnsureDirectory(request.target + L"\\" + directory))
            return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), directory);

    ULONGLONG total = 0;
    for (const sample::TreeFile& file : tree.files)
        total += file.size;
    copied = 0;
    for (const sample::TreeFile& file : tree.files) {
        if (!::CopyFileW((request.payload + L"\\" + file.relative).c_str(),
                         (request.target + L"\\" + file.relative).c_str(), FALSE))
            return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), file.relative);
        copied += file.size;
        ::Sleep(g_pauseMs);
        ShellEmit(sample::kEventFileCopied, L"file", file.relative.c_str());
        const int share =
            total ? static_cast<int>(copied * (sample::kCopyEnd - sample::kVerifyEnd) / total) : 0;
        Progress(sample::kVerifyEnd + share);
    }
    count = tree.files.size();
    return sample::kWorkerSucceeded;
}

int Install(const InstallRequest& request) {
    Stage(L"verify", L"正在校验安装包");
    PayloadVerifyProgressRange(sample::kVerifyStart, sample::kVerifyEnd);
    const int verified = VerifyPayloadIntegrity(request.payload.c_str(), request.manifest.c_str());
    if (verified != PayloadVerified) return RejectPayload(request, verified);

    Stage(L"validate", L"正在检查安装包结构");
    if (!ValidatePlainTree(request.payload.c_str()))
        return Fail(L"validate", sample::kWorkerTreeNotPlain, 0, L"安装包中含有链接");

    Stage(L"copy", L"正在复制文件");
    ULONGLONG copied = 0;
    size_t count = 0;
    if (const int code = CopyPayload(request, copied, count); code != sample::kWorkerSucceeded) return code;
    Progress(sample::kCopyEnd);

    if (request.shortcut) {
        Stage(L"shortcut", L"正在创建桌面快捷方式");
        const HRESULT created =
            sample::CreateDesktopShortcut(request.target + L"\\" + sample::kApplicationFile, request.target);
        if (FAILED(created))
            return Fail(L"shortcut", sample::kWorkerShortcutFailed, static_cast<DWORD>(created),
                        L"无法创建桌面快捷方式");
    }
    // Registered last: Apps & features lists only an installation that is complete.
    if (!request.uninstaller.empty()) {
        Stage(L"register", L"正在登记卸载信息");
        const LSTATUS written = sample::WriteUninstallEntry({request.target, request.uninstaller, copied});
        if (written != ERROR_SUCCESS)
            return Fail(L"register", sample::kWorkerRegistrationFailed, static_cast<DWORD>(written),
                        L"无法写入卸载信息");
    }
    Stage(L"done", L"安装完成");
    ShellEmit(sample::kEventFinished, L"files", std::to_wstring(count).c_str());
    return sample::kWorkerSucceeded;
}

bool Gone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Each folder between the file and the installation directory, while it is empty.
void RemoveEmptyParents(const std::wstring& target, std::wstring relative) {
    for (size_t slash; (slash = relative.find_last_of(L'\\')) != std::wstring::npos;) {
        relative.resize(slash);
        if (!::RemoveDirectoryW((target + L"\\" + relative).c_str())) return;
    }
}

// Removes the files the manifest lists and the folders they leave empty, never anything else the
// user keeps in the installation directory; a file already gone counts as removed.
int RemoveInstalledFiles(const std::wstring& manifest, const std::wstring& target, size_t& removed) {
    std::vector<std::wstring> listed;
    if (!sample::ReadManifestPaths(manifest, listed))
        return Fail(L"remove", sample::kWorkerRemoveFailed, ::GetLastError(), L"无法读取安装清单");
    removed = 0;
    for (const std::wstring& path : listed) {
        const std::wstring relative = sample::WindowsSpelling(path);
        if (!::DeleteFileW((target + L"\\" + relative).c_str())) {
            const DWORD error = ::GetLastError();
            if (!Gone(error)) return Fail(L"remove", sample::kWorkerRemoveFailed, error, relative);
        }
        RemoveEmptyParents(target, relative);
        ++removed;
        ::Sleep(g_pauseMs);
        Progress(static_cast<int>(removed * 100 / listed.size()));
    }
    ::RemoveDirectoryW(target.c_str());
    return sample::kWorkerSucceeded;
}

int Uninstall(const std::wstring& manifest, const std::wstring& target) {
    // The shortcut first, so that nobody starts an application that is half gone.
    Stage(L"shortcut", L"正在删除桌面快捷方式");
    const HRESULT unlinked = sample::RemoveDesktopShortcut();
    if (FAILED(unlinked))
        return Fail(L"shortcut", sample::kWorkerRemoveFailed, static_cast<DWORD>(unlinked),
                    L"无法删除桌面快捷方式");

    Stage(L"remove", L"正在删除文件");
    size_t removed = 0;
    if (const int code = RemoveInstalledFiles(manifest, target, removed); code != sample::kWorkerSucceeded)
        return code;

    // Unregistered last: while files remain, Apps & features still offers to remove them.
    Stage(L"unregister", L"正在移除卸载信息");
    const LSTATUS deleted = sample::RemoveUninstallEntry();
    if (deleted != ERROR_SUCCESS)
        return Fail(L"unregister", sample::kWorkerRemoveFailed, static_cast<DWORD>(deleted),
                    L"无法移除卸载信息");
    Progress(100);
    Stage(L"done", L"卸载完成");
    ShellEmit(sample::kEventFinished, L"files", std::to_wstring(removed).c_str());
    return sample::kWorkerSucceeded;
}

// The switches after the positional arguments; false for one it does not know.
bool ReadSwitches(int first, int argc, wchar_t** argv, InstallRequest& request) {
    for (int i = first; i < argc; ++i) {
        const std::wstring name = argv[i];
        if (name == L"--shortcut") {
            request.shortcut = true;
        } else if (name == L"--uninstaller" && i + 1 < argc) {
            request.uninstaller = argv[++i];
        } else if (name == L"--pause" && i + 1 < argc) {
            g_pauseMs = static_cast<DWORD>(_wtoi(argv[++i]));
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const sample::ComApartment apartment;
    const std::wstring command = argc > 1 ? argv[1] : L"";
    InstallRequest request;
    if (command == L"install" && argc >= 5 && ReadSwitches(5, argc, argv, request)) {
        request.payload = argv[2];
        request.manifest = argv[3];
        request.target = argv[4];
        return Install(request);
    }
    if (command == L"uninstall" && argc >= 4 && ReadSwitches(4, argc, argv, request) &&
        request.uninstaller.empty() && !request.shortcut)
        return Uninstall(argv[2], argv[3]);
    return sample::kWorkerBadArguments;
}
