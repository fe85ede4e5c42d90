#include <gtest/gtest.h>

#include "integrity/payload_fixture.h"
#include "integrity/worker_stream.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

TEST(SingleFileVerification, RejectsAListedPathWhenAnotherLineIsInvalid) {
    Payload payload;
    payload.AddUnlisted("bin/app.exe", "application");
    payload.WriteManifest("AID_PAYLOAD_SHA256\n" + ManifestLine("application", "bin/app.exe") +
                          ManifestLine("x", "bin/CON"));
    EXPECT_EQ(VerifyPayloadFileIntegrity(payload.FullPath("bin/app.exe").c_str(), payload.manifest().c_str(),
                                         L"bin/app.exe"),
              PayloadManifestUnusable);
}

TEST(SingleFileVerification, ComparesTheNamedFileWithTheNamedEntry) {
    Payload payload;
    payload.Add("bin/app.exe", "application");
    payload.Add("readme.txt", "read me");
    payload.Add("bin/longer.dll", "library");
    payload.AddUnlisted("bin/longer.dll", "library+");
    payload.AddDirectory("bin/folder");
    payload.WriteManifest();
    const std::wstring app = payload.FullPath("bin/app.exe");
    const std::wstring unc = L"\\\\localhost\\" + app.substr(0, 1) + L"$" + app.substr(2);
    std::wstring slashes = app;
    for (wchar_t& unit : slashes)
        if (unit == L'\\') unit = L'/';
    const struct {
        std::wstring filePath;
        const wchar_t* relativePath;
        int expected;
    } cases[] = {
        {app, L"bin/app.exe", PayloadVerified},
        {app, L"BIN/App.EXE", PayloadVerified},
        {slashes, L"bin/app.exe", PayloadVerified},
        {app, L"bin\\app.exe", PayloadManifestUnusable},
        {app, L"bin/other.exe", PayloadManifestUnusable},
        {app, L"/bin/app.exe", PayloadManifestUnusable},
        {app, L"", PayloadManifestUnusable},
        {app, nullptr, PayloadManifestUnusable},
        {app, L"bin/\xD800.exe", PayloadManifestUnusable},  // an unpaired surrogate has no UTF-8 form
        {app, L"readme.txt",
         PayloadContentMismatch},  // nothing relates the file to the key: app.exe is not the listed readme
        {payload.FullPath("bin/longer.dll"), L"bin/longer.dll", PayloadContentMismatch},
        {payload.FullPath("bin/missing.exe"), L"bin/app.exe", PayloadTreeMismatch},
        {payload.FullPath("missing/app.exe"), L"bin/app.exe", PayloadTreeMismatch},
        {payload.FullPath("bin/folder"), L"bin/app.exe", PayloadTreeMismatch},
        {unc, L"bin/app.exe", PayloadTreeMismatch},
        {L"\\\\?\\" + app, L"bin/app.exe", PayloadTreeMismatch},
        {L"C:\\", L"bin/app.exe", PayloadTreeMismatch},
        {L"C:", L"bin/app.exe", PayloadTreeMismatch},
        {L"bin\\app.exe", L"bin/app.exe", PayloadTreeMismatch},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VerifyPayloadFileIntegrity(c.filePath.c_str(), payload.manifest().c_str(), c.relativePath),
                  c.expected)
            << c.filePath << L" " << (c.relativePath ? c.relativePath : L"null");
    }
}

// The file's directory and its ancestors are held while it is read; a sibling directory is not.
TEST(SingleFileVerification, PinsOnlyTheChainOfTheFile) {
    Payload payload;
    payload.Add("a/b/big.bin", std::string(64u << 20, 'b'));
    payload.AddDirectory("a/sibling");
    payload.WriteManifest();

    // Progress from a single file needs the total of an earlier whole verification in this process.
    PayloadVerifyProgressRange(0, 100);
    ASSERT_EQ(VerifyWithProgressPipe([&] { return payload.Verify(); }, nullptr).exitCode, 0u);

    const std::wstring chain[] = {payload.FullPath("a/b"), payload.FullPath("a"), payload.directory()};
    const std::wstring sibling = payload.FullPath("a/sibling");
    std::vector<DWORD> errors;
    bool siblingMoved = false;
    PayloadVerifyProgressRange(0, 50);
    const ProgressStream stream = VerifyWithProgressPipe(
        [&] {
            return VerifyPayloadFileIntegrity(payload.FullPath("a/b/big.bin").c_str(),
                                              payload.manifest().c_str(), L"a/b/big.bin");
        },
        [&] {
            for (const std::wstring& path : chain) {
                const std::wstring moved = path + L"-moved";
                const BOOL done = ::MoveFileW(path.c_str(), moved.c_str());
                errors.push_back(done ? 0 : ::GetLastError());
                if (done) ::MoveFileW(moved.c_str(), path.c_str());
            }
            siblingMoved = ::MoveFileW(sibling.c_str(), (sibling + L"-moved").c_str());
        });
    EXPECT_EQ(stream.exitCode, 0u);
    ASSERT_EQ(errors.size(), 3u) << "no progress record arrived during the verification";
    for (size_t i = 0; i < errors.size(); ++i)
        EXPECT_EQ(errors[i], static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << i;
    EXPECT_TRUE(siblingMoved);
}

}  // namespace
}  // namespace tovrak::test
