#include "integrity/sha256.h"

#include <new>

namespace tovrak {

bool OpenSha256(Sha256Provider& provider) noexcept {
    provider = Sha256Provider{};
    // A reusable provider lets one hash object serve every file; older systems only open it plainly.
    provider.reusable = BCRYPT_SUCCESS(bcrypt::BCryptOpenAlgorithmProvider(
        provider.algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_HASH_REUSABLE_FLAG));
    if (!provider.reusable && !BCRYPT_SUCCESS(bcrypt::BCryptOpenAlgorithmProvider(
                                  provider.algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return false;

    DWORD objectLength = 0;
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(bcrypt::BCryptGetProperty(provider.algorithm.get(), BCRYPT_OBJECT_LENGTH,
                                                  reinterpret_cast<PUCHAR>(&objectLength),
                                                  sizeof(objectLength), &written, 0)) ||
        written != sizeof(objectLength) || objectLength < 1 || objectLength > kMaxHashObjectBytes) {
        provider.algorithm.reset();
        return false;
    }
    provider.objectLength = objectLength;
    return true;
}

bool InitHashContext(HashContext& context, BCRYPT_ALG_HANDLE algorithm, DWORD objectLength,
                     bool reusable) noexcept {
    ReleaseHashContext(context);
    context.algorithm = algorithm;
    context.objectLength = objectLength;
    context.readBuffer.reset(new (std::nothrow) std::uint8_t[kHashReadBufferBytes]);
    if (!context.readBuffer) return false;
    if (!reusable) return true;

    context.objectBuffer.reset(new (std::nothrow) std::uint8_t[objectLength]);
    if (!context.objectBuffer) return true;
    for (const ULONG flags : {static_cast<ULONG>(BCRYPT_HASH_REUSABLE_FLAG), 0UL}) {
        if (BCRYPT_SUCCESS(bcrypt::BCryptCreateHash(algorithm, context.sharedHash.put(),
                                                    context.objectBuffer.get(), objectLength, nullptr, 0,
                                                    flags)))
            break;
    }
    context.shared = static_cast<bool>(context.sharedHash);
    if (!context.shared) context.objectBuffer.reset();
    return true;
}

void ReleaseHashContext(HashContext& context) noexcept {
    context.readBuffer.reset();
    context.sharedHash.reset();
    context.objectBuffer.reset();
    context.shared = false;
}

}  // namespace tovrak
