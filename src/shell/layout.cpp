#include "shell/layout.h"

#include <algorithm>
#include <optional>
#include <span>
#include <utility>

#include "common/bitmap_pixels.h"
#include "common/dwmapi_functions.h"
#include "common/export_guard.h"
#include "common/gdiplus.h"
#include "common/scaling.h"
#include "shell/accessibility.h"
#include "shell/layout_placements.h"
#include "shell/painter.h"
#include "shell/painter_support.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"
#include "shell/text_fit.h"
#include "shell/window_text.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

// The expanded diagnostics panel adds this to the measured height, which is capped so that the
// window never asks for more than ResizeShell gives.
constexpr int kDiagnosticsPanelExtra = 604;
constexpr int kDiagnosticsHeightCap = skin::kInstallerMaximumHeight - kDiagnosticsPanelExtra;
// The layout repaints only below the logo area.
constexpr int kLayoutRedrawTop = 220;

constexpr COLORREF kScrollTrackColour = kBackgroundColour;
constexpr COLORREF kScrollThumbColour = kMutedTextColour;
constexpr COLORREF kDiagnosticsPrimaryColour = kPathTextColour;
constexpr COLORREF kDiagnosticsSecondaryColour = kMutedTextColour;

constexpr UINT kPlaceFlags = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;
constexpr UINT kQuietFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

bool HasCurrentDiagnosticsMeasurement(const ShellContext& shell) noexcept {
    return shell.diagnosticsDpi == static_cast<int>(shell.dpi) &&
           shell.diagnosticsMeasured == shell.diagnosticsText;
}

void HideEveryChild(const ShellContext& shell) noexcept {
    for (const ShellChild& child : kShellChildren)
        SetVisible(shell.*child.window, false);
}

// Places one row of layout_placements.h, when it is for the shell's mode. `diagnosticsHeight` is the
// measured height of the diagnostics text, once there is one.
void Place(const ShellContext& shell, const ChildPlacement& placement,
           std::optional<int> diagnosticsHeight) noexcept {
    const PlacedIn mode = shell.mode == ShellModeUninstall ? PlacedIn::UninstallMode : PlacedIn::InstallMode;
    if (placement.mode != PlacedIn::EveryMode && placement.mode != mode) return;
    if (const std::optional<UnitRect> fitted = FittedPlacement(shell, placement.child)) {
        PlaceChild(shell, shell.*placement.child, fitted->x, fitted->y, fitted->width, fitted->height);
        return;
    }
    int y = placement.y;
    int height = placement.height;
    if (diagnosticsHeight && placement.follows == Follows::DiagnosticsHeight) height = *diagnosticsHeight;
    if (diagnosticsHeight && placement.follows == Follows::DiagnosticsEnd)
        y = kDiagnosticsTextPlacement.y + *diagnosticsHeight + kDiagnosticsButtonsGap;
    PlaceChild(shell, shell.*placement.child, placement.x, y, placement.width, height);
}

// The rows in their order: the order of the moves.
void Place(const ShellContext& shell, std::span<const ChildPlacement> placements,
           std::optional<int> diagnosticsHeight) noexcept {
    for (const ChildPlacement& placement : placements)
        Place(shell, placement, diagnosticsHeight);
}

// Covers, in the background colour, the strip into which the window is about to grow, so that
// nothing stale shows there before the grown window has painted.
void ShowTransitionStrip(ShellContext& shell, const RECT& windowRect, int clientWidth, int clientHeight,
                         int targetHeight) noexcept {
    if (shell.transitionWindow) ::DestroyWindow(std::exchange(shell.transitionWindow, nullptr));
    const DWORD topmost = static_cast<DWORD>(::GetWindowLongW(shell.window, GWL_EXSTYLE)) & WS_EX_TOPMOST;
    shell.transitionWindow =
        ::CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | topmost, kTransitionClassName, L"",
                          WS_POPUP | WS_VISIBLE, windowRect.left, windowRect.top + clientHeight, clientWidth,
                          targetHeight - clientHeight, shell.window, nullptr, g_shellModule, nullptr);
    if (!shell.transitionWindow) return;
    ::UpdateWindow(shell.transitionWindow);
    dwmapi::DwmFlush();
}

// Grows or shrinks the window to the panel's height (never below the collapsed height, never past
// the work area's bottom) and follows the real client height.
void SizeWindow(ShellContext& shell, bool visible) noexcept {
    RECT client{};
    RECT windowRect{};
    ::GetClientRect(shell.window, &client);
    ::GetWindowRect(shell.window, &windowRect);
    const int clientWidth = client.right - client.left;
    int clientHeight = client.bottom - client.top;

    const UINT dpi = shell.dpi;
    const int target = shell.optionsExpanded ? shell.expandedHeight : kShellCollapsedHeight;
    int targetPixels = Scale(target, dpi);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(shell.window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        targetPixels =
            std::max(std::min(targetPixels, static_cast<int>(monitor.rcWork.bottom - windowRect.top)),
                     Scale(kShellCollapsedHeight, dpi));
    }
    if (visible && targetPixels > clientHeight) {
        ShowTransitionStrip(shell, windowRect, clientWidth, clientHeight, targetPixels);
    }
    if (clientWidth != Scale(kShellWidth, dpi) || targetPixels != clientHeight) {
        ResizeShell(shell.window, shell.dpi, static_cast<uint32_t>(target));
        ::GetClientRect(shell.window, &client);
        clientHeight = client.bottom - client.top;
    }
    shell.logicalHeight = Unscale(clientHeight, shell.dpi);
}

void ConfigureScrollRange(ShellContext& shell, int range) noexcept {
    if (shell.scrollRange == range) return;
    ConfigureScroll(shell.window, nullptr, shell.dpi, range, kScrollTrackColour, kScrollThumbColour);
    shell.scrollRange = range;
}

// One layout pass's hold on the screen: the window's update lock and the transition strip. Both are
// given up on every way out of the pass, also when an allocation inside it fails, so that a failed
// layout never leaves the desktop locked or a stray strip on it.
class LayoutPass {
  public:
    LayoutPass(ShellContext& shell, bool locked) noexcept : shell_(shell), locked_(locked) {}
    ~LayoutPass() {
        Unlock();
        if (shell_.transitionWindow) ::DestroyWindow(std::exchange(shell_.transitionWindow, nullptr));
    }
    LayoutPass(const LayoutPass&) = delete;
    LayoutPass& operator=(const LayoutPass&) = delete;

    void Unlock() noexcept {
        if (std::exchange(locked_, false)) ::LockWindowUpdate(nullptr);
    }

  private:
    ShellContext& shell_;
    bool locked_;
};

void LayoutUpdateSurface(ShellContext& shell, LayoutPass& pass) {
    shell.optionsExpanded = false;
    HideEveryChild(shell);
    // The update surface never scrolls; the first layout always removes whatever region there was.
    if (shell.scrollRange != 0) ConfigureScrollRange(shell, 0);
    SetTextIfChanged(shell.window, shell.displayName);
    pass.Unlock();
    RedrawShell(shell, 0);
}

// Shows, enables and retitles every child as its row says for the present screen.
void ApplyChildRules(const ShellContext& shell) {
    for (const ShellChild& child : kShellChildren) {
        const HWND control = shell.*child.window;
        SetVisible(control, child.shown(shell));
        if (child.enabled) SetEnabled(control, child.enabled(shell));
        // The path field's text is the host's to change (ShellDirectory) and the user's (the folder
        // browser).
        if (child.text.Changes() && child.kind != ShellChildKind::Edit)
            SetTextIfChanged(control, child.text.In(shell));
    }
}

}  // namespace

void PlaceChild(const ShellContext& shell, HWND control, int x, int y, int width, int height) noexcept {
    if (!control) return;
    RECT current{};
    ::GetWindowRect(control, &current);
    ::MapWindowPoints(nullptr, shell.window, reinterpret_cast<POINT*>(&current), 2);
    const UINT dpi = shell.dpi;
    const int left = Scale(x, dpi), top = Scale(y, dpi), pixelWidth = Scale(width, dpi),
              pixelHeight = Scale(height, dpi);
    if (current.left == left && current.top == top && current.right - current.left == pixelWidth &&
        current.bottom - current.top == pixelHeight) {
        return;
    }
    ::SetWindowPos(control, nullptr, left, top, pixelWidth, pixelHeight, kPlaceFlags);
}

void SetVisible(HWND control, bool visible) noexcept {
    if (!control) return;
    const bool shown = (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown == visible) return;
    ::SetWindowPos(control, nullptr, 0, 0, 0, 0, kQuietFlags | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void SetEnabled(HWND control, bool enabled) noexcept {
    if (!control) return;
    const bool current = (::GetWindowLongW(control, GWL_STYLE) & WS_DISABLED) == 0;
    // EnableWindow(FALSE) sends WM_CANCELMODE through every subclass even when nothing changes.
    if (current != enabled) ::EnableWindow(control, enabled);
}

void SetTextIfChanged(HWND control, std::wstring_view text) {
    if (!control || StoredWindowTextEquals(control, text)) return;
    const WideString terminated(text);
    ::SetWindowTextW(control, terminated.c_str());
}

void SetFieldTextIfChanged(HWND edit, std::wstring_view text) {
    if (!edit || WindowText(edit) == text) return;
    const WideString terminated(text);
    ::SetWindowTextW(edit, terminated.c_str());
}

void RedrawShell(const ShellContext& shell, int top) noexcept {
    if (!::IsWindowVisible(shell.window)) return;
    if (shell.mode == ShellModeUpdate) top = 0;
    const UINT dpi = shell.dpi;
    const RECT area{0, Scale(top, dpi), Scale(shell.logicalWidth, dpi), Scale(shell.logicalHeight, dpi)};
    ::RedrawWindow(shell.window, &area, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void LayoutShell(ShellContext& shell) {
    const bool visible = ::IsWindowVisible(shell.window) != FALSE;
    const bool updateMode = shell.mode == ShellModeUpdate;
    bool locked = false;
    if (visible) {
        if (!updateMode) dwmapi::DwmFlush();
        locked = ::LockWindowUpdate(shell.window) != FALSE;
    }
    LayoutPass pass(shell, locked);
    if (updateMode) {
        LayoutUpdateSurface(shell, pass);
        return;
    }

    const bool idle = IsIdleScreen(shell);
    // Once measured, the diagnostics keep their height and their buttons stay below them, so that an
    // unchanged layout moves nothing.
    const std::optional<int> measuredHeight =
        shell.diagnosticsDpi != 0 ? std::optional<int>(shell.diagnosticsHeight) : std::nullopt;
    MeasureTextFit(shell);
    Place(shell, kFacePlacements, measuredHeight);
    Place(shell, kProgressPlacement, std::nullopt);
    ApplyChildRules(shell);

    shell.expandedHeight = kExpandedIdleHeight;
    if (!idle) {
        // A current measurement was placed with the face above; a new one moves the buttons below it.
        if (!HasCurrentDiagnosticsMeasurement(shell)) {
            // LayoutDiagnostics sizes the label to the text itself.
            shell.diagnosticsHeight =
                LayoutDiagnostics(shell.diagnosticsLabel, static_cast<int32_t>(shell.dpi),
                                  kDiagnosticsPrimaryColour, kDiagnosticsSecondaryColour, kBackgroundColour);
            shell.diagnosticsDpi = static_cast<int>(shell.dpi);
            shell.diagnosticsMeasured = shell.diagnosticsText;
            Place(shell, kDiagnosticsButtonPlacements, shell.diagnosticsHeight);
        }
        shell.expandedHeight =
            std::min(shell.diagnosticsHeight, kDiagnosticsHeightCap) + kDiagnosticsPanelExtra;
    }

    SizeWindow(shell, visible);
    ConfigureScrollRange(shell, shell.optionsExpanded ? shell.expandedHeight : 0);
    SetTextIfChanged(shell.window, shell.windowTitle);

    pass.Unlock();
    RedrawShell(shell, kLayoutRedrawTop);
    if (visible) dwmapi::DwmFlush();
    if (shell.transitionWindow) {
        ::DestroyWindow(std::exchange(shell.transitionWindow, nullptr));
        if (visible) dwmapi::DwmFlush();
    }
    // A ticked box or an opened panel changes no window of its own; their changes are found here.
    AnnounceShellChanges(shell);
}

void LayoutFromWindow(ShellContext& shell) noexcept {
    GuardExportVoid([&shell] { LayoutShell(shell); });
}

void ComposeBackdrop(ShellContext& shell) noexcept {
    const UINT dpi = shell.dpi;
    const int width = Scale(shell.logicalWidth, dpi);
    const int height = Scale(shell.logicalHeight, dpi);
    // The bitmap goes before the DC and the memory it borrows.
    shell.backdropBitmap.reset();
    shell.backdropDc.reset();
    shell.backdropSection.reset();
    DibBackedBitmap backdrop = CreateDibBackedBitmap(width, height);
    if (!backdrop.bitmap) return;
    shell.backdropSection = std::move(backdrop.section);
    shell.backdropDc = std::move(backdrop.dc);
    shell.backdropBitmap = std::move(backdrop.bitmap);
    Gdiplus::GpBitmap* bitmap = AsBitmap(shell.backdropBitmap);

    // The pixels are written before a graphics context exists on the bitmap: GDI+ on Windows may
    // refuse to lock the bits of a bitmap that is being drawn into. A background copied whole leaves
    // nothing of the fill to see.
    const bool backgroundCopied = CopyOpaqueBitmap(bitmap, AsBitmap(shell.backgroundImage), width, height);
    const bool filled = backgroundCopied || FillBitmap(bitmap, width, height, kFaceColour);

    UniqueGpGraphics graphics;
    if (gp::GdipGetImageGraphicsContext(bitmap, graphics.put()) != Gdiplus::Ok) return;
    // Drawing errors leave a partly drawn backdrop; the painter copies whatever is there.
    if (!filled) gp::GdipGraphicsClear(graphics.get(), kFaceColour);
    if (!backgroundCopied) {
        gp::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
        gp::GdipDrawImageRectI(graphics.get(), shell.backgroundImage.get(), 0, 0, width, height);
    }
    if (shell.mode == ShellModeUpdate) {
        const int size = Scale(kSurfaceLogoSize, dpi);
        GraphicsTarget target{graphics.get()};
        DrawTintedLogo(shell, target, (width - size) / 2, (height - size) / 2, size, kSurfaceLogoAlpha);
    } else {
        const UnitRect& logo = kLogoRect;
        gp::GdipDrawImageRectI(graphics.get(), shell.logoImage.get(), Scale(logo.x, dpi), Scale(logo.y, dpi),
                               Scale(logo.width, dpi), Scale(logo.height, dpi));
    }
}

}  // namespace tovrak
