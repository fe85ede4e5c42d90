#include <windows.h>
#include <objbase.h>

#include <utility>

#include "common/module.h"
#include "common/shell_texts.h"
#include "pipes/pipe_listener.h"
#include "shell/layout.h"
#include "shell/shell_export.h"
#include "shell/shell_window.h"
#include "shell/update_surface.h"
#include "shell/update_surface_config.h"
#include "tovrak/renderer.h"
#include "worker/worker_channel.h"

namespace tovrak {
namespace {

// GDI+ is started by the first open and never shut down: the host may keep GDI+ objects of its own.
ULONG_PTR g_shellGdiplusToken = 0;
// Whether the open shell's CoInitializeEx succeeded. A thread that already runs a multi-threaded
// apartment refuses the call, and uninitialising it then would take the host's own apartment away.
bool g_shellComInitialised = false;

// Takes down everything the open shell holds, whether it is complete or still being built, and
// closes it. The order matters: the listeners wait for their cancelled operations before anything is
// freed; closing the worker's job ends a worker that still runs; the windows go before the fonts,
// brushes and images they draw with, which go with the record; the thread gets its own DPI awareness
// back; and the apartment is left last, after every window that used COM is gone.
void TearDownShell(ShellContext& shell, bool comInitialised) noexcept {
    shell.readyListener.Reset();
    shell.surfaceReadyListener.Reset();
    shell.launchStatusListener.Reset();
    ReleaseWorker(shell);
    if (shell.window) ::KillTimer(shell.window, kSurfaceTimerId);
    if (shell.transitionWindow) ::DestroyWindow(std::exchange(shell.transitionWindow, nullptr));
    if (shell.window) ::DestroyWindow(std::exchange(shell.window, nullptr));
    LeavePerMonitorDpi(shell);
    RemoveShellRecord();
    if (comInitialised) ::CoUninitialize();
}

// Holds a shell that ShellOpen is still building. The record is the open shell from the start (the
// window procedures find it while the windows are made), and unless the open completes, everything
// created so far is taken down again, on every early return and on an allocation failure alike.
class PendingShell {
  public:
    explicit PendingShell(std::unique_ptr<ShellContext> shell) noexcept : shell_(shell.get()) {
        InstallShellRecord(std::move(shell));
    }
    PendingShell(const PendingShell&) = delete;
    PendingShell& operator=(const PendingShell&) = delete;
    ~PendingShell() {
        if (shell_) TearDownShell(*shell_, comInitialised_);
    }

    ShellContext& operator*() const noexcept { return *shell_; }
    void InitialiseCom() noexcept {
        comInitialised_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    HWND Complete() noexcept {
        g_shellComInitialised = comInitialised_;
        return std::exchange(shell_, nullptr)->window;
    }

  private:
    ShellContext* shell_;
    bool comInitialised_ = false;
};

WideString WindowTitleFor(const ShellContext& shell) {
    if (shell.mode == ShellModeUpdate) return shell.displayName;
    const ShellText title =
        shell.mode == ShellModeUninstall ? ShellText::UninstallTitle : ShellText::InstallTitle;
    return FillShellText(shell.texts[title], shell.displayName);
}

HWND OpenShell(const wchar_t* assetDirectory, const wchar_t* installDirectory, const wchar_t* displayName,
               const wchar_t* fontFace, ShellMode mode) {
    // Consumed whether or not the open succeeds: it belongs to this open only.
    const PendingSurfaceConfiguration surface = TakePendingSurfaceConfiguration();
    g_shellModule = CurrentModule();
    if (!StartGdiplus(g_shellGdiplusToken)) return nullptr;

    std::unique_ptr<ShellContext> record = AllocateShellContext();
    if (!record) return nullptr;
    PendingShell pending(std::move(record));
    ShellContext& shell = *pending;

    shell.texts = CurrentShellTexts();
    shell.installDirectory = ArgumentText(installDirectory);
    shell.displayName = ArgumentText(displayName);
    shell.mode = mode;
    shell.fontFace = ArgumentText(fontFace);
    shell.backgroundBrush.reset(::CreateSolidBrush(kBackgroundColour));
    shell.pathFieldBrush.reset(::CreateSolidBrush(kPathFieldColour));
    shell.windowTitle = WindowTitleFor(shell);
    shell.englishSurface = surface.language == L"en";
    shell.surfaceStartPercent = surface.startPercent;
    shell.primaryCaption =
        shell.texts[shell.mode == ShellModeUninstall ? ShellText::UninstallButton : ShellText::InstallButton];

    if (!LoadShellImages(shell, ArgumentText(assetDirectory))) return nullptr;

    pending.InitialiseCom();
    RegisterShellClasses(shell);
    if (shell.mode == ShellModeUpdate) EnterPerMonitorDpi(shell);
    const ShellPlacement placement = PlaceShellWindow(shell, surface.directory, surface.size);
    CreateShellFonts(shell);
    ComposeBackdrop(shell);

    shell.window =
        ::CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW | WS_EX_LAYERED | WS_EX_COMPOSITED,
                          kShellClassName, shell.windowTitle.c_str(), WS_POPUP, placement.x, placement.y,
                          placement.width, placement.height, nullptr, nullptr, g_shellModule, nullptr);
    if (!shell.window) return nullptr;
    // Fully transparent until ShellShow, so that the host never sees a half-built window.
    ::SetLayeredWindowAttributes(shell.window, 0, 0, LWA_ALPHA);
    CreateShellChildren(shell);
    LayoutShell(shell);
    // The window keeps the awareness it was created with; the thread gets its own back.
    LeavePerMonitorDpi(shell);
    return pending.Complete();
}

HWND Open(const wchar_t* assetDirectory, const wchar_t* installDirectory, const wchar_t* displayName,
          const wchar_t* fontFace, std::uint32_t mode) {
    if (mode > ShellModeUpdate || ShellIsOpen()) return nullptr;
    return OpenShell(assetDirectory, installDirectory, displayName, fontFace, static_cast<ShellMode>(mode));
}

void Close(ShellContext& shell) noexcept {
    TearDownShell(shell, std::exchange(g_shellComInitialised, false));
}

}  // namespace
}  // namespace tovrak

extern "C" HWND TOVRAK_CALL ShellOpen(const wchar_t* assetDirectory, const wchar_t* installDirectory,
                                      const wchar_t* displayName, const wchar_t* fontFace,
                                      uint32_t mode) noexcept {
    return tovrak::GuardExport<HWND>(nullptr, tovrak::Open, assetDirectory, installDirectory, displayName,
                                     fontFace, mode);
}

extern "C" void TOVRAK_CALL ShellClose(void) noexcept {
    tovrak::GuardShellExportVoid(tovrak::Close);
}
