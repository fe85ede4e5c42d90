// Feeds the manifest parser a million (or argv[1]) deterministically mutated manifests and checks that
// every one gets a verdict without a crash, that every accepted table survives a round trip through
// its own text, and that nothing leaks: kernel handles and private memory are compared before and after,
// and every 1000th input also goes through VerifyPayloadFileIntegrity as a file on disk.
//
//   bench_manifest_fuzz.exe [iterations] [seed]
//
// Exit code 0 when every check held.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "integrity/manifest.h"
#include "integrity/resource_census.h"
#include "support/environment.h"
#include "tovrak/renderer.h"

namespace {

using tovrak::ManifestEntry;
using tovrak::PayloadManifest;
using tovrak::WideString;

class Random {  // splitmix64: the same inputs on every run for a given seed
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t bound) { return bound ? static_cast<size_t>(Next() % bound) : 0; }

  private:
    std::uint64_t state_;
};

const std::string kDigest = "ed7002b439e9ac845f22357d822bac1444730fbdb6016d3ec9432297b9ec9f73";

std::vector<std::string> Seeds() {
    const std::string header = "AID_PAYLOAD_SHA256\n";
    std::string many = header;
    for (int i = 0; i < 40; ++i)
        many += kDigest + "|" + std::to_string(i * 977) + "|dir" + std::to_string(i % 7) + "/f" +
                std::to_string(i) + ".bin\n";
    return {
        header + kDigest + "|7|a.txt\n",
        header + kDigest + "|0|bin/app.exe\n" + kDigest + "|00012|bin/lib/core.dll\n" + kDigest +
            "|18446744073709551615|z\n",
        "AID_PAYLOAD_SHA256\r\n" + kDigest + "|12|console.txt\r\n" + kDigest + "|3|com10/lpt0\r\n",
        header + kDigest + "|5|\xE6\x95\xB0\xE6\x8D\xAE/\xF0\x9F\x93\xA6.bin\n" + kDigest +
            "|1| leading/trailing.x\n",
        header + kDigest + "|9|a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p.q\n" + kDigest + "|9|.aid-prepared-receipt\n",
        many,
    };
}

// Fragments that sit on the parser's decision points.
const std::string kFragments[] = {
    "\n",
    "\r\n",
    "\r",
    "|",
    "/",
    "\\",
    ".",
    "..",
    " ",
    ":",
    "*",
    "?",
    "\"",
    "<",
    ">",
    "\t",
    std::string(1, '\0'),
    "CON",
    "con.txt",
    "aux",
    "NUL.",
    "COM1",
    "lpt9",
    "COM\xC2\xB9",
    "LPT\xC2\xB3",
    "com0",
    "\xC0\xAF",
    "\xE0\x80\xAF",
    "\xED\xA0\x80",
    "\xF4\x90\x80\x80",
    "\xF0\x9F\x93\xA6",
    "\xE6\x95",
    "\x80",
    "\xEF\xBB\xBF",
    "0",
    "9",
    "+",
    "-",
    "18446744073709551615",
    "18446744073709551616",
    "99999999999999999999",
    "A",
    "F",
    "g",
    "AID_PAYLOAD_SHA256\n",
};

void Mutate(std::string& bytes, Random& random, const std::vector<std::string>& seeds) {
    const size_t steps = 1 + random.Below(4);
    for (size_t step = 0; step < steps; ++step) {
        const size_t at = random.Below(bytes.size() + 1);
        switch (random.Below(10)) {
            case 0:  // flip a bit
                if (!bytes.empty())
                    bytes[random.Below(bytes.size())] ^= static_cast<char>(1 << random.Below(8));
                break;
            case 1:  // a random byte
                if (!bytes.empty()) bytes[random.Below(bytes.size())] = static_cast<char>(random.Below(256));
                break;
            case 2:
            case 3: {  // a fragment inserted or written over
                const std::string& fragment = kFragments[random.Below(std::size(kFragments))];
                if (random.Below(2))
                    bytes.insert(at, fragment);
                else
                    bytes.replace(at, std::min(fragment.size(), bytes.size() - at), fragment);
                break;
            }
            case 4:  // a range deleted
                bytes.erase(at, random.Below(16) + 1);
                break;
            case 5:  // truncated
                bytes.resize(at);
                break;
            case 6: {  // a line repeated (duplicates, in another letter case half of the time)
                const size_t start = bytes.rfind('\n', at ? at - 1 : 0);
                const size_t begin = start == std::string::npos ? 0 : start + 1;
                const size_t end = bytes.find('\n', begin);
                if (end == std::string::npos) break;
                std::string line = bytes.substr(begin, end - begin + 1);
                if (random.Below(2))
                    for (char& c : line)
                        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                bytes.insert(random.Below(2) ? end + 1 : bytes.size(), line);
                break;
            }
            case 7: {  // the tail of another seed spliced in
                const std::string& other = seeds[random.Below(seeds.size())];
                bytes = bytes.substr(0, at) + other.substr(random.Below(other.size()));
                break;
            }
            case 8:  // a long component or a long size field
                bytes.insert(at, std::string(random.Below(2) ? 250 + random.Below(10) : 20,
                                             random.Below(2) ? 'a' : '7'));
                break;
            default:  // letter case of one byte
                if (!bytes.empty()) {
                    char& c = bytes[random.Below(bytes.size())];
                    if (c >= 'a' && c <= 'z')
                        c = static_cast<char>(c - 32);
                    else if (c >= 'A' && c <= 'Z')
                        c = static_cast<char>(c + 32);
                }
        }
    }
}

std::string Utf8Path(const WideString& key) {
    WideString path = key;
    for (wchar_t& unit : path)
        if (unit == L'\\') unit = L'/';
    const int count = ::WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr,
                                            0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(count), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), bytes.data(), count,
                          nullptr, nullptr);
    return bytes;
}

// An accepted table written out again must parse to the same table.
bool RoundTrips(const PayloadManifest& manifest) {
    static const char kHex[] = "0123456789abcdef";
    std::string text = "AID_PAYLOAD_SHA256\n";
    for (const auto& [key, entry] : manifest.Entries()) {
        for (const std::uint8_t byte : entry.digest) {
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        }
        text += '|';
        text += std::to_string(entry.size);
        text += '|';
        text += Utf8Path(key);
        text += '\n';
    }
    PayloadManifest again;
    if (!tovrak::ParseManifest(text, again) || again.Count() != manifest.Count()) return false;
    auto left = manifest.Entries().begin();
    for (const auto& [key, entry] : again.Entries()) {
        if (key != left->first || entry.size != left->second.size || entry.digest != left->second.digest)
            return false;
        ++left;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const unsigned long iterations = argc > 1 ? std::wcstoul(argv[1], nullptr, 10) : 1000000;
    Random random(argc > 2 ? std::wcstoull(argv[2], nullptr, 10) : 20240601);
    const std::vector<std::string> seeds = Seeds();

    tovrak::test::TempDirectory temp;
    const std::wstring manifestPath = temp.Join(L"fuzz.manifest");
    const std::wstring filePath = temp.Join(L"a.txt");
    tovrak::test::WriteBytes(filePath, "content");

    unsigned long accepted = 0, rejected = 0, failures = 0, onDisk = 0;
    // The unmutated first seed lists a.txt as it is on disk, so the path through the export is live.
    tovrak::test::WriteBytes(manifestPath, seeds[0]);
    if (VerifyPayloadFileIntegrity(filePath.c_str(), manifestPath.c_str(), L"a.txt") != 0) {
        std::printf("the unmutated seed does not verify\n");
        return 1;
    }
    unsigned long results[5] = {};
    DWORD handlesBefore = 0;
    std::size_t memoryBefore = 0;
    const ULONGLONG start = ::GetTickCount64();
    for (unsigned long i = 0; i < iterations; ++i) {
        std::string bytes = seeds[random.Below(seeds.size())];
        Mutate(bytes, random, seeds);
        PayloadManifest manifest;
        if (tovrak::ParseManifest(bytes, manifest)) {
            ++accepted;
            if (manifest.Count() < 1 || manifest.Count() > tovrak::kManifestMaxEntries ||
                !RoundTrips(manifest)) {
                ++failures;
                std::printf("input %lu: an accepted table does not round-trip\n", i);
            }
        } else {
            ++rejected;
        }
        if (i % 1000 == 0) {
            tovrak::test::WriteBytes(manifestPath, bytes);
            const int result = VerifyPayloadFileIntegrity(filePath.c_str(), manifestPath.c_str(), L"a.txt");
            if (result < 0 || result > 4) {
                ++failures;
                std::printf("input %lu: VerifyPayloadFileIntegrity returned %d\n", i, result);
            } else {
                ++results[result];
            }
            ++onDisk;
        }
        if (i == std::min<unsigned long>(iterations - 1, 10000)) {  // measured once everything is warm
            handlesBefore = tovrak::test::OpenHandleCount();
            memoryBefore = tovrak::test::HeapBytesInUse();
        }
    }
    const double seconds = (::GetTickCount64() - start) / 1000.0;
    const DWORD handlesAfter = tovrak::test::OpenHandleCount();
    const std::size_t memoryAfter = tovrak::test::HeapBytesInUse();

    std::printf("%lu mutated manifests in %.1f s (%.0f per second): %lu accepted, %lu rejected\n", iterations,
                seconds, iterations / seconds, accepted, rejected);
    std::printf("%lu also verified from disk: results 0:%lu 1:%lu 2:%lu 3:%lu 4:%lu\n", onDisk, results[0],
                results[1], results[2], results[3], results[4]);
    std::printf("handles %lu -> %lu, heap in use %.1f -> %.1f KiB\n", handlesBefore, handlesAfter,
                memoryBefore / 1024.0, memoryAfter / 1024.0);
    const bool leaked =
        handlesBefore == 0 || handlesAfter > handlesBefore || memoryAfter > memoryBefore + 4096;
    if (leaked) std::printf("LEAK: handles or memory grew\n");
    std::printf("%s\n", failures == 0 && !leaked ? "every input got a verdict; no failure" : "FAILED");
    return failures == 0 && !leaked ? 0 : 1;
}
