#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shell/surface_size.h"
#include "support/environment.h"

namespace tovrak {
namespace {

using test::TempDirectory;
using test::WriteBytes;

constexpr const char* kMarker = R"({"protocolVersion":1,"schemaVersion":1,"adapter":"json"})";
constexpr const char* kData = R"({"schemaVersion":1,"width":1280,"height":720})";

std::string Narrow(std::wstring_view text) {
    return std::string(text.begin(), text.end());
}

std::optional<SurfaceSize> Size(int width, int height) {
    return SurfaceSize{width, height};
}

void ExpectSize(const std::optional<SurfaceSize>& actual, const std::optional<SurfaceSize>& expected,
                const std::string& label) {
    ASSERT_EQ(actual.has_value(), expected.has_value()) << label;
    if (!expected) return;
    EXPECT_EQ(actual->width, expected->width) << label;
    EXPECT_EQ(actual->height, expected->height) << label;
}

TEST(SurfaceSizeText, AcceptsOnlyDigitsAroundOneLowerCaseX) {
    const struct {
        const wchar_t* text;
        std::optional<SurfaceSize> expected;
    } cases[] = {
        {L"1280x720", Size(1280, 720)}, {L"01280x0720", Size(1280, 720)},
        {L"32767x1", Size(32767, 1)},   {L"1280X720", std::nullopt},
        {L"1280 x 720", std::nullopt},  {L"123456x100", std::nullopt},
        {L"0x100", std::nullopt},       {L"100x0", std::nullopt},
        {L"40000x100", std::nullopt},   {L"32768x100", std::nullopt},
        {L"1280x720x1", std::nullopt},  {L"1280x", std::nullopt},
        {L"x720", std::nullopt},        {L"", std::nullopt},
        {L"+128x720", std::nullopt},    {L"12a4x720", std::nullopt},
        {L"1280x72 ", std::nullopt},    {L"\x0661\x0662x720", std::nullopt},
    };
    for (const auto& c : cases) {
        ExpectSize(ParseSurfaceSize(c.text), c.expected, Narrow(c.text));
    }
}

// A directory with the two files, as the program that leaves them would write them.
class SurfaceFiles : public ::testing::Test {
  protected:
    void Write(const char* marker, const std::string& data) {
        ASSERT_TRUE(WriteBytes(directory_.Join(L".ready.json"), marker));
        ASSERT_TRUE(WriteBytes(directory_.Join(L"data.json"), data));
    }
    std::optional<SurfaceSize> Read() { return ReadSurfaceDataFile(directory_.path()); }

    TempDirectory directory_;
};

TEST_F(SurfaceFiles, AcceptsTheMarkerOnlyByteForByte) {
    const struct {
        const char* marker;
        bool accepted;
    } cases[] = {
        {R"({"protocolVersion":1,"schemaVersion":1,"adapter":"json"})", true},
        {"{\"protocolVersion\":1,\"schemaVersion\":1,\"adapter\":\"json\"}\n", true},
        {"{\"protocolVersion\":1,\"schemaVersion\":1,\"adapter\":\"json\"}\r\n \t", true},
        {R"( {"protocolVersion":1,"schemaVersion":1,"adapter":"json"})", false},
        {R"({"protocolVersion": 1,"schemaVersion":1,"adapter":"json"})", false},
        {R"({"schemaVersion":1,"protocolVersion":1,"adapter":"json"})", false},
        {"\xEF\xBB\xBF{\"protocolVersion\":1,\"schemaVersion\":1,\"adapter\":\"json\"}", false},
        {R"({"protocolVersion":2,"schemaVersion":1,"adapter":"json"})", false},
    };
    for (const auto& c : cases) {
        Write(c.marker, kData);
        ExpectSize(Read(), c.accepted ? Size(1280, 720) : std::nullopt, c.marker);
    }
}

TEST_F(SurfaceFiles, ReadsTheSizeOnlyFromTheExactDataLayout) {
    const struct {
        std::string data;
        std::optional<SurfaceSize> expected;
    } cases[] = {
        {kData, Size(1280, 720)},
        {std::string(kData) + " \r\n\t\n", Size(1280, 720)},
        {R"({"schemaVersion":1,"width":0001280,"height":0000720})", Size(1280, 720)},
        {R"({"schemaVersion":1,"width":32767,"height":32767})", Size(32767, 32767)},
        {R"({"schemaVersion":1,"width":0,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"width":1280,"height":0})", std::nullopt},
        {R"({"schemaVersion":1,"width":32768,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"width":99999999999,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"width":-1280,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"width":+1280,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"width": 1280,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"width":1280 ,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"width":1280})", std::nullopt},
        {R"({"schemaVersion":1,"width":1280,"height":})", std::nullopt},
        {R"({"schemaVersion":1,"width":1280,"height":720}x)", std::nullopt},
        {R"({"schemaVersion":1,"width":1280,"height":720}})", std::nullopt},
        {R"({"schemaVersion":1,"width":1280,"height":720)", std::nullopt},
        {R"( {"schemaVersion":1,"width":1280,"height":720})", std::nullopt},
        {R"({"schemaVersion":1,"height":720,"width":1280})", std::nullopt},
        {R"({"schemaVersion":1,"width":)", std::nullopt},
        {std::string(kData) + std::string(1, '\0'), std::nullopt},
        {std::string("{\"schemaVersion\":1,\"width\":1280,\"height\":720,\"x\":\"\xC3\xA9\"}"), std::nullopt},
    };
    for (const auto& c : cases) {
        Write(kMarker, c.data);
        ExpectSize(Read(), c.expected, c.data);
    }
}

TEST_F(SurfaceFiles, ReadsFilesOfUpTo512Bytes) {
    const std::string data = kData;
    Write(kMarker, data + std::string(512 - data.size(), ' '));
    ExpectSize(Read(), Size(1280, 720), "512 bytes");
    Write(kMarker, data + std::string(513 - data.size(), ' '));
    ExpectSize(Read(), std::nullopt, "513 bytes");
    Write(kMarker, "");
    ExpectSize(Read(), std::nullopt, "empty marker");
}

TEST_F(SurfaceFiles, JoinsTheFileNamesWithOneSeparator) {
    Write(kMarker, kData);
    for (const wchar_t* suffix : {L"", L"\\", L"/"}) {
        const std::wstring directory = directory_.path() + suffix;
        ExpectSize(ReadSurfaceDataFile(directory), Size(1280, 720),
                   "directory ending in '" + Narrow(suffix) + "'");
    }
    ExpectSize(ReadSurfaceDataFile(L""), std::nullopt, "empty directory text");
    ExpectSize(ReadSurfaceDataFile(directory_.Join(L"missing")), std::nullopt, "missing directory");
    ExpectSize(ReadSurfaceDataFile(directory_.Join(L"data.json")), std::nullopt, "a file, not a directory");
}

TEST_F(SurfaceFiles, AValidSizeTextWinsOverTheFiles) {
    Write(kMarker, kData);
    ExpectSize(ResolveSurfaceSize(directory_.path(), L"1024x768"), Size(1024, 768), "text and files");
    ExpectSize(ResolveSurfaceSize(directory_.path(), L"1024X768"), Size(1280, 720), "invalid text, files");
    Write("broken", "broken");
    ExpectSize(ResolveSurfaceSize(directory_.path(), L"1024x768"), Size(1024, 768), "text, broken files");
    ExpectSize(ResolveSurfaceSize(directory_.path(), L""), std::nullopt, "nothing valid");
}

// Creates a symbolic link; false (with the reason) where the platform cannot make one that reads
// as a reparse point.
bool MakeLink(const std::wstring& link, const std::wstring& target, DWORD flags, std::string& reason) {
    if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) {
        reason = "the platform cannot create symbolic links";
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        reason = "the platform does not report symbolic links as reparse points";
        return false;
    }
    return true;
}

TEST_F(SurfaceFiles, RefusesALinkedDirectory) {
    TempDirectory target;
    ASSERT_TRUE(WriteBytes(target.Join(L".ready.json"), kMarker));
    ASSERT_TRUE(WriteBytes(target.Join(L"data.json"), kData));
    const std::wstring linked = directory_.Join(L"linked");
    std::string reason;
    if (!MakeLink(linked, target.path(), SYMBOLIC_LINK_FLAG_DIRECTORY, reason)) GTEST_SKIP() << reason;
    ExpectSize(ReadSurfaceDataFile(linked), std::nullopt, "linked directory");
}

TEST_F(SurfaceFiles, RefusesALinkedDataFile) {
    TempDirectory target;
    ASSERT_TRUE(WriteBytes(target.Join(L"data.json"), kData));
    ASSERT_TRUE(WriteBytes(directory_.Join(L".ready.json"), kMarker));
    std::string reason;
    if (!MakeLink(directory_.Join(L"data.json"), target.Join(L"data.json"), 0, reason))
        GTEST_SKIP() << reason;
    ExpectSize(Read(), std::nullopt, "linked data.json");
}

}  // namespace
}  // namespace tovrak
