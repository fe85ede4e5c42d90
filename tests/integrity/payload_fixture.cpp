#include "integrity/payload_fixture.h"

#include <bcrypt.h>

#include <gtest/gtest.h>

#include "tovrak/renderer.h"

namespace tovrak::test {

std::string Sha256Hex(std::string_view bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    unsigned char digest[32] = {};
    if (BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        ::BCryptHash(algorithm, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                     static_cast<ULONG>(bytes.size()), digest, sizeof(digest));
        ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

std::string ManifestLine(std::string_view content, std::string_view path, std::string_view lineEnd) {
    return Sha256Hex(content) + "|" + std::to_string(content.size()) + "|" + std::string(path) +
           std::string(lineEnd);
}

std::string Utf8(std::wstring_view text) {
    const int count = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                            0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(count), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), count,
                          nullptr, nullptr);
    return bytes;
}

std::wstring Wide(std::string_view utf8) {
    const int count =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), count);
    return text;
}

Payload::Payload() : directory_(temp_.Join(L"payload")), manifest_(temp_.Join(L"manifest.txt")) {
    ::CreateDirectoryW(directory_.c_str(), nullptr);
}

std::wstring Payload::FullPath(const std::string& path) const {
    std::wstring full = directory_ + L"\\" + Wide(path);
    for (wchar_t& unit : full)
        if (unit == L'/') unit = L'\\';
    return full;
}

void Payload::AddUnlisted(const std::string& path, std::string_view content) {
    const std::wstring full = FullPath(path);
    const size_t slash = full.find_last_of(L'\\');
    CreateDirectories(full.substr(0, slash));
    ASSERT_TRUE(WriteBytes(full, content)) << path;
}

void Payload::Add(const std::string& path, std::string_view content) {
    AddUnlisted(path, content);
    lines_ += ManifestLine(content, path);
}

void Payload::AddDirectory(const std::string& path) {
    ASSERT_TRUE(CreateDirectories(FullPath(path))) << path;
}

void Payload::WriteManifest() {
    WriteManifest("AID_PAYLOAD_SHA256\n" + lines_);
}

void Payload::WriteManifest(std::string_view text) {
    ASSERT_TRUE(WriteBytes(manifest_, text));
}

int Payload::Verify() const {
    return VerifyPayloadIntegrity(directory_.c_str(), manifest_.c_str());
}

}  // namespace tovrak::test
