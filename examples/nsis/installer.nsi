; An installer that will not replace a program's files while the program runs.
; It asks Gorvale.dll (32-bit, as the installer is), which it carries along and
; unpacks into its plug-in folder.
;
;   makensis -NOCD -DAPP_DIR=<folder of the files to install> [-DAPP_NAME=Viewer]
;            [-DAPP_PROCESS=viewer.exe] [-DGORVALE_DLL=<x86\bin\Gorvale.dll>]
;            [-DOUT_FILE=viewer-setup.exe] installer.nsi
;
; -NOCD takes relative paths from the folder makensis runs in, not from this
; script's. Run silently (/S), it installs nothing and exits with code 3 while
; the program runs, and with code 4 when it cannot tell whether the program
; runs; interactively, it says which and offers to look again.
Unicode true
!include LogicLib.nsh

!ifndef APP_NAME
  !define APP_NAME "Viewer"
!endif
; The program's whole file name: a shorter prefix could match other programs,
; the installer itself among them (viewer-setup.exe begins with "viewer").
!ifndef APP_PROCESS
  !define APP_PROCESS "viewer.exe"
!endif
!ifndef APP_DIR
  !error "Say which files to install: makensis -NOCD -DAPP_DIR=<folder> installer.nsi"
!endif
!ifndef GORVALE_DLL
  !define GORVALE_DLL "Gorvale.dll"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "viewer-setup.exe"
!endif
!define EXIT_APP_RUNNING 3
!define EXIT_CANNOT_TELL 4

Name "${APP_NAME}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\${APP_NAME}"
RequestExecutionLevel user

Page directory
Page instfiles

; Sets $0 to 1 while a process of the program runs, to 0 when none does, and
; to -1 when it cannot tell: the DLL does not load (the 64-bit one packed by
; mistake, say), lacks the functions, or cannot list the processes. The
; exports carry C++ names with '?', which the System plug-in cannot call by
; name: take their addresses with GetProcAddress and call those, as cdecl
; functions (?c).
Function IsAppRunning
  Push $1
  Push $2
  Push $3
  StrCpy $0 -1
  System::Call 'kernel32::LoadLibraryW(w "$PLUGINSDIR\Gorvale.dll") p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::GetProcAddress(p r1, m "?RefreshProcessList@@YAHXZ") p .r2'
    System::Call 'kernel32::GetProcAddress(p r1, m "?FindProcess@@YAHPBD@Z") p .r3'
    ${If} $2 P<> 0
    ${AndIf} $3 P<> 0
      System::Call '::$2() i .r2 ?c'
      ${If} $2 = 1
        System::Call '::$3(m "${APP_PROCESS}") i .r0 ?c'
      ${EndIf}
    ${EndIf}
    System::Call 'kernel32::FreeLibrary(p r1)'
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

Function .onInit
  InitPluginsDir
  File "/oname=$PLUGINSDIR\Gorvale.dll" "${GORVALE_DLL}"
  retry:
  Call IsAppRunning
  ${If} $0 = 1
    ${IfNot} ${Silent}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "${APP_NAME} is running.$\n$\nPlease close ${APP_NAME} first, then choose Retry." \
        IDRETRY retry
    ${EndIf}
    SetErrorLevel ${EXIT_APP_RUNNING}
    Quit
  ${ElseIf} $0 <> 0
    ; Not knowing is no licence to replace files that may be in use.
    ${IfNot} ${Silent}
      MessageBox MB_RETRYCANCEL|MB_ICONSTOP \
        "Setup cannot tell whether ${APP_NAME} is running.$\n$\nClose ${APP_NAME} if it runs, then choose Retry." \
        IDRETRY retry
    ${EndIf}
    SetErrorLevel ${EXIT_CANNOT_TELL}
    Quit
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File /r "${APP_DIR}\*"
SectionEnd
