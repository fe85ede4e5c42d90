#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "shell/surface_size.h"
#include "support/environment.h"

namespace tovrak {
namespace {

using test::TempDirectory;
using test::WriteBytes;
using Size = std::optional<std::pair<int, int>>;

constexpr const char* kMarker = R"({"protocolVersion":1,"schemaVersion":1,"adapter":"json"})";
constexpr const char* kData = R"({"schemaVersion":1,"width":1280,"height":720})";
const Size k1280x720 = std::pair(1280, 720);

Size AsPair(const std::optional<SurfaceSize>& size) {
    return size ? Size(std::pair(size->width, size->height)) : std::nullopt;
}

TEST(SurfaceSizeText, AcceptsOnlyDigitsAroundOneLowerCaseX) {
    const std::pair<const wchar_t*, Size> cases[] = {
        {L"1280x720", k1280x720},
        {L"01280x0720", k1280x720},
        {L"32767x1", std::pair(32767, 1)},
        {L"1280X720", {}},
        {L"1280 x 720", {}},
        {L"123456x100", {}},
        {L"0x100", {}},
        {L"100x0", {}},
        {L"40000x100", {}},
        {L"1280x720x1", {}},
        {L"1280x", {}},
        {L"x720", {}},
        {L"", {}},
        {L"+128x720", {}},
        {L"\x0661\x0662x720", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(AsPair(ParseSurfaceSize(text)), expected) << std::wstring(text).size() << " characters";
}

// A directory with the marker and the size file, as the program that leaves them would write them.
class SurfaceFiles : public ::testing::Test {
  protected:
    Size Read(const std::string& marker, const std::string& data, const wchar_t* suffix = L"") {
        EXPECT_TRUE(WriteBytes(directory_.Join(L".ready.json"), marker));
        EXPECT_TRUE(WriteBytes(directory_.Join(L"data.json"), data));
        return AsPair(ReadSurfaceDataFile(directory_.path() + suffix));
    }
    TempDirectory directory_;
};

TEST_F(SurfaceFiles, AcceptsTheMarkerOnlyByteForByte) {
    const std::pair<std::string, bool> cases[] = {
        {kMarker, true},
        {std::string(kMarker) + "\n", true},
        {std::string(kMarker) + "\r\n \t", true},
        {std::string(" ") + kMarker, false},
        {R"({"protocolVersion": 1,"schemaVersion":1,"adapter":"json"})", false},
        {R"({"schemaVersion":1,"protocolVersion":1,"adapter":"json"})", false},
        {"\xEF\xBB\xBF" + std::string(kMarker), false},
        {"", false},
    };
    for (const auto& [marker, accepted] : cases)
        EXPECT_EQ(Read(marker, kData), accepted ? k1280x720 : std::nullopt) << marker;
}

TEST_F(SurfaceFiles, ReadsTheSizeOnlyFromTheExactDataLayout) {
    const std::string prefix = R"({"schemaVersion":1,"width":)";
    const std::pair<std::string, Size> cases[] = {
        {std::string(kData) + " \r\n\t\n", k1280x720},
        {prefix + R"(0001280,"height":0000720})", k1280x720},
        {prefix + R"(0,"height":720})", {}},
        {prefix + R"(1280,"height":0})", {}},
        {prefix + R"(99999999999,"height":720})", {}},
        {prefix + R"(-1280,"height":720})", {}},
        {prefix + R"( 1280,"height":720})", {}},
        {prefix + R"(1280})", {}},
        {prefix + R"(1280,"height":})", {}},
        {std::string(kData) + "x", {}},
        {std::string(kData) + std::string(1, '\0'), {}},
        {" " + std::string(kData), {}},
        {R"({"schemaVersion":1,"height":720,"width":1280})", {}},
        {prefix + "1280,\"height\":720,\"x\":\"\xC3\xA9\"}", {}},
        // Files of up to 512 bytes are read, longer ones refused.
        {kData + std::string(512 - std::string(kData).size(), ' '), k1280x720},
        {kData + std::string(513 - std::string(kData).size(), ' '), {}},
    };
    for (const auto& [data, expected] : cases)
        EXPECT_EQ(Read(kMarker, data), expected) << data;
}

TEST_F(SurfaceFiles, TakesTheDirectoryWithOrWithoutATrailingSeparator) {
    for (const wchar_t* suffix : {L"", L"\\", L"/"})
        EXPECT_EQ(Read(kMarker, kData, suffix), k1280x720);
    EXPECT_EQ(AsPair(ReadSurfaceDataFile(L"")), std::nullopt);
    EXPECT_EQ(AsPair(ReadSurfaceDataFile(directory_.Join(L"data.json"))), std::nullopt) << "a file";
}

TEST_F(SurfaceFiles, AValidSizeTextWinsOverTheFiles) {
    Read(kMarker, kData);
    EXPECT_EQ(AsPair(ResolveSurfaceSize(directory_.path(), L"1024x768")), std::pair(1024, 768));
    EXPECT_EQ(AsPair(ResolveSurfaceSize(directory_.path(), L"1024X768")), k1280x720);
    Read("broken", "broken");
    EXPECT_EQ(AsPair(ResolveSurfaceSize(directory_.path(), L"1024x768")), std::pair(1024, 768));
    EXPECT_EQ(AsPair(ResolveSurfaceSize(directory_.path(), L"")), std::nullopt);
}

TEST_F(SurfaceFiles, RefusesLinkedDirectoriesAndFiles) {
    TempDirectory target;
    ASSERT_TRUE(WriteBytes(target.Join(L".ready.json"), kMarker));
    ASSERT_TRUE(WriteBytes(target.Join(L"data.json"), kData));
    ASSERT_TRUE(WriteBytes(directory_.Join(L".ready.json"), kMarker));
    const std::wstring linkedDirectory = directory_.Join(L"linked");
    const std::wstring linkedData = directory_.Join(L"data.json");
    for (const auto& [link, flags] :
         {std::pair(linkedDirectory, DWORD{SYMBOLIC_LINK_FLAG_DIRECTORY}), std::pair(linkedData, DWORD{0})}) {
        const std::wstring linkTarget = flags ? target.path() : target.Join(L"data.json");
        if (!::CreateSymbolicLinkW(link.c_str(), linkTarget.c_str(), flags))
            GTEST_SKIP() << "the platform cannot create symbolic links";
        const DWORD attributes = ::GetFileAttributesW(link.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            GTEST_SKIP() << "the platform does not report symbolic links as reparse points";
    }
    EXPECT_EQ(AsPair(ReadSurfaceDataFile(linkedDirectory)), std::nullopt);
    EXPECT_EQ(AsPair(ReadSurfaceDataFile(directory_.path())), std::nullopt);
}

}  // namespace
}  // namespace tovrak
