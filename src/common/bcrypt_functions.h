#pragma once
// The CNG primitives the library hashes with, loaded from the system at first use (bcrypt is no
// KnownDLL). As the platform's functions; without bcrypt each returns STATUS_ENTRYPOINT_NOT_FOUND, which
// BCRYPT_SUCCESS reads as a failure like any other.

#include <windows.h>
#include <bcrypt.h>

namespace tovrak::bcrypt {

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR algorithmId,
                                     LPCWSTR implementation, ULONG flags) noexcept;
NTSTATUS BCryptGetProperty(BCRYPT_HANDLE object, LPCWSTR property, PUCHAR output, ULONG outputBytes,
                           ULONG* written, ULONG flags) noexcept;
NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags) noexcept;
NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR hashObject,
                          ULONG hashObjectBytes, PUCHAR secret, ULONG secretBytes, ULONG flags) noexcept;
NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG inputBytes, ULONG flags) noexcept;
NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG outputBytes, ULONG flags) noexcept;
NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash) noexcept;

}  // namespace tovrak::bcrypt
