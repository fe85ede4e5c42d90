#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/environment.h"

namespace {

// The version resource as Explorer and MSI read it, from the DLL file beside the tests.
class VersionResource {
  public:
    explicit VersionResource(const std::wstring& path) {
        DWORD ignored = 0;
        const DWORD bytes = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (bytes == 0) return;
        data_.resize(bytes);
        if (!::GetFileVersionInfoW(path.c_str(), 0, bytes, data_.data())) data_.clear();
    }
    bool Loaded() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() {
        void* value = nullptr;
        UINT bytes = 0;
        if (!::VerQueryValueW(data_.data(), L"\\", &value, &bytes) || bytes < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // The string of the first language the Translation entry lists, or "<missing>".
    std::wstring String(const wchar_t* name) {
        struct Translation {
            WORD language;
            WORD codePage;
        };
        void* value = nullptr;
        UINT bytes = 0;
        if (!::VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &bytes) ||
            bytes < sizeof(Translation))
            return L"<missing>";
        const auto* translation = static_cast<const Translation*>(value);
        wchar_t query[128];
        swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->codePage,
                 name);
        if (!::VerQueryValueW(data_.data(), query, &value, &bytes) || bytes == 0) return L"<missing>";
        return static_cast<const wchar_t*>(value);
    }

  private:
    std::vector<unsigned char> data_;
};

TEST(VersionResource, CarriesTheConfiguredVersionAndNames) {
    VersionResource resource(tovrak::test::ExecutableDirectory() + L"\\TovrakRenderer.dll");
    ASSERT_TRUE(resource.Loaded()) << "GetFileVersionInfoW failed: " << ::GetLastError();

    const VS_FIXEDFILEINFO* fixed = resource.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD mostSignificant = MAKELONG(TOVRAK_VERSION_MINOR, TOVRAK_VERSION_MAJOR);
    const DWORD leastSignificant = MAKELONG(0, TOVRAK_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, mostSignificant);
    EXPECT_EQ(fixed->dwFileVersionLS, leastSignificant);
    EXPECT_EQ(fixed->dwProductVersionMS, mostSignificant);
    EXPECT_EQ(fixed->dwProductVersionLS, leastSignificant);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "neither debug nor pre-release";

    const struct {
        const wchar_t* name;
        std::wstring expected;
    } strings[] = {
        {L"FileVersion", TOVRAK_VERSION L".0"}, {L"ProductVersion", TOVRAK_VERSION},
        {L"ProductName", L"TovrakRenderer"},    {L"OriginalFilename", L"TovrakRenderer.dll"},
        {L"InternalName", L"TovrakRenderer"},   {L"FileDescription", TOVRAK_DESCRIPTION},
        {L"LegalCopyright", TOVRAK_COPYRIGHT},
    };
    for (const auto& entry : strings)
        EXPECT_EQ(resource.String(entry.name), entry.expected) << entry.name;
}

}  // namespace
