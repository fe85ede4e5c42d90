#pragma once
// The product's entry in Apps & features (Programs and Features): a per-user key under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall that names the uninstaller.

#include <windows.h>

#include <string>

namespace sample {

struct UninstallEntry {
    std::wstring installLocation;
    std::wstring uninstaller;  // the program that uninstalls, run with /uninstall
    ULONGLONG installedBytes = 0;
};

// Writes (or rewrites) every value of the entry; a Win32 error number.
LSTATUS WriteUninstallEntry(const UninstallEntry& entry);

// Deletes the entry; ERROR_SUCCESS also when there was none.
LSTATUS RemoveUninstallEntry();

}  // namespace sample
