; Gorvale for Inno Setup: setup installs nothing while a program runs, nor when
; it cannot tell whether it runs, and the uninstaller removes nothing then.
; Add it to an installer, unchanged, after defining
;   GorvaleDll  the 32-bit Gorvale.dll (Inno Setup 6's setup is 32-bit
;               whatever it installs, and loads DLLs of its own bitness only)
;   AppProcess  the program's whole file name, such as viewer.exe: a shorter
;               prefix could match other programs, this setup among them
; with #define or ISCC /D, then
;   #include "gorvale.iss"
; It installs Gorvale.dll into {app}, where the uninstaller calls it. Silent
; setup exits with 7 when it refuses; the reason is in the log (/LOG=FILE).
#ifndef GorvaleDll
  #error Define GorvaleDll, the path of the 32-bit Gorvale.dll
#endif
#ifndef AppProcess
  #error Define AppProcess, the whole file name of the program, such as viewer.exe
#endif
#if AppProcess == ""
  #error AppProcess is empty; Gorvale would find any process by it
#endif
#define GorvaleAppProcess StringChange(AppProcess, "'", "''")

[Files]
Source: "{#GorvaleDll}"; DestDir: "{app}"; DestName: "Gorvale.dll"; Flags: ignoreversion

[Code]
// The DLL's exports under their decorated names, loaded only when first
// called (delayload), so that a DLL that cannot load raises an exception here,
// which the check catches, rather than stopping setup before any script runs.
// The setup: and uninstall: prefixes are written by hand: ISCC's setuponly and
// uninstallonly options put them after the first '@', inside the name. Setup
// calls the copy it unpacks (files:), the uninstaller the installed one; an
// {app} import without uninstall: would be expanded by setup too, before {app}
// is known.
function GorvaleSetupRefresh: Integer;
  external '?RefreshProcessList@@YAHXZ@setup:files:Gorvale.dll cdecl delayload';
function GorvaleSetupFind(Name: AnsiString): Integer;
  external '?FindProcess@@YAHPBD@Z@setup:files:Gorvale.dll cdecl delayload';
function GorvaleUninstallRefresh: Integer;
  external '?RefreshProcessList@@YAHXZ@uninstall:{app}\Gorvale.dll cdecl delayload';
function GorvaleUninstallFind(Name: AnsiString): Integer;
  external '?FindProcess@@YAHPBD@Z@uninstall:{app}\Gorvale.dll cdecl delayload';

const
  GorvaleNotRunning = 0;
  GorvaleRunning = 1;
  GorvaleCannotTell = 2;

function GorvaleRefresh(Uninstalling: Boolean): Integer;
begin
  if Uninstalling then
    Result := GorvaleUninstallRefresh
  else
    Result := GorvaleSetupRefresh;
end;

// Name must not be empty: Pascal's empty string reaches the DLL as a null
// pointer, which finds nothing.
function GorvaleFind(Uninstalling: Boolean; Name: AnsiString): Integer;
begin
  if Uninstalling then
    Result := GorvaleUninstallFind(Name)
  else
    Result := GorvaleSetupFind(Name);
end;

// Whether Name survives the ANSI code page, in which the DLL takes it: a
// character that the code page lacks would reach it as '?', which never matches.
function GorvaleAnsiName(Name: String; var Ansi: AnsiString): Boolean;
begin
  Ansi := AnsiString(Name);
  Result := (Name <> '') and (String(Ansi) = Name);
end;

// GorvaleNotRunning, GorvaleRunning, or GorvaleCannotTell with the reason. A
// DLL that answers the refresh and then finds nothing (a damaged one, or one
// that cannot open processes) must still see this very program, which runs.
function GorvaleCheck(Uninstalling: Boolean; var Reason: String): Integer;
var
  App, Self: AnsiString;
  Found: Integer;
begin
  Result := GorvaleCannotTell;
  if not GorvaleAnsiName('{#GorvaleAppProcess}', App) then
    Reason := 'the name has characters that the ANSI code page of this system cannot hold'
  else if not GorvaleAnsiName(ExtractFileName(ParamStr(0)), Self) then
    Reason := 'the name of this program, ' + ExtractFileName(ParamStr(0)) + ', does not fit the ANSI code page'
  else
    try
      if GorvaleRefresh(Uninstalling) <> 1 then
        Reason := 'Gorvale.dll could not take the list of running processes'
      else if GorvaleFind(Uninstalling, Self) <> 1 then
        Reason := 'Gorvale.dll does not see this program itself (' + String(Self) + '), so it cannot see others'
      else
      begin
        Found := GorvaleFind(Uninstalling, App);
        if Found = 1 then
          Result := GorvaleRunning
        else if Found = 0 then
          Result := GorvaleNotRunning
        else
          Reason := 'Gorvale.dll answered ' + IntToStr(Found);
      end;
    except
      Reason := 'Gorvale.dll cannot be loaded, or lacks its functions: ' + GetExceptionMessage;
    end;
end;

// The check, repeated for as long as the user asks to try again; '' once the
// program does not run, else the message that refuses.
function GorvaleRefusal(Uninstalling, Silent: Boolean): String;
var
  Reason: String;
  State: Integer;
begin
  repeat
    State := GorvaleCheck(Uninstalling, Reason);
    if State = GorvaleNotRunning then
      Result := ''
    else if State = GorvaleRunning then
      Result := '{#GorvaleAppProcess} is running; close it and try again.'
    else
    begin
      Log('Gorvale: cannot tell: ' + Reason);
      Result := 'Cannot tell whether {#GorvaleAppProcess} is running.';
    end;
    if Result <> '' then
      Log(Result);
  until (Result = '') or Silent or (SuppressibleMsgBox(Result, mbError, MB_RETRYCANCEL, IDCANCEL) <> IDRETRY);
end;

// Before setup replaces any file. A message here makes setup install
// nothing: interactively it is shown, silently setup exits with 7.
<event('PrepareToInstall')>
function GorvalePrepareToInstall(var NeedsRestart: Boolean): String;
begin
  Result := GorvaleRefusal(False, WizardSilent);
  UnloadDLL(ExpandConstant('{tmp}\Gorvale.dll'));
end;

// Before the uninstaller removes anything. Unloaded at once, or the
// uninstaller could not delete {app}\Gorvale.dll, nor then {app}.
<event('InitializeUninstall')>
function GorvaleInitializeUninstall: Boolean;
var
  Refusal: String;
begin
  Refusal := GorvaleRefusal(True, UninstallSilent);
  UnloadDLL(ExpandConstant('{app}\Gorvale.dll'));
  if (Refusal <> '') and UninstallSilent then
    SuppressibleMsgBox(Refusal, mbError, MB_OK, IDOK);
  Result := Refusal = '';
end;
