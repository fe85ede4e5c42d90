#pragma once
// The one heap record behind the Shell* exports, reached through a process-wide pointer that is null
// while no shell is open. Fields are in declaration order; those without a stated default start at
// zero.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "common/gdiplus.h"
#include "common/shell_texts.h"
#include "common/unique_handle.h"
#include "common/wide_string.h"
#include "pipes/pipe_listener.h"
#include "shell/face_geometry.h"
#include "worker/worker_event.h"
#include "tovrak/renderer.h"

namespace tovrak {

using SetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

// Room for translated texts: the agreement row placed from its measured words and the options button
// grown to the left for its caption, in 96-DPI units, measured in the body font at `dpi` (0 while
// not measured). Unused with the built-in Chinese texts, which keep the design's rectangles.
struct TextFit {
    UINT dpi = 0;
    UnitRect agreementBox;
    UnitRect userAgreementLink;
    UnitRect privacyPolicyLink;
    // The user agreement link's own words, before the joiner it also shows.
    int userAgreementWords = 0;
    // The options button for each of its captions: more options, install location, diagnostics.
    int panelToggleWidths[3] = {};
};

struct ShellContext {
    // The thread that opened the shell (ShellOpen allocates the record there). Its state has no lock:
    // the host's exports answer that thread only.
    DWORD hostThread = ::GetCurrentThreadId();

    // Window and child controls; the children are destroyed with the window.
    HWND window = nullptr;
    HWND primaryButton = nullptr;
    HWND optionsButton = nullptr;
    HWND closeButton = nullptr;
    HWND agreementCheckbox = nullptr;
    HWND userAgreementLink = nullptr;
    HWND privacyPolicyLink = nullptr;
    HWND shortcutCheckbox = nullptr;
    HWND browseButton = nullptr;
    HWND pathEdit = nullptr;
    HWND copyDiagnosticsButton = nullptr;
    HWND openLogButton = nullptr;
    HWND diagnosticsLabel = nullptr;
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

    // Texts. `texts` are the fixed texts in force when the shell opened.
    ShellTexts texts;
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

    ShellMode mode = ShellModeInstall;

    // Flags.
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
    std::int32_t logicalWidth = kShellWidth;
    std::int32_t logicalHeight = kShellCollapsedHeight;
    std::int32_t expandedHeight = kExpandedIdleHeight;
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

    TextFit textFit;

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

// The idle screen: the install or uninstall screen before anything runs, with its options panel. In
// uninstall mode the host may show it under ShellStateUninstallIdle as well.
inline bool IsIdleScreen(const ShellContext& shell) noexcept {
    return shell.stateKind == ShellStateIdle ||
           (shell.stateKind == ShellStateUninstallIdle && shell.mode == ShellModeUninstall);
}

// The idle screen of the install mode, the one with the agreement and the installation options.
inline bool IsIdleInstallScreen(const ShellContext& shell) noexcept {
    return shell.stateKind == ShellStateIdle && shell.mode == ShellModeInstall;
}

// Owns the open shell's record. A shell that the host leaves open when it unloads the library or ends
// its process is not freed: its windows may still dispatch into it, and the system libraries its
// images and fonts come from may be gone already.
class ShellRecord {
  public:
    constexpr ShellRecord() noexcept = default;
    ShellRecord(const ShellRecord&) = delete;
    ShellRecord& operator=(const ShellRecord&) = delete;
    ~ShellRecord() { static_cast<void>(record_.release()); }

    ShellContext* get() const noexcept { return record_.get(); }
    ShellContext* operator->() const noexcept { return record_.get(); }
    ShellContext& operator*() const noexcept { return *record_; }
    explicit operator bool() const noexcept { return static_cast<bool>(record_); }
    bool operator==(std::nullptr_t) const noexcept { return !record_; }
    // Takes `record` as the open shell; an empty one closes it. The pointer changes before the old
    // record is freed, so that nothing its destruction runs finds it open.
    void reset(std::unique_ptr<ShellContext> record = nullptr) noexcept { record_ = std::move(record); }

  private:
    std::unique_ptr<ShellContext> record_;
};

// The open shell; empty while no shell is open. Read by the exports' wrapper (shell_export.h) and by
// the window procedures' entry points, which hand the record down.
extern ShellRecord g_shell;

// A record with its defaults, made without throwing; empty when memory is short.
std::unique_ptr<ShellContext> AllocateShellContext() noexcept;

// Makes `record` the open shell; frees the open shell's record and leaves none open.
void InstallShellRecord(std::unique_ptr<ShellContext> record) noexcept;
void RemoveShellRecord() noexcept;
// Whether any shell is open.
bool ShellIsOpen() noexcept;
// Whether `shell` is still the open shell: a modal loop or a dispatched message may have closed it.
bool IsOpenShell(const ShellContext& shell) noexcept;

}  // namespace tovrak
