#include "uninstall_entry.h"

#include "owned.h"
#include "protocol.h"

namespace sample {
namespace {

LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS SetNumber(HKEY key, const wchar_t* name, DWORD value) {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// The uninstaller's command line. The directory comes last and unquoted, as /D= always does: it
// takes the rest of the line, spaces included.
std::wstring UninstallCommand(const UninstallEntry& entry, bool quiet) {
    return L"\"" + entry.uninstaller + L"\" /uninstall" + (quiet ? L" /S" : L"") + L" /D=" +
           entry.installLocation;
}

}  // namespace

LSTATUS WriteUninstallEntry(const UninstallEntry& entry) {
    OwnedKey key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring application = entry.installLocation + L"\\" + kApplicationFile;
    // Apps & features counts the size in KiB.
    const DWORD kibibytes = static_cast<DWORD>((entry.installedBytes + 1023) / 1024);
    const struct {
        const wchar_t* name;
        std::wstring value;
    } strings[] = {
        {L"DisplayName", kProductName},
        {L"DisplayVersion", kProductVersion},
        {L"Publisher", kPublisher},
        {L"DisplayIcon", application},
        {L"InstallLocation", entry.installLocation},
        {L"UninstallString", UninstallCommand(entry, false)},
        {L"QuietUninstallString", UninstallCommand(entry, true)},
    };
    for (const auto& value : strings)
        if ((status = SetString(key.get(), value.name, value.value)) != ERROR_SUCCESS) return status;
    // The sample has no change or repair mode: Apps & features offers only "Uninstall".
    if ((status = SetNumber(key.get(), L"EstimatedSize", kibibytes)) != ERROR_SUCCESS) return status;
    if ((status = SetNumber(key.get(), L"NoModify", 1)) != ERROR_SUCCESS) return status;
    return SetNumber(key.get(), L"NoRepair", 1);
}

LSTATUS RemoveUninstallEntry() {
    const LSTATUS status = ::RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace sample
