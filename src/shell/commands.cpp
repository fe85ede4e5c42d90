#include <windows.h>

#include <algorithm>
#include <string>

#include "common/dwmapi_functions.h"
#include "common/last_error.h"
#include "common/scaling.h"
#include "shell/face_geometry.h"
#include "shell/layout.h"
#include "shell/percent_text.h"
#include "shell/screen_rules.h"
#include "shell/shell_export.h"
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

// What a click left disabled: the primary button takes clicks again unless the installation runs.
bool PrimaryEnabledFor(const ShellContext& shell) noexcept {
    return screen::UnlessRunning(shell) && screen::PrimaryAllowed(shell);
}

void SendBarPercent(const ShellContext& shell, int percent) noexcept {
    if (shell.progressBar)
        ::SendMessageW(shell.progressBar, SetProgressMessage, static_cast<WPARAM>(percent), 0);
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
    // The update surface was opened in install mode: its failure screen is the installer's.
    shell.mode = ShellModeInstall;
    shell.optionsExpanded = false;
    shell.logicalWidth = kShellWidth;
    shell.logicalHeight = kShellCollapsedHeight;
    shell.scrollRange = -1;
    ComposeBackdrop(shell);

    const int width = Scale(kShellWidth, shell.dpi);
    const int height = Scale(kShellCollapsedHeight, shell.dpi);
    const POINT corner = CentreInWorkArea(workArea, width, height);
    ::SetWindowPos(shell.window, nullptr, corner.x, corner.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutShell(shell);
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
    if (shell.mode == ShellModeUpdate) {
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
    // An uninstallation reports no progress: its bar stands at the middle.
    SendBarPercent(shell, shell.mode == ShellModeUninstall ? 50 : clamped);
    SetTextIfChanged(shell.progressBar,
                     kind == ShellStateRunning ? PercentText(clamped).view() : std::wstring_view());
    // A new screen starts with its panel closed.
    if (kind != previousKind && shell.optionsExpanded) shell.optionsExpanded = false;
    LayoutShell(shell);
}

void ApplyProgress(ShellContext& shell, int percent) {
    const int clamped = ClampPercent(percent);
    if (shell.mode != ShellModeUpdate) {
        shell.percent = clamped;
        SendBarPercent(shell, clamped);
        SetTextIfChanged(shell.progressBar, PercentText(clamped).view());
        // The percentage under the bar is painted by the window itself.
        const RECT text = ScaleCorners(kPercentRect, shell.dpi);
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
    const UINT dpi = shell.dpi;
    const RECT band{0, Scale(middle - 44, dpi), Scale(shell.logicalWidth, dpi), Scale(middle + 72, dpi)};
    ::RedrawWindow(shell.window, &band, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
}

HWND InitialFocus(const ShellContext& shell) noexcept {
    if (shell.mode == ShellModeUpdate) return shell.window;
    if (shell.mode == ShellModeUninstall && ::IsWindowVisible(shell.optionsButton))
        return shell.optionsButton;
    return shell.primaryButton;
}

uint32_t ShowShell(ShellContext& shell) noexcept {
    const HWND window = shell.window;
    if (!window) return ERROR_INVALID_HANDLE;
    if (!(::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE)) {
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        // The first ShowWindow of a process may be overridden by the start-up information; a second
        // call is taken as asked.
        if (!::IsWindowVisible(window)) ::ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (shell.mode == ShellModeUpdate) {
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
    if (!shell.window) return ERROR_INVALID_HANDLE;
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
        if (!IsOpenShell(shell)) return ShellCommandClose;
        if (++handled >= kPollMessageLimit || ::GetTickCount64() - start > kPollTimeLimitMs) break;
    }
    return std::exchange(shell.pendingCommand, 0);
}

int32_t Options(const ShellContext& shell, wchar_t* buffer, int32_t capacity) noexcept {
    if (!buffer || capacity <= 0) return 0;
    CopyToBuffer(shell.installDirectory, buffer, capacity);
    return shell.createShortcut;
}

void State(ShellContext& shell, int32_t kind, int32_t percent, const wchar_t* title, const wchar_t* detail,
           const wchar_t* caption, const wchar_t* diagnostics) {
    ApplyState(shell, kind, percent, ArgumentText(title), ArgumentText(detail), ArgumentText(caption),
               ArgumentText(diagnostics));
}

void Gate(ShellContext& shell, int32_t allowed, const wchar_t* headline, const wchar_t* detail) {
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
    LayoutShell(shell);
}

void Directory(ShellContext& shell, const wchar_t* directory, const wchar_t* note) {
    const std::wstring_view newDirectory = ArgumentText(directory);
    const std::wstring_view newNote = ArgumentText(note);
    if (newDirectory == shell.installDirectory && newNote == shell.directoryNote) return;
    WideString path(newDirectory), text(newNote);
    shell.installDirectory = std::move(path);
    shell.directoryNote = std::move(text);
    SetFieldTextIfChanged(shell.pathEdit, shell.installDirectory);
    // A closed panel shows the note when it next opens.
    if (shell.optionsExpanded) LayoutShell(shell);
}

}  // namespace
}  // namespace tovrak

using tovrak::GuardShellExport;
using tovrak::GuardShellExportVoid;

extern "C" uint32_t TOVRAK_CALL ShellShow(void) noexcept {
    return GuardShellExport<uint32_t>({ERROR_INVALID_HANDLE, ERROR_INVALID_THREAD_ID, ERROR_GEN_FAILURE},
                                      tovrak::ShowShell);
}

extern "C" uint32_t TOVRAK_CALL ShellHide(void) noexcept {
    return GuardShellExport<uint32_t>({ERROR_INVALID_HANDLE, ERROR_INVALID_THREAD_ID, ERROR_GEN_FAILURE},
                                      tovrak::HideShell);
}

extern "C" int32_t TOVRAK_CALL ShellPoll(void) noexcept {
    // Without a shell there is nothing left but to close.
    return GuardShellExport<int32_t>({ShellCommandClose, ShellCommandNone, ShellCommandNone},
                                     tovrak::PollShell);
}

extern "C" int32_t TOVRAK_CALL ShellOptions(wchar_t* buffer, int32_t capacity) noexcept {
    return GuardShellExport<int32_t>({0, 0, 0}, tovrak::Options, buffer, capacity);
}

extern "C" void TOVRAK_CALL ShellState(int32_t kind, int32_t percent, const wchar_t* title,
                                       const wchar_t* detail, const wchar_t* caption,
                                       const wchar_t* diagnostics) noexcept {
    GuardShellExportVoid(tovrak::State, kind, percent, title, detail, caption, diagnostics);
}

extern "C" void TOVRAK_CALL ShellProgress(int32_t percent) noexcept {
    GuardShellExportVoid(tovrak::ApplyProgress, percent);
}

extern "C" void TOVRAK_CALL ShellGate(int32_t allowed, const wchar_t* headline,
                                      const wchar_t* detail) noexcept {
    GuardShellExportVoid(tovrak::Gate, allowed, headline, detail);
}

extern "C" void TOVRAK_CALL ShellDirectory(const wchar_t* directory, const wchar_t* note) noexcept {
    GuardShellExportVoid(tovrak::Directory, directory, note);
}
