#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "integrity/links.h"
#include "integrity/plain_tree.h"
#include "support/environment.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

TEST(PlainTree, AcceptsOrdinaryFilesAndDirectoriesAndRejectsWhatIsNotThere) {
    TempDirectory temp;
    ASSERT_TRUE(CreateDirectories(temp.Join(L"tree\\empty")));
    ASSERT_TRUE(WriteBytes(temp.Join(L"tree\\a.txt"), "a"));
    ASSERT_TRUE(WriteBytes(temp.Join(L"tree\\hidden.txt"), "h"));
    ASSERT_TRUE(::SetFileAttributesW(temp.Join(L"tree\\hidden.txt").c_str(),
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

    const struct {
        const wchar_t* path;
        int expected;
    } cases[] = {
        {nullptr, 0}, {L"", 0}, {L"missing", 0}, {L"tree\\a.txt", 1}, {L"tree\\empty", 1}, {L"tree", 1},
    };
    for (const auto& c : cases) {
        const std::wstring path = c.path && *c.path ? temp.Join(c.path) : std::wstring();
        const wchar_t* argument = c.path ? path.c_str() : nullptr;
        EXPECT_EQ(ValidatePlainTree(argument), c.expected) << (c.path ? "path " : "null ") << path.size();
    }
}

TEST(PlainTree, RejectsADirectoryLinkAtAnyLevel) {
    TempDirectory temp;
    ASSERT_TRUE(CreateDirectories(temp.Join(L"target\\inner")));
    ASSERT_TRUE(CreateDirectories(temp.Join(L"tree\\one\\two")));
    if (!MakeDirectoryLink(temp.Join(L"tree\\one\\two\\link"), temp.Join(L"target")))
        GTEST_SKIP()
            << "the platform cannot make a directory symbolic link that carries the reparse-point attribute";
    ASSERT_TRUE(MakeDirectoryLink(temp.Join(L"start"), temp.Join(L"target")));

    EXPECT_EQ(ValidatePlainTree(temp.Join(L"target").c_str()), 1);
    EXPECT_EQ(ValidatePlainTree(temp.Join(L"tree").c_str()), 0);
    EXPECT_EQ(ValidatePlainTree(temp.Join(L"tree\\one\\two").c_str()), 0);
    EXPECT_EQ(ValidatePlainTree(temp.Join(L"start").c_str()), 0);
}

TEST(PlainTree, RejectsALinkToAFile) {
    TempDirectory temp;
    ASSERT_TRUE(CreateDirectories(temp.Join(L"tree")));
    ASSERT_TRUE(WriteBytes(temp.Join(L"target.txt"), "t"));
    if (!MakeFileLink(temp.Join(L"tree\\link.txt"), temp.Join(L"target.txt")))
        GTEST_SKIP() << "the platform shows no reparse-point attribute on a file symbolic link";
    EXPECT_EQ(ValidatePlainTree(temp.Join(L"tree").c_str()), 0);
}

TEST(PlainTree, AllowsSixtyFourLevelsWhetherTheLastIsAFileOrADirectory) {
    TempDirectory temp;
    std::wstring deepest = temp.Join(L"d");  // depth 1
    for (int depth = 2; depth <= 63; ++depth)
        deepest += L"\\d";
    ASSERT_TRUE(CreateDirectories(deepest));
    const std::wstring start = temp.Join(L"d");

    ASSERT_TRUE(WriteBytes(deepest + L"\\f", "x"));  // depth 64
    EXPECT_EQ(ValidatePlainTree(start.c_str()), 1);
    ASSERT_TRUE(::DeleteFileW((deepest + L"\\f").c_str()));
    ASSERT_TRUE(CreateDirectories(deepest + L"\\d"));
    EXPECT_EQ(ValidatePlainTree(start.c_str()), 1);

    ASSERT_TRUE(WriteBytes(deepest + L"\\d\\f", "x"));  // depth 65
    EXPECT_EQ(ValidatePlainTree(start.c_str()), 0);
    ASSERT_TRUE(::DeleteFileW((deepest + L"\\d\\f").c_str()));
    ASSERT_TRUE(CreateDirectories(deepest + L"\\d\\d"));
    EXPECT_EQ(ValidatePlainTree(start.c_str()), 0);
}

// 65536 real paths would take minutes to create under Wine; the walk's counter is started near the
// limit instead, so that a directory with two files is the 65534th to 65536th (or 65537th) path.
TEST(PlainTree, CountsEveryPathAgainstTheLimit) {
    TempDirectory temp;
    ASSERT_TRUE(WriteBytes(temp.Join(L"a"), "a"));
    ASSERT_TRUE(WriteBytes(temp.Join(L"b"), "b"));
    std::uint32_t counter = kPlainTreeMaxPaths - 3;
    EXPECT_TRUE(CheckPlainPath(temp.path(), 1, counter));
    EXPECT_EQ(counter, kPlainTreeMaxPaths);
    counter = kPlainTreeMaxPaths - 2;
    EXPECT_FALSE(CheckPlainPath(temp.path(), 1, counter));
}

TEST(PlainTree, RejectsADirectoryThatCannotBeListed) {
    TempDirectory temp;
    const std::wstring locked = temp.Join(L"tree\\locked");
    ASSERT_TRUE(CreateDirectories(locked));
    ASSERT_TRUE(WriteBytes(locked + L"\\f", "x"));

    // Deny listing to everyone.
    EXPLICIT_ACCESSW deny{};
    wchar_t everyone[] = L"EVERYONE";
    BuildExplicitAccessWithNameW(&deny, everyone, FILE_LIST_DIRECTORY, DENY_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    ASSERT_EQ(::SetEntriesInAclW(1, &deny, nullptr, &acl), ERROR_SUCCESS);
    const DWORD applied = ::SetNamedSecurityInfoW(const_cast<wchar_t*>(locked.c_str()), SE_FILE_OBJECT,
                                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
    ::LocalFree(acl);
    // A null access list gives everyone access again, so that the folder can be removed afterwards.
    struct Unlock {
        std::wstring path;
        ~Unlock() {
            ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    nullptr, nullptr);
        }
    } unlock{locked};
    WIN32_FIND_DATAW found;
    UniqueFind probe(::FindFirstFileW((locked + L"\\*").c_str(), &found));
    if (applied != ERROR_SUCCESS || probe) {
        probe.reset();
        GTEST_SKIP() << "the platform does not enforce a deny entry in a directory's access list";
    }
    EXPECT_EQ(ValidatePlainTree(temp.Join(L"tree").c_str()), 0);
}

}  // namespace
}  // namespace tovrak::test
