#include "integrity/manifest.h"

namespace tovrak {
namespace {

constexpr std::size_t kDigestDigits = 64;
constexpr std::size_t kSizeOffset = 65;         // the size field starts after the digest and its bar
constexpr std::size_t kShortestEntryLine = 68;  // a one-digit size and a one-byte path

// Lowercase only: one file has one spelling of its digest.
int HexDigitValue(char digit) noexcept {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}

bool ParseDigest(std::string_view digits, std::array<std::uint8_t, 32>& digest) noexcept {
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexDigitValue(digits[2 * i]);
        const int low = HexDigitValue(digits[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

bool ParseSize(std::string_view digits, std::uint64_t& size) noexcept {
    constexpr std::uint64_t kMax = UINT64_MAX;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (kMax - digit) / 10) return false;
        value = value * 10 + digit;
    }
    size = value;
    return true;
}

bool ParseEntryLine(std::string_view line, PayloadManifest& manifest) {
    const std::size_t sizeEnd = line.find('|', kSizeOffset);
    if (line.size() < kShortestEntryLine || line[kDigestDigits] != '|' || sizeEnd == std::string_view::npos ||
        sizeEnd == kSizeOffset || manifest.Count() >= kManifestMaxEntries) {
        return false;
    }

    ManifestEntry entry;
    WideString key;
    if (!ParseDigest(line.substr(0, kDigestDigits), entry.digest) ||
        !ParseSize(line.substr(kSizeOffset, sizeEnd - kSizeOffset), entry.size) ||
        !ParseManifestPath(line.substr(sizeEnd + 1), key)) {
        return false;
    }
    return manifest.Insert(std::move(key), entry);
}

}  // namespace

bool CaseInsensitiveLess::operator()(const WideString& left, const WideString& right) const noexcept {
    return ::CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                                  static_cast<int>(right.size()), TRUE) == CSTR_LESS_THAN;
}

ManifestEntry* FindManifestEntry(PayloadManifest& manifest, const WideString& key) {
    const auto found = manifest.Entries().find(key);
    return found == manifest.Entries().end() ? nullptr : &found->second;
}

bool ParseManifest(std::string_view bytes, PayloadManifest& manifest) {
    bool headerSeen = false;
    std::size_t position = 0;
    for (;;) {
        const std::size_t lineFeed = bytes.find('\n', position);
        if (lineFeed == std::string_view::npos) return false;  // also unterminated trailing bytes
        std::string_view line = bytes.substr(position, lineFeed - position);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (!headerSeen) {
            if (line != kManifestHeader) return false;
            headerSeen = true;
        } else if (!ParseEntryLine(line, manifest)) {
            return false;
        }

        position = lineFeed + 1;
        if (position == bytes.size()) return manifest.Count() > 0;
    }
}

}  // namespace tovrak
