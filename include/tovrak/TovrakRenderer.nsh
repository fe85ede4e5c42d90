; TovrakRenderer for NSIS 3 (Unicode): one macro per export, named after it.
;
;   !include "TovrakRenderer.nsh"
;   !insertmacro TovrakRendererExtract "path\to\TovrakRenderer.dll"   ; in .onInit or a section
;   !insertmacro ShellOpen "$PLUGINSDIR\assets" "$INSTDIR" "Example" "Microsoft YaHei UI" 0 $0
;
; Arguments are NSIS variables, registers or literal text; results go into the variables named
; last. The macros keep every register and the stack as they found them. The DLL is called by its
; full path in $PLUGINSDIR (a bare name is not found on the first call), through the System plugin,
; whose calls are __stdcall on x86. Build for "Target x86-unicode" with the 32-bit DLL, or for
; "Target amd64-unicode" with the 64-bit one.
;
; Every Shell* macro except ShellEmit and ShellAcknowledgeTakeover must run on the thread that
; called ShellOpen. In an installer with pages, page functions run on the window's thread and
; sections on another one, so keep the whole host loop in one place: a custom page's function, or
; the sections of a silent installer (SilentInstall silent), which run on the main thread. From any
; other thread the calls change nothing and return 1444 (ERROR_INVALID_THREAD_ID) or their
; "nothing happened" value.
;
; When the System plugin cannot load the DLL or find the export, the result is the text "error".

!ifndef TOVRAK_RENDERER_NSH
!define TOVRAK_RENDERER_NSH

!ifndef TOVRAK_DLL
  !define TOVRAK_DLL "$PLUGINSDIR\TovrakRenderer.dll"
!endif
; The capacity, in UTF-16 units, of the buffers the buffer-filling macros allocate. An NSIS
; variable holds at most ${NSIS_MAX_STRLEN} units of it.
!ifndef TOVRAK_BUFFER_UNITS
  !define TOVRAK_BUFFER_UNITS 4096
!endif

; Shell modes, commands and screen kinds.
!define TOVRAK_MODE_INSTALL 0
!define TOVRAK_MODE_UNINSTALL 1
!define TOVRAK_MODE_UPDATE 2
!define TOVRAK_COMMAND_NONE 0
!define TOVRAK_COMMAND_PRIMARY 1
!define TOVRAK_COMMAND_CLOSE 2
!define TOVRAK_COMMAND_AGREEMENT 3
!define TOVRAK_COMMAND_PRIVACY 4
!define TOVRAK_COMMAND_LOG_DIRECTORY 5
!define TOVRAK_COMMAND_DIRECTORY_CHANGED 6
!define TOVRAK_STATE_IDLE 0
!define TOVRAK_STATE_RUNNING 1
!define TOVRAK_STATE_FAILED 2

; Extracts the DLL into $PLUGINSDIR, where the macros call it. SOURCE is its path on the machine
; that runs makensis.
!macro TovrakRendererExtract SOURCE
  InitPluginsDir
  File "/oname=${TOVRAK_DLL}" "${SOURCE}"
!macroend

; ---- Shell lifecycle and host commands (host thread) ----

; WINDOW: the shell's window handle, or 0 (mode above 2, a shell already open, an image missing).
!macro ShellOpen ASSETS DIRECTORY NAME FONT MODE WINDOW
  Push `${MODE}`
  Push `${FONT}`
  Push `${NAME}`
  Push `${DIRECTORY}`
  Push `${ASSETS}`
  System::Call '"${TOVRAK_DLL}"::ShellOpen(w s, w s, w s, w s, i s) p .s'
  Pop ${WINDOW}
!macroend

; Closes the window, resets the listeners and ends a running worker.
!macro ShellClose
  System::Call '"${TOVRAK_DLL}"::ShellClose()'
!macroend

; RESULT: an error number (0, 6 without a shell).
!macro ShellShow RESULT
  System::Call '"${TOVRAK_DLL}"::ShellShow() i .s'
  Pop ${RESULT}
!macroend

; RESULT: an error number (31 when the window stays visible).
!macro ShellHide RESULT
  System::Call '"${TOVRAK_DLL}"::ShellHide() i .s'
  Pop ${RESULT}
!macroend

; Pumps at most 64 messages or about 8 ms. COMMAND: 0 none, 1 primary, 2 close, 3 agreement,
; 4 privacy, 5 log directory, 6 directory changed; 2 without a shell.
!macro ShellPoll COMMAND
  System::Call '"${TOVRAK_DLL}"::ShellPoll() i .s'
  Pop ${COMMAND}
!macroend

; DIRECTORY: the installation directory; SHORTCUT: the desktop shortcut choice (0/1).
!macro ShellOptions DIRECTORY SHORTCUT
  System::Store S
  System::Call '*(&w${TOVRAK_BUFFER_UNITS}) p .r0'
  System::Call '"${TOVRAK_DLL}"::ShellOptions(p r0, i ${TOVRAK_BUFFER_UNITS}) i .r1'
  System::Call '*$0(&w${NSIS_MAX_STRLEN} .r2)'
  System::Free $0
  Push $2
  Push $1
  System::Store L
  Pop ${SHORTCUT}
  Pop ${DIRECTORY}
!macroend

; KIND: 0 idle, 1 running, 2 failed, other; PERCENT; the headline, the line under it, the primary
; button's caption and the diagnostics (lines separated by $\n). Returns nothing.
!macro ShellState KIND PERCENT TITLE DETAIL CAPTION DIAGNOSTICS
  Push `${DIAGNOSTICS}`
  Push `${CAPTION}`
  Push `${DETAIL}`
  Push `${TITLE}`
  Push `${PERCENT}`
  Push `${KIND}`
  System::Call '"${TOVRAK_DLL}"::ShellState(i s, i s, w s, w s, w s, w s)'
!macroend

; PERCENT is clamped to 0-100. Returns nothing.
!macro ShellProgress PERCENT
  Push `${PERCENT}`
  System::Call '"${TOVRAK_DLL}"::ShellProgress(i s)'
!macroend

; ALLOWED (0/1) enables the primary button; the headline and the line under it. Returns nothing.
!macro ShellGate ALLOWED HEADLINE DETAIL
  Push `${DETAIL}`
  Push `${HEADLINE}`
  Push `${ALLOWED}`
  System::Call '"${TOVRAK_DLL}"::ShellGate(i s, w s, w s)'
!macroend

; Shows DIRECTORY in the options panel with NOTE under it. Returns nothing.
!macro ShellDirectory DIRECTORY NOTE
  Push `${NOTE}`
  Push `${DIRECTORY}`
  System::Call '"${TOVRAK_DLL}"::ShellDirectory(w s, w s)'
!macroend

; ---- Update-surface configuration (before ShellOpen) ----

; RESULT: 0, or 170 while a shell is open.
!macro ShellConfigureUpdateSurface DIRECTORY SIZE RESULT
  Push `${SIZE}`
  Push `${DIRECTORY}`
  System::Call '"${TOVRAK_DLL}"::ShellConfigureUpdateSurface(w s, w s) i .s'
  Pop ${RESULT}
!macroend

; LANGUAGE "en" for English; START_PERCENT 0-95. RESULT: 0, or 170.
!macro ShellConfigureUpdateSurfacePresentation LANGUAGE START_PERCENT RESULT
  Push `${START_PERCENT}`
  Push `${LANGUAGE}`
  System::Call '"${TOVRAK_DLL}"::ShellConfigureUpdateSurfacePresentation(w s, i s) i .s'
  Pop ${RESULT}
!macroend

; ---- Texts of the shell and its skins (before ShellOpen) ----

; LANGUAGE a language tag such as "de-DE", or "" for the user's own UI languages; TEXTS the path of a
; translations file, or "" for none. RESULT: 0, 170, 87 (a malformed tag), 13 (a malformed file) or
; the system's error opening the file; a refused call changes nothing.
!macro ShellConfigureTexts LANGUAGE TEXTS RESULT
  Push `${TEXTS}`
  Push `${LANGUAGE}`
  System::Call '"${TOVRAK_DLL}"::ShellConfigureTexts(w s, w s) i .s'
  Pop ${RESULT}
!macroend

; ---- Pipes to the installed application; the takeover acknowledgement ----

; PIPE_ID "{GUID}"; CLIENT the full path of the only executable accepted. RESULT: 0, 6, 87 (bad
; id), 123 (empty path) or a system error.
!macro ShellListenReady PIPE_ID CLIENT RESULT
  Push `${CLIENT}`
  Push `${PIPE_ID}`
  System::Call '"${TOVRAK_DLL}"::ShellListenReady(w s, w s) i .s'
  Pop ${RESULT}
!macroend

; RESULT: 0 waiting, 1 the expected client connected, 6 no listener or shell.
!macro ShellPollReady RESULT
  System::Call '"${TOVRAK_DLL}"::ShellPollReady() i .s'
  Pop ${RESULT}
!macroend

!macro ShellCancelReady
  System::Call '"${TOVRAK_DLL}"::ShellCancelReady()'
!macroend

; As ShellListenReady.
!macro ShellListenSurfaceReady PIPE_ID CLIENT RESULT
  Push `${CLIENT}`
  Push `${PIPE_ID}`
  System::Call '"${TOVRAK_DLL}"::ShellListenSurfaceReady(w s, w s) i .s'
  Pop ${RESULT}
!macroend

; As ShellPollReady.
!macro ShellPollSurfaceReady RESULT
  System::Call '"${TOVRAK_DLL}"::ShellPollSurfaceReady() i .s'
  Pop ${RESULT}
!macroend

!macro ShellCancelSurfaceReady
  System::Call '"${TOVRAK_DLL}"::ShellCancelSurfaceReady()'
!macroend

; Any thread. RESULT: 0 after writing "AID1" to standard output, else an error number.
!macro ShellAcknowledgeTakeover RESULT
  System::Call '"${TOVRAK_DLL}"::ShellAcknowledgeTakeover() i .s'
  Pop ${RESULT}
!macroend

; As ShellListenReady.
!macro ShellListenLaunchStatus PIPE_ID CLIENT RESULT
  Push `${CLIENT}`
  Push `${PIPE_ID}`
  System::Call '"${TOVRAK_DLL}"::ShellListenLaunchStatus(w s, w s) i .s'
  Pop ${RESULT}
!macroend

; STATUS: a new status 1-4 once, 0 nothing new, negative errors (-6 no listener).
!macro ShellPollLaunchStatus STATUS
  System::Call '"${TOVRAK_DLL}"::ShellPollLaunchStatus() i .s'
  Pop ${STATUS}
!macroend

; WHICH: 0 since listening, 1 since the last status. MILLISECONDS.
!macro ShellLaunchElapsed WHICH MILLISECONDS
  Push `${WHICH}`
  System::Call '"${TOVRAK_DLL}"::ShellLaunchElapsed(i s) i .s'
  Pop ${MILLISECONDS}
!macroend

!macro ShellCancelLaunchStatus
  System::Call '"${TOVRAK_DLL}"::ShellCancelLaunchStatus()'
!macroend

; ---- The worker and its event stream ----

; Starts APPLICATION hidden, in a job that ends with the shell, its standard output a pipe to the
; host. RESULT: an error number; ShellWorkerFailureStage tells the step.
!macro ShellStartWorker APPLICATION ARGUMENTS RESULT
  Push `${ARGUMENTS}`
  Push `${APPLICATION}`
  System::Call '"${TOVRAK_DLL}"::ShellStartWorker(w s, w s) i .s'
  Pop ${RESULT}
!macroend

; STAGE: 0, or 1-13, the step of the last failed start.
!macro ShellWorkerFailureStage STAGE
  System::Call '"${TOVRAK_DLL}"::ShellWorkerFailureStage() i .s'
  Pop ${STAGE}
!macroend

; EXIT: -1 while the worker runs or its output remains, then its exit code once (13 when the
; stream was corrupt).
!macro ShellWorkerExit EXIT
  System::Call '"${TOVRAK_DLL}"::ShellWorkerExit() i .s'
  Pop ${EXIT}
!macroend

; In the worker, any thread. TYPE 1-10 (1 progress, text the percentage). RESULT: 1 written or
; suppressed as a repeated progress, 0 otherwise.
!macro ShellEmit TYPE LABEL TEXT RESULT
  Push `${TEXT}`
  Push `${LABEL}`
  Push `${TYPE}`
  System::Call '"${TOVRAK_DLL}"::ShellEmit(i s, w s, w s) i .s'
  Pop ${RESULT}
!macroend

; Never blocks. TYPE: the type of the record taken, or 0; LABEL and TEXT: its texts.
!macro ShellReadEvent TYPE LABEL TEXT
  System::Store S
  System::Call '*(&w${TOVRAK_BUFFER_UNITS}) p .r1'
  System::Call '*(&w${TOVRAK_BUFFER_UNITS}) p .r2'
  System::Call '"${TOVRAK_DLL}"::ShellReadEvent(p r1, p r2, i ${TOVRAK_BUFFER_UNITS}) i .r0'
  System::Call '*$1(&w${NSIS_MAX_STRLEN} .r3)'
  System::Call '*$2(&w${NSIS_MAX_STRLEN} .r4)'
  System::Free $1
  System::Free $2
  Push $4
  Push $3
  Push $0
  System::Store L
  Pop ${TYPE}
  Pop ${LABEL}
  Pop ${TEXT}
!macroend

; WHICH: 0 system time (a FILETIME), else tick count. TIME: the stamp of the last record taken.
!macro ShellEventTime WHICH TIME
  Push `${WHICH}`
  System::Call '"${TOVRAK_DLL}"::ShellEventTime(i s) l .s'
  Pop ${TIME}
!macroend

; ---- Skinned controls (the thread that owns the control); RESULT 1 or 0 ----

!macro SetActionText TRIGGER LABEL NORMAL_COLOR ACTIVE_COLOR BACKGROUND_COLOR RESULT
  Push `${BACKGROUND_COLOR}`
  Push `${ACTIVE_COLOR}`
  Push `${NORMAL_COLOR}`
  Push `${LABEL}`
  Push `${TRIGGER}`
  System::Call '"${TOVRAK_DLL}"::SetActionText(p s, p s, i s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

!macro SetIcon CONTROL ICON_PATH BACKGROUND_PATH OFFSET_X OFFSET_Y DPI RESULT
  Push `${DPI}`
  Push `${OFFSET_Y}`
  Push `${OFFSET_X}`
  Push `${BACKGROUND_PATH}`
  Push `${ICON_PATH}`
  Push `${CONTROL}`
  System::Call '"${TOVRAK_DLL}"::SetIcon(p s, w s, w s, i s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

!macro SetSurface CONTROL IMAGE_PATH DPI RESULT
  Push `${DPI}`
  Push `${IMAGE_PATH}`
  Push `${CONTROL}`
  System::Call '"${TOVRAK_DLL}"::SetSurface(p s, w s, i s) i .s'
  Pop ${RESULT}
!macroend

!macro SetLabel CONTROL BACKGROUND_PATH OFFSET_X OFFSET_Y DPI TEXT_COLOR RESULT
  Push `${TEXT_COLOR}`
  Push `${DPI}`
  Push `${OFFSET_Y}`
  Push `${OFFSET_X}`
  Push `${BACKGROUND_PATH}`
  Push `${CONTROL}`
  System::Call '"${TOVRAK_DLL}"::SetLabel(p s, w s, i s, i s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

!macro SetPath EDIT TEXT_COLOR BACKGROUND_COLOR RESULT
  Push `${BACKGROUND_COLOR}`
  Push `${TEXT_COLOR}`
  Push `${EDIT}`
  System::Call '"${TOVRAK_DLL}"::SetPath(p s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

; HEIGHT: the panel's height in 96-DPI units, or 0.
!macro LayoutDiagnostics PANEL DPI PRIMARY_COLOR SECONDARY_COLOR BACKGROUND_COLOR HEIGHT
  Push `${BACKGROUND_COLOR}`
  Push `${SECONDARY_COLOR}`
  Push `${PRIMARY_COLOR}`
  Push `${DPI}`
  Push `${PANEL}`
  System::Call '"${TOVRAK_DLL}"::LayoutDiagnostics(p s, i s, i s, i s, i s) i .s'
  Pop ${HEIGHT}
!macroend

!macro ConfigureScroll HOST EXCLUDE DPI CONTENT_HEIGHT TRACK_COLOR THUMB_COLOR RESULT
  Push `${THUMB_COLOR}`
  Push `${TRACK_COLOR}`
  Push `${CONTENT_HEIGHT}`
  Push `${DPI}`
  Push `${EXCLUDE}`
  Push `${HOST}`
  System::Call '"${TOVRAK_DLL}"::ConfigureScroll(p s, p s, i s, i s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

; WINDOW: the progress window, or 0; message 0x8049 with the percentage in wParam sets it.
!macro CreateProgress PARENT DPI TRACK_COLOR FILL_COLOR HIGHLIGHT_COLOR BACKGROUND_COLOR WINDOW
  Push `${BACKGROUND_COLOR}`
  Push `${HIGHLIGHT_COLOR}`
  Push `${FILL_COLOR}`
  Push `${TRACK_COLOR}`
  Push `${DPI}`
  Push `${PARENT}`
  System::Call '"${TOVRAK_DLL}"::CreateProgress(p s, i s, i s, i s, i s, i s) p .s'
  Pop ${WINDOW}
!macroend

; HEIGHT 500-1200 units.
!macro ResizeShell WINDOW DPI HEIGHT RESULT
  Push `${HEIGHT}`
  Push `${DPI}`
  Push `${WINDOW}`
  System::Call '"${TOVRAK_DLL}"::ResizeShell(p s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

; ---- Owned processes (any thread); IMAGE "" for any program ----

; RESULT: 0 one runs, 1 none, 2 rejected.
!macro FindOwnedProcesses DIRECTORY IMAGE EXCLUDE1 EXCLUDE2 EXCLUDE3 RESULT
  Push `${EXCLUDE3}`
  Push `${EXCLUDE2}`
  Push `${EXCLUDE1}`
  Push `${IMAGE}`
  Push `${DIRECTORY}`
  System::Call '"${TOVRAK_DLL}"::FindOwnedProcesses(w s, w s, i s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

; RESULT: 1 none runs, 0 the budget ran out, 2 rejected.
!macro WaitOwnedProcessesExit DIRECTORY IMAGE EXCLUDE1 EXCLUDE2 EXCLUDE3 TIMEOUT_MS RESULT
  Push `${TIMEOUT_MS}`
  Push `${EXCLUDE3}`
  Push `${EXCLUDE2}`
  Push `${EXCLUDE1}`
  Push `${IMAGE}`
  Push `${DIRECTORY}`
  System::Call '"${TOVRAK_DLL}"::WaitOwnedProcessesExit(w s, w s, i s, i s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

; RESULT: 0, 87, 2 none running, 1460 a watched process ended, or a system error.
!macro CloseOwnedProcesses DIRECTORY TERMINATE EXCLUDE WATCH INITIAL_WATCH SKIP_INITIAL_WATCH WAIT_MS RESULT
  Push `${WAIT_MS}`
  Push `${SKIP_INITIAL_WATCH}`
  Push `${INITIAL_WATCH}`
  Push `${WATCH}`
  Push `${EXCLUDE}`
  Push `${TERMINATE}`
  Push `${DIRECTORY}`
  System::Call '"${TOVRAK_DLL}"::CloseOwnedProcesses(w s, i s, i s, i s, i s, i s, i s) i .s'
  Pop ${RESULT}
!macroend

; ---- Payload integrity (in the worker) ----

; RESULT: 1 a plain tree (no links), 0 otherwise.
!macro ValidatePlainTree PATH RESULT
  Push `${PATH}`
  System::Call '"${TOVRAK_DLL}"::ValidatePlainTree(w s) i .s'
  Pop ${RESULT}
!macroend

; RESULT: 0 exact match, 1 manifest unusable, 2 tree differs, 3 content differs, 4 read failure.
!macro VerifyPayloadIntegrity PAYLOAD_DIRECTORY MANIFEST RESULT
  Push `${MANIFEST}`
  Push `${PAYLOAD_DIRECTORY}`
  System::Call '"${TOVRAK_DLL}"::VerifyPayloadIntegrity(w s, w s) i .s'
  Pop ${RESULT}
!macroend

; As VerifyPayloadIntegrity for one file; RELATIVE_PATH as the manifest names it.
!macro VerifyPayloadFileIntegrity FILE MANIFEST RELATIVE_PATH RESULT
  Push `${RELATIVE_PATH}`
  Push `${MANIFEST}`
  Push `${FILE}`
  System::Call '"${TOVRAK_DLL}"::VerifyPayloadFileIntegrity(w s, w s, w s) i .s'
  Pop ${RESULT}
!macroend

; The next verification's progress events go from START to END. RESULT: END.
!macro PayloadVerifyProgressRange START END RESULT
  Push `${END}`
  Push `${START}`
  System::Call '"${TOVRAK_DLL}"::PayloadVerifyProgressRange(i s, i s) i .s'
  Pop ${RESULT}
!macroend

!endif
