// What payload verification costs beside the platform's floor: a loop in this process that only opens,
// reads in 512 KiB chunks, hashes with CNG and closes the same files, in the same order, without listing
// a directory or looking anything up. Two payloads: (a) one file of 512 MiB, (b) 10000 files of 4 KiB in
// 100 directories. Goals: (a) at least 0.95x the floor's throughput, (b) within 1.3x of its time.
// Also the time to read and parse a manifest of 100000 entries.
//
//   bench_payload_verify.exe [--dir <prepared directory>] [--small-only]
//                            [--sha256sum-large <seconds>] [--sha256sum-small <seconds>]
//
// scripts/bench_payload.sh prepares the files natively, times `sha256sum -c` on them and passes the
// figures in, so that the peer a user would pick is printed beside the library and the floor. Without
// --dir the payloads are written to a temporary folder first.

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "integrity/manifest.h"
#include "support/environment.h"
#include "tovrak/renderer.h"

namespace {

using tovrak::test::TempDirectory;

constexpr DWORD kChunk = 524288;
constexpr int kRounds = 3;
constexpr unsigned long long kLargeBytes = 512ull << 20;
constexpr int kSmallDirectories = 100;
constexpr int kSmallFilesPerDirectory = 100;
constexpr DWORD kSmallBytes = 4096;

double Now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Payload {
    std::wstring directory;
    std::wstring manifest;
    std::vector<std::wstring> files{};  // full paths, in the order the verifier reads them
    unsigned long long bytes = 0;
};

std::string Hex(const unsigned char* digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < 32; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

// The floor: open, read in 512 KiB chunks, hash, close; nothing else. Returns false on any failure.
bool FloorPass(const std::vector<std::wstring>& files, BCRYPT_HASH_HANDLE hash,
               std::vector<unsigned char>& buffer, std::string* digests = nullptr) {
    unsigned char digest[32];
    for (const std::wstring& path : files) {
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD read = 0;
        bool ok = true;
        while ((ok = ::ReadFile(file, buffer.data(), kChunk, &read, nullptr)) && read > 0)
            ::BCryptHashData(hash, buffer.data(), read, 0);
        ::CloseHandle(file);
        if (!ok || !BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof(digest), 0))) return false;
        if (digests) *digests += Hex(digest);
    }
    return true;
}

std::string Utf8(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t unit : text)
        bytes += static_cast<char>(unit);  // the bench's names are ASCII
    return bytes;
}

// Files that do not exist yet are written with a fixed pattern; the manifest is written from a floor
// pass over them (so preparation also warms the cache).
bool Prepare(Payload& payload, const std::vector<std::wstring>& relative, unsigned long long fileBytes,
             BCRYPT_HASH_HANDLE hash, std::vector<unsigned char>& buffer) {
    for (const std::wstring& name : relative) {
        const std::wstring full = payload.directory + L"\\" + name;
        payload.files.push_back(L"\\\\?\\" + full);
        payload.bytes += fileBytes;
        if (::GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        tovrak::test::CreateDirectories(full.substr(0, full.find_last_of(L'\\')));
        HANDLE file = ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        for (size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = static_cast<unsigned char>(i * 131 + name.size());
        for (unsigned long long written = 0; written < fileBytes;) {
            const DWORD part = static_cast<DWORD>(std::min<unsigned long long>(kChunk, fileBytes - written));
            DWORD done = 0;
            if (!::WriteFile(file, buffer.data(), part, &done, nullptr) || done != part) {
                ::CloseHandle(file);
                return false;
            }
            written += done;
        }
        ::CloseHandle(file);
    }
    std::string digests;
    if (!FloorPass(payload.files, hash, buffer, &digests)) return false;
    std::string manifest = "AID_PAYLOAD_SHA256\n";
    for (size_t i = 0; i < relative.size(); ++i) {
        std::string path = Utf8(relative[i]);
        std::replace(path.begin(), path.end(), '\\', '/');
        manifest += digests.substr(i * 64, 64) + "|" + std::to_string(fileBytes) + "|" + path + "\n";
    }
    return tovrak::test::WriteBytes(payload.manifest, manifest);
}

struct Timing {
    double verify = 1e30;
    double floor = 1e30;
};

// Alternates the two so that neither profits from running second; keeps the best of each.
bool Measure(const Payload& payload, BCRYPT_HASH_HANDLE hash, std::vector<unsigned char>& buffer,
             Timing& timing) {
    for (int round = 0; round < kRounds; ++round) {
        double start = Now();
        if (!FloorPass(payload.files, hash, buffer)) return false;
        timing.floor = std::min(timing.floor, Now() - start);
        start = Now();
        const int result = VerifyPayloadIntegrity(payload.directory.c_str(), payload.manifest.c_str());
        timing.verify = std::min(timing.verify, Now() - start);
        if (result != 0) {
            std::printf("  VerifyPayloadIntegrity returned %d\n", result);
            return false;
        }
    }
    return true;
}

void Report(const char* name, const Payload& payload, const Timing& timing, double sha256sum,
            bool throughputGoal) {
    const double mib = static_cast<double>(payload.bytes) / 1048576.0;
    std::printf("%s: %zu files, %.0f MiB\n", name, payload.files.size(), mib);
    std::printf("  VerifyPayloadIntegrity  %8.3f s  %8.1f MiB/s  %8.1f files/s\n", timing.verify,
                mib / timing.verify, payload.files.size() / timing.verify);
    std::printf("  floor (open/read/hash)  %8.3f s  %8.1f MiB/s  %8.1f files/s\n", timing.floor,
                mib / timing.floor, payload.files.size() / timing.floor);
    if (sha256sum > 0)
        std::printf("  sha256sum -c (native)   %8.3f s  %8.1f MiB/s  %8.1f files/s\n", sha256sum,
                    mib / sha256sum, payload.files.size() / sha256sum);
    const double ratio = timing.floor / timing.verify;
    if (throughputGoal)
        std::printf("  throughput vs floor %.3fx (goal >= 0.95x): %s\n", ratio,
                    ratio >= 0.95 ? "met" : "MISSED");
    else
        std::printf("  time vs floor %.3fx (goal <= 1.3x): %s\n", 1 / ratio,
                    1 / ratio <= 1.3 ? "met" : "MISSED");
    if (sha256sum > 0)
        std::printf("  floor vs sha256sum -c %.2fx the time; verify vs sha256sum -c %.2fx the time\n",
                    timing.floor / sha256sum, timing.verify / sha256sum);
}

void MeasureManifestParse(const std::wstring& folder) {
    std::string bytes = "AID_PAYLOAD_SHA256\n";
    const std::string digest(64, 'a');
    for (int i = 0; i < 100000; ++i) {
        bytes += digest + "|4096|dir";
        bytes += std::to_string(i % 100) + "/file-" + std::to_string(i) + ".bin\n";
    }
    const std::wstring path = folder + L"\\parse.manifest";
    tovrak::test::WriteBytes(path, bytes);
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double start = Now();
        std::string read;
        tovrak::PayloadManifest manifest;
        const bool ok =
            tovrak::ReadManifestFile(path.c_str(), read) == 0 && tovrak::ParseManifest(read, manifest);
        best = std::min(best, Now() - start);
        if (!ok || manifest.Count() != 100000) std::printf("manifest parse FAILED\n");
    }
    std::printf("manifest of 100000 entries (%.1f MiB): read and parsed in %.1f ms (%.2f us per entry)\n",
                bytes.size() / 1048576.0, best * 1000, best * 1e6 / 100000);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring directory;
    bool smallOnly = false;
    double sha256sumLarge = 0, sha256sumSmall = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--dir" && i + 1 < argc)
            directory = argv[++i];
        else if (argument == L"--small-only")
            smallOnly = true;
        else if (argument == L"--sha256sum-large" && i + 1 < argc)
            sha256sumLarge = _wtof(argv[++i]);
        else if (argument == L"--sha256sum-small" && i + 1 < argc)
            sha256sumSmall = _wtof(argv[++i]);
    }
    TempDirectory temp;
    if (directory.empty()) directory = temp.path();

    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                      BCRYPT_HASH_REUSABLE_FLAG)) ||
        !BCRYPT_SUCCESS(
            ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, BCRYPT_HASH_REUSABLE_FLAG))) {
        std::printf("CNG SHA-256 unavailable\n");
        return 1;
    }
    std::vector<unsigned char> buffer(kChunk);
    int status = 0;

    if (!smallOnly) {
        Payload large{directory + L"\\large", directory + L"\\large.manifest"};
        Timing timing;
        if (Prepare(large, {L"big.bin"}, kLargeBytes, hash, buffer) && Measure(large, hash, buffer, timing))
            Report("(a) one file of 512 MiB", large, timing, sha256sumLarge, true);
        else
            status = 1, std::printf("(a) FAILED\n");
    }

    Payload small{directory + L"\\small", directory + L"\\small.manifest"};
    std::vector<std::wstring> names;
    // Listing order within a directory is the name order here; directories are entered last-pushed first.
    for (int d = kSmallDirectories - 1; d >= 0; --d)
        for (int f = 0; f < kSmallFilesPerDirectory; ++f) {
            wchar_t name[32];
            std::swprintf(name, 32, L"d%02d\\f%04d.bin", d, d * kSmallFilesPerDirectory + f);
            names.push_back(name);
        }
    Timing timing;
    if (Prepare(small, names, kSmallBytes, hash, buffer) && Measure(small, hash, buffer, timing))
        Report("(b) 10000 files of 4 KiB in 100 directories", small, timing, sha256sumSmall, false);
    else
        status = 1, std::printf("(b) FAILED\n");

    MeasureManifestParse(temp.path());
    ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    return status;
}
