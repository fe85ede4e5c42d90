#pragma once
// SHA-256 through CNG: the provider, the hash objects, and the hashing state shared by the file checks
// of one verification.

#include <windows.h>

#include <cstdint>
#include <memory>

#include "common/bcrypt_functions.h"
#include "common/unique_handle.h"

namespace tovrak {

struct CngAlgorithmTraits {
    using pointer = BCRYPT_ALG_HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { bcrypt::BCryptCloseAlgorithmProvider(h, 0); }
};

struct CngHashTraits {
    using pointer = BCRYPT_HASH_HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { bcrypt::BCryptDestroyHash(h); }
};

using UniqueCngAlgorithm = UniqueHandle<CngAlgorithmTraits>;
using UniqueCngHash = UniqueHandle<CngHashTraits>;

constexpr DWORD kHashReadBufferBytes = 524288;  // one sequential read: 512 KiB
constexpr DWORD kMaxHashObjectBytes = 65536;
constexpr std::size_t kSha256Bytes = 32;

struct Sha256Provider {
    UniqueCngAlgorithm algorithm;
    DWORD objectLength = 0;
    bool reusable = false;  // hash objects can be finished and used again
};

struct HashContext {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    DWORD objectLength = 0;
    bool shared = false;
    // The shared hash lives inside objectBuffer, so it is declared after it and destroyed first.
    std::unique_ptr<std::uint8_t[]> objectBuffer;
    UniqueCngHash sharedHash;
    std::unique_ptr<std::uint8_t[]> readBuffer;
};

bool OpenSha256(Sha256Provider& provider) noexcept;
// False only when the read buffer cannot be allocated; a missing shared hash is not a failure (each file
// then gets a hash object of its own).
bool InitHashContext(HashContext& context, BCRYPT_ALG_HANDLE algorithm, DWORD objectLength,
                     bool reusable) noexcept;
void ReleaseHashContext(HashContext& context) noexcept;

}  // namespace tovrak
