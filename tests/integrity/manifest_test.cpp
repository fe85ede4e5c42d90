#include <gtest/gtest.h>

#include "integrity/manifest.h"
#include "integrity/payload_fixture.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

const std::string kDigest = Sha256Hex("content");
const std::string kHeader = "AID_PAYLOAD_SHA256\n";

std::string Entry(std::string_view size, std::string_view path, std::string_view lineEnd = "\n") {
    return kDigest + "|" + std::string(size) + "|" + std::string(path) + std::string(lineEnd);
}

TEST(Manifest, AcceptsOnlyTheExactFormat) {
    std::string upper = kDigest;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const struct {
        const char* name;
        std::string bytes;
        bool accepted;
    } cases[] = {
        {"LF", kHeader + Entry("7", "a.txt") + Entry("1", "b/c.txt"), true},
        {"CRLF", "AID_PAYLOAD_SHA256\r\n" + Entry("7", "a.txt", "\r\n"), true},
        {"no final line feed", kHeader + Entry("7", "a.txt", ""), false},
        {"bytes after the last line feed", kHeader + Entry("7", "a.txt") + "x", false},
        {"header only", kHeader, false},
        {"empty", "", false},
        {"byte-order mark", "\xEF\xBB\xBF" + kHeader + Entry("7", "a.txt"), false},
        {"lowercase header", "aid_payload_sha256\n" + Entry("7", "a.txt"), false},
        {"empty line after the header", kHeader + "\n" + Entry("7", "a.txt"), false},
        {"empty line at the end", kHeader + Entry("7", "a.txt") + "\n", false},
        {"empty CRLF line", kHeader + Entry("7", "a.txt") + "\r\n", false},
        {"second header", kHeader + kHeader + Entry("7", "a.txt"), false},
        {"two carriage returns", kHeader + Entry("7", "a.txt", "\r\r\n"), false},
        {"uppercase digest", kHeader + upper + "|7|a.txt\n", false},
        {"short digest", kHeader + kDigest.substr(1) + "|7|a.txt\n", false},
        {"size 0", kHeader + Entry("0", "a.txt"), true},
        {"size 2^64-1", kHeader + Entry("18446744073709551615", "a.txt"), true},
        {"size 2^64", kHeader + Entry("18446744073709551616", "a.txt"), false},
        {"plus sign", kHeader + Entry("+1", "a.txt"), false},
        {"minus sign", kHeader + Entry("-1", "a.txt"), false},
        {"leading blank", kHeader + Entry(" 1", "a.txt"), false},
        {"trailing blank", kHeader + Entry("1 ", "a.txt"), false},
        {"empty size", kHeader + Entry("", "a.txt"), false},
        {"no path", kHeader + kDigest + "|12|\n", false},
        {"no second bar", kHeader + kDigest + "|12345\n", false},
        {"bar inside the path", kHeader + Entry("1", "a|b"), false},
        {"case-insensitive duplicate", kHeader + Entry("1", "Bin/App.exe") + Entry("1", "bin/app.exe"),
         false},
        {"invalid path", kHeader + Entry("1", "a.txt") + Entry("1", "../b.txt"), false},
    };
    for (const auto& c : cases) {
        PayloadManifest manifest;
        EXPECT_EQ(ParseManifest(c.bytes, manifest), c.accepted) << c.name;
    }
}

TEST(Manifest, ReadsTheSameTableFromLfAndCrlfAndKeepsSizesAndDigests) {
    PayloadManifest lf, crlf;
    ASSERT_TRUE(
        ParseManifest(kHeader + Entry("00012", "bin/app.exe") + Entry("18446744073709551615", "z"), lf));
    ASSERT_TRUE(ParseManifest("AID_PAYLOAD_SHA256\r\n" + Entry("00012", "bin/app.exe", "\r\n") +
                                  Entry("18446744073709551615", "z", "\r\n"),
                              crlf));
    ASSERT_EQ(lf.Count(), 2u);
    ASSERT_EQ(crlf.Count(), 2u);
    for (PayloadManifest* manifest : {&lf, &crlf}) {
        const ManifestEntry* app = FindManifestEntry(*manifest, L"BIN\\APP.EXE");
        ASSERT_NE(app, nullptr);
        EXPECT_EQ(app->size, 12u);
        EXPECT_FALSE(app->verified);
        EXPECT_EQ(app->digest[0], 0xed);  // SHA-256("content") starts ed7002b4...
        EXPECT_EQ(app->digest[1], 0x70);
        EXPECT_EQ(FindManifestEntry(*manifest, L"z")->size, UINT64_MAX);
        EXPECT_EQ(FindManifestEntry(*manifest, L"bin/app.exe"), nullptr);
    }
}

TEST(Manifest, HoldsAtMostOneHundredThousandEntries) {
    std::string bytes = kHeader;
    for (int i = 0; i < 100000; ++i)
        bytes += Entry("1", std::to_string(i) + ".f");
    PayloadManifest full;
    EXPECT_TRUE(ParseManifest(bytes, full));
    EXPECT_EQ(full.Count(), 100000u);
    bytes += Entry("1", "one-more");
    PayloadManifest over;
    EXPECT_FALSE(ParseManifest(bytes, over));
}

TEST(ManifestPath, AppliesEveryRuleToAListedPath) {
    const std::string component255(255, 'a');
    std::string components64, components65;
    for (int i = 0; i < 64; ++i)
        components64 += i ? "/d" : "d";
    components65 = components64 + "/d";
    const struct {
        std::string path;
        bool accepted;
        std::wstring key{};  // compared when given
    } cases[] = {
        {"bin/app.exe", true, L"bin\\app.exe"},
        {"a", true, L"a"},
        {" leading space", true, L" leading space"},
        {"console.txt", true, L"console.txt"},
        {"com0", true, L"com0"},
        {"com10", true, L"com10"},
        {"nul1", true, L"nul1"},
        {"lpt", true, L"lpt"},
        {"conx.txt/aux1", true, L"conx.txt\\aux1"},
        {"\xE6\x95\xB0\xE6\x8D\xAE/\xF0\x9F\x93\xA6.bin", true, L"\u6570\u636e\\\U0001F4E6.bin"},
        {"bin\\app.exe", false},
        {"/bin/app.exe", false},
        {"bin/", false},
        {"bin//app.exe", false},
        {"bin/./app.exe", false},
        {"bin/../app.exe", false},
        {".", false},
        {"..", false},
        {"notes.", false},
        {"name ", false},
        {"a:b", false},
        {"a\"b", false},
        {"a*b", false},
        {"a<b", false},
        {"a>b", false},
        {"a?b", false},
        {"a|b", false},
        {std::string("a\x1f"
                     "b"),
         false},
        {std::string("a\0b", 3), false},
        {"a\tb", false},
        {"con.txt", false},
        {"dir/CON", false},
        {"Aux", false},
        {"prn.log.txt", false},
        {"NUL", false},
        {"com1.log", false},
        {"COM9", false},
        {"lpt5", false},
        {"LPT\xC2\xB2", false},
        {"com\xC2\xB9.txt", false},
        {"lpt\xC2\xB3", false},
        {"com\xE2\x81\xB4", true, L"com\u2074"},  // superscript four is no device
        {component255, true},
        {component255 + "a", false},
        {components64, true},
        {components65, false},
        {"", false},
        {"overlong \xC0\xAF", false},
        {"overlong \xE0\x80\xAF", false},
        {"truncated \xE6\x95", false},
        {"lone continuation \x80", false},
        {"encoded surrogate \xED\xA0\x80", false},
        {"beyond U+10FFFF \xF4\x90\x80\x80", false},
    };
    for (const auto& c : cases) {
        WideString key;
        EXPECT_EQ(ParseManifestPath(c.path, key), c.accepted) << c.path;
        if (c.accepted && !c.key.empty()) {
            EXPECT_EQ(key, c.key) << c.path;
        }
    }
}

TEST(ManifestFile, IsUnusableWhenMissingEmptyOrADirectory) {
    TempDirectory temp;
    ASSERT_TRUE(CreateDirectories(temp.Join(L"payload")));
    ASSERT_TRUE(WriteBytes(temp.Join(L"empty.txt"), ""));
    ASSERT_TRUE(CreateDirectories(temp.Join(L"manifest-dir")));
    const std::wstring payload = temp.Join(L"payload");
    for (const wchar_t* manifest : {L"missing.txt", L"empty.txt", L"manifest-dir"}) {
        EXPECT_EQ(VerifyPayloadIntegrity(payload.c_str(), temp.Join(manifest).c_str()),
                  PayloadManifestUnusable)
            << manifest;
        EXPECT_EQ(
            VerifyPayloadFileIntegrity(temp.Join(L"payload\\a").c_str(), temp.Join(manifest).c_str(), L"a"),
            PayloadManifestUnusable)
            << manifest;
    }
    EXPECT_EQ(VerifyPayloadIntegrity(payload.c_str(), nullptr), PayloadManifestUnusable);
    EXPECT_EQ(VerifyPayloadIntegrity(payload.c_str(), L""), PayloadManifestUnusable);

    // The largest size accepted is 32 MiB; one byte more makes the file unusable before it is parsed.
    std::string bytes;
    ASSERT_TRUE(WriteBytes(temp.Join(L"big.txt"), std::string(kManifestMaxBytes + 1, 'x')));
    EXPECT_EQ(ReadManifestFile(temp.Join(L"big.txt").c_str(), bytes), kManifestUnusable);
    ASSERT_TRUE(WriteBytes(temp.Join(L"big.txt"), std::string(kManifestMaxBytes, 'x')));
    EXPECT_EQ(ReadManifestFile(temp.Join(L"big.txt").c_str(), bytes), kManifestRead);
    EXPECT_EQ(bytes.size(), kManifestMaxBytes);
}

}  // namespace
}  // namespace tovrak::test
