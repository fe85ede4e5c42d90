// Whole-payload verification: the tree on disk must be exactly the files the manifest lists.

#include <vector>

#include "common/export_guard.h"
#include "integrity/directory_pins.h"
#include "integrity/manifest.h"
#include "integrity/payload_file.h"
#include "integrity/verification_progress.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

struct PendingDirectory {
    WideString relativeDir;
    int depth;
};

// Clears the progress range however the walk ends, once it has begun.
class ProgressRangeScope {
  public:
    explicit ProgressRangeScope(std::uint64_t totalBytes) noexcept { ResetProgressBytes(totalBytes); }
    ProgressRangeScope(const ProgressRangeScope&) = delete;
    ProgressRangeScope& operator=(const ProgressRangeScope&) = delete;
    ~ProgressRangeScope() { ClearProgressRange(); }
};

class PayloadWalk {
  public:
    PayloadWalk(const WideString& root, PayloadManifest& manifest, HashContext& context, PinList& pins)
        : root_(root), manifest_(manifest), context_(context), pins_(pins) {}

    int Run() {
        stack_.push_back({WideString(), 0});
        while (!stack_.empty()) {
            PendingDirectory directory = std::move(stack_.back());
            stack_.pop_back();
            if (const int result = VisitDirectory(directory); result != kVerified) return result;
        }
        return verifiedCount_ == manifest_.Count() ? kVerified : kTreeMismatch;
    }

  private:
    int VisitDirectory(const PendingDirectory& directory) {
        const bool top = directory.relativeDir.empty();
        const WideString fullPath = top ? root_ : JoinPath(root_, directory.relativeDir);
        if (!top && !PinDirectory(fullPath, pins_)) return kTreeMismatch;

        WIN32_FIND_DATAW found;
        const WideString pattern = WideString(kLongPathPrefix) + JoinPath(fullPath, L"*");
        UniqueFind search(::FindFirstFileW(pattern.c_str(), &found));
        if (!search) return ::GetLastError() == ERROR_FILE_NOT_FOUND ? kVerified : kTreeMismatch;
        do {
            const std::wstring_view name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (const int result = VisitEntry(directory, name, found.dwFileAttributes); result != kVerified)
                return result;
        } while (::FindNextFileW(search.get(), &found));
        return ::GetLastError() == ERROR_NO_MORE_FILES ? kVerified : kTreeMismatch;
    }

    int VisitEntry(const PendingDirectory& directory, std::wstring_view name, DWORD attributes) {
        if (++entriesSeen_ > kPayloadMaxWalkEntries) return kTreeMismatch;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return kTreeMismatch;

        const bool top = directory.relativeDir.empty();
        WideString childRel = top ? WideString(name) : directory.relativeDir + L"\\" + WideString(name);
        const WideString childFull = JoinPath(root_, childRel);
        if (childFull.size() > kPayloadPathMaxUnits) return kTreeMismatch;

        const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool tolerated = top && IsToleratedTopLevelName(name);
        if (isDirectory) {
            if (tolerated || directory.depth + 1 > kPayloadMaxDirectoryDepth) return kTreeMismatch;
            stack_.push_back({std::move(childRel), directory.depth + 1});
            return kVerified;
        }

        ManifestEntry* entry = FindManifestEntry(manifest_, childRel);
        // An entry already verified means two names on disk fold to one key (a case-sensitive directory).
        if (entry && entry->verified) return kTreeMismatch;
        if (!entry && !tolerated) return kTreeMismatch;
        const int result = VerifyPayloadFile(entry, childFull, context_);
        if (result == kVerified && entry) ++verifiedCount_;
        return result;
    }

    const WideString& root_;
    PayloadManifest& manifest_;
    HashContext& context_;
    PinList& pins_;
    std::vector<PendingDirectory> stack_;
    std::uint32_t entriesSeen_ = 0;
    std::size_t verifiedCount_ = 0;
};

std::uint64_t SumOfSizes(const PayloadManifest& manifest) noexcept {
    std::uint64_t total = 0;
    // Saturates: a sum beyond 64 bits can only come from sizes no file will match anyway.
    for (const auto& [key, entry] : manifest.Entries())
        total = entry.size > UINT64_MAX - total ? UINT64_MAX : total + entry.size;
    return total;
}

int VerifyPayload(const wchar_t* payloadDirectory, const wchar_t* manifestPath) {
    std::string bytes;
    if (const int read = ReadManifestFile(manifestPath, bytes); read != kManifestRead) return read;
    PayloadManifest manifest;
    if (!ParseManifest(bytes, manifest)) return kManifestInvalid;
    bytes = std::string();  // the table holds everything from here on

    WideString root;
    if (!NormalizePayloadPath(payloadDirectory, root)) return kTreeMismatch;
    // Declared before the pins and the provider: released after them, in reverse order of acquisition.
    PinList pins;
    if (!PinDirectoryChain(root, pins)) return kTreeMismatch;
    Sha256Provider provider;
    if (!OpenSha256(provider)) return kVerificationIoFailure;
    HashContext context;
    if (!InitHashContext(context, provider.algorithm.get(), provider.objectLength, provider.reusable))
        return kVerificationIoFailure;

    const ProgressRangeScope progress(SumOfSizes(manifest));
    return PayloadWalk(root, manifest, context, pins).Run();
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL VerifyPayloadIntegrity(const wchar_t* payloadDirectory,
                                                      const wchar_t* manifestPath) noexcept {
    return tovrak::GuardExport<int32_t>(PayloadReadFailure, tovrak::VerifyPayload, payloadDirectory,
                                        manifestPath);
}
