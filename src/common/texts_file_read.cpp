#include <windows.h>

#include <string>

#include "common/last_error.h"
#include "common/texts_file.h"
#include "common/unique_handle.h"

namespace tovrak {

ReadTextsFileResult ReadTextsFile(const WideString& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return TextsFileUnreadable{LastErrorOr(ERROR_OPEN_FAILED)};
    // A pipe, a console or a device has no size to refuse it by, and reading one might never end.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return TextsFileProblem{0, L"not a file on a disk (a device or a pipe)"};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return TextsFileUnreadable{LastErrorOr(ERROR_READ_FAULT)};
    if (size.QuadPart > static_cast<LONGLONG>(kTextsFileMostBytes))
        return TextsFileProblem{0, L"the file is larger than 1 MiB"};

    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return TextsFileUnreadable{LastErrorOr(ERROR_READ_FAULT)};
    // Shorter when another writer cut the file meanwhile: what it holds now is what counts.
    bytes.resize(read);
    file.reset();
    ParsedTextsFile parsed = ParseTextsFile(bytes);
    if (auto* problem = std::get_if<TextsFileProblem>(&parsed)) return std::move(*problem);
    return std::get<TextsFile>(std::move(parsed));
}

}  // namespace tovrak
