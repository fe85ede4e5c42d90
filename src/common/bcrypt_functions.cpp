#include "common/bcrypt_functions.h"

#include "common/system_library.h"

namespace tovrak::bcrypt {
namespace {

constexpr NTSTATUS kNotLoaded = static_cast<NTSTATUS>(0xC0000139L);  // STATUS_ENTRYPOINT_NOT_FOUND

constinit SystemLibrary library(L"bcrypt.dll");
constinit SystemFunction<decltype(&::BCryptOpenAlgorithmProvider)> openAlgorithmProvider(
    library, "BCryptOpenAlgorithmProvider");
constinit SystemFunction<decltype(&::BCryptGetProperty)> getProperty(library, "BCryptGetProperty");
constinit SystemFunction<decltype(&::BCryptCloseAlgorithmProvider)> closeAlgorithmProvider(
    library, "BCryptCloseAlgorithmProvider");
constinit SystemFunction<decltype(&::BCryptCreateHash)> createHash(library, "BCryptCreateHash");
constinit SystemFunction<decltype(&::BCryptHashData)> hashData(library, "BCryptHashData");
constinit SystemFunction<decltype(&::BCryptFinishHash)> finishHash(library, "BCryptFinishHash");
constinit SystemFunction<decltype(&::BCryptDestroyHash)> destroyHash(library, "BCryptDestroyHash");

}  // namespace

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR algorithmId,
                                     LPCWSTR implementation, ULONG flags) noexcept {
    if (const auto function = openAlgorithmProvider.get())
        return function(algorithm, algorithmId, implementation, flags);
    return kNotLoaded;
}

NTSTATUS BCryptGetProperty(BCRYPT_HANDLE object, LPCWSTR property, PUCHAR output, ULONG outputBytes,
                           ULONG* written, ULONG flags) noexcept {
    if (const auto function = getProperty.get())
        return function(object, property, output, outputBytes, written, flags);
    return kNotLoaded;
}

NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags) noexcept {
    if (const auto function = closeAlgorithmProvider.get()) return function(algorithm, flags);
    return kNotLoaded;
}

NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR hashObject,
                          ULONG hashObjectBytes, PUCHAR secret, ULONG secretBytes, ULONG flags) noexcept {
    if (const auto function = createHash.get())
        return function(algorithm, hash, hashObject, hashObjectBytes, secret, secretBytes, flags);
    return kNotLoaded;
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG inputBytes, ULONG flags) noexcept {
    if (const auto function = hashData.get()) return function(hash, input, inputBytes, flags);
    return kNotLoaded;
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG outputBytes, ULONG flags) noexcept {
    if (const auto function = finishHash.get()) return function(hash, output, outputBytes, flags);
    return kNotLoaded;
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash) noexcept {
    if (const auto function = destroyHash.get()) return function(hash);
    return kNotLoaded;
}

}  // namespace tovrak::bcrypt
