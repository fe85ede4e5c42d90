// Writes the manifest of a payload directory: the header line, then one "digest|size|path" line per
// file in the verifier's key order, lowercase digests, LF line ends. Every file name goes through the
// library's own path rules, so a manifest this program writes is one the verifier accepts; a name or a
// tree the verifier would reject is refused with a message naming it.
//
//   manifest_writer [--verify] [--quiet] [--list-tolerated] <payload directory> <manifest file>
//
// Exit codes: 0 written, 1 usage, 2 refused (a name or tree the verifier would reject), 3 an
// input/output failure, 4 written but the verification afterwards did not pass.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "common/bcrypt_functions.h"
#include "common/ordinal_text.h"
#include "common/unique_handle.h"
#include "common/wide_string.h"
#include "integrity/directory_pins.h"
#include "integrity/handle_attributes.h"
#include "integrity/manifest.h"
#include "integrity/sha256.h"
#include "tovrak/renderer.h"

namespace {

using namespace tovrak;

enum ExitCode : int { kWritten = 0, kUsage = 1, kRefused = 2, kFailed = 3, kNotVerified = 4 };

constexpr DWORD kProgressDelayMs = 1000;  // runs shorter than this show no progress at all
constexpr DWORD kProgressPeriodMs = 250;

// Messages go to standard error: as UTF-16 to a console, as UTF-8 to anything else.
class Messages {
  public:
    explicit Messages(bool quiet) : quiet_(quiet), output_(::GetStdHandle(STD_ERROR_HANDLE)) {
        DWORD mode = 0;
        console_ = ::GetConsoleMode(output_, &mode) != 0;
    }

    void Line(const std::wstring& text) {
        EndProgress();
        Write(text + L"\n");
    }

    // Shown only once the run has lasted a while, and redrawn at most a few times a second.
    void Progress(const std::wstring& text) {
        if (quiet_) return;
        const ULONGLONG now = ::GetTickCount64();
        if (now - start_ < kProgressDelayMs || now - lastProgress_ < kProgressPeriodMs) return;
        lastProgress_ = now;
        Write(L"\r" + text + L"   ");
        progressShown_ = true;
    }

    void EndProgress() {
        if (progressShown_) Write(L"\n");
        progressShown_ = false;
    }

  private:
    void Write(const std::wstring& text) {
        DWORD written = 0;
        if (console_) {
            ::WriteConsoleW(output_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            return;
        }
        const int count = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<size_t>(count), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), count,
                              nullptr, nullptr);
        ::WriteFile(output_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    bool quiet_;
    HANDLE output_;
    bool console_ = false;
    bool progressShown_ = false;
    ULONGLONG start_ = ::GetTickCount64();
    ULONGLONG lastProgress_ = 0;
};

struct ListedFile {
    WideString shownPath;  // with "/" separators, as the manifest writes it
    std::string utf8Path;
    WideString fullPath;
    std::uint64_t size = 0;
};

using FileTable = std::map<WideString, ListedFile, CaseInsensitiveLess>;

struct Options {
    WideString payload;
    WideString manifest;
    bool verify = false;
    bool quiet = false;
    bool listTolerated = false;
};

std::wstring MiB(std::uint64_t bytes) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f MiB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

class PayloadLister {
  public:
    PayloadLister(const WideString& root, const Options& options, Messages& messages)
        : root_(root), options_(options), messages_(messages) {}

    // Lists every file below the root into `files`; kRefused or kFailed with a message on the first problem.
    int List(FileTable& files, std::uint64_t& totalBytes) {
        struct Pending {
            WideString relative;
            int depth;
        };
        std::vector<Pending> stack{{WideString(), 0}};
        std::uint32_t entries = 0;
        while (!stack.empty()) {
            const Pending directory = stack.back();
            stack.pop_back();
            const bool top = directory.relative.empty();
            const WideString full = top ? root_ : JoinPath(root_, directory.relative);
            WIN32_FIND_DATAW found;
            UniqueFind search(
                ::FindFirstFileW((WideString(kLongPathPrefix) + JoinPath(full, L"*")).c_str(), &found));
            if (!search) {
                if (::GetLastError() == ERROR_FILE_NOT_FOUND) continue;
                return Fail(kFailed, L"cannot list the directory \"" + Shown(directory.relative) + L"\"");
            }
            do {
                const std::wstring_view name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const WideString relative =
                    top ? WideString(name) : directory.relative + L"\\" + WideString(name);
                if (++entries > kPayloadMaxWalkEntries)
                    return Fail(kRefused, L"the payload holds more than 200001 files and directories");
                if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    return Fail(
                        kRefused,
                        L"\"" + Shown(relative) +
                            L"\" is a link, junction or mount point; the payload must be a plain tree");
                if (JoinPath(root_, relative).size() > kPayloadPathMaxUnits)
                    return Fail(kRefused, L"the full path of \"" + Shown(relative) +
                                              L"\" is longer than 32760 characters");

                const bool tolerated = top && IsToleratedTopLevelName(name);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (tolerated)
                        return Fail(kRefused,
                                    L"\"" + Shown(relative) + L"\" at the top of the payload must be a file");
                    if (directory.depth + 1 > kPayloadMaxDirectoryDepth)
                        return Fail(kRefused, L"the directory \"" + Shown(relative) +
                                                  L"\" lies more than 63 levels below the payload directory");
                    stack.push_back({relative, directory.depth + 1});
                    continue;
                }
                if (tolerated && !options_.listTolerated) {
                    messages_.Line(L"not listed: \"" + Shown(relative) +
                                   L"\" (the verifier tolerates it unlisted; --list-tolerated lists it)");
                    continue;
                }
                const std::uint64_t size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
                if (const int result = Add(relative, size, files); result != kWritten) return result;
                totalBytes += size;
            } while (::FindNextFileW(search.get(), &found));
            if (::GetLastError() != ERROR_NO_MORE_FILES)
                return Fail(kFailed,
                            L"cannot list the directory \"" + Shown(directory.relative) + L"\" completely");
        }
        if (files.empty())
            return Fail(kRefused, L"the payload directory holds no file; a manifest lists at least one");
        return kWritten;
    }

  private:
    static WideString Shown(const WideString& relative) {
        WideString shown = relative;
        for (wchar_t& unit : shown)
            if (unit == L'\\') unit = L'/';
        return shown;
    }

    int Add(const WideString& relative, std::uint64_t size, FileTable& files) {
        ListedFile file;
        file.shownPath = Shown(relative);
        file.fullPath = JoinPath(root_, relative);
        file.size = size;
        const int units = static_cast<int>(file.shownPath.size());
        const int bytes = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, file.shownPath.data(), units,
                                                nullptr, 0, nullptr, nullptr);
        file.utf8Path.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
        WideString key;
        if (bytes < 1 ||
            ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, file.shownPath.data(), units,
                                  file.utf8Path.data(), bytes, nullptr, nullptr) != bytes ||
            !ParseManifestPath(file.utf8Path, key)) {
            return Fail(kRefused,
                        L"\"" + file.shownPath +
                            L"\" cannot be listed: the verifier rejects this name (a device name such as "
                            L"CON or COM1, a name ending in a space or a full stop, a character such as "
                            L": * ? \" < > |, invalid Unicode, a name over 255 characters or more than 64 "
                            L"levels)");
        }
        if (files.size() >= kManifestMaxEntries)
            return Fail(kRefused, L"the payload holds more than 100000 files, the most a manifest can list");
        const auto [existing, inserted] = files.emplace(std::move(key), file);
        if (!inserted)
            return Fail(kRefused, L"\"" + file.shownPath + L"\" and \"" + existing->second.shownPath +
                                      L"\" differ only in letter case; the verifier treats them as one file");
        return kWritten;
    }

    int Fail(int code, const std::wstring& message) {
        messages_.Line((code == kRefused ? L"refused: " : L"error: ") + message);
        return code;
    }

    const WideString& root_;
    const Options& options_;
    Messages& messages_;
};

// Hashes each file, in key order, and appends its line to `manifest`.
int HashFiles(const FileTable& files, std::uint64_t totalBytes, std::string& manifest, Messages& messages) {
    Sha256Provider provider;
    std::vector<std::uint8_t> buffer(kHashReadBufferBytes);
    if (!OpenSha256(provider)) {
        messages.Line(L"error: SHA-256 is not available");
        return kFailed;
    }
    std::uint64_t doneBytes = 0;
    size_t doneFiles = 0;
    static const char kHex[] = "0123456789abcdef";
    for (const auto& [key, file] : files) {
        const auto fail = [&](const wchar_t* what) {
            messages.Line(L"error: " + std::wstring(what) + L" \"" + file.shownPath + L"\"");
            return kFailed;
        };
        UniqueFile handle(::CreateFileW((WideString(kLongPathPrefix) + file.fullPath).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!handle) return fail(L"cannot open");
        DWORD attributes = 0;
        if (!QueryHandleAttributes(handle.get(), attributes) ||
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            return fail(L"not a plain file:");
        UniqueCngHash hash;
        if (!BCRYPT_SUCCESS(
                bcrypt::BCryptCreateHash(provider.algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0)))
            return fail(L"cannot hash");
        std::uint64_t size = 0;
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
                return fail(L"cannot read");
            if (read == 0) break;
            if (!BCRYPT_SUCCESS(bcrypt::BCryptHashData(hash.get(), buffer.data(), read, 0)))
                return fail(L"cannot hash");
            size += read;
            doneBytes += read;
            messages.Progress(L"hashing " + std::to_wstring(doneFiles + 1) + L"/" +
                              std::to_wstring(files.size()) + L" files, " + MiB(doneBytes) + L" of " +
                              MiB(totalBytes));
        }
        std::uint8_t digest[kSha256Bytes];
        if (!BCRYPT_SUCCESS(bcrypt::BCryptFinishHash(hash.get(), digest, sizeof(digest), 0)))
            return fail(L"cannot hash");
        for (const std::uint8_t byte : digest) {
            manifest += kHex[byte >> 4];
            manifest += kHex[byte & 15];
        }
        manifest += '|' + std::to_string(size) + '|' + file.utf8Path + '\n';
        if (manifest.size() > kManifestMaxBytes) {
            messages.Line(L"refused: the manifest would be larger than 32 MiB, the most the verifier reads");
            return kRefused;
        }
        ++doneFiles;
    }
    messages.EndProgress();
    return kWritten;
}

// Written beside the target first and moved over it, so that a failed run leaves no half manifest.
int WriteManifest(const WideString& path, const std::string& bytes, Messages& messages) {
    const WideString partial = path + L".partial";
    {
        UniqueFile file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::FlushFileBuffers(file.get())) {
            file.reset();
            ::DeleteFileW(partial.c_str());
            messages.Line(L"error: cannot write \"" + partial + L"\"");
            return kFailed;
        }
    }
    if (!::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(partial.c_str());
        messages.Line(L"error: cannot replace \"" + path + L"\"");
        return kFailed;
    }
    return kWritten;
}

WideString FullPath(const WideString& path) {
    WideString full(kPayloadPathMaxUnits + 1, L'\0');
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length > kPayloadPathMaxUnits) return WideString();
    full.resize(length);
    return full;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    std::vector<WideString> positional;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        if (argument == L"--verify") {
            options.verify = true;
        } else if (argument == L"--quiet") {
            options.quiet = true;
        } else if (argument == L"--list-tolerated") {
            options.listTolerated = true;
        } else if (argument.starts_with(L"--")) {
            return false;
        } else {
            positional.emplace_back(argument);
        }
    }
    if (positional.size() != 2) return false;
    options.payload = positional[0];
    options.manifest = positional[1];
    return true;
}

// Pins the drive root of `root`, every directory below it on the way and `root` itself, as the
// verifier does. Each is also asked by name, which some platforms answer with a link's attribute where
// its handle does not. On refusal `refused` names the first directory that is not plain.
bool PlainDirectoryChain(const WideString& root, PinList& pins, WideString& refused) {
    // A drive's root is never a link, whatever a platform that makes its drives of links (Wine's
    // dosdevices) says of it by name; its handle is asked all the same when it is pinned.
    std::vector<WideString> chain;
    for (std::size_t i = 3; i < root.size(); ++i)
        if (root[i] == L'\\') chain.push_back(root.substr(0, i));
    if (root.size() > 3) chain.push_back(root);
    for (const WideString& directory : chain) {
        const DWORD attributes = ::GetFileAttributesW((WideString(kLongPathPrefix) + directory).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            refused = directory;
            return false;
        }
    }
    if (PinDirectoryChain(root, pins)) return true;
    refused = root;
    return false;
}

int Run(const Options& options) {
    Messages messages(options.quiet);
    WideString root;
    const WideString payload = FullPath(options.payload);
    if (payload.empty() || !NormalizePayloadPath(payload.c_str(), root)) {
        messages.Line(
            L"refused: \"" + options.payload +
            L"\" is not a directory path the verifier accepts (a drive letter path such as C:\\payload)");
        return kRefused;
    }
    // The verifier refuses a payload that it reaches through a link anywhere on its path; the
    // payload's directory and every directory above it are held for the listing, as they are held
    // for a verification.
    PinList pins;
    WideString linked;
    if (!PlainDirectoryChain(root, pins, linked)) {
        messages.Line(L"refused: \"" + linked + L"\" is not a plain directory");
        return kRefused;
    }
    const WideString manifest = FullPath(options.manifest);
    const WideString inside = JoinPath(root, L"");
    if (manifest.empty() || (manifest.size() > inside.size() &&
                             OrdinalEqualsIgnoringCase(manifest.substr(0, inside.size()), inside))) {
        messages.Line(L"refused: the manifest \"" + options.manifest +
                      L"\" must lie outside the payload directory, where it would be an unlisted file");
        return kRefused;
    }

    FileTable files;
    std::uint64_t totalBytes = 0;
    if (const int result = PayloadLister(root, options, messages).List(files, totalBytes); result != kWritten)
        return result;
    std::string bytes = std::string(kManifestHeader) + "\n";
    if (const int result = HashFiles(files, totalBytes, bytes, messages); result != kWritten) return result;

    // The verifier's own parser has the last word on what was produced.
    PayloadManifest check;
    if (!ParseManifest(bytes, check) || check.Count() != files.size()) {
        messages.Line(L"error: the manifest produced does not parse; nothing was written");
        return kFailed;
    }
    if (const int result = WriteManifest(manifest, bytes, messages); result != kWritten) return result;
    messages.Line(L"wrote " + manifest + L": " + std::to_wstring(files.size()) + L" files, " +
                  MiB(totalBytes));

    if (options.verify) {
        const int verified = VerifyPayloadIntegrity(root.c_str(), manifest.c_str());
        messages.Line(verified == PayloadVerified
                          ? L"verified: the payload matches the manifest"
                          : L"verification failed with code " + std::to_wstring(verified));
        if (verified != PayloadVerified) return kNotVerified;
    }
    return kWritten;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Messages(false).Line(
            L"usage: manifest_writer [--verify] [--quiet] [--list-tolerated] <payload directory> <manifest "
            L"file>");
        return kUsage;
    }
    try {
        return Run(options);
    } catch (const std::bad_alloc&) {
        Messages(false).Line(L"error: out of memory");
        return kFailed;
    }
}
