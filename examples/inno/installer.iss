; An Inno Setup installer that will not replace a program's files while the
; program runs, nor when it cannot tell, and whose uninstaller will not
; remove them then either: gorvale.iss does the asking.
;
;   ISCC /DGorvaleDll=<x86\bin\Gorvale.dll> /DAppDir=<folder of the files to install>
;        [/DAppProcess=viewer.exe] [/O<output folder>] [/F<output name>] installer.iss
;
; Run silently (/VERYSILENT /SUPPRESSMSGBOXES, and /DIR= to choose the folder),
; setup exits with 7 when it refuses; /LOG=FILE says why.
#ifndef AppDir
  #error Say which files to install: ISCC /DAppDir=DIR /DGorvaleDll=PATH installer.iss
#endif
#ifndef AppProcess
  #define AppProcess "viewer.exe"
#endif

[Setup]
AppName=Viewer
AppVersion=1.0
DefaultDirName={autopf}\Viewer
OutputBaseFilename=viewer-setup
; An unelevated setup could not open an elevated program, nor another user's,
; and would take it for not running.
PrivilegesRequired=admin
DisableProgramGroupPage=yes

[Files]
Source: "{#AppDir}\*"; DestDir: "{app}"; Flags: ignoreversion recursesubdirs

#include "gorvale.iss"
