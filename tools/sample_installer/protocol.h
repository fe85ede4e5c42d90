#pragma once
// What the sample host, its worker and the sample application agree on. The library carries the
// events and the status codes; their meaning is ours.

#include <cstdint>

namespace sample {

// The product as Windows shows it: the Apps & features entry, the desktop shortcut, the one
// installation at a time.
constexpr wchar_t kProductName[] = L"Tovrak 示例";
constexpr wchar_t kProductVersion[] = L"1.0.0";
constexpr wchar_t kPublisher[] = L"Tovrak";
constexpr wchar_t kApplicationFile[] = L"sample_app.exe";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TovrakSample";
// Local\: the installation is the user's own, and a second one of the same user in this session
// would write the same directory, shortcut and entry.
constexpr wchar_t kInstallationMutex[] = L"Local\\TovrakSample.Installation";

// The installer's exit codes: those of Windows Installer, which deployment tools read.
enum InstallerExit : int {
    kInstallerSucceeded = 0,
    kInstallerCancelled = 1602,       // ERROR_INSTALL_USEREXIT: closed by the user before the end
    kInstallerFailed = 1603,          // ERROR_INSTALL_FAILURE
    kInstallerAlreadyRunning = 1618,  // ERROR_INSTALL_ALREADY_RUNNING
};

// Worker events (type 1, progress, is the library's own).
enum EventType : std::uint32_t {
    kEventProgress = 1,    // text: percentage
    kEventStage = 2,       // label: stage key, text: what the user reads
    kEventFileCopied = 3,  // text: relative path
    kEventFailure = 4,     // label: stage key, text: "code|system error|message"
    kEventFinished = 5,    // text: number of files installed
};

// Worker exit codes.
enum WorkerExit : int {
    kWorkerSucceeded = 0,
    kWorkerBadArguments = 2,
    kWorkerPayloadRejected = 100,  // + the verification result (1 to 4)
    kWorkerTreeNotPlain = 120,
    kWorkerCopyFailed = 130,
    kWorkerShortcutFailed = 131,
    kWorkerRegistrationFailed = 132,
    kWorkerRemoveFailed = 140,
};

// Launch status codes the application writes to the status pipe.
enum LaunchStatus : std::int32_t {
    kLaunchStarting = 1,
    kLaunchWindowCreated = 2,
    kLaunchFailed = 3,   // final
    kLaunchRunning = 4,  // final
};

// Progress shares of the worker's stages.
constexpr int kVerifyStart = 0;
constexpr int kVerifyEnd = 60;
constexpr int kCopyEnd = 100;

}  // namespace sample
