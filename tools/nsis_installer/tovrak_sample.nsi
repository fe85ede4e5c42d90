; The sample installer written in NSIS: the same installer as tools/sample_installer/, one
; executable in three roles.
;
;   TovrakSample.exe [/uninstall] [/target=<dir>] [/font=<face>] [/pace=<ms>]
;       the host: the shell, its loop, the worker's progress, the failure screen with diagnostics and
;       the hand-over to the installed application
;   TovrakSample.exe /worker=install /target=<dir> [/pace=<ms>]
;   TovrakSample.exe /worker=uninstall /target=<dir> [/pace=<ms>]
;       the worker, started by the host through ShellStartWorker: silent, it extracts and verifies
;       the payload and copies it into place (or removes it), reports its stages with ShellEmit and
;       exits with a code the host turns into the success or the failure screen
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

Target ${TARGET}
Name "Tovrak 示例"
; TovrakSample.exe: no "setup" or "install" in the name, from which Windows would guess that the
; program wants elevation (makensis warns about setup.exe). An installer into the user's own
; folders needs none.
OutFile "${OUTFILE}"
RequestExecutionLevel user
ManifestDPIAware true
; Every section then runs on the main thread, the one that opens the shell: the whole host loop
; lives in one section, and NSIS shows no window of its own.
SilentInstall silent
InstallDir "$LOCALAPPDATA\TovrakSample"

!addincludedir "${INCLUDE_DIR}"
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include TextFunc.nsh
!include TovrakRenderer.nsh

; The events the worker and the host agree on (type 1, progress, is the library's own).
!define EVENT_STAGE 2     ; label: stage key, text: what the user reads
!define EVENT_FAILURE 4   ; label: stage key, text: "code|system error|message"
!define EVENT_FINISHED 5  ; text: what was done
; The worker's exit codes.
!define EXIT_BAD_ARGUMENTS 2
!define EXIT_PAYLOAD_REJECTED 100  ; + the verification result (1 to 4)
!define EXIT_TREE_NOT_PLAIN 120
!define EXIT_COPY_FAILED 130
!define EXIT_REMOVE_FAILED 140
; The launch status codes the application writes.
!define LAUNCH_FAILED 3
!define LAUNCH_RUNNING 4
; Progress shares of the worker's stages.
!define VERIFY_START 10
!define VERIFY_END 60
!define APPLICATION "sample_app.exe"
!define LAUNCH_TIMEOUT_MS 20000

Var Role          ; host, install or uninstall (the last two: the worker)
Var Uninstalling  ; 1 when the host runs in uninstall mode
Var Target
Var Font
Var Pace
Var ExitCode
Var Phase         ; idle, running, succeeded, failed, launching, done
Var Finished
Var Percent
Var WorkerExit
Var FailureStage
Var FailureText
Var ApplicationStarted
Var LaunchStartedAt
Var ReadySeen
Var SurfaceSeen
Var StatusRunning
Var StandardError

Function .onInit
  ${GetParameters} $0
  ; No path holds a quote: dropping them lets GetOptions read values with spaces, however the
  ; program that started this one quoted them.
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
  StrCpy $ExitCode 0
  System::Call 'kernel32::GetStdHandle(i -12) p .s'
  Pop $StandardError
  !insertmacro TovrakRendererExtract "${DLL}"
FunctionEnd

Section
  ${If} $Role == install
    Call WorkerInstall
  ${ElseIf} $Role == uninstall
    Call WorkerUninstall
  ${ElseIf} $Role == host
    Call Host
  ${Else}
    StrCpy $ExitCode ${EXIT_BAD_ARGUMENTS}
  ${EndIf}
  ; $PLUGINSDIR is removed when the installer ends; it must not be the current directory then.
  SetOutPath $TEMP
  SetErrorLevel $ExitCode
SectionEnd

; ---- The host ----

; One line on standard error; the text on the stack.
Function Say
  Exch $0
  FileWrite $StandardError "[nsis] $0$\n"
  Pop $0
FunctionEnd
!macro Say TEXT
  Push `${TEXT}`
  Call Say
!macroend
!define Say "!insertmacro Say"

Function Host
  SetOutPath "$PLUGINSDIR\assets"
  File /r "${ASSETS}/*"
  StrCpy $Phase idle
  StrCpy $Finished 0
  StrCpy $Percent 0
  StrCpy $ApplicationStarted 0
  !insertmacro ShellOpen "$PLUGINSDIR\assets" $Target "Tovrak 示例" $Font $Uninstalling $0
  ${If} $0 = 0
  ${OrIf} $0 == error
    ${Say} "ShellOpen failed"
    StrCpy $ExitCode 1
    Return
  ${EndIf}
  ${If} $Uninstalling = 1
    !insertmacro ShellState ${TOVRAK_STATE_IDLE} 0 "卸载 Tovrak 示例" "将从这台电脑移除 Tovrak 示例" "卸载" ""
  ${Else}
    !insertmacro ShellGate 1 "安装 Tovrak 示例" "一个用 TovrakRenderer 和 NSIS 制作的示例安装程序"
  ${EndIf}
  !insertmacro ShellShow $0
  ${Say} "shell open and shown ($0)"

  ${Do}
    !insertmacro ShellPoll $0
    Call HandleCommand
    Call DrainEvents
    Call CheckWorker
    Call CheckApplication
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

; The command in $0.
Function HandleCommand
  ${If} $0 = ${TOVRAK_COMMAND_PRIMARY}
    ${If} $Phase == idle
    ${OrIf} $Phase == failed
      Call StartInstallation
    ${ElseIf} $Phase == succeeded
      ${If} $Uninstalling = 1
        StrCpy $Finished 1
      ${Else}
        Call LaunchApplication
      ${EndIf}
    ${EndIf}
  ${ElseIf} $0 = ${TOVRAK_COMMAND_CLOSE}
    ${Say} "the user closed the installer"
    ${If} $Phase == failed
      StrCpy $ExitCode $WorkerExit
    ${EndIf}
    StrCpy $Finished 1
  ${ElseIf} $0 = ${TOVRAK_COMMAND_AGREEMENT}
    ${Say} "would open the user agreement: https://example.invalid/tovrak/agreement"
  ${ElseIf} $0 = ${TOVRAK_COMMAND_PRIVACY}
    ${Say} "would open the privacy policy: https://example.invalid/tovrak/privacy"
  ${ElseIf} $0 = ${TOVRAK_COMMAND_LOG_DIRECTORY}
    ${Say} "would open the log directory: $TEMP"
  ${ElseIf} $0 = ${TOVRAK_COMMAND_DIRECTORY_CHANGED}
    !insertmacro ShellOptions $1 $2
    ${Say} "installation directory changed to $1"
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
  ${Say} "programs closed: $2"
  StrCpy $0 0
  ${If} $2 = 1
    StrCpy $0 1
  ${EndIf}
FunctionEnd

Function StartInstallation
  !insertmacro ShellOptions $Target $1
  ${Say} "primary action: directory $Target, desktop shortcut $1"
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
    StrCpy $2 "正在卸载 Tovrak 示例"
  ${Else}
    StrCpy $1 "/worker=install"
    StrCpy $2 "正在安装 Tovrak 示例"
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
  !insertmacro ShellState ${TOVRAK_STATE_RUNNING} 0 $2 "请稍候" "" ""
FunctionEnd

Function DrainEvents
  ${Do}
    !insertmacro ShellReadEvent $0 $1 $2
    ${If} $0 == error
    ${OrIf} $0 = 0
      ${ExitDo}
    ${EndIf}
    ${If} $0 = 1
      StrCpy $Percent $2
      !insertmacro ShellProgress $2
    ${ElseIf} $0 = ${EVENT_STAGE}
      ${Say} "stage $1"
      ${If} $Uninstalling = 1
        !insertmacro ShellState ${TOVRAK_STATE_RUNNING} $Percent "正在卸载 Tovrak 示例" $2 "" ""
      ${Else}
        !insertmacro ShellState ${TOVRAK_STATE_RUNNING} $Percent "正在安装 Tovrak 示例" $2 "" ""
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
    !insertmacro ShellState 3 100 "卸载完成" "Tovrak 示例已从这台电脑移除" "完成" ""
  ${Else}
    !insertmacro ShellState 3 100 "安装完成" "Tovrak 示例已安装" "立即体验" ""
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
  ${If} $ExitCode = 0
    StrCpy $ExitCode $R1
  ${EndIf}
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
  ${ElseIf} $R0 == remove
    StrCpy $R4 "删除文件"
  ${ElseIf} $R0 == launch
    StrCpy $R4 "启动应用程序"
  ${Else}
    StrCpy $R4 $R0
  ${EndIf}
  StrCpy $R5 "失败阶段：$R4$\n错误码：$R1"
  ${If} $R2 <> 0
    StrCpy $R5 "$R5$\n系统错误：Windows $R2"
  ${EndIf}
  StrCpy $R5 "$R5$\n说明：$R3"
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
    StrCpy $ExitCode 0
    StrCpy $Finished 1
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
    !insertmacro Fail verify $0 0 "安装包校验未通过"
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
  !insertmacro Stage done "安装完成"
  !insertmacro ShellEmit ${EVENT_FINISHED} files installed $9
FunctionEnd

; Removes the files the manifest lists, then the folders they leave empty: never anything else the
; user may keep in the installation directory.
Function WorkerUninstall
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
  !insertmacro Progress 100
  !insertmacro Stage done "卸载完成"
  !insertmacro ShellEmit ${EVENT_FINISHED} files "$3 files removed" $9
FunctionEnd
