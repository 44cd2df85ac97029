@echo off
rem Waits until no process whose executable's name begins with NAME runs, as an
rem updater must before it replaces a program's files. gorvale-check.exe and
rem Gorvale.dll lie beside this file.
rem   wait-for-close.cmd NAME [SECONDS]      (default 60, at most 86400)
rem Exit status: 0 once NAME is closed, 1 when it still runs after SECONDS,
rem 2 on a usage error or whenever it cannot tell: when the processes cannot
rem be listed, or gorvale-check cannot run at all (missing, or its DLL missing
rem or of the other bitness). Only 0 means closed.
setlocal DisableDelayedExpansion
set "name=%~1"
set "seconds=%~2"
set "tool=%~dp0gorvale-check.exe"
if not defined seconds set "seconds=60"
if not defined name goto usage
rem No file name holds a double quote; one would end the quoted argument.
rem Without quotes, each value expands safely inside quotes.
set "unquoted=%name:"=%"
set "rest=x%seconds:"=%"
rem Whole seconds from 0 to 86400, gorvale-check's limit: nothing but the x
rem may be left once every digit is taken out. Leading zeros go, lest the
rem number be read as octal; cmd compares numbers beyond 32 bits as the
rem largest it holds.
for %%d in (0 1 2 3 4 5 6 7 8 9) do call set "rest=%%rest:%%d=%%"
if not "%rest%"=="x" goto usage
for /f "tokens=* delims=0" %%n in ("%seconds%") do set "seconds=%%n"
if %seconds% gtr 86400 goto usage
rem From here on the name is expanded late (!name!), so that no character in
rem it (& | < > ^ %% !) is taken for part of a command.
setlocal EnableDelayedExpansion
if not "!unquoted!"=="!name!" goto usage

if not exist "!tool!" (
    echo Cannot tell whether !name! is running: !tool! is missing.
    exit /b 2
)
"!tool!" --wait-gone -- "!name!" --timeout !seconds! >nul 2>&1
set "status=!errorlevel!"
if "!status!"=="0" goto closed
if "!status!"=="1" (
    echo !name! is still running; close it and try again.
    exit /b 1
)
if "!status!"=="2" (
    echo Cannot tell whether !name! is running.
    exit /b 2
)
rem Any other status: the tool did not run, so it gave no answer.
echo Cannot tell whether !name! is running: gorvale-check could not run (exit status !status!).
exit /b 2

:closed
echo !name! is closed.
rem Replace the program's files here.
exit /b 0

:usage
echo Usage: %~nx0 NAME [SECONDS]
echo Waits until no program whose file name begins with NAME runs, for up to
echo SECONDS (a whole number from 0 to 86400, default 60).
exit /b 2
