; The sample installer written in NSIS: the same installer as tools/sample_installer/, one
; executable in three roles.
;
;   TovrakSample.exe [/S] [/uninstall] [/log=<file>] [/target=<dir>] [/font=<face>] [/pace=<ms>]
;                    [/D=<dir>]
;       the host: the shell, its loop, the worker's progress, the failure screen with diagnostics and
;       the hand-over to the installed application. /S deploys silently: no window, the same work,
;       the result in the exit code (0, 1602 closed by the user, 1603 failed, 1618 another
;       installation runs). /D= (NSIS's own, last on the line, spaces allowed) or /target= names
;       the installation directory; /log= writes a UTF-8 log of the stages, the worker's events
;       and the result.
;   TovrakSample.exe /worker=install /target=<dir> [/shortcut=1] [/pace=<ms>]
;   TovrakSample.exe /worker=uninstall /target=<dir> [/pace=<ms>]
;       the worker, started by the host through ShellStartWorker: silent, it extracts and verifies
;       the payload, copies it into place, puts the shortcut on the desktop and the entry into Apps
;       & features (or removes all of it), reports its stages with ShellEmit and exits with a code
;       the host turns into the success or the failure screen
;
; The host writes its steps to standard error; standard output carries only the takeover
; acknowledgement. /pace slows the worker down so that the running screen can be seen.
;
; Built by tools/nsis_installer/build_installer.sh, which passes on the command line:
;   TARGET    x86-unicode with the 32-bit DLL, amd64-unicode with the 64-bit one
;   INCLUDE_DIR  the folder of TovrakRenderer.nsh (include/tovrak)
;   DLL       TovrakRenderer.dll          ASSETS    the shell's pictures
;   PAYLOAD   the files to install        MANIFEST  their manifest, written by manifest_writer
;   OUTFILE   the installer to write
;   TRANSLATIONS  the shell's translations file, checked by texts_check before the build

Target ${TARGET}
Name "Tovrak 示例"
; TovrakSample.exe: no "setup" or "install" in the name, from which Windows would guess that the
; program wants elevation (makensis warns about setup.exe). An installer into the user's own
; folders needs none.
OutFile "${OUTFILE}"
RequestExecutionLevel user
ManifestDPIAware true
; Every section then runs on the main thread, the one that opens the shell: the whole host loop
; lives in one section, and NSIS shows no window of its own, with /S or without.
SilentInstall silent
InstallDir "$LOCALAPPDATA\TovrakSample"

!addincludedir "${INCLUDE_DIR}"
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include TextFunc.nsh
!include TovrakRenderer.nsh

; The product as Windows shows it. The C++ sample is another product, with an entry, a shortcut
; and a mutex of its own.
!define PRODUCT "Tovrak 示例 (NSIS)"
!define VERSION "1.0.0"
!define PUBLISHER "Tovrak"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TovrakSampleNsis"
!define SHORTCUT "$DESKTOP\${PRODUCT}.lnk"
; Local\: the installation is the user's own; a second one of the same user in this session would
; write the same directory, shortcut and entry.
!define MUTEX "Local\TovrakSampleNsis.Installation"

; The languages the installer speaks. NSIS sets $LANGUAGE to the user's UI language when it is one
; of them, else to the first; the shell gets its tag (ShellConfigureTexts), and its fixed texts in
; that language, built in or from the translations file. The host's own texts are these.
LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\German.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"
LangString InstallHeadline ${LANG_ENGLISH} "Install the Tovrak sample"
LangString InstallHeadline ${LANG_GERMAN} "Das Tovrak-Beispiel installieren"
LangString InstallHeadline ${LANG_SIMPCHINESE} "安装 Tovrak 示例"
LangString InstallDetail ${LANG_ENGLISH} "A sample installer made with TovrakRenderer and NSIS"
LangString InstallDetail ${LANG_GERMAN} "Ein Beispiel-Installationsprogramm, gebaut mit TovrakRenderer und NSIS"
LangString InstallDetail ${LANG_SIMPCHINESE} "一个用 TovrakRenderer 和 NSIS 制作的示例安装程序"
LangString UninstallHeadline ${LANG_ENGLISH} "Uninstall the Tovrak sample"
LangString UninstallHeadline ${LANG_GERMAN} "Das Tovrak-Beispiel deinstallieren"
LangString UninstallHeadline ${LANG_SIMPCHINESE} "卸载 Tovrak 示例"
LangString UninstallDetail ${LANG_ENGLISH} "The Tovrak sample will be removed from this computer"
LangString UninstallDetail ${LANG_GERMAN} "Das Tovrak-Beispiel wird von diesem Computer entfernt"
LangString UninstallDetail ${LANG_SIMPCHINESE} "将从这台电脑移除 Tovrak 示例"
LangString UninstallCaption ${LANG_ENGLISH} "Uninstall"
LangString UninstallCaption ${LANG_GERMAN} "Deinstallieren"
LangString UninstallCaption ${LANG_SIMPCHINESE} "卸载"
LangString CloseFirstHeadline ${LANG_ENGLISH} "Please close the Tovrak sample first"
LangString CloseFirstHeadline ${LANG_GERMAN} "Bitte schließen Sie zuerst das Tovrak-Beispiel"
LangString CloseFirstHeadline ${LANG_SIMPCHINESE} "请先关闭 Tovrak 示例"
LangString CloseFirstDetail ${LANG_ENGLISH} "It runs from the install location; the installation continues once it is closed"
LangString CloseFirstDetail ${LANG_GERMAN} "Es läuft aus dem Installationsort; die Installation geht weiter, sobald es beendet ist"
LangString CloseFirstDetail ${LANG_SIMPCHINESE} "它正在安装位置运行，关闭后即可继续安装"
LangString Installing ${LANG_ENGLISH} "Installing the Tovrak sample"
LangString Installing ${LANG_GERMAN} "Das Tovrak-Beispiel wird installiert"
LangString Installing ${LANG_SIMPCHINESE} "正在安装 Tovrak 示例"
LangString Uninstalling ${LANG_ENGLISH} "Uninstalling the Tovrak sample"
LangString Uninstalling ${LANG_GERMAN} "Das Tovrak-Beispiel wird deinstalliert"
LangString Uninstalling ${LANG_SIMPCHINESE} "正在卸载 Tovrak 示例"
LangString PleaseWait ${LANG_ENGLISH} "Please wait"
LangString PleaseWait ${LANG_GERMAN} "Bitte warten"
LangString PleaseWait ${LANG_SIMPCHINESE} "请稍候"
LangString InstalledHeadline ${LANG_ENGLISH} "Installation complete"
LangString InstalledHeadline ${LANG_GERMAN} "Installation abgeschlossen"
LangString InstalledHeadline ${LANG_SIMPCHINESE} "安装完成"
LangString InstalledDetail ${LANG_ENGLISH} "The Tovrak sample is installed"
LangString InstalledDetail ${LANG_GERMAN} "Das Tovrak-Beispiel ist installiert"
LangString InstalledDetail ${LANG_SIMPCHINESE} "Tovrak 示例已安装"
LangString InstalledCaption ${LANG_ENGLISH} "Try it now"
LangString InstalledCaption ${LANG_GERMAN} "Jetzt ausprobieren"
LangString InstalledCaption ${LANG_SIMPCHINESE} "立即体验"
LangString UninstalledHeadline ${LANG_ENGLISH} "Uninstallation complete"
LangString UninstalledHeadline ${LANG_GERMAN} "Deinstallation abgeschlossen"
LangString UninstalledHeadline ${LANG_SIMPCHINESE} "卸载完成"
LangString UninstalledDetail ${LANG_ENGLISH} "The Tovrak sample was removed from this computer"
LangString UninstalledDetail ${LANG_GERMAN} "Das Tovrak-Beispiel wurde von diesem Computer entfernt"
LangString UninstalledDetail ${LANG_SIMPCHINESE} "Tovrak 示例已从这台电脑移除"
LangString UninstalledCaption ${LANG_ENGLISH} "Done"
LangString UninstalledCaption ${LANG_GERMAN} "Fertig"
LangString UninstalledCaption ${LANG_SIMPCHINESE} "完成"

; The installer's exit codes: those of Windows Installer, which deployment tools read.
!define INSTALLER_SUCCEEDED 0
!define INSTALLER_CANCELLED 1602
!define INSTALLER_FAILED 1603
!define INSTALLER_ALREADY_RUNNING 1618

; The events the worker and the host agree on (type 1, progress, is the library's own).
!define EVENT_STAGE 2     ; label: stage key, text: what the user reads
!define EVENT_FAILURE 4   ; label: stage key, text: "code|system error|message"
!define EVENT_FINISHED 5  ; text: what was done
; The worker's exit codes.
!define EXIT_BAD_ARGUMENTS 2
!define EXIT_PAYLOAD_REJECTED 100  ; + the verification result (1 to 4)
!define EXIT_TREE_NOT_PLAIN 120
!define EXIT_COPY_FAILED 130
!define EXIT_SHORTCUT_FAILED 131
!define EXIT_REGISTRATION_FAILED 132
!define EXIT_REMOVE_FAILED 140
; The launch status codes the application writes.
!define LAUNCH_FAILED 3
!define LAUNCH_RUNNING 4
; Progress shares of the worker's stages.
!define VERIFY_START 10
!define VERIFY_END 60
!define APPLICATION "sample_app.exe"
!define LAUNCH_TIMEOUT_MS 20000
; How often the idle install screen asks whether the application runs from the chosen directory.
!define GATE_CHECK_MS 500

Var Role          ; host, install or uninstall (the last two: the worker); busy or nolog when the
                  ; host cannot begin
Var Uninstalling  ; 1 when the host runs in uninstall mode
Var Silent        ; 1 with /S
Var Target
Var Font
Var Pace
Var Shortcut      ; 1 when the desktop shortcut is wanted
Var ExitCode
Var Outcome       ; what the exit code means, for the log's last line
Var Phase         ; idle, running, succeeded, failed, launching, done
Var Finished
Var Percent
Var WorkerExit
Var FailureStage
Var FailureText
Var Failure       ; the last failure: stage, code and message
Var ApplicationStarted
Var LaunchStartedAt
Var ReadySeen
Var SurfaceSeen
Var StatusRunning
Var GateCheckedAt
Var ApplicationRunning  ; as the gate last showed it
Var StandardError
Var LogFile       ; the handle of the /log= file, or empty
Var LogPath
Var Mutex
Var Rejected      ; the payload file that did not verify

Function .onInit
  ${GetParameters} $0
  ; No path holds a quote: dropping them lets GetOptions read values with spaces, however the
  ; program that started this one quoted them. NSIS has taken /D= off the line into $INSTDIR.
  ${WordReplace} $0 '"' "" "+" $0
  ClearErrors
  StrCpy $Role host
  ${GetOptions} $0 "/worker=" $1
  ${IfNot} ${Errors}
    StrCpy $Role $1
  ${EndIf}
  StrCpy $Uninstalling 0
  ${GetOptions} $0 "/uninstall" $1
  ${IfNot} ${Errors}
    StrCpy $Uninstalling 1
  ${EndIf}
  ; /S exactly, as NSIS spells it (SilentInstall silent makes NSIS's own flag always set).
  StrCpy $Silent 0
  ${GetOptionsS} $0 "/S" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 == ""
    StrCpy $Silent 1
  ${EndIf}
  StrCpy $Target $INSTDIR
  ${GetOptions} $0 "/target=" $1
  ${IfNot} ${Errors}
    StrCpy $Target $1
  ${EndIf}
  StrCpy $Font "Microsoft YaHei UI"
  ${GetOptions} $0 "/font=" $1
  ${IfNot} ${Errors}
    StrCpy $Font $1
  ${EndIf}
  StrCpy $Pace 0
  ${GetOptions} $0 "/pace=" $1
  ${IfNot} ${Errors}
    IntOp $Pace $1 + 0
  ${EndIf}
  StrCpy $Shortcut 0
  ${GetOptions} $0 "/shortcut=" $1
  ${IfNot} ${Errors}
    IntOp $Shortcut $1 + 0
  ${EndIf}
  StrCpy $LogPath ""
  ${GetOptions} $0 "/log=" $1
  ${IfNot} ${Errors}
    StrCpy $LogPath $1
  ${EndIf}
  StrCpy $ExitCode 0
  StrCpy $Outcome ""
  StrCpy $LogFile ""
  System::Call 'kernel32::GetStdHandle(i -12) p .s'
  Pop $StandardError
  ${If} $Role == host
    Call BeginInstallation
  ${EndIf}
  !insertmacro TovrakRendererExtract "${DLL}"
FunctionEnd

; One installation of the product at a time, installer and uninstaller alike: two would write the
; same files, shortcut and entry. The mutex is held until the process ends; a second host finds it.
; The log is opened after it: the installation that runs may hold the same log file open.
Function BeginInstallation
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${MUTEX}") p .r1 ?e'
  Pop $2
  StrCpy $Mutex $1
  ; Access denied: the mutex exists and was created with rights this process does not have.
  ${If} $2 = 183
  ${OrIf} $2 = 5
    StrCpy $Role busy
  ${EndIf}
  ${If} $LogPath != ""
    ClearErrors
    FileOpen $LogFile $LogPath w
    ${If} ${Errors}
      StrCpy $LogFile ""
      ${If} $Role == host
        StrCpy $Role nolog
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; ---- The account of the host ----

; Writes a text as UTF-8 to a file handle: NSIS's FileWrite would write the system's ANSI code page.
; On the stack: the handle, then the text.
Function WriteUtf8
  System::Store S
  Pop $0
  Pop $1
  System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r0, i -1, p 0, i 0, p 0, p 0) i .r2'
  ${If} $2 > 1
    System::Alloc $2
    Pop $3
    System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r0, i -1, p r3, i r2, p 0, p 0)'
    IntOp $2 $2 - 1
    System::Call 'kernel32::WriteFile(p r1, p r3, i r2, *i .r4, p 0)'
    System::Free $3
  ${EndIf}
  System::Store L
FunctionEnd

; One line of the host's account, the text on the stack: on standard error and, with its local
; time, in the log. Note writes to the log only: the details (each progress step) that would crowd
; the console.
Function Say
  Exch $0
  Push $StandardError
  Push "[nsis] $0$\n"
  Call WriteUtf8
  Push $0
  Call Note
  Pop $0
FunctionEnd
Function Note
  System::Store S
  Pop $0
  ${If} $LogFile != ""
    System::Call '*(&i2, &i2, &i2, &i2, &i2, &i2, &i2, &i2) p .r1'
    System::Call 'kernel32::GetLocalTime(p r1)'
    System::Call '*$1(&i2 .r2, &i2 .r3, &i2, &i2 .r4, &i2 .r5, &i2 .r6, &i2 .r7, &i2 .r8)'
    System::Free $1
    IntFmt $3 "%02u" $3
    IntFmt $4 "%02u" $4
    IntFmt $5 "%02u" $5
    IntFmt $6 "%02u" $6
    IntFmt $7 "%02u" $7
    IntFmt $8 "%03u" $8
    Push $LogFile
    Push "$2-$3-$4 $5:$6:$7.$8 $0$\r$\n"
    Call WriteUtf8
  ${EndIf}
  System::Store L
FunctionEnd
!macro Say TEXT
  Push `${TEXT}`
  Call Say
!macroend
!define Say "!insertmacro Say"
!macro Note TEXT
  Push `${TEXT}`
  Call Note
!macroend
!define Note "!insertmacro Note"

; The last line of the log: the exit code and what it means.
Function Report
  ${Say} "result $ExitCode: $Outcome"
  ${If} $LogFile != ""
    FileClose $LogFile
    StrCpy $LogFile ""
  ${EndIf}
FunctionEnd

Function RefuseSecondInstallation
  ${Say} "another installation of ${PRODUCT} is running"
  ${If} $Silent <> 1
    MessageBox MB_OK|MB_ICONINFORMATION "另一个 ${PRODUCT} 安装程序正在运行。请等它结束后再试。"
  ${EndIf}
  StrCpy $ExitCode ${INSTALLER_ALREADY_RUNNING}
  StrCpy $Outcome "another installation runs"
FunctionEnd

Section
  ${If} $Role == install
    Call WorkerInstall
  ${ElseIf} $Role == uninstall
    Call WorkerUninstall
  ${ElseIf} $Role == host
    Call Host
    Call Report
  ${ElseIf} $Role == busy
    Call RefuseSecondInstallation
    Call Report
  ${ElseIf} $Role == nolog
    ${Say} "cannot create the log $LogPath"
    StrCpy $ExitCode ${INSTALLER_FAILED}
    StrCpy $Outcome "no log"
    Call Report
  ${Else}
    StrCpy $ExitCode ${EXIT_BAD_ARGUMENTS}
  ${EndIf}
  ; $PLUGINSDIR is removed when the installer ends; it must not be the current directory then.
  SetOutPath $TEMP
  SetErrorLevel $ExitCode
SectionEnd

; ---- The host ----

; The shell speaks the installer's language: the tag of $LANGUAGE (NSIS's choice by the user's UI
; language), its fixed texts built in or from the translations file. A file the library refuses
; leaves the shell's own texts in force.
Function ConfigureLanguage
  SetOutPath "$PLUGINSDIR"
  File "/oname=translations.txt" "${TRANSLATIONS}"
  System::Call 'kernel32::LCIDToLocaleName(i $LANGUAGE, w .r1, i ${NSIS_MAX_STRLEN}, i 0) i .r2'
  ${If} $2 = 0
    StrCpy $1 ""
  ${EndIf}
  !insertmacro ShellConfigureTexts $1 "$PLUGINSDIR\translations.txt" $0
  ${If} $0 <> 0
    ${Say} "the translations were refused ($0): the shell keeps its own texts"
  ${EndIf}
  ${Say} "language $LANGUAGE ($1)"
FunctionEnd

Function Host
  ${If} $Uninstalling = 1
    StrCpy $1 uninstall
  ${Else}
    StrCpy $1 install
  ${EndIf}
  ${If} $Silent = 1
    StrCpy $1 "$1 (silent)"
  ${EndIf}
  ${Say} "${PRODUCT} ${VERSION}: $1, directory $Target"
  SetOutPath "$PLUGINSDIR\assets"
  File /r "${ASSETS}/*"
  Call ConfigureLanguage
  StrCpy $Phase idle
  StrCpy $Finished 0
  StrCpy $Percent 0
  StrCpy $ApplicationStarted 0
  StrCpy $ApplicationRunning 0
  StrCpy $GateCheckedAt ""
  ; The silent installer opens the shell too, and never shows it: the library starts the worker in
  ; its kill-on-close job and carries the worker's events only for an open shell, and the window
  ; that ShellOpen creates stays hidden until ShellShow. The hidden shell keeps its screens all the
  ; same, so that a close request during the work is ignored as the visible close button is.
  !insertmacro ShellOpen "$PLUGINSDIR\assets" $Target "Tovrak 示例" $Font $Uninstalling $0
  ${If} $0 = 0
  ${OrIf} $0 == error
    ${Say} "ShellOpen failed"
    StrCpy $ExitCode ${INSTALLER_FAILED}
    StrCpy $Outcome "the installer's window could not be created"
    Return
  ${EndIf}
  ${If} $Uninstalling = 1
    !insertmacro ShellState ${TOVRAK_STATE_IDLE} 0 "$(UninstallHeadline)" "$(UninstallDetail)" "$(UninstallCaption)" ""
  ${Else}
    Call OpenGate
  ${EndIf}
  ${If} $Silent = 1
    ${Say} "silent: the window stays hidden"
    Call StartInstallation
  ${Else}
    Call GateOnRunningApplication
    !insertmacro ShellShow $0
    ${Say} "shell open and shown ($0)"
  ${EndIf}

  ${Do}
    !insertmacro ShellPoll $0
    Call HandleCommand
    Call DrainEvents
    Call CheckWorker
    Call CheckApplication
    Call GateOnRunningApplication
    ${If} $Silent = 1
      Call FinishSilently
    ${EndIf}
    ${If} $Finished = 1
      ${ExitDo}
    ${EndIf}
    Sleep 8
  ${Loop}

  !insertmacro ShellHide $0
  !insertmacro ShellClose
  ${If} $ExitCode = 0
  ${AndIf} $ApplicationStarted = 1
    !insertmacro ShellAcknowledgeTakeover $0
    ${Say} "takeover acknowledged to the parent: $0"
  ${EndIf}
FunctionEnd

; Ends the host with an exit code and what it means.
!macro Finish CODE OUTCOME
  StrCpy $ExitCode ${CODE}
  StrCpy $Outcome `${OUTCOME}`
  StrCpy $Finished 1
!macroend

Function SuccessOutcome
  ${If} $Uninstalling = 1
    StrCpy $Outcome "uninstalled from $Target"
  ${Else}
    StrCpy $Outcome "installed into $Target"
  ${EndIf}
FunctionEnd

; Silent, the installer ends with its worker.
Function FinishSilently
  ${If} $Phase == succeeded
    Call SuccessOutcome
    !insertmacro Finish ${INSTALLER_SUCCEEDED} $Outcome
  ${ElseIf} $Phase == failed
    !insertmacro Finish ${INSTALLER_FAILED} $Failure
  ${EndIf}
FunctionEnd

; The command in $0.
Function HandleCommand
  ${If} $0 = ${TOVRAK_COMMAND_PRIMARY}
    ${If} $Phase == idle
    ${OrIf} $Phase == failed
      Call StartInstallation
    ${ElseIf} $Phase == succeeded
      ${If} $Uninstalling = 1
        Call SuccessOutcome
        !insertmacro Finish ${INSTALLER_SUCCEEDED} $Outcome
      ${Else}
        Call LaunchApplication
      ${EndIf}
    ${EndIf}
  ${ElseIf} $0 = ${TOVRAK_COMMAND_CLOSE}
    ${Say} "the user closed the installer"
    ${If} $Phase == failed
      !insertmacro Finish ${INSTALLER_FAILED} $Failure
    ${ElseIf} $Phase == idle
      ${If} $Uninstalling = 1
        !insertmacro Finish ${INSTALLER_CANCELLED} "closed before the uninstall began"
      ${Else}
        !insertmacro Finish ${INSTALLER_CANCELLED} "closed before the install began"
      ${EndIf}
    ${Else}
      Call SuccessOutcome
      !insertmacro Finish ${INSTALLER_SUCCEEDED} $Outcome
    ${EndIf}
  ${ElseIf} $0 = ${TOVRAK_COMMAND_AGREEMENT}
    ${Say} "would open the user agreement: https://example.invalid/tovrak/agreement"
  ${ElseIf} $0 = ${TOVRAK_COMMAND_PRIVACY}
    ${Say} "would open the privacy policy: https://example.invalid/tovrak/privacy"
  ${ElseIf} $0 = ${TOVRAK_COMMAND_LOG_DIRECTORY}
    ${Say} "would open the log directory: $TEMP"
  ${ElseIf} $0 = ${TOVRAK_COMMAND_DIRECTORY_CHANGED}
    !insertmacro ShellOptions $1 $2
    ${Say} "installation directory changed to $1"
    ; The application may run from the old directory and not from the new one.
    StrCpy $GateCheckedAt ""
  ${EndIf}
FunctionEnd

Function OpenGate
  !insertmacro ShellGate 1 "$(InstallHeadline)" "$(InstallDetail)"
FunctionEnd

; While the application runs from the chosen directory its files cannot be replaced: the idle
; install screen keeps the primary button disabled and says why, until the application exits.
Function GateOnRunningApplication
  ${If} $Silent = 1
  ${OrIf} $Uninstalling = 1
  ${OrIf} $Phase != idle
    Return
  ${EndIf}
  System::Call 'kernel32::GetTickCount() i .r0'
  ${If} $GateCheckedAt != ""
    IntOp $1 $0 - $GateCheckedAt
    ${If} $1 < ${GATE_CHECK_MS}
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $GateCheckedAt $0
  !insertmacro ShellOptions $1 $2
  System::Call 'kernel32::GetCurrentProcessId() i .r2'
  !insertmacro FindOwnedProcesses $1 "" $2 0 0 $3
  ${If} $3 = 0
    StrCpy $3 1
  ${Else}
    StrCpy $3 0
  ${EndIf}
  ${If} $3 = $ApplicationRunning
    Return
  ${EndIf}
  StrCpy $ApplicationRunning $3
  ${If} $3 = 1
    !insertmacro ShellGate 0 "$(CloseFirstHeadline)" "$(CloseFirstDetail)"
    ${Say} "a program runs from $1: the installation waits until it exits"
  ${Else}
    Call OpenGate
    ${Say} "nothing runs from $1 any more: the installation may begin"
  ${EndIf}
FunctionEnd

; Nothing may run from the installation directory while the worker replaces or removes it. Leaves
; 1 in $0 when it is free.
Function FreeInstallationDirectory
  System::Call 'kernel32::GetCurrentProcessId() i .r1'
  !insertmacro FindOwnedProcesses $Target "" $1 0 0 $2
  ${If} $2 <> 0
    StrCpy $0 1
    Return
  ${EndIf}
  ${Say} "programs still run from $Target: asking them to close"
  ; An uninstallation ends what does not close when asked.
  !insertmacro CloseOwnedProcesses $Target $Uninstalling $1 0 0 1 3000 $2
  !insertmacro WaitOwnedProcessesExit $Target "" $1 0 0 5000 $2
  StrCpy $0 0
  ${If} $2 = 1
    ${Say} "the programs have exited"
    StrCpy $0 1
  ${Else}
    ${Say} "programs running from $Target did not exit: their files cannot be replaced"
  ${EndIf}
FunctionEnd

Function StartInstallation
  !insertmacro ShellOptions $Target $Shortcut
  ${If} $Silent = 1
    StrCpy $1 "silent start"
  ${Else}
    StrCpy $1 "primary action"
  ${EndIf}
  ${If} $Uninstalling = 1
    ${Say} "$1: directory $Target"
  ${Else}
    ${Say} "$1: directory $Target, desktop shortcut $Shortcut"
  ${EndIf}
  Call FreeInstallationDirectory
  ${If} $0 <> 1
    Push prepare
    Push 32
    Push 32
    Push "安装目录中仍有程序在运行"
    Call ShowFailure
    Return
  ${EndIf}
  StrCpy $FailureStage ""
  StrCpy $FailureText ""
  ${If} $Uninstalling = 1
    StrCpy $1 "/worker=uninstall"
    StrCpy $2 "$(Uninstalling)"
  ${Else}
    StrCpy $1 "/worker=install /shortcut=$Shortcut"
    StrCpy $2 "$(Installing)"
  ${EndIf}
  ; The worker is this very program.
  !insertmacro ShellStartWorker $EXEPATH '$1 /target="$Target" /pace=$Pace' $0
  ${If} $0 <> 0
    !insertmacro ShellWorkerFailureStage $1
    ${Say} "worker did not start: error $0 at stage $1"
    Push start
    Push 1
    Push $0
    Push "无法启动安装进程"
    Call ShowFailure
    Return
  ${EndIf}
  ${Say} "worker started"
  StrCpy $Phase running
  StrCpy $Percent 0
  !insertmacro ShellState ${TOVRAK_STATE_RUNNING} 0 $2 "$(PleaseWait)" "" ""
FunctionEnd

Function DrainEvents
  ${Do}
    !insertmacro ShellReadEvent $0 $1 $2
    ${If} $0 == error
    ${OrIf} $0 = 0
      ${ExitDo}
    ${EndIf}
    ${If} $0 = 1
      ${Note} "progress $2"
      StrCpy $Percent $2
      !insertmacro ShellProgress $2
    ${ElseIf} $0 = ${EVENT_STAGE}
      ${Say} "stage $1: $2"
      ${If} $Uninstalling = 1
        !insertmacro ShellState ${TOVRAK_STATE_RUNNING} $Percent "$(Uninstalling)" $2 "" ""
      ${Else}
        !insertmacro ShellState ${TOVRAK_STATE_RUNNING} $Percent "$(Installing)" $2 "" ""
      ${EndIf}
    ${ElseIf} $0 = ${EVENT_FAILURE}
      StrCpy $FailureStage $1
      StrCpy $FailureText $2
      ${Say} "failure at $1: $2"
    ${ElseIf} $0 = ${EVENT_FINISHED}
      ${Say} "worker finished: $2"
    ${EndIf}
  ${Loop}
FunctionEnd

Function CheckWorker
  ${If} $Phase != running
    Return
  ${EndIf}
  !insertmacro ShellWorkerExit $0
  ${If} $0 = -1
    Return
  ${EndIf}
  StrCpy $WorkerExit $0
  ${Say} "worker exited with $0"
  ${If} $0 <> 0
    ; The worker's own account, "code|system error|message", when it gave one.
    StrCpy $1 0
    StrCpy $2 "安装进程异常退出"
    ${If} $FailureText != ""
      ${WordFind} $FailureText "|" "+2" $1
      ${WordFind} $FailureText "|" "+2}" $2
    ${EndIf}
    ${If} $FailureStage == ""
      StrCpy $FailureStage worker
    ${EndIf}
    Push $FailureStage
    Push $0
    Push $1
    Push $2
    Call ShowFailure
    Return
  ${EndIf}
  StrCpy $Phase succeeded
  ${If} $Uninstalling = 1
    !insertmacro ShellState 3 100 "$(UninstalledHeadline)" "$(UninstalledDetail)" "$(UninstalledCaption)" ""
  ${Else}
    !insertmacro ShellState 3 100 "$(InstalledHeadline)" "$(InstalledDetail)" "$(InstalledCaption)" ""
  ${EndIf}
FunctionEnd

; The failure screen. On the stack, pushed in this order: the stage key, the code, the system error
; (0 for none) and the message.
Function ShowFailure
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
  StrCpy $Phase failed
  ${If} $R0 == prepare
    StrCpy $R4 "准备安装目录"
  ${ElseIf} $R0 == start
    StrCpy $R4 "启动安装进程"
  ${ElseIf} $R0 == verify
    StrCpy $R4 "校验安装包"
  ${ElseIf} $R0 == validate
    StrCpy $R4 "检查安装包结构"
  ${ElseIf} $R0 == copy
    StrCpy $R4 "复制文件"
  ${ElseIf} $R0 == shortcut
    StrCpy $R4 "桌面快捷方式"
  ${ElseIf} $R0 == register
    StrCpy $R4 "登记卸载信息"
  ${ElseIf} $R0 == remove
    StrCpy $R4 "删除文件"
  ${ElseIf} $R0 == unregister
    StrCpy $R4 "移除卸载信息"
  ${ElseIf} $R0 == launch
    StrCpy $R4 "启动应用程序"
  ${Else}
    StrCpy $R4 $R0
  ${EndIf}
  StrCpy $Failure "failed at stage $R0 ($R4), code $R1"
  StrCpy $R5 "失败阶段：$R4$\n错误码：$R1"
  ${If} $R2 <> 0
    StrCpy $R5 "$R5$\n系统错误：Windows $R2"
    StrCpy $Failure "$Failure, Windows error $R2"
  ${EndIf}
  StrCpy $R5 "$R5$\n说明：$R3"
  StrCpy $Failure "$Failure: $R3"
  ${If} $Uninstalling = 1
    StrCpy $R4 "卸载失败"
  ${Else}
    StrCpy $R4 "安装失败"
  ${EndIf}
  !insertmacro ShellState ${TOVRAK_STATE_FAILED} $Percent $R4 $R3 "重试" $R5
  ${Say} "failure screen: stage $R0, code $R1"
FunctionEnd

; ---- The hand-over ----

Function LaunchApplication
  StrCpy $R0 "$Target\${APPLICATION}"
  System::Call 'ole32::CoCreateGuid(g .s)'
  Pop $R1
  System::Call 'ole32::CoCreateGuid(g .s)'
  Pop $R2
  System::Call 'ole32::CoCreateGuid(g .s)'
  Pop $R3
  !insertmacro ShellListenReady $R1 $R0 $0
  ${If} $0 = 0
    !insertmacro ShellListenSurfaceReady $R2 $R0 $0
  ${EndIf}
  ${If} $0 = 0
    !insertmacro ShellListenLaunchStatus $R3 $R0 $0
  ${EndIf}
  ${If} $0 <> 0
    Push launch
    Push 3
    Push $0
    Push "无法等待应用程序启动"
    Call ShowFailure
    Return
  ${EndIf}
  SetOutPath $Target
  ClearErrors
  Exec '"$R0" --ready $R1 --surface $R2 --status $R3'
  ${If} ${Errors}
    Push launch
    Push 3
    Push 0
    Push "无法启动应用程序"
    Call ShowFailure
    Return
  ${EndIf}
  StrCpy $ApplicationStarted 1
  StrCpy $ReadySeen 0
  StrCpy $SurfaceSeen 0
  StrCpy $StatusRunning 0
  System::Call 'kernel32::GetTickCount() i .s'
  Pop $LaunchStartedAt
  StrCpy $Phase launching
  ${Say} "application started: $R0"
FunctionEnd

Function CheckApplication
  ${If} $Phase != launching
    Return
  ${EndIf}
  !insertmacro ShellPollReady $0
  ${If} $0 = 1
    StrCpy $ReadySeen 1
    ${Say} "application ready"
  ${EndIf}
  !insertmacro ShellPollSurfaceReady $0
  ${If} $0 = 1
    StrCpy $SurfaceSeen 1
    ${Say} "application window is up"
  ${EndIf}
  !insertmacro ShellPollLaunchStatus $0
  ${If} $0 > 0
    !insertmacro ShellLaunchElapsed 0 $1
    ${Say} "launch status $0 after $1 ms"
    ${If} $0 = ${LAUNCH_RUNNING}
      StrCpy $StatusRunning 1
    ${ElseIf} $0 = ${LAUNCH_FAILED}
      Push launch
      Push 3
      Push 0
      Push "应用程序启动失败"
      Call ShowFailure
      Return
    ${EndIf}
  ${EndIf}
  ${If} $ReadySeen = 1
  ${AndIf} $SurfaceSeen = 1
  ${AndIf} $StatusRunning = 1
    ${Say} "the application took over"
    StrCpy $Phase done
    !insertmacro Finish ${INSTALLER_SUCCEEDED} "installed into $Target; the application took over"
    Return
  ${EndIf}
  System::Call 'kernel32::GetTickCount() i .s'
  Pop $1
  IntOp $1 $1 - $LaunchStartedAt
  ${If} $1 > ${LAUNCH_TIMEOUT_MS}
    Push launch
    Push 1460
    Push 1460
    Push "应用程序未在规定时间内就绪"
    Call ShowFailure
  ${EndIf}
FunctionEnd

; ---- The worker ----

!macro Stage KEY TEXT
  !insertmacro ShellEmit ${EVENT_STAGE} `${KEY}` `${TEXT}` $9
!macroend
!macro Progress PERCENT
  !insertmacro ShellEmit 1 progress `${PERCENT}` $9
!macroend
; Reports the failure and sets the exit code.
!macro Fail STAGE CODE SYSTEM_ERROR MESSAGE
  !insertmacro ShellEmit ${EVENT_FAILURE} `${STAGE}` `${CODE}|${SYSTEM_ERROR}|${MESSAGE}` $9
  StrCpy $ExitCode ${CODE}
!macroend

Function WorkerInstall
  !insertmacro Stage extract "正在解压安装包"
  ; The payload and its manifest, both written at build time.
  SetOutPath "$PLUGINSDIR\payload"
  File /r "${PAYLOAD}/*"
  File "/oname=$PLUGINSDIR\payload.manifest" "${MANIFEST}"
  !insertmacro Progress ${VERIFY_START}
  Sleep $Pace

  !insertmacro Stage verify "正在校验安装包"
  !insertmacro PayloadVerifyProgressRange ${VERIFY_START} ${VERIFY_END} $0
  !insertmacro VerifyPayloadIntegrity "$PLUGINSDIR\payload" "$PLUGINSDIR\payload.manifest" $0
  ${If} $0 <> 0
    IntOp $0 $0 + ${EXIT_PAYLOAD_REJECTED}
    ; The verification of the whole tree says only that it differs; the file to blame is what an
    ; administrator needs to find in the log.
    Call FindRejectedPayloadFile
    ${If} $Rejected == ""
      !insertmacro Fail verify $0 0 "安装包校验未通过"
    ${Else}
      !insertmacro Fail verify $0 0 "安装包校验未通过：$Rejected"
    ${EndIf}
    Return
  ${EndIf}
  Sleep $Pace

  !insertmacro Stage validate "正在检查安装包结构"
  !insertmacro ValidatePlainTree "$PLUGINSDIR\payload" $0
  ${If} $0 <> 1
    !insertmacro Fail validate ${EXIT_TREE_NOT_PLAIN} 0 "安装包中含有链接"
    Return
  ${EndIf}

  !insertmacro Stage copy "正在复制文件"
  Sleep $Pace
  ClearErrors
  CreateDirectory $Target
  CopyFiles /SILENT "$PLUGINSDIR\payload\*.*" $Target
  ${If} ${Errors}
    System::Call 'kernel32::GetLastError() i .s'
    Pop $0
    !insertmacro Fail copy ${EXIT_COPY_FAILED} $0 "无法复制文件"
    Return
  ${EndIf}
  !insertmacro Progress 100
  Sleep $Pace

  ${If} $Shortcut = 1
    !insertmacro Stage shortcut "正在创建桌面快捷方式"
    ; The shortcut's working directory is the output directory.
    SetOutPath $Target
    ClearErrors
    CreateShortCut "${SHORTCUT}" "$Target\${APPLICATION}" "" "$Target\${APPLICATION}" 0
    ${If} ${Errors}
      !insertmacro Fail shortcut ${EXIT_SHORTCUT_FAILED} 0 "无法创建桌面快捷方式"
      Return
    ${EndIf}
  ${EndIf}

  ; Registered last: Apps & features lists only an installation that is complete.
  !insertmacro Stage register "正在登记卸载信息"
  ${GetSize} $Target "/S=0K" $1 $2 $3  ; $1: the size in KiB, as Apps & features counts it
  ClearErrors
  WriteRegStr HKCU "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" DisplayIcon "$Target\${APPLICATION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" InstallLocation $Target
  ; The installer itself uninstalls. The directory comes last and unquoted, as /D= always does: it
  ; takes the rest of the line, spaces included.
  WriteRegStr HKCU "${UNINSTALL_KEY}" UninstallString '"$EXEPATH" /uninstall /D=$Target'
  WriteRegStr HKCU "${UNINSTALL_KEY}" QuietUninstallString '"$EXEPATH" /uninstall /S /D=$Target'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" EstimatedSize $1
  ; The sample has no change or repair mode: Apps & features offers only "Uninstall".
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" NoRepair 1
  ${If} ${Errors}
    !insertmacro Fail register ${EXIT_REGISTRATION_FAILED} 0 "无法写入卸载信息"
    Return
  ${EndIf}
  !insertmacro Stage done "安装完成"
  !insertmacro ShellEmit ${EVENT_FINISHED} files installed $9
FunctionEnd

; Leaves in $Rejected the payload file to blame when the payload as a whole did not verify: the
; first file the manifest lists that does not verify by itself (changed or missing), or else the
; first file of the payload that the manifest does not list; relative, in the manifest's spelling.
; Empty when no single file is to blame.
Function FindRejectedPayloadFile
  System::Store S
  StrCpy $Rejected ""
  ClearErrors
  FileOpen $R0 "$PLUGINSDIR\payload.manifest" r
  ${If} ${Errors}
    System::Store L
    Return
  ${EndIf}
  FileRead $R0 $R1  ; the header line
  ${Do}
    ClearErrors
    FileRead $R0 $R1
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    ${TrimNewLines} $R1 $R1
    ${WordFind} $R1 "|" "+2}" $R1  ; the relative path
    ${WordReplace} $R1 "/" "\" "+" $R2
    !insertmacro VerifyPayloadFileIntegrity "$PLUGINSDIR\payload\$R2" "$PLUGINSDIR\payload.manifest" $R1 $R3
    ${If} $R3 <> 0
      StrCpy $Rejected $R1
      ${ExitDo}
    ${EndIf}
  ${Loop}
  FileClose $R0
  ${If} $Rejected == ""
    ${Locate} "$PLUGINSDIR\payload" "/L=F" FindUnlistedPayloadFile
  ${EndIf}
  System::Store L
FunctionEnd

; Called by Locate for each payload file ($R9 its path): one the manifest does not list ends the
; search.
Function FindUnlistedPayloadFile
  StrLen $0 "$PLUGINSDIR\payload\"
  StrCpy $1 $R9 "" $0
  ${WordReplace} $1 "\" "/" "+" $1
  !insertmacro VerifyPayloadFileIntegrity $R9 "$PLUGINSDIR\payload.manifest" $1 $2
  StrCpy $0 ""
  ${If} $2 = 1
    StrCpy $Rejected $1
    StrCpy $0 StopLocate
  ${EndIf}
  Push $0
FunctionEnd

; Removes the shortcut, then the files the manifest lists and the folders they leave empty (never
; anything else the user may keep in the installation directory), then the Apps & features entry.
Function WorkerUninstall
  ; The shortcut first, so that nobody starts an application that is half gone.
  !insertmacro Stage shortcut "正在删除桌面快捷方式"
  ClearErrors
  Delete "${SHORTCUT}"
  ${If} ${Errors}
    !insertmacro Fail shortcut ${EXIT_REMOVE_FAILED} 0 "无法删除桌面快捷方式"
    Return
  ${EndIf}

  !insertmacro Stage remove "正在删除文件"
  File "/oname=$PLUGINSDIR\payload.manifest" "${MANIFEST}"
  ClearErrors
  FileOpen $0 "$PLUGINSDIR\payload.manifest" r
  ${If} ${Errors}
    !insertmacro Fail remove ${EXIT_REMOVE_FAILED} 0 "无法读取安装清单"
    Return
  ${EndIf}
  ; The number of files first, for the progress.
  StrCpy $5 0
  FileRead $0 $1  ; the header line
  ${Do}
    ClearErrors
    FileRead $0 $1
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    IntOp $5 $5 + 1
  ${Loop}
  FileSeek $0 0
  FileRead $0 $1
  StrCpy $3 0
  ${Do}
    ClearErrors
    FileRead $0 $1
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    ${TrimNewLines} $1 $1
    ${WordFind} $1 "|" "+2}" $1  ; the relative path
    ${WordReplace} $1 "/" "\" "+" $1
    ClearErrors
    Delete "$Target\$1"
    ${If} ${Errors}
      FileClose $0
      !insertmacro Fail remove ${EXIT_REMOVE_FAILED} 0 $1
      Return
    ${EndIf}
    IntOp $3 $3 + 1
    ; Each folder on the way up, while it is empty.
    ${GetParent} "$Target\$1" $2
    ${Do}
      ${If} $2 == $Target
      ${OrIf} $2 == ""
        ${ExitDo}
      ${EndIf}
      RMDir $2
      ${GetParent} $2 $2
    ${Loop}
    IntOp $4 $3 * 100
    IntOp $4 $4 / $5
    !insertmacro Progress $4
    Sleep $Pace
  ${Loop}
  FileClose $0
  RMDir $Target

  ; Unregistered last: while files remain, Apps & features still offers to remove them.
  !insertmacro Stage unregister "正在移除卸载信息"
  ClearErrors
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" DisplayName
  ${IfNot} ${Errors}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${If} ${Errors}
      !insertmacro Fail unregister ${EXIT_REMOVE_FAILED} 0 "无法移除卸载信息"
      Return
    ${EndIf}
  ${EndIf}
  !insertmacro Progress 100
  !insertmacro Stage done "卸载完成"
  !insertmacro ShellEmit ${EVENT_FINISHED} files "$3 files removed" $9
FunctionEnd
