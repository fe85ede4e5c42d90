// The sample installer host: a complete installer built on TovrakRenderer, using only its public
// header and import library. It opens the shell, lets the user (or the autopilot) start the
// installation, keeps the installation directory free of running programs, runs the worker and shows
// its progress, reports a failure with diagnostics, then starts the installed application and hands
// over to it once the application says it is ready.
//
//   sample_installer.exe [--mode install|uninstall|update] [--auto] [--screenshots <dir>]
//                        [--assets <dir>] [--payload <dir>] [--manifest <file>] [--target <dir>]
//                        [--font <face>]
//
// Progress lines go to standard error; standard output is kept for the takeover acknowledgement.

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tovrak/renderer.h>

#include "protocol.h"
#include "screenshot.h"

namespace {

enum class Mode { Install, Uninstall, Update };

struct Options {
    Mode mode = Mode::Install;
    bool autopilot = false;
    std::wstring screenshots;
    std::wstring assets;
    std::wstring payload;
    std::wstring manifest;
    std::wstring target;
    std::wstring font = L"Microsoft YaHei UI";
};

std::wstring ExecutableDirectory() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring TempDirectory(const wchar_t* name) {
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, base);
    return std::wstring(base) + name;
}

void Say(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    wchar_t line[2048];
    _vsnwprintf_s(line, _countof(line), _TRUNCATE, format, arguments);
    va_end(arguments);
    // UTF-8 on standard error so that a terminal shows the Chinese texts.
    char bytes[8192];
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof(bytes), nullptr, nullptr);
    if (size > 1) {
        std::fwrite("[installer] ", 1, 12, stderr);
        std::fwrite(bytes, 1, size - 1, stderr);
        std::fwrite("\n", 1, 1, stderr);
        std::fflush(stderr);
    }
}

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring NewPipeId() {
    GUID guid;
    ::CoCreateGuid(&guid);
    wchar_t text[40];
    ::StringFromGUID2(guid, text, 40);
    return text;
}

// A click as the user makes it: the pointer moves onto the control and the button goes down and up.
void ClickControl(HWND control) {
    RECT rect;
    ::GetWindowRect(control, &rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}

class Installer {
  public:
    explicit Installer(Options options) : options_(std::move(options)) {}

    int Run() {
        const double openStart = NowMs();
        if (options_.mode == Mode::Update) ConfigureUpdateSurface();
        const uint32_t mode = options_.mode == Mode::Uninstall ? ShellModeUninstall
                              : options_.mode == Mode::Update  ? ShellModeUpdate
                                                               : ShellModeInstall;
        window_ = ShellOpen(options_.assets.c_str(), options_.target.c_str(), L"Tovrak 示例",
                            options_.font.c_str(), mode);
        if (!window_) {
            Say(L"ShellOpen failed (assets in %ls)", options_.assets.c_str());
            return 1;
        }
        if (options_.mode == Mode::Install)
            ShellGate(1, L"安装 Tovrak 示例", L"一个用 TovrakRenderer 制作的示例安装程序");
        else if (options_.mode == Mode::Uninstall)
            ShellState(ShellStateIdle, 0, L"卸载 Tovrak 示例", L"将从这台电脑移除 Tovrak 示例", L"卸载", L"");
        const uint32_t shown = ShellShow();
        firstFrameMs_ = NowMs() - openStart;
        Say(L"shell open and shown (%u) after %.1f ms", shown, firstFrameMs_);
        openedAt_ = NowMs();
        if (options_.mode == Mode::Update) StartWorker();

        while (!finished_) {
            const double pollStart = NowMs();
            const int32_t command = ShellPoll();
            worstPollMs_ = std::max(worstPollMs_, NowMs() - pollStart);
            HandleCommand(command);
            DrainEvents();
            CheckWorker();
            CheckApplication();
            if (options_.autopilot) Autopilot();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 8, QS_ALLINPUT);
        }
        Say(L"figures: first frame %.1f ms, application ready %.1f ms after open, worst ShellPoll %.2f ms",
            firstFrameMs_, readyMs_, worstPollMs_);
        if (window_) {
            ShellHide();
            ShellClose();
        }
        if (exitCode_ == 0 && applicationStarted_) {
            const uint32_t acknowledged = ShellAcknowledgeTakeover();
            Say(L"takeover acknowledged to the parent: %u", acknowledged);
        }
        return exitCode_;
    }

  private:
    enum class Phase { Idle, Running, Succeeded, Failed, Launching, Done };

    void ConfigureUpdateSurface() {
        // Another program leaves the surface's size beside a readiness marker; the shell reads both.
        const std::wstring directory = TempDirectory(L"TovrakSampleSurface");
        ::CreateDirectoryW(directory.c_str(), nullptr);
        WriteAscii(directory + L"\\.ready.json",
                   "{\"protocolVersion\":1,\"schemaVersion\":1,\"adapter\":\"json\"}");
        WriteAscii(directory + L"\\data.json", "{\"schemaVersion\":1,\"width\":900,\"height\":560}\n");
        ShellConfigureUpdateSurface(directory.c_str(), L"");
        ShellConfigureUpdateSurfacePresentation(L"zh", 20);
    }

    static void WriteAscii(const std::wstring& path, const char* text) {
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        ::WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
        ::CloseHandle(file);
    }

    void HandleCommand(int32_t command) {
        switch (command) {
            case ShellCommandPrimaryAction:
                if (phase_ == Phase::Idle || phase_ == Phase::Failed) {
                    StartInstallation();
                } else if (phase_ == Phase::Succeeded) {
                    LaunchApplication();
                }
                break;
            case ShellCommandClose:
                Say(L"the user closed the installer");
                exitCode_ = phase_ == Phase::Failed ? workerExit_ : 0;
                finished_ = true;
                break;
            case ShellCommandOpenUserAgreement:
                Say(L"would open the user agreement: https://example.invalid/tovrak/agreement");
                break;
            case ShellCommandOpenPrivacyPolicy:
                Say(L"would open the privacy policy: https://example.invalid/tovrak/privacy");
                break;
            case ShellCommandOpenLogDirectory:
                Say(L"would open the log directory: %ls", TempDirectory(L"TovrakSampleLogs").c_str());
                break;
            case ShellCommandDirectoryChanged: {
                wchar_t directory[32768];
                ShellOptions(directory, _countof(directory));
                Say(L"installation directory changed to %ls", directory);
                break;
            }
            default:
                break;
        }
    }

    // Nothing may run from the installation directory while the worker replaces it.
    bool FreeInstallationDirectory(const std::wstring& directory) {
        const DWORD self = ::GetCurrentProcessId();
        if (FindOwnedProcesses(directory.c_str(), nullptr, self, 0, 0) != OwnedProcessesRunning) return true;
        Say(L"programs still run from %ls: asking them to close", directory.c_str());
        const bool terminate = options_.mode == Mode::Uninstall;
        const uint32_t closed =
            CloseOwnedProcesses(directory.c_str(), terminate ? 1 : 0, self, 0, 0, 1, 3000);
        if (closed != CloseOwnedProcessesDone && closed != CloseOwnedProcessesNoneRunning)
            Say(L"CloseOwnedProcesses: %u", closed);
        return WaitOwnedProcessesExit(directory.c_str(), nullptr, self, 0, 0, 5000) ==
               OwnedProcessesNoneRunning;
    }

    void StartInstallation() {
        wchar_t directory[32768];
        const int32_t shortcut = ShellOptions(directory, _countof(directory));
        options_.target = directory;
        Say(L"primary action: directory %ls, desktop shortcut %d", directory, shortcut);
        if (!FreeInstallationDirectory(options_.target)) {
            ShowFailure(L"prepare", 32, ERROR_SHARING_VIOLATION, L"安装目录中仍有程序在运行");
            return;
        }
        StartWorker();
    }

    void StartWorker() {
        const std::wstring worker = ExecutableDirectory() + L"\\sample_worker.exe";
        const std::wstring arguments = options_.mode == Mode::Uninstall
                                           ? L"uninstall \"" + options_.target + L"\""
                                           : L"install \"" + options_.payload + L"\" \"" + options_.manifest +
                                                 L"\" \"" + options_.target + L"\"";
        // The autopilot slows the copy down so that the running screen can be seen.
        const std::wstring pace = options_.autopilot ? L" 250" : L"";
        const uint32_t started = ShellStartWorker(worker.c_str(), (arguments + pace).c_str());
        if (started != 0) {
            ShowFailure(L"start", 1, started, L"无法启动安装进程");
            Say(L"worker did not start: error %u at stage %u", started, ShellWorkerFailureStage());
            return;
        }
        phase_ = Phase::Running;
        percent_ = 0;
        Say(L"worker started");
        const wchar_t* title =
            options_.mode == Mode::Uninstall ? L"正在卸载 Tovrak 示例" : L"正在安装 Tovrak 示例";
        ShellState(ShellStateRunning, 0, title, L"请稍候", L"", L"");
    }

    void DrainEvents() {
        wchar_t label[1024], text[1024];
        for (int32_t type; (type = ShellReadEvent(label, text, 1024)) != 0;) {
            switch (type) {
                case sample::kEventProgress:
                    ShowProgress(_wtoi(text));
                    break;
                case sample::kEventStage:
                    Say(L"stage %ls: %ls", label, text);
                    if (options_.mode != Mode::Update)
                        ShellState(ShellStateRunning, percent_, StateTitle(), text, L"", L"");
                    break;
                case sample::kEventFileCopied:
                    ++filesSeen_;
                    break;
                case sample::kEventFailure:
                    lastFailure_ = text;
                    failureStage_ = label;
                    Say(L"failure at %ls: %ls", label, text);
                    break;
                case sample::kEventFinished:
                    Say(L"worker finished: %ls files", text);
                    break;
                default:
                    Say(L"event %d %ls %ls", type, label, text);
            }
        }
    }

    const wchar_t* StateTitle() const {
        return options_.mode == Mode::Uninstall ? L"正在卸载 Tovrak 示例" : L"正在安装 Tovrak 示例";
    }

    void CheckWorker() {
        if (phase_ != Phase::Running) return;
        const int32_t exit = ShellWorkerExit();
        if (exit == -1) return;
        workerExit_ = exit;
        Say(L"worker exited with %d after %d file events", exit, filesSeen_);
        if (exit != 0) {
            std::wstring code = L"0", system = L"0", message = L"安装进程异常退出";
            if (!lastFailure_.empty()) {
                const size_t first = lastFailure_.find(L'|'), second = lastFailure_.find(L'|', first + 1);
                code = lastFailure_.substr(0, first);
                system = lastFailure_.substr(first + 1, second - first - 1);
                message = lastFailure_.substr(second + 1);
            }
            ShowFailure(failureStage_.empty() ? L"worker" : failureStage_.c_str(), exit,
                        _wtoi(system.c_str()), message.c_str());
            return;
        }
        phase_ = Phase::Succeeded;
        if (options_.mode == Mode::Uninstall) {
            ShellState(3, 100, L"卸载完成", L"Tovrak 示例已从这台电脑移除", L"完成", L"");
        } else if (options_.mode == Mode::Install) {
            ShellState(3, 100, L"安装完成", L"Tovrak 示例已安装", L"立即体验", L"");
        } else {
            ShowProgress(100);
        }
    }

    // Passes the worker's percentage to the shell. The autopilot photographs the update surface at
    // exactly 0, 50 and 100 percent, so that each picture shows what its name says: a value that
    // passes 0 or 50 is held back until the surface has been photographed at that percentage.
    void ShowProgress(int value) {
        if (options_.autopilot && options_.mode == Mode::Update) {
            if (updateShots_ == 0 && value > 0) {
                Screenshot(L"update-0");
                ++updateShots_;
            }
            if (updateShots_ == 1 && value >= 50) {
                ShellProgress(50);
                Screenshot(L"update-50");
                ++updateShots_;
            }
        }
        percent_ = value;
        ShellProgress(value);
    }

    void ShowFailure(const wchar_t* stage, int code, DWORD systemError, const wchar_t* message) {
        phase_ = Phase::Failed;
        if (exitCode_ == 0) exitCode_ = code;
        wchar_t systemText[512] = L"";
        if (systemError)
            ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, systemError,
                             0, systemText, _countof(systemText), nullptr);
        for (wchar_t* c = systemText; *c; ++c)
            if (*c == L'\r' || *c == L'\n') *c = L' ';
        std::wstring diagnostics =
            std::wstring(L"失败阶段：") + StageName(stage) + L"\n错误码：" + std::to_wstring(code);
        if (systemError)
            diagnostics += L"\n系统错误：Windows " + std::to_wstring(systemError) + L" " + systemText;
        diagnostics += std::wstring(L"\n说明：") + message;
        ShellState(ShellStateFailed, percent_, L"安装失败", message, L"重试", diagnostics.c_str());
        Say(L"failure screen: %ls", message);
    }

    static std::wstring StageName(const std::wstring& key) {
        static const struct {
            const wchar_t* key;
            const wchar_t* name;
        } kNames[] = {{L"prepare", L"准备安装目录"}, {L"start", L"启动安装进程"},
                      {L"verify", L"校验安装包"},    {L"validate", L"检查安装包结构"},
                      {L"copy", L"复制文件"},        {L"remove", L"删除文件"},
                      {L"launch", L"启动应用程序"}};
        for (const auto& entry : kNames)
            if (key == entry.key) return entry.name;
        return key;
    }

    void LaunchApplication() {
        const std::wstring application = options_.target + L"\\sample_app.exe";
        const std::wstring ready = NewPipeId(), surface = NewPipeId(), status = NewPipeId();
        uint32_t listened = ShellListenReady(ready.c_str(), application.c_str());
        if (!listened) listened = ShellListenSurfaceReady(surface.c_str(), application.c_str());
        if (!listened) listened = ShellListenLaunchStatus(status.c_str(), application.c_str());
        if (listened) {
            ShowFailure(L"launch", 3, listened, L"无法等待应用程序启动");
            return;
        }
        std::wstring commandLine =
            L"\"" + application + L"\" --ready " + ready + L" --surface " + surface + L" --status " + status;
        if (options_.autopilot) commandLine += L" --exit-after 1500";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              options_.target.c_str(), &startup, &process)) {
            ShowFailure(L"launch", 3, ::GetLastError(), L"无法启动应用程序");
            return;
        }
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        applicationStarted_ = true;
        launchStartedAt_ = NowMs();
        phase_ = Phase::Launching;
        Say(L"application started: %ls", application.c_str());
    }

    void CheckApplication() {
        if (phase_ != Phase::Launching) return;
        const uint32_t ready = ShellPollReady(), surface = ShellPollSurfaceReady();
        const int32_t status = ShellPollLaunchStatus();
        if (ready == 1) {
            readySeen_ = true;
            readyMs_ = NowMs() - openedAt_;
            Say(L"application ready");
        }
        if (surface == 1) {
            surfaceSeen_ = true;
            Say(L"application window is up");
        }
        if (status > 0) {
            Say(L"launch status %d after %d ms", status, ShellLaunchElapsed(0));
            if (status == sample::kLaunchRunning) statusRunning_ = true;
            if (status == sample::kLaunchFailed) ShowFailure(L"launch", 3, 0, L"应用程序启动失败");
        }
        if (readySeen_ && surfaceSeen_ && statusRunning_) {
            Say(L"the application took over");
            phase_ = Phase::Done;
            exitCode_ = 0;
            finished_ = true;
        } else if (NowMs() - launchStartedAt_ > 20000) {
            ShowFailure(L"launch", 1460, ERROR_TIMEOUT, L"应用程序未在规定时间内就绪");
        }
    }

    // The autopilot clicks through the screens as a user would and photographs each of them.
    void Autopilot() {
        const double now = NowMs();
        if (now < nextStepAt_) return;
        auto after = [&](double ms) { nextStepAt_ = now + ms; };
        const wchar_t* prefix = options_.mode == Mode::Uninstall ? L"uninstall"
                                : options_.mode == Mode::Update  ? L"update"
                                                                 : L"install";

        if (options_.mode == Mode::Update) {
            // The pictures at 0 and 50 percent are taken as the progress passes them (ShowProgress).
            if (step_ == 0 && phase_ == Phase::Succeeded) {
                Screenshot(L"update-100");
                ++step_;
                LaunchApplication();
            } else if (phase_ == Phase::Failed) {
                FinishWithFailureShots(prefix);
            }
            return;
        }

        switch (step_) {
            case 0:
                after(500);
                ++step_;
                break;
            case 1:
                Screenshot(std::wstring(prefix) + L"-idle");
                ClickControl(::GetDlgItem(window_, 0x66));  // options
                after(500);
                ++step_;
                break;
            case 2:
                Screenshot(std::wstring(prefix) + L"-options");
                ClickControl(::GetDlgItem(window_, 0x65));  // primary
                after(100);
                ++step_;
                break;
            case 3:
                if (phase_ == Phase::Running && percent_ >= 40) {
                    Screenshot(std::wstring(prefix) + L"-running");
                    ++step_;
                } else if (phase_ == Phase::Succeeded || phase_ == Phase::Failed) {
                    ++step_;
                } else if (phase_ == Phase::Idle && now - openedAt_ > 15000) {
                    Say(L"the primary button did not respond to the click");
                    exitCode_ = 1;
                    finished_ = true;
                }
                break;
            case 4:
                if (phase_ == Phase::Succeeded) {
                    after(300);
                    ++step_;
                } else if (phase_ == Phase::Failed) {
                    FinishWithFailureShots(prefix);
                }
                break;
            case 5:
                Screenshot(std::wstring(prefix) + L"-done");
                if (options_.mode == Mode::Install) {
                    ClickControl(::GetDlgItem(window_, 0x65));  // "立即体验" starts the application
                    ++step_;
                } else {
                    finished_ = true;
                }
                break;
            default:
                break;
        }
    }

    void FinishWithFailureShots(const wchar_t* prefix) {
        if (failureStep_ == 0) {
            nextStepAt_ = NowMs() + 300;
            ++failureStep_;
        } else if (failureStep_ == 1) {
            Screenshot(std::wstring(prefix) + L"-failed");
            ClickControl(::GetDlgItem(window_, 0x66));  // "诊断信息" opens the diagnostics panel
            nextStepAt_ = NowMs() + 500;
            ++failureStep_;
        } else {
            Screenshot(std::wstring(prefix) + L"-failed-diagnostics");
            exitCode_ = workerExit_ ? workerExit_ : exitCode_;
            finished_ = true;
        }
    }

    void Screenshot(const std::wstring& name) {
        if (options_.screenshots.empty()) return;
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const std::wstring path = options_.screenshots + L"\\" + name + L".png";
        if (sample::SaveWindowPng(window_, path))
            Say(L"screenshot %ls", path.c_str());
        else
            Say(L"could not save %ls", path.c_str());
    }

    Options options_;
    HWND window_ = nullptr;
    Phase phase_ = Phase::Idle;
    bool finished_ = false;
    int exitCode_ = 0;
    int workerExit_ = 0;
    int percent_ = 0;
    int filesSeen_ = 0;
    int step_ = 0;
    int updateShots_ = 0;  // pictures of the update surface taken so far, at 0 and at 50 percent
    int failureStep_ = 0;
    double nextStepAt_ = 0;
    std::wstring lastFailure_;
    std::wstring failureStage_;
    bool applicationStarted_ = false;
    bool readySeen_ = false, surfaceSeen_ = false, statusRunning_ = false;
    double openedAt_ = 0, launchStartedAt_ = 0;
    double firstFrameMs_ = 0, readyMs_ = 0, worstPollMs_ = 0;
};

Options ParseOptions(int argc, wchar_t** argv) {
    Options options;
    const std::wstring here = ExecutableDirectory();
    options.assets = here + L"\\assets";
    options.payload = here + L"\\sample\\payload";
    options.manifest = here + L"\\sample\\payload.manifest";
    options.target = TempDirectory(L"TovrakSample");
    for (int i = 1; i < argc; ++i) {
        const std::wstring name = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : L"";
        if (name == L"--auto") {
            options.autopilot = true;
            continue;
        }
        ++i;
        if (name == L"--mode")
            options.mode = std::wstring(value) == L"uninstall" ? Mode::Uninstall
                           : std::wstring(value) == L"update"  ? Mode::Update
                                                               : Mode::Install;
        else if (name == L"--screenshots")
            options.screenshots = value;
        else if (name == L"--assets")
            options.assets = value;
        else if (name == L"--payload")
            options.payload = value;
        else if (name == L"--manifest")
            options.manifest = value;
        else if (name == L"--target")
            options.target = value;
        else if (name == L"--font")
            options.font = value;
    }
    return options;
}

// The installer's window follows the monitor's DPI itself.
void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (!setContext || (!setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) &&
                        !setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)))
        ::SetProcessDPIAware();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    BecomeDpiAware();
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Installer installer(ParseOptions(argc, argv));
    const int code = installer.Run();
    ::CoUninitialize();
    return code;
}
