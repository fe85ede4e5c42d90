#include "integrity/payload_file.h"

#include <algorithm>
#include <new>

#include "integrity/directory_pins.h"
#include "integrity/handle_attributes.h"
#include "integrity/verification_progress.h"

namespace tovrak {
namespace {

constexpr DWORD kNotPlainFileMask = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

// The hash of this file: the context's shared one, or one made for this file alone.
class FileHash {
  public:
    bool Begin(HashContext& context) noexcept {
        if (context.shared) {
            hash_ = context.sharedHash.get();
            return true;
        }
        ownBuffer_.reset(new (std::nothrow) std::uint8_t[context.objectLength]);
        if (!ownBuffer_ ||
            !BCRYPT_SUCCESS(bcrypt::BCryptCreateHash(context.algorithm, ownHash_.put(), ownBuffer_.get(),
                                                     context.objectLength, nullptr, 0, 0)))
            return false;
        hash_ = ownHash_.get();
        return true;
    }
    BCRYPT_HASH_HANDLE get() const noexcept { return hash_; }

  private:
    std::unique_ptr<std::uint8_t[]> ownBuffer_;  // declared first: the hash inside it goes first
    UniqueCngHash ownHash_;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

int VerifyPayloadFile(ManifestEntry* entry, const WideString& fullPath, HashContext& context) {
    const WideString longPath = WideString(kLongPathPrefix) + fullPath;
    UniqueFile file(::CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kTreeMismatch;
        // A directory cannot be opened as a file at all (access denied): it is no plain file, not an I/O
        // fault.
        if (error != ERROR_ACCESS_DENIED) return kVerificationIoFailure;
        const DWORD attributes = ::GetFileAttributesW(longPath.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? kTreeMismatch
                   : kVerificationIoFailure;
    }
    DWORD attributes = 0;
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !QueryHandleAttributes(file.get(), attributes) ||
        (attributes & kNotPlainFileMask) != 0) {
        return kTreeMismatch;
    }
    if (!entry) return kVerified;

    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return kVerificationIoFailure;
    if (static_cast<std::uint64_t>(size.QuadPart) != entry->size) return kContentMismatch;

    FileHash hash;
    if (!hash.Begin(context)) return kVerificationIoFailure;

    std::uint64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), context.readBuffer.get(), kHashReadBufferBytes, &read, nullptr))
            return kVerificationIoFailure;
        if (read == 0) break;
        total += read;
        // The size was checked before reading; a file that grows meanwhile is not the listed file.
        if (total > entry->size) return kContentMismatch;
        ReportProgress(read);
        if (!BCRYPT_SUCCESS(bcrypt::BCryptHashData(hash.get(), context.readBuffer.get(), read, 0)))
            return kVerificationIoFailure;
    }

    std::uint8_t digest[kSha256Bytes];
    if (!BCRYPT_SUCCESS(bcrypt::BCryptFinishHash(hash.get(), digest, sizeof(digest), 0)))
        return kVerificationIoFailure;
    if (total != entry->size || !std::equal(std::begin(digest), std::end(digest), entry->digest.begin()))
        return kContentMismatch;
    entry->verified = true;
    return kVerified;
}

}  // namespace tovrak
