#pragma once
// Payload directories and manifests built on disk for the verification tests.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/environment.h"

namespace tovrak::test {

// The SHA-256 of `bytes` as 64 lowercase hexadecimal digits, computed with CNG directly.
std::string Sha256Hex(std::string_view bytes);

// One manifest line: "digest|size|path" followed by `lineEnd`.
std::string ManifestLine(std::string_view content, std::string_view path, std::string_view lineEnd = "\n");

// UTF-16 to UTF-8 and back, for paths in tests.
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);

// A payload directory ("payload") and its manifest ("manifest.txt") inside a fresh temporary folder.
class Payload {
  public:
    Payload();
    // Writes `content` to `path` (written with "/" separators) below the payload and lists it.
    void Add(const std::string& path, std::string_view content);
    // Writes a file below the payload without listing it.
    void AddUnlisted(const std::string& path, std::string_view content);
    void AddDirectory(const std::string& path);
    // Writes the manifest of everything listed so far (or `text` exactly when given).
    void WriteManifest();
    void WriteManifest(std::string_view text);

    std::wstring FullPath(const std::string& path) const;  // path below the payload, in Windows form
    const std::wstring& directory() const { return directory_; }
    const std::wstring& manifest() const { return manifest_; }
    const TempDirectory& temp() const { return temp_; }
    int Verify() const;

  private:
    TempDirectory temp_;
    std::wstring directory_;
    std::wstring manifest_;
    std::string lines_;
};

}  // namespace tovrak::test
