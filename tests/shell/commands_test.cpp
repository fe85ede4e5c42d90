#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/scaling.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "support/environment.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

using namespace tovrak;
using namespace tovrak::test;

namespace {

bool IsShown(HWND control) {
    return (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Click(HWND button) {
    ::SendMessageW(button, BM_CLICK, 0, 0);
}

// Records the percentages that reach the progress bar, as the bar itself receives them.
class BarRecorder {
  public:
    explicit BarRecorder(HWND bar) : bar_(bar) {
        ::SetWindowSubclass(bar_, Record, 7, reinterpret_cast<DWORD_PTR>(this));
    }
    ~BarRecorder() { ::RemoveWindowSubclass(bar_, Record, 7); }
    int last = -1;
    int count = 0;

  private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR self) {
        if (message == SetProgressMessage) {
            reinterpret_cast<BarRecorder*>(self)->last = static_cast<int>(wParam);
            ++reinterpret_cast<BarRecorder*>(self)->count;
        }
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    HWND bar_;
};

}  // namespace

TEST(ShellCommands, DoNothingWithoutAShell) {
    ASSERT_EQ(g_shell, nullptr);
    EXPECT_EQ(::ShellPoll(), ShellCommandClose);
    wchar_t buffer[8] = L"keep";
    EXPECT_EQ(::ShellOptions(buffer, 8), 0);
    EXPECT_STREQ(buffer, L"keep");
    ::ShellState(1, 5, L"t", L"d", L"c", L"x");
    ::ShellProgress(5);
    ::ShellGate(0, L"h", L"d");
    ::ShellDirectory(L"C:\\", L"n");
    EXPECT_EQ(::ShellShow(), TOVRAK_ERROR_INVALID_HANDLE);
    EXPECT_EQ(::ShellHide(), TOVRAK_ERROR_INVALID_HANDLE);
}

TEST(ShellPoll, ReturnsEachUserCommandOnceAndOnlyTheLatest) {
    ShellSession session;
    ASSERT_TRUE(session);
    const struct {
        HWND ShellContext::*button;
        int command;
    } cases[] = {
        {&ShellContext::closeButton, ShellCommandClose},
        {&ShellContext::userAgreementLink, ShellCommandOpenUserAgreement},
        {&ShellContext::privacyPolicyLink, ShellCommandOpenPrivacyPolicy},
        {&ShellContext::shortcutCheckbox, ShellCommandNone},
        {&ShellContext::copyDiagnosticsButton, ShellCommandNone},
        {&ShellContext::primaryButton, ShellCommandPrimaryAction},
    };
    for (const auto& c : cases) {
        Click(g_shell.get()->*c.button);
        EXPECT_EQ(::ShellPoll(), c.command) << WindowText(g_shell.get()->*c.button);
        EXPECT_EQ(::ShellPoll(), ShellCommandNone);
    }

    Click(g_shell->userAgreementLink);
    Click(g_shell->privacyPolicyLink);
    EXPECT_EQ(::ShellPoll(), ShellCommandOpenPrivacyPolicy);

    ::SendMessageW(session.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(::ShellPoll(), ShellCommandClose);
    EXPECT_TRUE(::IsWindow(session.window()));

    // A command without a control (the dialog manager's IDCANCEL for Escape) matches nothing.
    ::SendMessageW(session.window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);

    // The log button is on the failure screen's diagnostics panel, which a shown shell opens.
    ::ShellState(ShellStateFailed, 0, L"安装失败", L"", L"重试", L"错误代码：0x80070005");
    ASSERT_EQ(::ShellShow(), 0u);
    Click(g_shell->optionsButton);
    Click(g_shell->openLogButton);
    EXPECT_EQ(::ShellPoll(), ShellCommandOpenLogDirectory);
}

// The shell's state has no lock: a call from any thread but the one that opened it (an NSIS section,
// say) must leave everything alone and say so, while the host keeps pumping.
TEST(ShellCommands, FromAnotherThreadChangeNothingAndSaySo) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    Click(g_shell->userAgreementLink);  // a command waiting for the host
    ::ShellState(ShellStateRunning, 10, L"安装中", L"", L"", L"");

    struct {
        int32_t poll = -1, options = -1, pollLaunch = 0, workerExit = 0;
        uint32_t show = 0, hide = 0, listen = 0, pollReady = 0, startWorker = 0;
    } seen;
    std::atomic<bool> done{false};
    std::thread other([&] {
        ::ShellProgress(90);
        ::ShellState(ShellStateFailed, 50, L"失败", L"", L"重试", L"x");
        ::ShellGate(0, L"h", L"d");
        seen.poll = ::ShellPoll();
        wchar_t directory[64] = L"keep";
        seen.options = ::ShellOptions(directory, 64);
        seen.show = ::ShellShow();
        seen.hide = ::ShellHide();
        seen.listen = ::ShellListenReady(L"{01234567-89ab-cdef-0123-456789abcdef}", L"C:\\app.exe");
        seen.pollReady = ::ShellPollReady();
        seen.pollLaunch = ::ShellPollLaunchStatus();
        seen.startWorker = ::ShellStartWorker(L"C:\\windows\\system32\\cmd.exe", L"/c exit");
        seen.workerExit = ::ShellWorkerExit();
        ::ShellClose();
        done = true;
    });
    while (!done) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
        ::Sleep(5);
    }
    other.join();

    EXPECT_EQ(seen.poll, ShellCommandNone);
    EXPECT_EQ(seen.options, 0);
    EXPECT_EQ(seen.show, TOVRAK_ERROR_WRONG_THREAD);
    EXPECT_EQ(seen.hide, TOVRAK_ERROR_WRONG_THREAD);
    EXPECT_EQ(seen.listen, TOVRAK_ERROR_WRONG_THREAD);
    EXPECT_EQ(seen.pollReady, TOVRAK_ERROR_WRONG_THREAD);
    EXPECT_EQ(seen.pollLaunch, -static_cast<int32_t>(TOVRAK_ERROR_WRONG_THREAD));
    EXPECT_EQ(seen.startWorker, TOVRAK_ERROR_WRONG_THREAD);
    EXPECT_EQ(seen.workerExit, -1);

    // The host finds its shell as it left it, its command still waiting and no listener or worker.
    ASSERT_NE(g_shell, nullptr);
    EXPECT_TRUE(::IsWindow(session.window()));
    EXPECT_EQ(g_shell->stateKind, ShellStateRunning);
    EXPECT_EQ(g_shell->percent, 10);
    EXPECT_EQ(g_shell->gateOpen, 1);
    EXPECT_EQ(g_shell->workerProcess.get(), nullptr);
    EXPECT_EQ(::ShellPollReady(), TOVRAK_ERROR_INVALID_HANDLE);
    EXPECT_EQ(::ShellPoll(), ShellCommandOpenUserAgreement);
}

TEST(ShellPoll, RefusesClosingAndStartingWhileRunning) {
    ShellSession session;
    ASSERT_TRUE(session);
    ::ShellState(ShellStateRunning, 10, L"安装中", L"", L"一键安装", L"");
    Click(g_shell->closeButton);
    ::SendMessageW(session.window(), WM_CLOSE, 0, 0);
    ::SendMessageW(session.window(), WM_COMMAND,
                   MAKEWPARAM(static_cast<int>(ShellControlId::Primary), BN_CLICKED),
                   reinterpret_cast<LPARAM>(g_shell->primaryButton));
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);
    EXPECT_TRUE(::IsWindow(session.window()));
    EXPECT_FALSE(::IsWindowEnabled(g_shell->closeButton));
}

TEST(ShellState, GivesThePrimaryButtonBackOnARepeatedStateWithinTheInstallRules) {
    ShellSession session;
    ASSERT_TRUE(session);
    const HWND primary = g_shell->primaryButton;
    ::ShellState(0, 0, L"安装Tovrak", L"", L"一键安装", L"");
    ASSERT_TRUE(::IsWindowEnabled(primary));

    Click(primary);
    Click(primary);  // disabled by the first click: no second command
    EXPECT_FALSE(::IsWindowEnabled(primary));
    EXPECT_EQ(::ShellPoll(), ShellCommandPrimaryAction);
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);

    ::ShellState(0, 0, L"安装Tovrak", L"", L"一键安装", L"");
    EXPECT_TRUE(::IsWindowEnabled(primary));

    Click(g_shell->agreementCheckbox);  // agreement withdrawn
    EXPECT_EQ(g_shell->agreementAccepted, 0);
    EXPECT_FALSE(::IsWindowEnabled(primary));
    ::ShellState(0, 0, L"安装Tovrak", L"", L"一键安装", L"");
    EXPECT_FALSE(::IsWindowEnabled(primary));
    Click(g_shell->agreementCheckbox);
    EXPECT_TRUE(::IsWindowEnabled(primary));

    ::ShellGate(0, L"请先关闭正在运行的程序", L"细节");
    EXPECT_FALSE(::IsWindowEnabled(primary));
    EXPECT_EQ(g_shell->gateReason, L"请先关闭正在运行的程序");
    EXPECT_EQ(g_shell->statusText, L"细节");
    ::ShellGate(1, L"", L"");
    EXPECT_TRUE(::IsWindowEnabled(primary));

    // Any other screen enables it whatever the agreement says.
    Click(g_shell->agreementCheckbox);
    ::ShellState(3, 0, L"完成", L"", L"打开", L"");
    EXPECT_TRUE(::IsWindowEnabled(primary));
    EXPECT_EQ(WindowText(primary), L"打开");
    EXPECT_EQ(WindowText(session.window()), L"完成");
}

TEST(ShellState, ClampsPercentagesAndFeedsTheBar) {
    for (uint32_t mode : {ShellModeInstall, ShellModeUninstall}) {
        SCOPED_TRACE(mode);
        ShellSession session(mode);
        ASSERT_TRUE(session);
        BarRecorder bar(g_shell->progressBar);
        const bool uninstall = mode == ShellModeUninstall;
        const struct { int percent, stored; } cases[] = {{-5, 0}, {250, 100}, {42, 42}};
        for (const auto& c : cases) {
            ::ShellState(ShellStateRunning, c.percent, L"t", L"", L"c", L"");
            EXPECT_EQ(g_shell->percent, c.stored);
            EXPECT_EQ(bar.last, uninstall ? 50 : c.stored);
            EXPECT_EQ(WindowText(g_shell->progressBar), std::to_wstring(c.stored) + L"%");

            ::ShellProgress(c.percent);
            EXPECT_EQ(g_shell->percent, c.stored);
            EXPECT_EQ(bar.last, c.stored);
            EXPECT_EQ(WindowText(g_shell->progressBar), std::to_wstring(c.stored) + L"%");
        }
        ::ShellState(ShellStateIdle, 42, L"t", L"", L"c", L"");
        EXPECT_EQ(WindowText(g_shell->progressBar), L"");
    }
}

TEST(ShellProgress, MapsTheUpdateProgressAndNeverGoesBack) {
    ShellSession session(ShellModeUpdate, L"C:\\x", L"更新");
    ASSERT_TRUE(session);
    const struct {
        int percent, shown;
        bool complete;
    } steps[] = {
        {30, 4, false},  {60, 25, false},  {20, 25, false},  {95, 88, false},
        {96, 90, false}, {100, 100, true}, {20, 100, false}, {250, 100, true},
    };
    for (const auto& step : steps) {
        ::ShellProgress(step.percent);
        EXPECT_EQ(g_shell->surfaceProgress, step.shown) << step.percent;
        EXPECT_EQ(g_shell->surfaceComplete, step.complete) << step.percent;
    }
    EXPECT_EQ(g_shell->percent, 0);

    ::ShellState(ShellStateRunning, 70, L"t", L"d", L"c", L"x");
    EXPECT_EQ(g_shell->stateKind, 1);
    EXPECT_EQ(g_shell->percent, 70);
    EXPECT_EQ(g_shell->statusText, L"");
    EXPECT_EQ(WindowText(session.window()), L"更新");
}

TEST(ShellState, TurnsAFailedUpdateIntoTheFailureWindowOnTheSameMonitor) {
    ASSERT_EQ(::ShellConfigureUpdateSurface(L"", L"1200x800"), 0u);
    ShellSession session(ShellModeUpdate, L"C:\\x", L"更新");
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    ::ShellState(ShellStateFailed, 0, L"更新失败", L"请重试", L"重试", L"失败步骤：下载");
    EXPECT_NE(g_shell->mode, ShellModeUpdate);
    EXPECT_EQ(g_shell->optionsExpanded, 0);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(session.window(), MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& work = monitor.rcWork;
    RECT window{};
    ::GetWindowRect(session.window(), &window);
    const int width = Scale(700, g_shell->dpi), height = Scale(500, g_shell->dpi);
    EXPECT_EQ(window.right - window.left, width);
    EXPECT_EQ(window.bottom - window.top, height);
    EXPECT_EQ(window.left, work.left + std::max(0L, (work.right - work.left - width) / 2));
    EXPECT_EQ(window.top, work.top + std::max(0L, (work.bottom - work.top - height) / 2));
    EXPECT_EQ(WindowText(session.window()), L"更新失败");
    EXPECT_TRUE(IsShown(g_shell->optionsButton));
    EXPECT_EQ(WindowText(g_shell->optionsButton), L"诊断信息");
    EXPECT_FALSE(IsShown(g_shell->diagnosticsLabel));

    // Closing works again once the update surface is gone.
    Click(g_shell->closeButton);
    EXPECT_EQ(::ShellPoll(), ShellCommandClose);
}

TEST(ShellOptions, CopiesTheDirectoryWithTruncationAndReportsTheShortcut) {
    ShellSession session(ShellModeInstall, L"C:\\Program Files\\产品");
    ASSERT_TRUE(session);
    wchar_t buffer[64];
    const struct {
        int capacity;
        const wchar_t* text;
    } cases[] = {{1, L""}, {4, L"C:\\"}, {64, L"C:\\Program Files\\产品"}};
    for (const auto& c : cases) {
        wmemset(buffer, L'#', 64);
        EXPECT_EQ(::ShellOptions(buffer, c.capacity), 1);
        EXPECT_STREQ(buffer, c.text);
    }
    EXPECT_EQ(::ShellOptions(buffer, 0), 0);
    EXPECT_EQ(::ShellOptions(nullptr, 64), 0);

    // The box is in the options panel, which a shown shell opens.
    ASSERT_EQ(::ShellShow(), 0u);
    Click(g_shell->optionsButton);
    Click(g_shell->shortcutCheckbox);
    EXPECT_EQ(::ShellOptions(buffer, 64), 0);
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);
}

TEST(ShellDirectory, UpdatesThePathAtOnceAndTheNoteWhenThePanelOpens) {
    ShellSession session(ShellModeInstall, L"C:\\Old");
    ASSERT_TRUE(session);
    ::ShellDirectory(L"D:\\New", L"需要 2 GB");
    EXPECT_EQ(WindowText(g_shell->pathEdit), L"D:\\New");
    wchar_t buffer[32];
    ::ShellOptions(buffer, 32);
    EXPECT_STREQ(buffer, L"D:\\New");
    EXPECT_FALSE(IsShown(g_shell->directoryNoteLabel));

    ASSERT_EQ(::ShellShow(), 0u);
    Click(g_shell->optionsButton);
    EXPECT_TRUE(IsShown(g_shell->directoryNoteLabel));
    EXPECT_EQ(WindowText(g_shell->directoryNoteLabel), L"需要 2 GB");
    ::ShellDirectory(L"D:\\New", L"空间不足");
    EXPECT_EQ(WindowText(g_shell->directoryNoteLabel), L"空间不足");
}

TEST(ShellShow, FocusesTheControlForTheModeAndHideUndoesTheAlpha) {
    const struct {
        uint32_t mode;
        HWND ShellContext::*focus;
    } cases[] = {
        {ShellModeInstall, &ShellContext::primaryButton},
        {ShellModeUninstall, &ShellContext::optionsButton},
        {ShellModeUpdate, &ShellContext::window},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ShellSession session(c.mode);
        ASSERT_TRUE(session);
        ASSERT_EQ(::ShellShow(), 0u);
        EXPECT_EQ(::GetFocus(), g_shell.get()->*c.focus);
        ASSERT_EQ(::ShellShow(), 0u);  // already shown: still fine
        EXPECT_EQ(::ShellHide(), 0u);
        EXPECT_FALSE(::IsWindowVisible(session.window()));
    }
}
