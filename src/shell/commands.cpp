#include <windows.h>

#include <algorithm>
#include <string>

#include "common/dwmapi_functions.h"
#include "common/export_guard.h"
#include "common/last_error.h"
#include "common/scaling.h"
#include "shell/layout.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"
#include "shell/update_surface.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

// ShellPoll's budget per call: it returns after this many messages or once this many milliseconds
// have passed, so that the host's own loop keeps running.
constexpr int kPollMessageLimit = 64;
constexpr ULONGLONG kPollTimeLimitMs = 7;

constexpr BYTE kOpaque = 255;
constexpr BYTE kTransparent = 0;
constexpr UINT kFullRedraw = RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME;

int ClampPercent(int percent) noexcept {
    return std::clamp(percent, 0, 100);
}

int S(int units) noexcept {
    return Scale(units, g_shell->dpi);
}

bool PrimaryEnabledFor(const ShellContext& shell) noexcept {
    if (shell.stateKind == ShellStateRunning) return false;
    if (shell.stateKind != ShellStateIdle || shell.uninstallMode) return true;
    return shell.agreementAccepted && shell.gateOpen;
}

void SendBarPercent(const ShellContext& shell, int percent) noexcept {
    if (shell.progressBar)
        ::SendMessageW(shell.progressBar, SetProgressMessage, static_cast<WPARAM>(percent), 0);
}

std::wstring PercentText(int percent) {
    return std::to_wstring(percent) + L"%";
}

void StoreStateTexts(ShellContext& shell, std::wstring_view title, std::wstring_view detail,
                     std::wstring_view caption, std::wstring_view diagnostics) {
    // Copy everything first: a failed copy leaves the stored state whole.
    WideString newTitle(title), newDetail(detail), newCaption(caption), newDiagnostics(diagnostics);
    shell.windowTitle = std::move(newTitle);
    shell.statusText = std::move(newDetail);
    shell.primaryCaption = std::move(newCaption);
    shell.diagnosticsText = std::move(newDiagnostics);
}

// Leaves the update surface for the ordinary window of 700 x 500 units, centred on the monitor the
// surface was on; the failure screen follows.
void LeaveUpdateSurface(ShellContext& shell, int percent) {
    SendBarPercent(shell, percent);
    SetTextIfChanged(shell.progressBar, L"");
    ::KillTimer(shell.window, kSurfaceTimerId);

    RECT workArea{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(shell.window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        workArea = monitor.rcWork;
    }
    shell.updateMode = false;
    shell.optionsExpanded = false;
    shell.logicalWidth = kShellWidth;
    shell.logicalHeight = kShellCollapsedHeight;
    shell.scrollRange = -1;
    ComposeBackdrop();

    const int width = S(kShellWidth);
    const int height = S(kShellCollapsedHeight);
    const POINT corner = CentreInWorkArea(workArea, width, height);
    ::SetWindowPos(shell.window, nullptr, corner.x, corner.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutShell();
}

// The displayed update progress: slow through the first half of the host's range, where little
// visible work happens, fast through the bulk, and the last few percent for starting the application.
int SurfaceProgressFor(int percent) noexcept {
    if (percent <= 50) return 8 * percent / 50;
    if (percent <= 95) return 8 + 80 * (percent - 50) / 45;
    return 88 + 12 * (percent - 95) / 5;
}

void ApplyState(ShellContext& shell, int kind, int percent, std::wstring_view title, std::wstring_view detail,
                std::wstring_view caption, std::wstring_view diagnostics) {
    const int clamped = ClampPercent(percent);
    if (shell.updateMode) {
        if (kind == ShellStateFailed) {
            shell.stateKind = kind;
            shell.percent = clamped;
            StoreStateTexts(shell, title, detail, caption, diagnostics);
            LeaveUpdateSurface(shell, clamped);
        } else {
            // The update surface shows none of the texts.
            shell.stateKind = kind;
            shell.percent = clamped;
        }
        return;
    }
    if (kind == shell.stateKind && percent == shell.percent && title == shell.windowTitle &&
        detail == shell.statusText && caption == shell.primaryCaption &&
        diagnostics == shell.diagnosticsText) {
        // A repeated state gives the primary button back after a click disabled it.
        SetEnabled(shell.primaryButton, PrimaryEnabledFor(shell));
        return;
    }
    const int previousKind = shell.stateKind;
    StoreStateTexts(shell, title, detail, caption, diagnostics);
    shell.stateKind = kind;
    shell.percent = clamped;
    SendBarPercent(shell, shell.uninstallMode ? 50 : clamped);
    SetTextIfChanged(shell.progressBar, kind == ShellStateRunning ? PercentText(clamped) : std::wstring());
    // A new screen starts with its panel closed.
    if (kind != previousKind && shell.optionsExpanded) shell.optionsExpanded = false;
    LayoutShell();
}

void ApplyProgress(ShellContext& shell, int percent) {
    const int clamped = ClampPercent(percent);
    if (!shell.updateMode) {
        shell.percent = clamped;
        SendBarPercent(shell, clamped);
        SetTextIfChanged(shell.progressBar, PercentText(clamped));
        // The percentage under the bar is painted by the window itself.
        const RECT text = ScaledRect(184, 360, 333, 20);
        if (shell.window) ::InvalidateRect(shell.window, &text, FALSE);
        return;
    }
    const int shown = SurfaceProgressFor(clamped);
    const bool complete = clamped >= 100;
    if (shown <= shell.surfaceProgress && complete == shell.surfaceComplete) return;
    shell.surfaceProgress = std::max(shell.surfaceProgress, shown);
    shell.surfaceComplete = complete;
    if (!shell.window) return;
    const int middle = shell.logicalHeight / 2;
    const RECT band{0, S(middle - 44), S(shell.logicalWidth), S(middle + 72)};
    ::RedrawWindow(shell.window, &band, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
}

HWND InitialFocus(const ShellContext& shell) noexcept {
    if (shell.updateMode) return shell.window;
    if (shell.uninstallMode && ::IsWindowVisible(shell.optionsButton)) return shell.optionsButton;
    return shell.primaryButton;
}

uint32_t ShowShell(ShellContext& shell) noexcept {
    const HWND window = shell.window;
    if (!(::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE)) {
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        // The first ShowWindow of a process may be overridden by the start-up information; a second
        // call is taken as asked.
        if (!::IsWindowVisible(window)) ::ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (shell.updateMode) {
        shell.shownTick = ::GetTickCount64();
        if (shell.surfaceAnimating) ::SetTimer(window, kSurfaceTimerId, kSurfaceTimerPeriodMs, nullptr);
    }
    ::SetForegroundWindow(window);
    // The window is still fully transparent and is redrawn whole just below: a repaint of the focused
    // button first would compose a frame that nobody sees.
    shell.buttonRepaintsDeferred = true;
    if (const HWND focus = InitialFocus(shell)) ::SetFocus(focus);
    shell.buttonRepaintsDeferred = false;
    ::RedrawWindow(window, nullptr, nullptr, kFullRedraw);
    if (::SetLayeredWindowAttributes(window, 0, kOpaque, LWA_ALPHA)) return ERROR_SUCCESS;

    // Without a usable alpha the window is shown as an ordinary, non-layered window.
    ::SetLastError(0);
    const LONG exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
    if (exStyle == 0 && ::GetLastError() != 0) return ::GetLastError();
    ::SetLastError(0);
    if (::SetWindowLongW(window, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED) == 0 && ::GetLastError() != 0) {
        return ::GetLastError();
    }
    if (!::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                        SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE)) {
        return LastErrorOr(ERROR_GEN_FAILURE);
    }
    ::RedrawWindow(window, nullptr, nullptr, kFullRedraw);
    return ERROR_SUCCESS;
}

uint32_t HideShell(ShellContext& shell) noexcept {
    ::KillTimer(shell.window, kSurfaceTimerId);
    ::ShowWindow(shell.window, SW_HIDE);
    if (::IsWindowVisible(shell.window)) return ERROR_GEN_FAILURE;
    ::SetLastError(0);
    if (!::SetLayeredWindowAttributes(shell.window, 0, kTransparent, LWA_ALPHA))
        return LastErrorOr(ERROR_GEN_FAILURE);
    dwmapi::DwmFlush();
    return ERROR_SUCCESS;
}

int32_t PollShell(ShellContext& shell) noexcept {
    const ULONGLONG start = ::GetTickCount64();
    MSG message{};
    for (int handled = 0; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        // Keyboard navigation between the controls: Tab, and Enter on a focused button.
        if (!shell.window || !::IsDialogMessageW(shell.window, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        // The dispatch may have closed the shell.
        if (!g_shell) return ShellCommandClose;
        if (++handled >= kPollMessageLimit || ::GetTickCount64() - start > kPollTimeLimitMs) break;
    }
    return std::exchange(shell.pendingCommand, 0);
}

uint32_t Show() noexcept {
    if (!g_shell || !g_shell->window) return ERROR_INVALID_HANDLE;
    return ShowShell(*g_shell);
}

uint32_t Hide() noexcept {
    if (!g_shell || !g_shell->window) return ERROR_INVALID_HANDLE;
    return HideShell(*g_shell);
}

int32_t Poll() noexcept {
    if (!g_shell) return ShellCommandClose;
    return PollShell(*g_shell);
}

int32_t Options(wchar_t* buffer, int32_t capacity) noexcept {
    if (!buffer || capacity <= 0 || !g_shell) return 0;
    CopyToBuffer(g_shell->installDirectory, buffer, capacity);
    return g_shell->createShortcut;
}

void State(int32_t kind, int32_t percent, const wchar_t* title, const wchar_t* detail, const wchar_t* caption,
           const wchar_t* diagnostics) {
    if (!g_shell) return;
    ApplyState(*g_shell, kind, percent, ArgumentText(title), ArgumentText(detail), ArgumentText(caption),
               ArgumentText(diagnostics));
}

void Progress(int32_t percent) {
    if (g_shell) ApplyProgress(*g_shell, percent);
}

void Gate(int32_t allowed, const wchar_t* headline, const wchar_t* detail) {
    if (!g_shell) return;
    ShellContext& shell = *g_shell;
    const bool open = allowed != 0;
    const std::wstring_view newHeadline = ArgumentText(headline);
    const std::wstring_view newDetail = ArgumentText(detail);
    if (open == shell.gateOpen && newHeadline == shell.gateReason && newDetail == shell.statusText) {
        return;
    }
    WideString reason(newHeadline), status(newDetail);
    shell.gateOpen = open;
    shell.gateReason = std::move(reason);
    shell.statusText = std::move(status);
    LayoutShell();
}

void Directory(const wchar_t* directory, const wchar_t* note) {
    if (!g_shell) return;
    ShellContext& shell = *g_shell;
    const std::wstring_view newDirectory = ArgumentText(directory);
    const std::wstring_view newNote = ArgumentText(note);
    if (newDirectory == shell.installDirectory && newNote == shell.directoryNote) return;
    WideString path(newDirectory), text(newNote);
    shell.installDirectory = std::move(path);
    shell.directoryNote = std::move(text);
    SetFieldTextIfChanged(shell.pathEdit, shell.installDirectory);
    // A closed panel shows the note when it next opens.
    if (shell.optionsExpanded) LayoutShell();
}

}  // namespace
}  // namespace tovrak

using tovrak::GuardExport;
using tovrak::GuardExportVoid;

extern "C" uint32_t TOVRAK_CALL ShellShow(void) noexcept {
    if (!tovrak::OnHostThread()) return ERROR_INVALID_THREAD_ID;
    return GuardExport<uint32_t>(ERROR_GEN_FAILURE, tovrak::Show);
}

extern "C" uint32_t TOVRAK_CALL ShellHide(void) noexcept {
    if (!tovrak::OnHostThread()) return ERROR_INVALID_THREAD_ID;
    return GuardExport<uint32_t>(ERROR_GEN_FAILURE, tovrak::Hide);
}

extern "C" int32_t TOVRAK_CALL ShellPoll(void) noexcept {
    if (!tovrak::OnHostThread()) return ShellCommandNone;
    return GuardExport<int32_t>(ShellCommandNone, tovrak::Poll);
}

extern "C" int32_t TOVRAK_CALL ShellOptions(wchar_t* buffer, int32_t capacity) noexcept {
    if (!tovrak::OnHostThread()) return 0;
    return GuardExport<int32_t>(0, tovrak::Options, buffer, capacity);
}

extern "C" void TOVRAK_CALL ShellState(int32_t kind, int32_t percent, const wchar_t* title,
                                       const wchar_t* detail, const wchar_t* caption,
                                       const wchar_t* diagnostics) noexcept {
    if (!tovrak::OnHostThread()) return;
    GuardExportVoid(tovrak::State, kind, percent, title, detail, caption, diagnostics);
}

extern "C" void TOVRAK_CALL ShellProgress(int32_t percent) noexcept {
    if (!tovrak::OnHostThread()) return;
    GuardExportVoid(tovrak::Progress, percent);
}

extern "C" void TOVRAK_CALL ShellGate(int32_t allowed, const wchar_t* headline,
                                      const wchar_t* detail) noexcept {
    if (!tovrak::OnHostThread()) return;
    GuardExportVoid(tovrak::Gate, allowed, headline, detail);
}

extern "C" void TOVRAK_CALL ShellDirectory(const wchar_t* directory, const wchar_t* note) noexcept {
    if (!tovrak::OnHostThread()) return;
    GuardExportVoid(tovrak::Directory, directory, note);
}
