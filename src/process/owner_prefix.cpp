#include "process/owner_prefix.h"

#include <cwchar>
#include <string_view>
#include <vector>

#include "common/ordinal_text.h"

namespace tovrak {

namespace {

constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";

bool HasLongUncPrefix(std::wstring_view text) {
    return text.size() >= kLongUncPrefix.size() &&
           OrdinalEqualsIgnoringCase(text.substr(0, kLongUncPrefix.size()), kLongUncPrefix);
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveAbsolute(std::wstring_view path) {
    const bool letter =
        path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return letter && path[1] == L':' && IsSeparator(path[2]);
}

}  // namespace

WideString StripLongPathPrefix(const wchar_t* text, size_t length) {
    const std::wstring_view view(text, length);
    if (HasLongUncPrefix(view)) return L"\\\\" + WideString(view.substr(kLongUncPrefix.size()));
    if (view.starts_with(kLongPathPrefix)) return WideString(view.substr(kLongPathPrefix.size()));
    return WideString(view);
}

bool NormalizeOwnerDirectory(const wchar_t* directory, WideString& ownerPrefix) {
    if (!directory || directory[0] == L'\0') return false;
    // Bounded, so that an over-long argument is refused without reading all of it.
    const size_t length = ::wcsnlen(directory, kLongPathUnits + 1);
    if (length > kLongPathUnits) return false;

    // Past "\\?\" the system resolves nothing, so a remainder that is not a drive path (a volume GUID,
    // GLOBALROOT, a device) would otherwise be taken as relative to the current directory and quietly
    // match no process at all.
    const std::wstring_view text(directory, length);
    if (!HasLongUncPrefix(text) && text.starts_with(kLongPathPrefix) &&
        !IsDriveAbsolute(text.substr(kLongPathPrefix.size())))
        return false;

    const WideString stripped = StripLongPathPrefix(directory, length);

    std::vector<wchar_t> buffer(kLongPathUnits, L'\0');
    const DWORD written =
        ::GetFullPathNameW(stripped.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (written == 0 || written > kLongPathUnits - 1) return false;

    WideString path(buffer.data(), written);
    while (!path.empty() && IsSeparator(path.back()))
        path.pop_back();
    if (path.empty()) return false;
    // A drive root ("C:\") is now "C:": nothing short of a real directory may own processes.
    if (path.size() < 4) return false;
    if (path.starts_with(L"\\\\")) {
        // "\\server\share" is a share root; only a directory inside a share is accepted.
        const size_t serverEnd = path.find(L'\\', 2);
        if (serverEnd == WideString::npos) return false;
        if (path.find(L'\\', serverEnd + 1) == WideString::npos) return false;
    }
    path.push_back(L'\\');
    ownerPrefix = std::move(path);
    return true;
}

}  // namespace tovrak
