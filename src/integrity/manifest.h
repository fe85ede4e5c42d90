#pragma once
// The payload manifest: a header line "AID_PAYLOAD_SHA256" and one "digest|size|path" line per file.
// In memory it is a map from the file's key (its relative path with backslashes) to its entry, in which
// keys that differ only in letter case are the same key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "common/wide_string.h"
#include "tovrak/renderer.h"

namespace tovrak {

constexpr std::size_t kManifestMaxBytes = 33554432;  // 32 MiB
constexpr std::size_t kManifestMaxEntries = 100000;
constexpr std::string_view kManifestHeader = "AID_PAYLOAD_SHA256";

constexpr std::size_t kManifestPathMaxBytes = 131040;
constexpr std::size_t kManifestPathMaxUnits = 32760;
constexpr std::size_t kManifestComponentMaxUnits = 255;
constexpr std::size_t kManifestMaxComponents = 64;

// Limits of the tree on disk, which the manifest writer enforces as well so that it never writes a
// manifest whose payload the verifier rejects.
constexpr std::uint32_t kPayloadMaxWalkEntries = 200001;  // files and directories below the payload
constexpr int kPayloadMaxDirectoryDepth = 63;             // directory levels below the payload

struct ManifestEntry {
    std::array<std::uint8_t, 32> digest{};
    std::uint64_t size = 0;
    bool verified = false;
};

// Orders keys the way the file system folds letter case (CompareStringOrdinal, ignoring case).
struct CaseInsensitiveLess {
    bool operator()(const WideString& left, const WideString& right) const noexcept;
};

class PayloadManifest {
  public:
    using Map = std::map<WideString, ManifestEntry, CaseInsensitiveLess>;

    // False when the key is already present in any letter case; the table is then unchanged.
    bool Insert(WideString key, const ManifestEntry& entry) {
        return entries_.emplace(std::move(key), entry).second;
    }
    std::size_t Count() const noexcept { return entries_.size(); }
    const Map& Entries() const noexcept { return entries_; }
    Map& Entries() noexcept { return entries_; }

  private:
    Map entries_;
};

// Result codes of ReadManifestFile.
// They are verification results too, so that a failed read is returned as it is.
enum ManifestReadResult : int {
    kManifestRead = PayloadVerified,
    kManifestUnusable =
        PayloadManifestUnusable,  // no path, cannot be opened, not a plain disk file, empty or too large
    kManifestReadFailed = PayloadReadFailure,
};

// Reads the whole manifest file into `bytes`. A link is opened as itself and rejected.
int ReadManifestFile(const wchar_t* path, std::string& bytes);

// Parses the whole manifest; false on the first violation of the format (`manifest` is then partial).
bool ParseManifest(std::string_view bytes, PayloadManifest& manifest);

// Checks one relative path written with "/" separators and gives its key (the same path with "\").
bool ParseManifestPath(std::string_view utf8Path, WideString& key);

// Files the installer may leave at the top of a payload without listing them; never read unless listed.
bool IsToleratedTopLevelName(std::wstring_view name) noexcept;

// The entry of `key` in any letter case, or null.
ManifestEntry* FindManifestEntry(PayloadManifest& manifest, const WideString& key);

}  // namespace tovrak
