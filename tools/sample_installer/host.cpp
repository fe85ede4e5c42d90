// The sample installer host: a complete installer built on TovrakRenderer, using only its public
// header and import library. It opens the shell, lets the user (or the autopilot) start the
// installation, keeps the installation directory free of running programs, runs the worker and shows
// its progress, reports a failure with diagnostics, then starts the installed application and hands
// over to it once the application says it is ready. Deployed silently (/S) it does the same work
// without a window and tells the result by its exit code alone. The switches are in host_options.h;
// the exit codes are those of Windows Installer (protocol.h).
//
// Progress lines go to standard error (and to the /log= file); standard output is kept for the
// takeover acknowledgement.

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include <tovrak/renderer.h>

#include "host_options.h"
#include "host_texts.h"
#include "install_log.h"
#include "owned.h"
#include "protocol.h"
#include "screenshot.h"

namespace {

using sample::Mode;

// How often the idle install screen asks whether the application runs from the chosen directory.
constexpr double kGateCheckIntervalMs = 500;

std::wstring TempDirectory(const wchar_t* name) {
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, base);
    return std::wstring(base) + name;
}

// An argument as CommandLineToArgvW reads it back: quoted, and the backslashes before a quote
// doubled.
std::wstring Quoted(const std::wstring& value) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : value) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L'"';
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
    Installer(sample::HostOptions options, sample::InstallLog& log)
        : options_(std::move(options)), texts_(sample::HostTextsFor(options_.language)), log_(log) {}

    int Run() {
        log_.Say(L"%ls %ls: %ls%ls, directory %ls", sample::kProductName, sample::kProductVersion, ModeName(),
                 options_.silent ? L" (silent)" : L"", options_.target.c_str());
        const double openStart = NowMs();
        if (options_.mode == Mode::Update) ConfigureUpdateSurface();
        ConfigureLanguage();
        const uint32_t mode = options_.mode == Mode::Uninstall ? ShellModeUninstall
                              : options_.mode == Mode::Update  ? ShellModeUpdate
                                                               : ShellModeInstall;
        // The silent installer opens the shell too, and never shows it: the library starts the
        // worker in its kill-on-close job and carries the worker's events only for an open shell,
        // and the window that ShellOpen creates stays hidden until ShellShow. Starting the worker
        // ourselves would mean reading the library's record stream a second time. The hidden
        // shell keeps its screens all the same, so that a close request during the work is ignored
        // as the visible close button is.
        window_ = ShellOpen(options_.assets.c_str(), options_.target.c_str(), sample::kProductName,
                            options_.font.c_str(), mode);
        if (!window_) {
            log_.Say(L"ShellOpen failed (assets in %ls)", options_.assets.c_str());
            Finish(sample::kInstallerFailed, L"the installer's window could not be created");
            return Report();
        }
        if (options_.mode == Mode::Install)
            OpenGate();
        else if (options_.mode == Mode::Uninstall)
            ShellState(ShellStateIdle, 0, texts_.uninstallHeadline, texts_.uninstallDetail,
                       texts_.uninstallCaption, L"");
        if (options_.silent) {
            openedAt_ = NowMs();
            log_.Say(L"silent: the window stays hidden");
            if (options_.mode == Mode::Update)
                StartWorker(false);
            else
                StartInstallation();
        } else {
            GateOnRunningApplication();
            const uint32_t shown = ShellShow();
            firstFrameMs_ = NowMs() - openStart;
            log_.Say(L"shell open and shown (%u) after %.1f ms", shown, firstFrameMs_);
            openedAt_ = NowMs();
            if (options_.mode == Mode::Update) StartWorker(false);
        }

        while (!finished_) {
            const double pollStart = NowMs();
            const int32_t command = ShellPoll();
            worstPollMs_ = std::max(worstPollMs_, NowMs() - pollStart);
            HandleCommand(command);
            DrainEvents();
            CheckWorker();
            CheckApplication();
            GateOnRunningApplication();
            if (options_.silent)
                FinishSilently();
            else if (options_.autopilot)
                Autopilot();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 8, QS_ALLINPUT);
        }
        if (!options_.silent)
            log_.Say(
                L"figures: first frame %.1f ms, application ready %.1f ms after open, "
                L"worst ShellPoll %.2f ms",
                firstFrameMs_, readyMs_, worstPollMs_);
        ShellHide();
        ShellClose();
        if (exitCode_ == sample::kInstallerSucceeded && applicationStarted_) {
            const uint32_t acknowledged = ShellAcknowledgeTakeover();
            log_.Say(L"takeover acknowledged to the parent: %u", acknowledged);
        }
        return Report();
    }

  private:
    enum class Phase { Idle, Running, Succeeded, Failed, Launching, Done };

    const wchar_t* ModeName() const {
        return options_.mode == Mode::Uninstall ? L"uninstall"
               : options_.mode == Mode::Update  ? L"update"
                                                : L"install";
    }

    void Finish(int code, std::wstring outcome) {
        exitCode_ = code;
        outcome_ = std::move(outcome);
        finished_ = true;
    }

    // The last line of the log: the exit code and what it means.
    int Report() {
        log_.Say(L"result %d: %ls", exitCode_, outcome_.c_str());
        return exitCode_;
    }

    std::wstring SuccessOutcome() const {
        return options_.mode == Mode::Uninstall ? L"uninstalled from " + options_.target
                                                : L"installed into " + options_.target;
    }

    // Silent, the installer ends with its worker.
    void FinishSilently() {
        if (phase_ == Phase::Succeeded)
            Finish(sample::kInstallerSucceeded, SuccessOutcome());
        else if (phase_ == Phase::Failed)
            Finish(sample::kInstallerFailed, failure_);
    }

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
        sample::OwnedFile file(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) return;
        DWORD written = 0;
        ::WriteFile(file.get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
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
                log_.Say(L"the user closed the installer");
                if (phase_ == Phase::Failed)
                    Finish(sample::kInstallerFailed, failure_);
                else if (phase_ == Phase::Idle)
                    Finish(sample::kInstallerCancelled,
                           std::wstring(L"closed before the ") + ModeName() + L" began");
                else
                    Finish(sample::kInstallerSucceeded, SuccessOutcome());
                break;
            case ShellCommandOpenUserAgreement:
                log_.Say(L"would open the user agreement: https://example.invalid/tovrak/agreement");
                break;
            case ShellCommandOpenPrivacyPolicy:
                log_.Say(L"would open the privacy policy: https://example.invalid/tovrak/privacy");
                break;
            case ShellCommandOpenLogDirectory:
                log_.Say(L"would open the log directory: %ls", TempDirectory(L"TovrakSampleLogs").c_str());
                break;
            case ShellCommandDirectoryChanged: {
                wchar_t directory[32768];
                ShellOptions(directory, _countof(directory));
                log_.Say(L"installation directory changed to %ls", directory);
                nextGateCheckAt_ = 0;  // the application may run from the old one and not the new
                break;
            }
            default:
                break;
        }
    }

    void OpenGate() { ShellGate(1, texts_.installHeadline, texts_.installDetail); }

    // The shell speaks the language asked for, or the user's own: the built-in Chinese and English
    // texts, the others from the translations file beside the installer. A file the library refuses
    // leaves the shell's own texts in force.
    void ConfigureLanguage() {
        const wchar_t* language = options_.language.empty() ? nullptr : options_.language.c_str();
        const bool haveFile = ::GetFileAttributesW(options_.translations.c_str()) != INVALID_FILE_ATTRIBUTES;
        const uint32_t configured =
            ShellConfigureTexts(language, haveFile ? options_.translations.c_str() : nullptr);
        if (configured != 0)
            log_.Say(L"the translations in %ls were refused (%u): run texts_check on them",
                     options_.translations.c_str(), configured);
        log_.Say(L"language %ls", options_.language.empty() ? L"of the user" : options_.language.c_str());
    }

    // While the application runs from the chosen directory its files cannot be replaced: the idle
    // install screen keeps the primary button disabled and says why, until the application exits.
    void GateOnRunningApplication() {
        if (options_.silent || options_.mode != Mode::Install || phase_ != Phase::Idle) return;
        const double now = NowMs();
        if (now < nextGateCheckAt_) return;
        nextGateCheckAt_ = now + kGateCheckIntervalMs;
        wchar_t directory[32768];
        ShellOptions(directory, _countof(directory));
        const bool running =
            FindOwnedProcesses(directory, nullptr, ::GetCurrentProcessId(), 0, 0) == OwnedProcessesRunning;
        if (running == applicationRunning_) return;
        applicationRunning_ = running;
        if (running) {
            ShellGate(0, texts_.closeFirstHeadline, texts_.closeFirstDetail);
            log_.Say(L"a program runs from %ls: the installation waits until it exits", directory);
        } else {
            OpenGate();
            log_.Say(L"nothing runs from %ls any more: the installation may begin", directory);
        }
    }

    // Nothing may run from the installation directory while the worker replaces it.
    bool FreeInstallationDirectory(const std::wstring& directory) {
        const DWORD self = ::GetCurrentProcessId();
        if (FindOwnedProcesses(directory.c_str(), nullptr, self, 0, 0) != OwnedProcessesRunning) return true;
        log_.Say(L"programs still run from %ls: asking them to close", directory.c_str());
        const bool terminate = options_.mode == Mode::Uninstall;
        const uint32_t closed =
            CloseOwnedProcesses(directory.c_str(), terminate ? 1 : 0, self, 0, 0, 1, 3000);
        if (closed != CloseOwnedProcessesDone && closed != CloseOwnedProcessesNoneRunning)
            log_.Say(L"CloseOwnedProcesses: %u", closed);
        if (WaitOwnedProcessesExit(directory.c_str(), nullptr, self, 0, 0, 5000) ==
            OwnedProcessesNoneRunning) {
            log_.Say(L"the programs have exited");
            return true;
        }
        log_.Say(L"programs running from %ls did not exit: their files cannot be replaced",
                 directory.c_str());
        return false;
    }

    void StartInstallation() {
        wchar_t directory[32768];
        const int32_t shortcut = ShellOptions(directory, _countof(directory));
        options_.target = directory;
        const wchar_t* start = options_.silent ? L"silent start" : L"primary action";
        if (options_.mode == Mode::Uninstall)
            log_.Say(L"%ls: directory %ls", start, directory);
        else
            log_.Say(L"%ls: directory %ls, desktop shortcut %d", start, directory, shortcut);
        if (!FreeInstallationDirectory(options_.target)) {
            ShowFailure(L"prepare", 32, ERROR_SHARING_VIOLATION, L"安装目录中仍有程序在运行");
            return;
        }
        StartWorker(shortcut != 0);
    }

    // The worker's command line (worker.cpp). The installer itself is the uninstaller that the Apps
    // & features entry names: run with /uninstall, it finds its worker and manifest beside it.
    std::wstring WorkerArguments(bool shortcut) const {
        std::wstring arguments =
            options_.mode == Mode::Uninstall
                ? L"uninstall " + Quoted(options_.manifest) + L" " + Quoted(options_.target)
                : L"install " + Quoted(options_.payload) + L" " + Quoted(options_.manifest) + L" " +
                      Quoted(options_.target) + L" --uninstaller " + Quoted(sample::ExecutablePath());
        if (shortcut && options_.mode == Mode::Install) arguments += L" --shortcut";
        // The autopilot slows the copy down so that the running screen can be seen.
        const DWORD pace = options_.paceMs ? options_.paceMs : options_.autopilot ? 250 : 0;
        if (pace) arguments += L" --pause " + std::to_wstring(pace);
        return arguments;
    }

    void StartWorker(bool shortcut) {
        const std::wstring worker = sample::ExecutableDirectory() + L"\\sample_worker.exe";
        const uint32_t started = ShellStartWorker(worker.c_str(), WorkerArguments(shortcut).c_str());
        if (started != 0) {
            log_.Say(L"worker did not start: error %u at stage %u", started, ShellWorkerFailureStage());
            ShowFailure(L"start", 1, started, L"无法启动安装进程");
            return;
        }
        phase_ = Phase::Running;
        percent_ = 0;
        lastFailure_.clear();
        failureStage_.clear();
        log_.Say(L"worker started");
        ShellState(ShellStateRunning, 0, StateTitle(), texts_.pleaseWait, L"", L"");
    }

    void DrainEvents() {
        wchar_t label[1024], text[1024];
        for (int32_t type; (type = ShellReadEvent(label, text, 1024)) != 0;) {
            switch (type) {
                case sample::kEventProgress:
                    log_.Note(L"progress %ls", text);
                    ShowProgress(_wtoi(text));
                    break;
                case sample::kEventStage:
                    log_.Say(L"stage %ls: %ls", label, text);
                    if (options_.mode != Mode::Update)
                        ShellState(ShellStateRunning, percent_, StateTitle(), text, L"", L"");
                    break;
                case sample::kEventFileCopied:
                    log_.Note(L"copied %ls", text);
                    ++filesSeen_;
                    break;
                case sample::kEventFailure:
                    lastFailure_ = text;
                    failureStage_ = label;
                    log_.Say(L"failure at %ls: %ls", label, text);
                    break;
                case sample::kEventFinished:
                    log_.Say(L"worker finished: %ls files", text);
                    break;
                default:
                    log_.Say(L"event %d %ls %ls", type, label, text);
            }
        }
    }

    const wchar_t* StateTitle() const {
        return options_.mode == Mode::Uninstall ? texts_.uninstalling : texts_.installing;
    }

    void CheckWorker() {
        if (phase_ != Phase::Running) return;
        const int32_t exit = ShellWorkerExit();
        if (exit == -1) return;
        log_.Say(L"worker exited with %d after %d file events", exit, filesSeen_);
        if (exit != 0) {
            std::wstring code = std::to_wstring(exit), system = L"0", message = L"安装进程异常退出";
            if (!lastFailure_.empty()) {
                const size_t first = lastFailure_.find(L'|'), second = lastFailure_.find(L'|', first + 1);
                code = lastFailure_.substr(0, first);
                system = lastFailure_.substr(first + 1, second - first - 1);
                message = lastFailure_.substr(second + 1);
            }
            ShowFailure(failureStage_.empty() ? L"worker" : failureStage_.c_str(), exit,
                        static_cast<DWORD>(_wtoi64(system.c_str())), message.c_str());
            return;
        }
        phase_ = Phase::Succeeded;
        if (options_.mode == Mode::Uninstall) {
            ShellState(3, 100, texts_.uninstalledHeadline, texts_.uninstalledDetail,
                       texts_.uninstalledCaption, L"");
        } else if (options_.mode == Mode::Install) {
            ShellState(3, 100, texts_.installedHeadline, texts_.installedDetail, texts_.installedCaption,
                       L"");
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
        wchar_t systemText[512] = L"";
        if (systemError)
            ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, systemError,
                             0, systemText, _countof(systemText), nullptr);
        for (wchar_t* c = systemText; *c; ++c)
            if (*c == L'\r' || *c == L'\n') *c = L' ';
        const std::wstring stageName = StageName(stage);
        std::wstring diagnostics = L"失败阶段：" + stageName + L"\n错误码：" + std::to_wstring(code);
        if (systemError)
            diagnostics += L"\n系统错误：Windows " + std::to_wstring(systemError) + L" " + systemText;
        diagnostics += std::wstring(L"\n说明：") + message;
        const wchar_t* title = options_.mode == Mode::Uninstall ? L"卸载失败" : L"安装失败";
        ShellState(ShellStateFailed, percent_, title, message, L"重试", diagnostics.c_str());
        failure_ = std::wstring(L"failed at stage ") + stage + L" (" + stageName + L"), code " +
                   std::to_wstring(code) +
                   (systemError ? L", Windows error " + std::to_wstring(systemError) : L"") + L": " + message;
        log_.Say(L"failure screen: %ls", message);
    }

    static std::wstring StageName(const std::wstring& key) {
        static const struct {
            const wchar_t* key;
            const wchar_t* name;
        } kNames[] = {{L"prepare", L"准备安装目录"},    {L"start", L"启动安装进程"},
                      {L"verify", L"校验安装包"},       {L"validate", L"检查安装包结构"},
                      {L"copy", L"复制文件"},           {L"shortcut", L"桌面快捷方式"},
                      {L"register", L"登记卸载信息"},   {L"remove", L"删除文件"},
                      {L"unregister", L"移除卸载信息"}, {L"launch", L"启动应用程序"}};
        for (const auto& entry : kNames)
            if (key == entry.key) return entry.name;
        return key;
    }

    void LaunchApplication() {
        const std::wstring application = options_.target + L"\\" + sample::kApplicationFile;
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
        const sample::OwnedHandle thread(process.hThread), started(process.hProcess);
        applicationStarted_ = true;
        launchStartedAt_ = NowMs();
        phase_ = Phase::Launching;
        log_.Say(L"application started: %ls", application.c_str());
    }

    void CheckApplication() {
        if (phase_ != Phase::Launching) return;
        const uint32_t ready = ShellPollReady(), surface = ShellPollSurfaceReady();
        const int32_t status = ShellPollLaunchStatus();
        if (ready == 1) {
            readySeen_ = true;
            readyMs_ = NowMs() - openedAt_;
            log_.Say(L"application ready");
        }
        if (surface == 1) {
            surfaceSeen_ = true;
            log_.Say(L"application window is up");
        }
        if (status > 0) {
            log_.Say(L"launch status %d after %d ms", status, ShellLaunchElapsed(0));
            if (status == sample::kLaunchRunning) statusRunning_ = true;
            if (status == sample::kLaunchFailed) ShowFailure(L"launch", 3, 0, L"应用程序启动失败");
        }
        if (readySeen_ && surfaceSeen_ && statusRunning_) {
            log_.Say(L"the application took over");
            phase_ = Phase::Done;
            Finish(sample::kInstallerSucceeded, SuccessOutcome() + L"; the application took over");
        } else if (NowMs() - launchStartedAt_ > 20000) {
            ShowFailure(L"launch", 1460, ERROR_TIMEOUT, L"应用程序未在规定时间内就绪");
        }
    }

    // The autopilot clicks through the screens as a user would and photographs each of them.
    void Autopilot() {
        const double now = NowMs();
        if (now < nextStepAt_) return;
        auto after = [&](double ms) { nextStepAt_ = now + ms; };
        const wchar_t* prefix = ModeName();

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
                    log_.Say(L"the primary button did not respond to the click");
                    Finish(sample::kInstallerFailed, L"the primary button did not respond to the autopilot");
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
                    Finish(sample::kInstallerSucceeded, SuccessOutcome());
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
            Finish(sample::kInstallerFailed, failure_);
        }
    }

    void Screenshot(const std::wstring& name) {
        if (options_.screenshots.empty()) return;
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const std::wstring path = options_.screenshots + L"\\" + name + L".png";
        if (sample::SaveWindowPng(window_, path))
            log_.Say(L"screenshot %ls", path.c_str());
        else
            log_.Say(L"could not save %ls", path.c_str());
    }

    sample::HostOptions options_;
    const sample::HostTexts& texts_;
    sample::InstallLog& log_;
    HWND window_ = nullptr;
    Phase phase_ = Phase::Idle;
    bool finished_ = false;
    int exitCode_ = sample::kInstallerSucceeded;
    std::wstring outcome_;  // what the exit code means, for the log's last line
    std::wstring failure_;  // the last failure: stage, code and message
    int percent_ = 0;
    int filesSeen_ = 0;
    int step_ = 0;
    int updateShots_ = 0;  // pictures of the update surface taken so far, at 0 and at 50 percent
    int failureStep_ = 0;
    double nextStepAt_ = 0;
    double nextGateCheckAt_ = 0;
    bool applicationRunning_ = false;  // as the gate last showed it
    std::wstring lastFailure_;
    std::wstring failureStage_;
    bool applicationStarted_ = false;
    bool readySeen_ = false, surfaceSeen_ = false, statusRunning_ = false;
    double openedAt_ = 0, launchStartedAt_ = 0;
    double firstFrameMs_ = 0, readyMs_ = 0, worstPollMs_ = 0;
};

// The installer's window follows the monitor's DPI itself.
void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (!setContext || (!setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) &&
                        !setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)))
        ::SetProcessDPIAware();
}

// One installation of the product at a time, installer and uninstaller alike: two would write the
// same files, shortcut and entry. The mutex lives as long as the process; a second instance finds it.
bool AnotherInstallationRuns(sample::OwnedHandle& mutex) {
    mutex.reset(::CreateMutexW(nullptr, FALSE, sample::kInstallationMutex));
    // Access denied: the mutex exists and was created with rights this process does not have.
    return mutex ? ::GetLastError() == ERROR_ALREADY_EXISTS : ::GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

int wmain(int, wchar_t**) {
    // /D= takes the rest of the line, spaces included, so the options come from the line itself.
    const sample::HostOptions options = sample::ParseHostOptions(::GetCommandLineW());
    sample::OwnedHandle mutex;
    const bool anotherRuns = AnotherInstallationRuns(mutex);
    sample::InstallLog log;
    // Opened after the mutex: the installation that runs may hold the same log file open.
    const bool logged = log.Open(options.logFile);
    if (anotherRuns) {
        log.Say(L"another installation of %ls is running", sample::kProductName);
        if (!options.silent)
            ::MessageBoxW(nullptr, L"另一个 Tovrak 示例安装程序正在运行。请等它结束后再试。",
                          sample::kProductName, MB_OK | MB_ICONINFORMATION);
        log.Say(L"result %d: another installation runs", sample::kInstallerAlreadyRunning);
        return sample::kInstallerAlreadyRunning;
    }
    if (!logged) {
        log.Say(L"cannot create the log %ls (Windows error %lu)", options.logFile.c_str(), ::GetLastError());
        log.Say(L"result %d: no log", sample::kInstallerFailed);
        return sample::kInstallerFailed;
    }
    BecomeDpiAware();
    const sample::ComApartment apartment;
    Installer installer(options, log);
    return installer.Run();
}
