#include "integrity/directory_pins.h"
#include "integrity/handle_attributes.h"

namespace tovrak {
namespace {

constexpr DWORD kPlainDirectoryMask = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
constexpr DWORD kPinAccess = FILE_READ_ATTRIBUTES | FILE_TRAVERSE;

bool IsAsciiLetter(wchar_t unit) noexcept {
    return (unit >= L'a' && unit <= L'z') || (unit >= L'A' && unit <= L'Z');
}

bool IsDriveLetterForm(std::wstring_view path) noexcept {
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' &&
           (path[2] == L'\\' || path[2] == L'/');
}

// Some platforms (Wine) show a directory link's attribute only to a query by name, not through a handle
// opened on the link; asked after the pin, when the name can no longer be moved to another directory.
bool NamedAsPlainDirectory(const WideString& path) {
    const DWORD attributes = ::GetFileAttributesW((WideString(kLongPathPrefix) + path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & kPlainDirectoryMask) == FILE_ATTRIBUTE_DIRECTORY;
}

}  // namespace

bool NormalizePayloadPath(const wchar_t* path, WideString& normalized) {
    if (!path) return false;
    const std::wstring_view given(path);
    if (given.size() < 3 || given.size() > kPayloadPathMaxUnits || !IsDriveLetterForm(given)) return false;

    WideString full(kPayloadPathMaxUnits + 1, L'\0');
    const DWORD length = ::GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length > kPayloadPathMaxUnits) return false;
    full.resize(length);
    // A last component that names a device ("C:\x\CON") comes back as "\\.\CON", which is no directory.
    if (!IsDriveLetterForm(full)) return false;
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    normalized = std::move(full);
    return true;
}

bool PinDirectory(const WideString& path, PinList& pins) {
    const WideString longPath = WideString(kLongPathPrefix) + path;
    // Without FILE_SHARE_DELETE nobody can rename, move or delete the directory while it is pinned. The
    // share mode binds others only when the handle holds a data access: a handle with nothing but
    // FILE_READ_ATTRIBUTES is left out of the system's sharing check, so the pin asks for traversal too.
    UniqueFile pin(::CreateFileW(longPath.c_str(), kPinAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
    if (!pin) return false;
    DWORD attributes = 0;
    if (::GetFileType(pin.get()) != FILE_TYPE_DISK || !QueryHandleAttributes(pin.get(), attributes) ||
        (attributes & kPlainDirectoryMask) != FILE_ATTRIBUTE_DIRECTORY) {
        return false;
    }
    pins.Append(std::move(pin));
    // A drive's root is never a link, whatever a platform that makes its drives of links (Wine's
    // dosdevices) says of it by name; its handle is asked all the same.
    return path.size() <= 3 || NamedAsPlainDirectory(path);
}

bool PinDirectoryChain(const WideString& path, PinList& pins) {
    if (!PinDirectory(path.substr(0, 3), pins)) return false;
    if (path.size() < 4) return true;
    for (std::size_t i = 3; i < path.size(); ++i) {
        if (path[i] == L'\\' && !PinDirectory(path.substr(0, i), pins)) return false;
    }
    return PinDirectory(path, pins);
}

WideString JoinPath(const WideString& directory, std::wstring_view name) {
    WideString joined = directory;
    if (joined.empty() || joined.back() != L'\\') joined += L'\\';
    joined += name;
    return joined;
}

}  // namespace tovrak
