/*
 * TovrakRenderer: the user interface and system chores of a desktop application's installer.
 *
 * A 32-bit Windows DLL. Every export is __stdcall, takes UTF-16 strings, window handles and 32-bit
 * integers, and reports failures through its result only. Strings are copied before a call returns;
 * an empty string stands for no text. Output buffers are truncated to their capacity and always
 * terminated.
 *
 * Threads: the Shell* exports (except ShellEmit and ShellAcknowledgeTakeover) run on the thread that
 * called ShellOpen. The skinning exports run on the thread that owns the control. ShellEmit and the
 * payload exports run in the worker process, one caller at a time.
 */
#ifndef TOVRAK_RENDERER_H
#define TOVRAK_RENDERER_H

#include <windows.h>
#include <stdint.h>

#ifndef TOVRAK_API
#define TOVRAK_API
#endif
#define TOVRAK_CALL __stdcall

#ifdef __cplusplus
#define TOVRAK_NOEXCEPT noexcept
extern "C" {
#else
#define TOVRAK_NOEXCEPT
#endif

/* Commands returned by ShellPoll. */
typedef enum ShellCommand {
    ShellCommandNone = 0,
    ShellCommandPrimaryAction = 1,
    ShellCommandClose = 2,
    ShellCommandOpenUserAgreement = 3,
    ShellCommandOpenPrivacyPolicy = 4,
    ShellCommandOpenLogDirectory = 5,
    ShellCommandDirectoryChanged = 6
} ShellCommand;

/* Screen kinds given to ShellState. Any other value shows headline, detail, primary and close. */
typedef enum ShellStateKind {
    ShellStateIdle = 0,
    ShellStateRunning = 1,
    ShellStateFailed = 2,
    ShellStateUninstallIdle = 4 /* in uninstall mode, the idle screen as ShellStateIdle shows it */
} ShellStateKind;

/* Shell modes given to ShellOpen. */
typedef enum ShellMode { ShellModeInstall = 0, ShellModeUninstall = 1, ShellModeUpdate = 2 } ShellMode;

/* Results of VerifyPayloadIntegrity and VerifyPayloadFileIntegrity. */
typedef enum PayloadVerification {
    PayloadVerified = 0,
    PayloadManifestUnusable = 1, /* missing, unreadable, malformed, or the file is not listed */
    PayloadTreeMismatch = 2,     /* a file missing or extra, a link, a path the rules refuse */
    PayloadContentMismatch = 3,  /* a size or digest differs */
    PayloadReadFailure = 4
} PayloadVerification;

/* Results of FindOwnedProcesses and WaitOwnedProcessesExit. */
typedef enum OwnedProcesses {
    OwnedProcessesRunning = 0, /* one runs; for the wait: still, when the budget ran out */
    OwnedProcessesNoneRunning = 1,
    OwnedProcessesRejected = 2 /* directory rejected, or the processes could not be listed */
} OwnedProcesses;

/* Results of CloseOwnedProcesses, Win32 error numbers; any other value is a system error. */
#define CloseOwnedProcessesDone 0u
#define CloseOwnedProcessesNoneRunning 2u   /* nothing to close */
#define CloseOwnedProcessesRejected 87u     /* the directory */
#define CloseOwnedProcessesWatchEnded 1460u /* a watched process ended */

/* The progress window's private message: wParam is the percentage. */
#define SetProgressMessage 0x8049

/* Win32 error numbers the Shell* exports return besides 0 and the thread's last error. */
#define TOVRAK_ERROR_INVALID_HANDLE 6u /* no shell or no window */
#define TOVRAK_ERROR_INVALID_DATA 13u  /* a malformed translations file */
#define TOVRAK_ERROR_GEN_FAILURE 31u   /* a failure without a system error code */
#define TOVRAK_ERROR_INVALID_PARAMETER 87u
#define TOVRAK_ERROR_INVALID_NAME 123u
#define TOVRAK_ERROR_BUSY 170u          /* configuration while a shell is open; a worker exists */
#define TOVRAK_ERROR_WRONG_THREAD 1444u /* ERROR_INVALID_THREAD_ID: not the thread that opened the shell */
#define TOVRAK_ERROR_TIMEOUT 1460u

/* ---- Shell lifecycle and host commands (host UI thread) ---- */
TOVRAK_API HWND TOVRAK_CALL ShellOpen(const wchar_t* assetDirectory, const wchar_t* installDirectory,
                                      const wchar_t* displayName, const wchar_t* fontFace,
                                      uint32_t mode) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellClose(void) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellShow(void) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellHide(void) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ShellPoll(void) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ShellOptions(wchar_t* buffer, int32_t capacity) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellState(int32_t kind, int32_t percent, const wchar_t* title,
                                       const wchar_t* detail, const wchar_t* caption,
                                       const wchar_t* diagnostics) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellProgress(int32_t percent) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellGate(int32_t allowed, const wchar_t* headline,
                                      const wchar_t* detail) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellDirectory(const wchar_t* directory, const wchar_t* note) TOVRAK_NOEXCEPT;

/* ---- Update-surface configuration (before ShellOpen) ---- */
TOVRAK_API uint32_t TOVRAK_CALL ShellConfigureUpdateSurface(const wchar_t* directory,
                                                            const wchar_t* size) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellConfigureUpdateSurfacePresentation(const wchar_t* language,
                                                                        int32_t startPercent) TOVRAK_NOEXCEPT;

/* ---- Texts of the shell and its skins (before ShellOpen) ---- */
/* Chooses the texts of every shell opened and every skin configured after it, until the next call:
 * by language, a BCP 47 tag such as "de-DE" (letter case aside; null or empty for the user's preferred
 * UI languages), from the sections of the translations file textsFile (null or empty for none) and the
 * built-in Chinese and English texts. 0; 170 while a shell is open; 87 for a malformed tag; 13 for a
 * malformed file; or the system's error opening the file. A refused call changes nothing. */
TOVRAK_API uint32_t TOVRAK_CALL ShellConfigureTexts(const wchar_t* language,
                                                    const wchar_t* textsFile) TOVRAK_NOEXCEPT;

/* ---- Ready, surface-ready and launch-status pipes; takeover acknowledgement ---- */
TOVRAK_API uint32_t TOVRAK_CALL ShellListenReady(const wchar_t* pipeId,
                                                 const wchar_t* clientPath) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellPollReady(void) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellCancelReady(void) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellListenSurfaceReady(const wchar_t* pipeId,
                                                        const wchar_t* clientPath) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellPollSurfaceReady(void) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellCancelSurfaceReady(void) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellAcknowledgeTakeover(void) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellListenLaunchStatus(const wchar_t* pipeId,
                                                        const wchar_t* clientPath) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ShellPollLaunchStatus(void) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ShellLaunchElapsed(int32_t which) TOVRAK_NOEXCEPT;
TOVRAK_API void TOVRAK_CALL ShellCancelLaunchStatus(void) TOVRAK_NOEXCEPT;

/* ---- Worker process and event stream ---- */
TOVRAK_API uint32_t TOVRAK_CALL ShellStartWorker(const wchar_t* application,
                                                 const wchar_t* arguments) TOVRAK_NOEXCEPT;
TOVRAK_API uint32_t TOVRAK_CALL ShellWorkerFailureStage(void) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ShellWorkerExit(void) TOVRAK_NOEXCEPT;
/* In the worker: writes one event record to standard output. */
TOVRAK_API int32_t TOVRAK_CALL ShellEmit(uint32_t type, const wchar_t* label,
                                         const wchar_t* text) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ShellReadEvent(wchar_t* labelOut, wchar_t* textOut,
                                              int32_t capacity) TOVRAK_NOEXCEPT;
TOVRAK_API uint64_t TOVRAK_CALL ShellEventTime(int32_t which) TOVRAK_NOEXCEPT;

/* ---- Control skinning (thread that owns the control); 1 success, 0 failure ---- */
TOVRAK_API int32_t TOVRAK_CALL SetActionText(HWND trigger, HWND label, COLORREF normalColor,
                                             COLORREF activeColor, COLORREF backgroundColor) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL SetIcon(HWND control, const wchar_t* iconPath, const wchar_t* backgroundPath,
                                       int32_t offsetX, int32_t offsetY, int32_t dpi) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL SetSurface(HWND control, const wchar_t* imagePath,
                                          int32_t dpi) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL SetLabel(HWND control, const wchar_t* backgroundPath, int32_t offsetX,
                                        int32_t offsetY, int32_t dpi, COLORREF textColor) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL SetPath(HWND edit, COLORREF textColor,
                                       COLORREF backgroundColor) TOVRAK_NOEXCEPT;
/* Returns the panel's height in 96-DPI units, or 0. */
TOVRAK_API int32_t TOVRAK_CALL LayoutDiagnostics(HWND panel, int32_t dpi, COLORREF primaryColor,
                                                 COLORREF secondaryColor,
                                                 COLORREF backgroundColor) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ConfigureScroll(HWND host, HWND exclude, uint32_t dpi, int32_t contentHeight,
                                               COLORREF trackColor, COLORREF thumbColor) TOVRAK_NOEXCEPT;
TOVRAK_API HWND TOVRAK_CALL CreateProgress(HWND parent, uint32_t dpi, COLORREF trackColor, COLORREF fillColor,
                                           COLORREF highlightColor, COLORREF backgroundColor) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL ResizeShell(HWND window, uint32_t dpi, uint32_t height) TOVRAK_NOEXCEPT;

/* ---- Owned processes ---- */
/* OwnedProcessesRunning, OwnedProcessesNoneRunning or OwnedProcessesRejected. */
TOVRAK_API int32_t TOVRAK_CALL FindOwnedProcesses(const wchar_t* directory, const wchar_t* imageName,
                                                  uint32_t excludePid1, uint32_t excludePid2,
                                                  uint32_t excludePid3) TOVRAK_NOEXCEPT;
/* OwnedProcessesNoneRunning (any more), OwnedProcessesRunning when the budget ran out, or
 * OwnedProcessesRejected. */
TOVRAK_API int32_t TOVRAK_CALL WaitOwnedProcessesExit(const wchar_t* directory, const wchar_t* imageName,
                                                      uint32_t excludePid1, uint32_t excludePid2,
                                                      uint32_t excludePid3,
                                                      uint32_t timeoutMs) TOVRAK_NOEXCEPT;
/* One of the CloseOwnedProcesses* numbers above, or a system error. */
TOVRAK_API uint32_t TOVRAK_CALL CloseOwnedProcesses(const wchar_t* directory, int32_t terminate,
                                                    uint32_t excludePid, uint32_t watchPid,
                                                    uint32_t initialWatchPid, int32_t skipInitialWatch,
                                                    uint32_t waitMs) TOVRAK_NOEXCEPT;

/* ---- Payload integrity (in the worker); the verifications return a PayloadVerification ---- */
TOVRAK_API int32_t TOVRAK_CALL ValidatePlainTree(const wchar_t* path) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL VerifyPayloadIntegrity(const wchar_t* payloadDirectory,
                                                      const wchar_t* manifestPath) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL VerifyPayloadFileIntegrity(const wchar_t* filePath,
                                                          const wchar_t* manifestPath,
                                                          const wchar_t* relativePath) TOVRAK_NOEXCEPT;
TOVRAK_API int32_t TOVRAK_CALL PayloadVerifyProgressRange(int32_t rangeStart,
                                                          int32_t rangeEnd) TOVRAK_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* TOVRAK_RENDERER_H */
