// One file checked against its manifest entry, without walking the rest of the payload.

#include "common/export_guard.h"
#include "integrity/directory_pins.h"
#include "integrity/manifest.h"
#include "integrity/payload_file.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

// The caller's relative path as the manifest spells it ("/" separators), converted to its key.
bool RelativePathKey(const wchar_t* relativePath, WideString& key) {
    if (!relativePath) return false;
    const std::wstring_view path(relativePath);
    if (path.empty() || path.size() > kManifestPathMaxUnits) return false;
    const int units = static_cast<int>(path.size());
    // WC_ERR_INVALID_CHARS refuses an unpaired surrogate instead of substituting a replacement character.
    const int bytes = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), units, nullptr, 0,
                                            nullptr, nullptr);
    if (bytes < 1) return false;
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    if (::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), units, utf8.data(), bytes, nullptr,
                              nullptr) != bytes)
        return false;
    return ParseManifestPath(utf8, key);
}

int VerifyOneFile(const wchar_t* filePath, const wchar_t* manifestPath, const wchar_t* relativePath) {
    std::string bytes;
    if (const int read = ReadManifestFile(manifestPath, bytes); read != kManifestRead) return read;
    PayloadManifest manifest;
    if (!ParseManifest(bytes, manifest)) return kManifestInvalid;
    bytes = std::string();

    WideString key;
    if (!RelativePathKey(relativePath, key)) return kManifestInvalid;
    ManifestEntry* entry = FindManifestEntry(manifest, key);
    if (!entry) return kManifestInvalid;

    WideString normalized;
    if (!NormalizePayloadPath(filePath, normalized)) return kTreeMismatch;
    const std::size_t lastBackslash = normalized.rfind(L'\\');
    if (lastBackslash == WideString::npos || normalized.size() < 4) return kTreeMismatch;
    // The backslash at position 2 is the drive root's own: the file lies directly in the root.
    const WideString parent = normalized.substr(0, lastBackslash == 2 ? 3 : lastBackslash);

    PinList pins;
    if (!PinDirectoryChain(parent, pins)) return kTreeMismatch;
    Sha256Provider provider;
    if (!OpenSha256(provider)) return kVerificationIoFailure;
    HashContext context;
    if (!InitHashContext(context, provider.algorithm.get(), provider.objectLength, provider.reusable))
        return kVerificationIoFailure;
    return VerifyPayloadFile(entry, normalized, context);
}

}  // namespace
}  // namespace tovrak

extern "C" int32_t TOVRAK_CALL VerifyPayloadFileIntegrity(const wchar_t* filePath,
                                                          const wchar_t* manifestPath,
                                                          const wchar_t* relativePath) noexcept {
    return tovrak::GuardExport<int32_t>(PayloadReadFailure, tovrak::VerifyOneFile, filePath, manifestPath,
                                        relativePath);
}
