#pragma once
// What the sample installer is asked to do, from its command line. The switches of deployment are
// those of NSIS installers, which administrators know:
//
//   /S            silent: no window; the exit code tells the result
//   /uninstall    uninstall instead of install
//   /D=<dir>      the installation directory; last on the line, unquoted, spaces allowed
//   /log=<file>   a UTF-8 log of the stages, the worker's events and the result
//
// and those of the demonstration and the tests:
//
//   --mode install|uninstall|update  --auto  --screenshots <dir>  --assets <dir>  --payload <dir>
//   --manifest <file>  --target <dir>  --font <face>  --pace <ms>
//
// and the language of the shell: --lang <BCP 47 tag>, by default the user's UI language. The shell's
// fixed texts for other languages than the built-in Chinese and English come from translations.txt
// beside the executable.

#include <windows.h>

#include <string>

namespace sample {

enum class Mode { Install, Uninstall, Update };

struct HostOptions {
    Mode mode = Mode::Install;
    bool silent = false;
    bool autopilot = false;
    DWORD paceMs = 0;  // the worker's pause after each file
    std::wstring logFile;
    std::wstring screenshots;
    std::wstring assets;
    std::wstring payload;
    std::wstring manifest;
    std::wstring target;
    std::wstring font = L"Microsoft YaHei UI";
    // Empty for the user's own UI languages.
    std::wstring language;
    std::wstring translations;
};

// The options of the whole command line (as GetCommandLineW gives it, the program first); what is
// not given is taken from beside the executable, the target from the user's own programs folder.
HostOptions ParseHostOptions(const std::wstring& commandLine);

// The full path of the running executable, and its folder.
std::wstring ExecutablePath();
std::wstring ExecutableDirectory();

}  // namespace sample
