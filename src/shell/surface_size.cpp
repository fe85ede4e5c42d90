#include "shell/surface_size.h"

#include <windows.h>

#include "common/unique_handle.h"

namespace tovrak {
namespace {

constexpr int kLargestSurfaceSide = 32767;
constexpr std::size_t kMostSideDigits = 5;

constexpr std::string_view kReadyMarker = R"({"protocolVersion":1,"schemaVersion":1,"adapter":"json"})";
constexpr std::string_view kDataPrefix = R"({"schemaVersion":1,"width":)";
constexpr std::string_view kDataInfix = R"(,"height":)";
static_assert(kReadyMarker.size() == 56 && kDataPrefix.size() == 27 && kDataInfix.size() == 10);

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsTrailingSpace(char c) noexcept {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

std::string_view TrimTrailingSpace(std::string_view text) noexcept {
    while (!text.empty() && IsTrailingSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Reads a run of decimal digits from the front of `text`, consuming it. The value must stay within
// 1..32767; a run that overflows fails at once instead of wrapping.
template <typename Char>
std::optional<int> TakeSide(std::basic_string_view<Char>& text) noexcept {
    int value = 0;
    std::size_t used = 0;
    while (used < text.size() && text[used] >= Char('0') && text[used] <= Char('9')) {
        value = value * 10 + static_cast<int>(text[used] - Char('0'));
        if (value > kLargestSurfaceSide) return std::nullopt;
        ++used;
    }
    if (used == 0 || value < 1) return std::nullopt;
    text.remove_prefix(used);
    return value;
}

// True for a directory that is neither a junction nor a directory link.
bool IsPlainDirectory(const WideString& directory) noexcept {
    UniqueFile handle(::CreateFileW(directory.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    if (!handle) return false;
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(handle.get(), &information))
        return false;
    const DWORD attributes = information.dwFileAttributes;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<SurfaceSize> ParseSurfaceData(std::string_view data) noexcept {
    data = TrimTrailingSpace(data);
    if (data.size() < kDataPrefix.size() + 1 || !data.starts_with(kDataPrefix)) return std::nullopt;
    data.remove_prefix(kDataPrefix.size());
    const std::optional<int> width = TakeSide(data);
    if (!width || !data.starts_with(kDataInfix)) return std::nullopt;
    data.remove_prefix(kDataInfix.size());
    const std::optional<int> height = TakeSide(data);
    if (!height || data != "}") return std::nullopt;
    return SurfaceSize{*width, *height};
}

}  // namespace

std::optional<SurfaceSize> ParseSurfaceSize(std::wstring_view text) noexcept {
    const std::size_t separator = text.find(L'x');
    if (separator == std::wstring_view::npos || text.find(L'x', separator + 1) != std::wstring_view::npos)
        return std::nullopt;
    std::wstring_view widthText = text.substr(0, separator);
    std::wstring_view heightText = text.substr(separator + 1);
    if (widthText.size() > kMostSideDigits || heightText.size() > kMostSideDigits) return std::nullopt;
    const std::optional<int> width = TakeSide(widthText);
    const std::optional<int> height = TakeSide(heightText);
    // Each part must be digits only: whatever TakeSide left behind is a stray character.
    if (!width || !height || !widthText.empty() || !heightText.empty()) return std::nullopt;
    return SurfaceSize{*width, *height};
}

std::optional<SmallAsciiText> ReadSmallAsciiFile(const WideString& path) noexcept {
    // A link is opened as itself and refused below, never followed.
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file.get(), &information))
        return std::nullopt;
    if (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 1 ||
        size.QuadPart > static_cast<LONGLONG>(kSmallAsciiFileLimit))
        return std::nullopt;

    SmallAsciiText text;
    const DWORD wanted = static_cast<DWORD>(size.QuadPart);
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.bytes_.data(), wanted, &read, nullptr) || read != wanted)
        return std::nullopt;
    file.reset();
    for (DWORD i = 0; i < read; ++i) {
        const auto byte = static_cast<unsigned char>(text.bytes_[i]);
        if (byte < 1 || byte > 127) return std::nullopt;
    }
    text.length_ = read;
    return text;
}

std::optional<SurfaceSize> ReadSurfaceDataFile(const WideString& directory) noexcept {
    if (directory.empty() || !IsPlainDirectory(directory)) return std::nullopt;
    try {
        WideString base = directory;
        if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
        const std::optional<SmallAsciiText> marker = ReadSmallAsciiFile(base + L".ready.json");
        if (!marker || TrimTrailingSpace(marker->view()) != kReadyMarker) return std::nullopt;
        const std::optional<SmallAsciiText> data = ReadSmallAsciiFile(base + L"data.json");
        if (!data) return std::nullopt;
        return ParseSurfaceData(data->view());
    } catch (...) {  // the paths could not be built: no size, as for any unreadable file
        return std::nullopt;
    }
}

std::optional<SurfaceSize> ResolveSurfaceSize(const WideString& directory, const WideString& size) noexcept {
    // A valid size text wins, and then the files are not touched at all.
    if (std::optional<SurfaceSize> given = ParseSurfaceSize(size)) return given;
    return ReadSurfaceDataFile(directory);
}

}  // namespace tovrak
