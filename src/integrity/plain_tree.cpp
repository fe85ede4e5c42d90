#include "integrity/plain_tree.h"

#include "common/export_guard.h"
#include "common/unique_handle.h"
#include "tovrak/renderer.h"

namespace tovrak {

bool CheckPlainPath(const WideString& path, int depth, std::uint32_t& counter) {
    ++counter;
    if (counter > kPlainTreeMaxPaths || depth > kPlainTreeMaxDepth) return false;

    // INVALID_FILE_ATTRIBUTES has every bit set, so a path that cannot be queried fails here too.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;

    WIN32_FIND_DATAW found;
    UniqueFind search(::FindFirstFileW((path + L"\\*.*").c_str(), &found));
    if (!search) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        // The listing's attributes are not trusted: each child is queried again by its own path.
        if (!CheckPlainPath(path + L"\\" + WideString(name), depth + 1, counter)) return false;
    } while (::FindNextFileW(search.get(), &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

namespace {

std::int32_t ValidateTree(const wchar_t* path) {
    if (!path || !*path) return 0;
    std::uint32_t counter = 0;
    return CheckPlainPath(WideString(path), 1, counter) ? 1 : 0;
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL ValidatePlainTree(const wchar_t* path) noexcept {
    return tovrak::GuardExport<int32_t>(0, tovrak::ValidateTree, path);
}
