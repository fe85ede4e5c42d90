// The sample worker: the installer's long work, in a hidden process of its own. It verifies the
// payload against its manifest, makes sure the payload holds no links, copies it into the
// installation directory, and reports every stage to the host as events on its standard output.
//
//   sample_worker.exe install <payload directory> <manifest> <installation directory> [<pause ms>]
//   sample_worker.exe uninstall <installation directory> [<pause ms>]
//
// The optional pause between two files lets a demonstration show the running screen.

#include <windows.h>

#include <string>
#include <vector>

#include <tovrak/renderer.h>

#include "protocol.h"

namespace {

void Stage(const wchar_t* key, const wchar_t* text) {
    ShellEmit(sample::kEventStage, key, text);
}

int Fail(const wchar_t* stage, int exitCode, DWORD systemError, const std::wstring& message) {
    const std::wstring text =
        std::to_wstring(exitCode) + L"|" + std::to_wstring(systemError) + L"|" + message;
    ShellEmit(sample::kEventFailure, stage, text.c_str());
    return exitCode;
}

struct PayloadFile {
    std::wstring relative;  // with backslashes
    ULONGLONG size = 0;
};

bool ListFiles(const std::wstring& root, const std::wstring& relative, std::vector<PayloadFile>& files,
               std::vector<std::wstring>& directories) {
    const std::wstring base = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((base + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            directories.push_back(child);
            ok = ListFiles(root, child, files, directories) && ok;
        } else {
            files.push_back({child, (ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow});
        }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return ok;
}

bool EnsureDirectory(const std::wstring& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

DWORD g_pauseMs = 0;

int Install(const std::wstring& payload, const std::wstring& manifest, const std::wstring& target) {
    Stage(L"verify", L"正在校验安装包");
    PayloadVerifyProgressRange(sample::kVerifyStart, sample::kVerifyEnd);
    const int verified = VerifyPayloadIntegrity(payload.c_str(), manifest.c_str());
    if (verified != PayloadVerified)
        return Fail(L"verify", sample::kWorkerPayloadRejected + verified, 0, L"安装包校验未通过");

    Stage(L"validate", L"正在检查安装包结构");
    if (!ValidatePlainTree(payload.c_str()))
        return Fail(L"validate", sample::kWorkerTreeNotPlain, 0, L"安装包中含有链接");

    Stage(L"copy", L"正在复制文件");
    std::vector<PayloadFile> files;
    std::vector<std::wstring> directories;
    if (!ListFiles(payload, L"", files, directories))
        return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), L"无法列出安装包");
    if (!EnsureDirectory(target))
        return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), L"无法创建安装目录");
    for (const std::wstring& directory : directories)
        if (!EnsureDirectory(target + L"\\" + directory))
            return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), directory);

    ULONGLONG total = 0, copied = 0;
    for (const PayloadFile& file : files)
        total += file.size;
    for (const PayloadFile& file : files) {
        if (!::CopyFileW((payload + L"\\" + file.relative).c_str(), (target + L"\\" + file.relative).c_str(),
                         FALSE))
            return Fail(L"copy", sample::kWorkerCopyFailed, ::GetLastError(), file.relative);
        copied += file.size;
        ::Sleep(g_pauseMs);
        ShellEmit(sample::kEventFileCopied, L"file", file.relative.c_str());
        const int share =
            total ? static_cast<int>(copied * (sample::kCopyEnd - sample::kVerifyEnd) / total) : 0;
        ShellEmit(sample::kEventProgress, L"progress", std::to_wstring(sample::kVerifyEnd + share).c_str());
    }
    ShellEmit(sample::kEventProgress, L"progress", std::to_wstring(sample::kCopyEnd).c_str());
    Stage(L"done", L"安装完成");
    ShellEmit(sample::kEventFinished, L"files", std::to_wstring(files.size()).c_str());
    return sample::kWorkerSucceeded;
}

int Uninstall(const std::wstring& target) {
    Stage(L"remove", L"正在删除文件");
    std::vector<PayloadFile> files;
    std::vector<std::wstring> directories;
    if (!ListFiles(target, L"", files, directories))
        return Fail(L"remove", sample::kWorkerRemoveFailed, ::GetLastError(), L"无法列出安装目录");
    size_t done = 0;
    for (const PayloadFile& file : files) {
        if (!::DeleteFileW((target + L"\\" + file.relative).c_str()))
            return Fail(L"remove", sample::kWorkerRemoveFailed, ::GetLastError(), file.relative);
        ++done;
        ::Sleep(g_pauseMs);
        ShellEmit(sample::kEventProgress, L"progress", std::to_wstring(done * 100 / files.size()).c_str());
    }
    for (auto it = directories.rbegin(); it != directories.rend(); ++it)
        ::RemoveDirectoryW((target + L"\\" + *it).c_str());
    ::RemoveDirectoryW(target.c_str());
    Stage(L"done", L"卸载完成");
    ShellEmit(sample::kEventFinished, L"files", std::to_wstring(files.size()).c_str());
    return sample::kWorkerSucceeded;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"install" && (argc == 5 || argc == 6)) {
        if (argc == 6) g_pauseMs = static_cast<DWORD>(_wtoi(argv[5]));
        return Install(argv[2], argv[3], argv[4]);
    }
    if (command == L"uninstall" && (argc == 3 || argc == 4)) {
        if (argc == 4) g_pauseMs = static_cast<DWORD>(_wtoi(argv[3]));
        return Uninstall(argv[2]);
    }
    return sample::kWorkerBadArguments;
}
