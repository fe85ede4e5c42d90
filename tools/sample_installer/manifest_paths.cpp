#include "manifest_paths.h"

#include <windows.h>

#include <string_view>

#include "owned.h"

namespace sample {
namespace {

// Far above any manifest of 100000 entries; a larger file is no manifest.
constexpr LONGLONG kLargestManifestBytes = 64LL * 1024 * 1024;
constexpr std::string_view kHeader = "AID_PAYLOAD_SHA256";

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    OwnedFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestManifestBytes) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

std::wstring FromUtf8(std::string_view text) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace

bool ReadManifestPaths(const std::wstring& manifest, std::vector<std::wstring>& paths) {
    paths.clear();
    std::string bytes;
    if (!ReadWholeFile(manifest, bytes)) return false;
    std::string_view rest = bytes;
    bool header = true;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (header) {
            if (line != kHeader) return false;
            header = false;
            continue;
        }
        // <digest>|<size>|<path>: the path is everything after the second bar.
        const size_t first = line.find('|');
        const size_t second = first == std::string_view::npos ? first : line.find('|', first + 1);
        if (second == std::string_view::npos) return false;
        paths.push_back(FromUtf8(line.substr(second + 1)));
    }
    return !header;
}

}  // namespace sample
