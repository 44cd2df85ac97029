; An installer that will not replace a program's files while the program runs.
; It asks Gorvale.dll (32-bit, as the installer is), which it carries along and
; unpacks into its plug-in folder.
;
;   makensis -DAPP_DIR=<folder of the files to install> [-DAPP_NAME=Viewer]
;            [-DAPP_PROCESS=viewer] [-DGORVALE_DLL=<x86\bin\Gorvale.dll>]
;            [-DOUT_FILE=viewer-setup.exe] installer.nsi
;
; Run silently (/S) while the program runs, it installs nothing and exits with
; code 3; otherwise it asks the user to close the program first.
Unicode true
!include LogicLib.nsh

!ifndef APP_NAME
  !define APP_NAME "Viewer"
!endif
!ifndef APP_PROCESS
  !define APP_PROCESS "viewer"  ; matches every executable whose name begins so
!endif
!ifndef APP_DIR
  !error "Say which files to install: makensis -DAPP_DIR=<folder> installer.nsi"
!endif
!ifndef GORVALE_DLL
  !define GORVALE_DLL "Gorvale.dll"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "viewer-setup.exe"
!endif
!define EXIT_APP_RUNNING 3

Name "${APP_NAME}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\${APP_NAME}"
RequestExecutionLevel user

Page directory
Page instfiles

; Sets $0 to 1 while a process of the program runs, else 0. The exports carry
; C++ names with '?', which the System plug-in cannot call by name: take their
; addresses with GetProcAddress and call those, as cdecl functions (?c).
Function IsAppRunning
  Push $1
  Push $2
  Push $3
  StrCpy $0 0
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
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File /r "${APP_DIR}\*"
SectionEnd
