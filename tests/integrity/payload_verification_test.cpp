#include <gtest/gtest.h>

#include <functional>

#include "integrity/links.h"
#include "integrity/payload_fixture.h"
#include "integrity/resource_census.h"
#include "integrity/worker_stream.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

// A payload with files at three levels, an empty file and an empty unlisted directory.
void AddStandardFiles(Payload& payload) {
    payload.Add("app.exe", "application");
    payload.Add("bin/lib.dll", "library");
    payload.Add("data/deep/x.dat", "x");
    payload.Add("empty.txt", "");
    payload.AddDirectory("cache");
}

TEST(PayloadVerification, ComparesTheTreeWithTheManifest) {
    const struct {
        const char* name;
        std::function<void(Payload&)> change;  // runs after the standard files are listed and written
        int expected;
    } cases[] = {
        {"identical", [](Payload&) {}, PayloadVerified},
        {"one byte changed", [](Payload& p) { p.AddUnlisted("bin/lib.dll", "librarz"); },
         PayloadContentMismatch},
        {"truncated", [](Payload& p) { p.AddUnlisted("bin/lib.dll", "librar"); }, PayloadContentMismatch},
        {"grown", [](Payload& p) { p.AddUnlisted("bin/lib.dll", "library!"); }, PayloadContentMismatch},
        {"empty file grown", [](Payload& p) { p.AddUnlisted("empty.txt", "x"); }, PayloadContentMismatch},
        {"deleted", [](Payload& p) { ::DeleteFileW(p.FullPath("data/deep/x.dat").c_str()); },
         PayloadTreeMismatch},
        {"replaced by a directory",
         [](Payload& p) {
             ::DeleteFileW(p.FullPath("app.exe").c_str());
             p.AddDirectory("app.exe");
         },
         2},
        {"unlisted at the top", [](Payload& p) { p.AddUnlisted("extra.txt", "e"); }, PayloadTreeMismatch},
        {"unlisted deep down", [](Payload& p) { p.AddUnlisted("data/deep/extra.txt", "e"); },
         PayloadTreeMismatch},
        {"unlisted in an unlisted directory", [](Payload& p) { p.AddUnlisted("cache/extra.txt", "e"); },
         PayloadTreeMismatch},
        {"tolerated files unlisted",
         [](Payload& p) {
             p.AddUnlisted(".aid-prepared-receipt", "r");
             p.AddUnlisted("INSTALLER-legacy-channel.json", "{}");
         },
         0},
        {"tolerated files listed", [](Payload& p) { p.Add(".aid-prepared-receipt", "r"); }, PayloadVerified},
        {"tolerated file listed and changed",
         [](Payload& p) {
             p.Add("installer-legacy-channel.json", "{}");
             p.AddUnlisted("installer-legacy-channel.json", "{ }");
         },
         3},
        {"receipt as a directory", [](Payload& p) { p.AddDirectory(".aid-prepared-receipt"); },
         PayloadTreeMismatch},
        {"channel as a directory", [](Payload& p) { p.AddDirectory("installer-legacy-channel.json"); },
         PayloadTreeMismatch},
        {"tolerated name one level down", [](Payload& p) { p.AddUnlisted("bin/.aid-prepared-receipt", "r"); },
         2},
    };
    for (const auto& c : cases) {
        Payload payload;
        AddStandardFiles(payload);
        c.change(payload);
        payload.WriteManifest();
        EXPECT_EQ(payload.Verify(), c.expected) << c.name;
    }
}

TEST(PayloadVerification, RejectsAnInvalidManifestBeforeLookingAtTheTree) {
    Payload payload;
    AddStandardFiles(payload);
    payload.WriteManifest("AID_PAYLOAD_SHA256\n" + ManifestLine("application", "app.exe") +
                          ManifestLine("x", "bin/../x.dat"));
    EXPECT_EQ(payload.Verify(), PayloadManifestUnusable);
    EXPECT_EQ(VerifyPayloadIntegrity(L"\\\\?\\C:\\nowhere", payload.manifest().c_str()),
              PayloadManifestUnusable);
}

TEST(PayloadVerification, RejectsAnEmptyPayloadEvenWithAValidManifest) {
    Payload payload;
    payload.WriteManifest("AID_PAYLOAD_SHA256\n" + ManifestLine("a", "a.txt"));
    EXPECT_EQ(payload.Verify(), PayloadTreeMismatch);
}

TEST(PayloadVerification, MatchesNamesInAnyLetterCase) {
    Payload payload;
    payload.AddUnlisted("bin/app.exe", "application");
    payload.WriteManifest("AID_PAYLOAD_SHA256\n" + ManifestLine("application", "Bin/App.EXE"));
    EXPECT_EQ(payload.Verify(), PayloadVerified);
}

TEST(PayloadVerification, RejectsTwoNamesOnDiskThatFoldToOneEntry) {
    Payload payload;
    payload.Add("a.txt", "");
    payload.WriteManifest();
    if (!MakeFileOnUnixSide(payload.FullPath("A.txt")))
        GTEST_SKIP() << "the platform cannot make a case-sensitive directory";
    EXPECT_EQ(payload.Verify(), PayloadTreeMismatch);
}

TEST(PayloadVerification, AcceptsOnlyDriveLetterPaths) {
    Payload payload;
    AddStandardFiles(payload);
    payload.WriteManifest();
    std::wstring slashes = payload.directory() + L"/";
    for (wchar_t& unit : slashes)
        if (unit == L'\\') unit = L'/';
    const std::wstring withDots = payload.directory() + L"\\bin\\..\\.\\";
    const std::wstring longForm = L"\\\\?\\" + payload.directory();
    const std::wstring unc =
        L"\\\\localhost\\" + payload.directory().substr(0, 1) + L"$" + payload.directory().substr(2);
    const std::wstring noSeparator = payload.directory().substr(0, 2) + payload.directory().substr(3);

    const struct {
        const wchar_t* path;
        int expected;
    } cases[] = {
        {slashes.c_str(), PayloadVerified},
        {withDots.c_str(), PayloadVerified},
        {longForm.c_str(), PayloadTreeMismatch},
        {unc.c_str(), PayloadTreeMismatch},
        {noSeparator.c_str(), PayloadTreeMismatch},
        {L"payload", PayloadTreeMismatch},
        {L"C:", PayloadTreeMismatch},
        {nullptr, PayloadTreeMismatch},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VerifyPayloadIntegrity(c.path, payload.manifest().c_str()), c.expected)
            << (c.path ? c.path : L"null");
}

TEST(PayloadVerification, EntersSixtyThreeLevelsAndNoMore) {
    Payload payload;
    std::string deepest = "d";
    for (int level = 2; level <= 63; ++level)
        deepest += "/d";
    payload.Add(deepest + "/file.txt", "bottom");
    payload.WriteManifest();
    EXPECT_EQ(payload.Verify(), PayloadVerified);
    payload.AddDirectory(deepest + "/d");
    EXPECT_EQ(payload.Verify(), PayloadTreeMismatch);
}

TEST(PayloadVerification, RejectsALinkInTheTree) {
    Payload payload;
    AddStandardFiles(payload);
    payload.WriteManifest();
    CreateDirectories(payload.temp().Join(L"elsewhere"));
    if (!MakeDirectoryLink(payload.FullPath("data/link"), payload.temp().Join(L"elsewhere")))
        GTEST_SKIP()
            << "the platform cannot make a directory symbolic link that carries the reparse-point attribute";
    EXPECT_EQ(payload.Verify(), PayloadTreeMismatch);
}

TEST(PayloadVerification, RejectsALinkedFile) {
    Payload payload;
    payload.Add("a.txt", "a");
    payload.WriteManifest();
    ASSERT_TRUE(WriteBytes(payload.temp().Join(L"target.txt"), "b"));
    if (!MakeFileLink(payload.FullPath("b.txt"), payload.temp().Join(L"target.txt")))
        GTEST_SKIP() << "the platform shows no reparse-point attribute on a file symbolic link";
    EXPECT_EQ(payload.Verify(), PayloadTreeMismatch);
}

TEST(PayloadVerification, RejectsAPayloadReachedThroughALinkedAncestor) {
    Payload payload;
    AddStandardFiles(payload);
    payload.WriteManifest();
    const std::wstring link = payload.temp().Join(L"linked");
    if (!MakeDirectoryLink(link, payload.temp().path()))
        GTEST_SKIP() << "the platform cannot make a directory symbolic link";
    EXPECT_EQ(VerifyPayloadIntegrity((link + L"\\payload").c_str(), payload.manifest().c_str()),
              PayloadTreeMismatch);
}

// The root of a drive has a backslash of its own; the tree below it must still be found.
TEST(PayloadVerification, VerifiesAPayloadAtTheRootOfADrive) {
    Payload payload;
    AddStandardFiles(payload);
    payload.WriteManifest();
    const MappedDrive drive(payload.directory());
    if (drive.root().empty()) GTEST_SKIP() << "the platform cannot map a directory to a drive letter";
    EXPECT_EQ(VerifyPayloadIntegrity(drive.root().c_str(), payload.manifest().c_str()), PayloadVerified);
    EXPECT_EQ(VerifyPayloadFileIntegrity((drive.root() + L"app.exe").c_str(), payload.manifest().c_str(),
                                         L"app.exe"),
              PayloadVerified);
    EXPECT_EQ(VerifyPayloadFileIntegrity(drive.root().c_str(), payload.manifest().c_str(), L"app.exe"),
              PayloadTreeMismatch);
}

// While a large file is hashed, the payload directory, the directory being walked and their ancestors
// are held open without delete sharing: none of them can be renamed.
TEST(PayloadVerification, HoldsTheTreeInPlaceWhileItRuns) {
    Payload payload;
    payload.Add("sub/big.bin", std::string(64u << 20, 'b'));
    payload.AddDirectory("zz-sibling");
    payload.WriteManifest();
    // Innermost first, so that each rename is tried on a path that still exists.
    const std::wstring watched[] = {payload.FullPath("sub"), payload.directory(), payload.temp().path()};
    std::vector<DWORD> errors;

    PayloadVerifyProgressRange(0, 100);
    const ProgressStream stream =
        VerifyWithProgressPipe([&] { return payload.Verify(); },
                               [&] {
                                   for (const std::wstring& path : watched) {
                                       const std::wstring moved = path + L"-moved";
                                       const BOOL done = ::MoveFileW(path.c_str(), moved.c_str());
                                       errors.push_back(done ? 0 : ::GetLastError());
                                       if (done) ::MoveFileW(moved.c_str(), path.c_str());
                                   }
                               });
    EXPECT_EQ(stream.exitCode, 0u);
    ASSERT_EQ(errors.size(), 3u) << "no progress record arrived during the verification";
    for (size_t i = 0; i < errors.size(); ++i)
        EXPECT_EQ(errors[i], static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << i;
    EXPECT_EQ(stream.values.back(), L"100");

    // Released afterwards.
    const std::wstring moved = payload.directory() + L"-moved";
    EXPECT_TRUE(::MoveFileW(payload.directory().c_str(), moved.c_str()));
    EXPECT_TRUE(::MoveFileW(moved.c_str(), payload.directory().c_str()));
}

TEST(PayloadVerification, LeavesNoHandleOrHeapBlockBehind) {
    Payload payload;
    AddStandardFiles(payload);
    payload.WriteManifest();
    // Nothing of a verification outlives it: a leaked handle, record, buffer or hash object would
    // add one per call, thirty or sixty here.
    auto expectFlat = [](const std::function<void()>& calls) {
        calls();
        const ResourceUse before = ResourceUse::Now();
        ASSERT_NE(before.handles, 0u);
        for (int i = 0; i < 30; ++i)
            calls();
        const ResourceUse after = ResourceUse::Now();
        EXPECT_EQ(after.handles, before.handles);
        EXPECT_LE(after.heapBlocks, before.heapBlocks + 2);
    };
    expectFlat([&] {
        EXPECT_EQ(payload.Verify(), PayloadVerified);
        EXPECT_EQ(VerifyPayloadFileIntegrity(payload.FullPath("bin/lib.dll").c_str(),
                                             payload.manifest().c_str(), L"bin/lib.dll"),
                  PayloadVerified);
    });
    payload.AddUnlisted("data/deep/x.dat", "y");
    expectFlat([&] { EXPECT_EQ(payload.Verify(), PayloadContentMismatch); });
}

}  // namespace
}  // namespace tovrak::test
