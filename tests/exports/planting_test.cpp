#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/environment.h"

namespace {

using tovrak::test::ChildProcess;
using tovrak::test::ExecutableDirectory;
using tovrak::test::ReadBytes;
using tovrak::test::TempDirectory;

// Every system DLL the library reaches that is not a KnownDLL, and uxtheme, which comctl32 and the
// window manager's theming bring in. A copy of the stand-in DLL under each name lies beside the host.
const wchar_t* const kPlantedNames[] = {L"bcrypt.dll",  L"dwmapi.dll",  L"comctl32.dll",
                                        L"uxtheme.dll", L"gdiplus.dll", L"oleacc.dll"};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

class PlantedFolder {
  public:
    PlantedFolder() {
        const std::wstring built = ExecutableDirectory() + L"\\";
        ready_ = ::CopyFileW((built + L"planting_host.exe").c_str(),
                             folder_.Join(L"planting_host.exe").c_str(), FALSE) &&
                 ::CopyFileW((built + L"TovrakRenderer.dll").c_str(),
                             folder_.Join(L"TovrakRenderer.dll").c_str(), FALSE);
        for (const wchar_t* name : kPlantedNames)
            ready_ = ready_ &&
                     ::CopyFileW((built + L"planted_library.dll").c_str(), folder_.Join(name).c_str(), FALSE);
    }
    bool ready() const { return ready_; }

    // Runs the host in `mode`; returns its exit code and, in `loaded`, the planted DLLs that ran.
    DWORD Run(const wchar_t* mode, std::vector<std::wstring>& loaded, std::string& log) {
        for (const wchar_t* name : kPlantedNames)
            ::DeleteFileW(Marker(name).c_str());
        ::DeleteFileW(folder_.Join(L"planting_host.log").c_str());
        DWORD code = STILL_ACTIVE;
        {
            ChildProcess host;
            const std::wstring arguments =
                std::wstring(mode) + L" \"" + tovrak::test::SourcePath(L"assets") + L"\"";
            if (!host.Start(folder_.Join(L"planting_host.exe"), arguments)) return ::GetLastError();
            code = host.Wait(60000);
        }
        loaded.clear();
        for (const wchar_t* name : kPlantedNames)
            if (::GetFileAttributesW(Marker(name).c_str()) != INVALID_FILE_ATTRIBUTES) loaded.push_back(name);
        log = ReadBytes(folder_.Join(L"planting_host.log"));
        return code;
    }

  private:
    std::wstring Marker(const wchar_t* name) const { return folder_.Join(name) + L".loaded"; }

    TempDirectory folder_;
    bool ready_ = false;
};

std::string List(const std::vector<std::wstring>& names) {
    std::string text;
    for (const std::wstring& name : names)
        text += (text.empty() ? "" : ", ") + Narrow(name);
    return text.empty() ? "none" : text;
}

// The comparison the next test rests on: what the system itself loads from the host's folder when the
// same system DLLs are used correctly. On Windows that is nothing.
TEST(DllPlanting, TheSystemAloneRunsNoPlantedDll) {
    PlantedFolder folder;
    ASSERT_TRUE(folder.ready()) << "copying the host, the library and the planted DLLs failed";
    std::vector<std::wstring> loaded;
    std::string log;
    EXPECT_EQ(folder.Run(L"--platform", loaded, log), 0u) << log;
    if (!loaded.empty()) {
        // Wine's user32 loads uxtheme.dll by name through the ordinary search, which starts in the
        // application's folder; Windows' user32 takes it from System32.
        GTEST_SKIP() << "Wine's own DLLs load " << List(loaded)
                     << " from the application folder, where Windows takes them from System32";
    }
}

TEST(DllPlanting, NoPlantedDllRunsBecauseOfTheLibraryAndTheExportsWork) {
    PlantedFolder folder;
    ASSERT_TRUE(folder.ready()) << "copying the host, the library and the planted DLLs failed";

    // Windows prefers a DLL in the application's folder to the system's copy unless it is a KnownDLL.
    // Wine prefers its own built-in DLLs unless WINEDLLOVERRIDES says otherwise, which ctest sets for
    // this test. Without that preference nothing here could be planted and the test would prove nothing.
    std::vector<std::wstring> byPlainLoad;
    std::string plainLog;
    EXPECT_EQ(folder.Run(L"--plain-load", byPlainLoad, plainLog), 0u) << plainLog;
    ASSERT_EQ(List(byPlainLoad), "bcrypt.dll, dwmapi.dll")
        << "a DLL planted beside the host is not preferred to the system's copy here";

    std::vector<std::wstring> byPlatform;
    std::string platformLog;
    EXPECT_EQ(folder.Run(L"--platform", byPlatform, platformLog), 0u) << platformLog;

    std::vector<std::wstring> byLibrary;
    std::string libraryLog;
    EXPECT_EQ(folder.Run(L"--library", byLibrary, libraryLog), 0u) << libraryLog;

    // A DLL that the system loads from the folder anyway (see above) says nothing about the library.
    std::vector<std::wstring> libraryOnly;
    for (const std::wstring& name : byLibrary)
        if (std::find(byPlatform.begin(), byPlatform.end(), name) == byPlatform.end())
            libraryOnly.push_back(name);
    EXPECT_TRUE(libraryOnly.empty()) << "planted DLLs that ran because of the library: " << List(libraryOnly);
}

}  // namespace
