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
const wchar_t* const kPlantedNames[] = {L"bcrypt.dll", L"dwmapi.dll", L"comctl32.dll", L"uxtheme.dll",
                                        L"gdiplus.dll"};

// Windows prefers a DLL in the application's folder to the system's copy unless it is a KnownDLL. Wine
// prefers its own built-in DLLs unless told otherwise, so the host is told to prefer a file on disk.
constexpr wchar_t kPreferPlantedDlls[] = L"bcrypt,dwmapi,comctl32,uxtheme,gdiplus=n,b;mscoree,mshtml=";

// Sets an environment variable for the programs started while it lives.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t previous[4096];
        const DWORD length = ::GetEnvironmentVariableW(name, previous, 4096);
        hadValue_ = length > 0 && length < 4096;
        if (hadValue_) previous_.assign(previous, length);
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_, hadValue_ ? previous_.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    const wchar_t* name_;
    std::wstring previous_;
    bool hadValue_ = false;
};

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
            ScopedEnvironment preferPlanted(L"WINEDLLOVERRIDES", kPreferPlantedDlls);
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

TEST(DllPlanting, NoDllPlantedBesideTheHostRunsWhileTheExportsWork) {
    PlantedFolder folder;
    ASSERT_TRUE(folder.ready()) << "copying the host, the library and the planted DLLs failed";

    // What the system itself loads from the host's folder when the same DLLs are used correctly.
    std::vector<std::wstring> byPlatform;
    std::string platformLog;
    const DWORD platformCode = folder.Run(L"--platform", byPlatform, platformLog);

    std::vector<std::wstring> byLibrary;
    std::string libraryLog;
    const DWORD libraryCode = folder.Run(L"--library", byLibrary, libraryLog);

    std::vector<std::wstring> libraryOnly;
    for (const std::wstring& name : byLibrary)
        if (std::find(byPlatform.begin(), byPlatform.end(), name) == byPlatform.end())
            libraryOnly.push_back(name);
    EXPECT_TRUE(libraryOnly.empty()) << "planted DLLs that ran because of the library: " << List(libraryOnly);

    if (!byPlatform.empty()) {
        // Windows resolves the dependencies of a DLL it loaded from System32 in System32 again; Wine's
        // own DLLs look for theirs in the application's folder first, so the planted copies run in any
        // host there, and may also break the exports that reach them.
        GTEST_SKIP() << "Wine's system DLLs load DLLs from the application folder by themselves: "
                     << List(byPlatform) << " (host without the library: " << platformCode << ", "
                     << platformLog << ")";
    }
    EXPECT_EQ(platformCode, 0u) << platformLog;
    EXPECT_EQ(libraryCode, 0u) << libraryLog;
}

}  // namespace
