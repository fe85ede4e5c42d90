#include "common/unique_handle.h"
#include "integrity/manifest.h"
#include "integrity/handle_attributes.h"

namespace tovrak {
namespace {

constexpr DWORD kManifestReadChunk = 65536;

}  // namespace

int ReadManifestFile(const wchar_t* path, std::string& bytes) {
    bytes.clear();
    if (!path || !*path) return kManifestUnusable;

    UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return kManifestUnusable;
    DWORD attributes = 0;
    LARGE_INTEGER size;
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !QueryHandleAttributes(file.get(), attributes) ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !::GetFileSizeEx(file.get(), &size) || size.QuadPart < 1 ||
        size.QuadPart > static_cast<LONGLONG>(kManifestMaxBytes)) {
        return kManifestUnusable;
    }

    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const std::size_t left = bytes.size() - filled;
        const DWORD request = left < kManifestReadChunk ? static_cast<DWORD>(left) : kManifestReadChunk;
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + filled, request, &read, nullptr) || read == 0) {
            bytes.clear();
            return kManifestReadFailed;
        }
        filled += read;
    }
    return kManifestRead;
}

}  // namespace tovrak
