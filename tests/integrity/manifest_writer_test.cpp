#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "integrity/links.h"
#include "integrity/payload_fixture.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

struct WriterRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string messages;  // standard error, UTF-8
};

WriterRun RunWriter(const std::wstring& arguments) {
    WriterRun run;
    ChildProcess writer;
    UniqueHandleKernel output;
    if (!writer.StartWithOutputPipe(ProgramPath(L"manifest_writer.exe"), arguments, true, output)) return run;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(output.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        run.messages.append(chunk, read);
    run.exitCode = writer.Wait(60000);
    return run;
}

std::wstring Arguments(const Payload& payload) {
    return L"\"" + payload.directory() + L"\" \"" + payload.manifest() + L"\"";
}

TEST(ManifestWriter, WritesWhatTheVerifierAccepts) {
    Payload payload;
    payload.AddUnlisted("b.txt", "bee");
    payload.AddUnlisted("A.txt", "ay");
    payload.AddUnlisted("empty", "");
    payload.AddUnlisted("Sub/\xE6\x95\xB0\xE6\x8D\xAE.bin", std::string(1 << 20, 'z'));
    payload.AddUnlisted("sub2/deep/x", "x");
    payload.AddDirectory("nothing-here");
    payload.AddUnlisted(".aid-prepared-receipt", "receipt");

    const WriterRun run = RunWriter(Arguments(payload));
    ASSERT_EQ(run.exitCode, 0u) << run.messages;
    // Keys in the verifier's order: ignoring case and with backslash separators, under which "sub2" sorts
    // before "Sub" (a digit is below the backslash). Written with "/" separators, lowercase digests and LF
    // only; the tolerated top-level file is left out.
    const std::string expected = "AID_PAYLOAD_SHA256\n" + ManifestLine("ay", "A.txt") +
                                 ManifestLine("bee", "b.txt") + ManifestLine("", "empty") +
                                 ManifestLine("x", "sub2/deep/x") +
                                 ManifestLine(std::string(1 << 20, 'z'), "Sub/\xE6\x95\xB0\xE6\x8D\xAE.bin");
    EXPECT_EQ(ReadBytes(payload.manifest()), expected);
    EXPECT_NE(run.messages.find(".aid-prepared-receipt"), std::string::npos) << run.messages;
    EXPECT_EQ(payload.Verify(), PayloadVerified);

    const WriterRun listed = RunWriter(L"--list-tolerated --verify " + Arguments(payload));
    EXPECT_EQ(listed.exitCode, 0u) << listed.messages;
    EXPECT_NE(ReadBytes(payload.manifest()).find("|7|.aid-prepared-receipt\n"), std::string::npos);
}

// Names that Windows itself will not create through its ordinary paths are made with "\\?\" or on the
// Unix side of Wine; the writer must refuse each one by name rather than write a manifest that fails.
TEST(ManifestWriter, RefusesNamesTheVerifierRejects) {
    const struct {
        const wchar_t* name;
        bool unixSide;
    } cases[] = {
        {L"con.txt", false},
        {L"notes.", false},
        {L"trailing ", false},
        {L"Same.txt", true},
    };
    for (const auto& c : cases) {
        Payload payload;
        payload.AddUnlisted("ok.txt", "fine");
        payload.AddUnlisted("same.txt", "same");
        const std::wstring path = payload.directory() + L"\\" + c.name;
        const bool made =
            c.unixSide ? MakeFileOnUnixSide(path)
                       : WriteBytes(L"\\\\?\\" + path, "x") &&
                             ::GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!made) {
            std::wcout << L"skipped: the platform cannot create the name \"" << c.name << L"\"\n";
            continue;
        }
        const WriterRun run = RunWriter(Arguments(payload));
        EXPECT_EQ(run.exitCode, 2u) << Utf8(c.name);
        EXPECT_NE(run.messages.find(Utf8(c.name)), std::string::npos) << run.messages;
        EXPECT_EQ(::GetFileAttributesW(payload.manifest().c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(c.name);
    }
}

TEST(ManifestWriter, RefusesTreesTheVerifierRejects) {
    Payload linked;
    linked.AddUnlisted("a.txt", "a");
    CreateDirectories(linked.temp().Join(L"elsewhere"));
    if (MakeDirectoryLink(linked.FullPath("link"), linked.temp().Join(L"elsewhere"))) {
        const WriterRun run = RunWriter(Arguments(linked));
        EXPECT_EQ(run.exitCode, 2u);
        EXPECT_NE(run.messages.find("\"link\""), std::string::npos) << run.messages;
    }

    Payload deep;
    std::string path = "d";
    for (int level = 2; level <= 64; ++level)
        path += "/d";
    deep.AddUnlisted(path + "/f", "f");
    EXPECT_EQ(RunWriter(Arguments(deep)).exitCode, 2u);

    Payload receiptDirectory;
    receiptDirectory.AddUnlisted("installer-legacy-channel.json/x", "x");
    EXPECT_EQ(RunWriter(Arguments(receiptDirectory)).exitCode, 2u);

    Payload empty;
    EXPECT_EQ(RunWriter(Arguments(empty)).exitCode, 2u);

    Payload inside;
    inside.AddUnlisted("a.txt", "a");
    EXPECT_EQ(
        RunWriter(L"\"" + inside.directory() + L"\" \"" + inside.FullPath("manifest.txt") + L"\"").exitCode,
        2u);
    EXPECT_EQ(RunWriter(L"only-one-argument").exitCode, 1u);
}

// What the writer writes must verify, and the verifier refuses a payload that it reaches through a
// link above it: so does the writer.
TEST(ManifestWriter, RefusesAPayloadReachedThroughALinkedAncestor) {
    Payload payload;
    payload.AddUnlisted("a.txt", "a");
    const std::wstring link = payload.temp().Join(L"linked");
    if (!MakeDirectoryLink(link, payload.temp().path()))
        GTEST_SKIP() << "the platform cannot make a directory symbolic link";
    const std::wstring throughLink = link + payload.directory().substr(payload.temp().path().size());
    const WriterRun run = RunWriter(L"\"" + throughLink + L"\" \"" + payload.manifest() + L"\"");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_NE(run.messages.find("linked"), std::string::npos) << run.messages;
    EXPECT_EQ(::GetFileAttributesW(payload.manifest().c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace tovrak::test
