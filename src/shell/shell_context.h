#pragma once
// The one heap record behind the Shell* exports, reached through a process-wide pointer that is null
// while no shell is open. Fields are in declaration order; those without a stated default start at
// zero.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/gdiplus.h"
#include "common/unique_handle.h"
#include "common/wide_string.h"
#include "pipes/pipe_listener.h"
#include "worker/worker_event.h"
#include "tovrak/renderer.h"

namespace tovrak {

using SetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

struct ShellContext {
    // The thread that opened the shell (ShellOpen allocates the record there). Its state has no lock:
    // the host's exports answer that thread only.
    DWORD hostThread = ::GetCurrentThreadId();

    // Window and child controls; the children are destroyed with the window.
    HWND window = nullptr;
    HWND primaryButton = nullptr;          // 0x65
    HWND optionsButton = nullptr;          // 0x66
    HWND closeButton = nullptr;            // 0x67
    HWND agreementCheckbox = nullptr;      // 0x68
    HWND userAgreementLink = nullptr;      // 0x69
    HWND privacyPolicyLink = nullptr;      // 0x6a
    HWND shortcutCheckbox = nullptr;       // 0x6b
    HWND browseButton = nullptr;           // 0x6c
    HWND pathEdit = nullptr;               // 0x6f
    HWND copyDiagnosticsButton = nullptr;  // 0x6d
    HWND openLogButton = nullptr;          // 0x6e
    HWND diagnosticsLabel = nullptr;       // 0x70
    HWND progressBar = nullptr;
    HWND locationLabel = nullptr;
    HWND directoryNoteLabel = nullptr;

    // Fonts.
    UniqueFont bodyFont;
    UniqueFont mediumFont;
    UniqueFont titleFont;

    // Images.
    UniqueGpImage backgroundImage;
    UniqueGpImage logoImage;
    // The memory of backdropBitmap, selected into a memory DC of its own from which the painters copy
    // with BitBlt. Declared in this order so that the bitmap goes first, then the DC, then the memory.
    UniqueBitmap backdropSection;
    UniqueMemoryDc backdropDc;
    UniqueGpImage backdropBitmap;
    UniqueGpImage closeImage;
    UniqueGpImage arrowDownImage;
    UniqueGpImage arrowUpImage;
    UniqueGpImage footerCheckedImage;
    UniqueGpImage footerUncheckedImage;
    UniqueGpImage optionCheckedImage;
    UniqueGpImage optionUncheckedImage;
    UniqueGpImage pathImage;
    // The logo tinted frames draw, scaled once to scaledLogoSize pixels square.
    UniqueGpImage scaledLogo;
    std::int32_t scaledLogoSize = 0;

    // Texts.
    WideString installDirectory;
    WideString displayName;
    WideString windowTitle;
    WideString gateReason;
    WideString statusText;
    WideString diagnosticsText;
    WideString primaryCaption;
    WideString fontFace;
    WideString directoryNote;

    // Brushes.
    UniqueBrush backgroundBrush;
    UniqueBrush pathFieldBrush;

    // Flags.
    bool uninstallMode = false;
    bool updateMode = false;
    bool optionsExpanded = false;
    bool agreementAccepted = true;
    bool createShortcut = true;
    bool gateOpen = true;
    bool surfaceAnimating = true;

    // Screen state and geometry. `stateKind` is the host's value as given: a ShellStateKind, or any
    // other number (see IsIdleScreen).
    std::int32_t stateKind = ShellStateIdle;
    std::int32_t percent = 0;
    std::int32_t pendingCommand = 0;
    std::uint32_t dpi = 96;
    std::int32_t logicalWidth = 700;
    std::int32_t logicalHeight = 500;
    std::int32_t expandedHeight = 668;
    std::uint64_t shownTick = 0;
    bool englishSurface = false;
    bool surfaceComplete = false;
    std::int32_t surfaceStartPercent = 0;
    std::int32_t surfaceProgress = 0;
    std::int32_t diagnosticsHeight = 0;
    std::int32_t diagnosticsDpi = 0;
    std::int32_t scrollRange = -1;
    WideString diagnosticsMeasured;

    // Worker: its process, the read end of its output and its kill-on-close job (ReleaseWorker
    // closes them in the order that matters).
    UniqueHandleKernel workerProcess;
    UniqueHandleKernel eventPipe;
    UniqueHandleKernel workerJob;

    // Transient window that exists only while the layout grows the window.
    HWND transitionWindow = nullptr;
    // Set while ShellShow gives the focus to a window that it then redraws whole.
    bool buttonRepaintsDeferred = false;

    // Listeners.
    PipeListener readyListener;
    PipeListener surfaceReadyListener;
    LaunchStatusListener launchStatusListener;

    // Worker bookkeeping.
    std::uint32_t eventsTaken = 0;
    std::uint32_t exitOverride = 0;
    std::uint32_t failureStage = 0;

    // DPI override, only while ShellOpen runs in update mode.
    SetThreadDpiAwarenessContextFn dpiContextSetter = nullptr;
    DPI_AWARENESS_CONTEXT previousDpiContext = nullptr;

    // Worker stream.
    std::vector<std::uint8_t> eventBuffer;
    WorkerEvent lastEvent{};
};

// In uninstall mode the host shows its idle screen under this kind as well as under ShellStateIdle.
inline constexpr std::int32_t kShellStateUninstallIdle = 4;

// The idle screen: the install or uninstall screen before anything runs, with its options panel.
inline bool IsIdleScreen(const ShellContext& shell) noexcept {
    return shell.stateKind == ShellStateIdle ||
           (shell.stateKind == kShellStateUninstallIdle && shell.uninstallMode);
}

// The process-wide pointer; null while no shell is open.
extern ShellContext* g_shell;

// True when no shell is open or the caller is the thread that opened it. The exports that belong to
// the host's thread check it first and, from another thread, change nothing.
inline bool OnHostThread() noexcept {
    return !g_shell || g_shell->hostThread == ::GetCurrentThreadId();
}

// Allocates a record with its defaults without throwing; null when memory is short.
ShellContext* AllocateShellContext() noexcept;
// Releases what the record owns (fonts, brushes, images, texts, handles) and frees it. The windows are
// destroyed, and the listeners and the worker released in their order, by the shell's teardown before
// this.
void FreeShellContext(ShellContext* context) noexcept;

}  // namespace tovrak
