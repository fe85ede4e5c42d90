#include <gtest/gtest.h>

#include "integrity/payload_fixture.h"
#include "integrity/worker_stream.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

using Values = std::vector<std::wstring>;

std::wstring Quote(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring PayloadCommand(const Payload& payload) {
    return L" payload " + Quote(payload.directory()) + L" " + Quote(payload.manifest());
}

TEST(VerificationProgress, MapsTheBytesReadOntoTheRange) {
    const struct {
        const char* name;
        const wchar_t* range;  // null: no range set
        std::vector<size_t> fileSizes;
        Values expected;
    } cases[] = {
        {"no range", nullptr, {1000}, {}},
        {"one 1000-byte file", L"10 90", {1000}, {L"90"}},
        {"two 500-byte files", L"10 90", {500, 500}, {L"50", L"90"}},
        {"1 MiB in two reads", L"0 100", {1048576}, {L"50", L"100"}},
        {"only empty files", L"0 100", {0, 0}, {}},
        {"a falling range", L"90 10", {500, 500}, {L"50", L"10"}},
    };
    for (const auto& c : cases) {
        Payload payload;
        for (size_t i = 0; i < c.fileSizes.size(); ++i)
            payload.Add("f" + std::to_string(i) + ".bin",
                        std::string(c.fileSizes[i], static_cast<char>('a' + i)));
        payload.WriteManifest();
        const std::wstring range = c.range ? L"range " + std::wstring(c.range) : L"";
        const ProgressStream stream = RunProgressWorker(range + PayloadCommand(payload));
        EXPECT_EQ(stream.exitCode, 0u) << c.name;
        EXPECT_TRUE(stream.wellFormed) << c.name;
        EXPECT_EQ(stream.values, c.expected) << c.name;
    }
}

TEST(VerificationProgress, ReportsOnlyForTheFirstVerificationAfterARangeIsSet) {
    Payload one, two;
    one.Add("a.bin", std::string(1000, 'a'));
    one.WriteManifest();
    two.Add("b.bin", std::string(500, 'b'));
    two.Add("c.bin", std::string(500, 'c'));
    two.WriteManifest();

    const ProgressStream stream =
        RunProgressWorker(L"range 10 90" + PayloadCommand(one) + PayloadCommand(two));
    EXPECT_EQ(stream.exitCode, 0u);
    EXPECT_EQ(stream.values, Values{L"90"});

    // A verification that fails before its walk leaves the range set for the next one.
    const ProgressStream retried = RunProgressWorker(L"range 10 90 payload " + Quote(two.directory()) +
                                                     L" missing.txt" + PayloadCommand(two));
    EXPECT_EQ(retried.exitCode, 1u);  // 1, then 0 in the next four bits
    EXPECT_EQ(retried.values, (Values{L"50", L"90"}));
}

TEST(VerificationProgress, ASingleFileContinuesTheCountOfTheLastVerification) {
    Payload payload;
    payload.Add("a.bin", std::string(500, 'a'));
    payload.Add("b.bin", std::string(500, 'b'));
    payload.WriteManifest();
    const std::wstring file =
        L" file " + Quote(payload.FullPath("a.bin")) + L" " + Quote(payload.manifest()) + L" a.bin";

    // Without an earlier whole verification there is no total to measure against.
    const ProgressStream alone = RunProgressWorker(L"range 0 100" + file);
    EXPECT_EQ(alone.exitCode, 0u);
    EXPECT_EQ(alone.values, Values{});

    // After one, its count is already at the total, so the single file reports the end of its range.
    const ProgressStream after =
        RunProgressWorker(L"range 0 100" + PayloadCommand(payload) + L" range 0 10" + file);
    EXPECT_EQ(after.exitCode, 0u);
    EXPECT_EQ(after.values, (Values{L"50", L"100", L"10"}));
}

TEST(VerificationProgress, TheRangeCallReturnsItsEnd) {
    EXPECT_EQ(PayloadVerifyProgressRange(20, 80), 80);
    EXPECT_EQ(PayloadVerifyProgressRange(-1, -1), -1);  // reporting off again for the rest of this process
}

}  // namespace
}  // namespace tovrak::test
