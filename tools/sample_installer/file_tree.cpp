#include "file_tree.h"

#include <algorithm>

#include "owned.h"

namespace sample {
namespace {

bool ListFolder(const std::wstring& root, const std::wstring& relative, FileTree& tree) {
    const std::wstring base = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found;
    OwnedFind find(::FindFirstFileW((base + L"\\*").c_str(), &found));
    if (!find) return false;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree.directories.push_back(child);
            if (!ListFolder(root, child, tree)) return false;
        } else {
            tree.files.push_back({child, (ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow});
        }
    } while (::FindNextFileW(find.get(), &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

bool ListFileTree(const std::wstring& root, FileTree& tree) {
    tree = {};
    return ListFolder(root, L"", tree);
}

bool EnsureDirectory(const std::wstring& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool EnsureDirectoryPath(const std::wstring& path) {
    if (EnsureDirectory(path)) return true;
    if (::GetLastError() != ERROR_PATH_NOT_FOUND) return false;
    // The parent first; a drive (the separator at "C:\") that does not exist ends the climb.
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator <= 2) return false;
    return EnsureDirectoryPath(path.substr(0, separator)) && EnsureDirectory(path);
}

std::wstring ManifestSpelling(std::wstring relative) {
    std::replace(relative.begin(), relative.end(), L'\\', L'/');
    return relative;
}

std::wstring WindowsSpelling(std::wstring relative) {
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    return relative;
}

}  // namespace sample
