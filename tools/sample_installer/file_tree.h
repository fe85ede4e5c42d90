#pragma once
// The files and folders below a directory, as the worker copies and checks them.

#include <windows.h>

#include <string>
#include <vector>

namespace sample {

struct TreeFile {
    std::wstring relative;  // with backslashes
    ULONGLONG size = 0;
};

struct FileTree {
    std::vector<TreeFile> files;
    std::vector<std::wstring> directories;  // relative, parents before their children
};

// Lists everything below `root`; false (with the thread's last error) when a folder cannot be read.
bool ListFileTree(const std::wstring& root, FileTree& tree);

// Creates the folder unless it exists; its parent must exist.
bool EnsureDirectory(const std::wstring& path);
// Creates the folder and the parents it lacks, as /D=C:\Programs\Company\Tool asks.
bool EnsureDirectoryPath(const std::wstring& path);

// A relative path as a manifest writes it: "/" between the components.
std::wstring ManifestSpelling(std::wstring relative);
// A manifest's relative path as Windows writes it: "\" between the components.
std::wstring WindowsSpelling(std::wstring relative);

}  // namespace sample
