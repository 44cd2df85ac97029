@echo off
rem Waits until no process whose executable's name begins with NAME runs, as an
rem updater must before it replaces a program's files. gorvale-check.exe and
rem Gorvale.dll lie beside this file.
rem   wait-for-close.cmd NAME [SECONDS]      (default 60)
rem Exit status: 0 once NAME is closed, 1 when it still runs after SECONDS,
rem 2 on a usage error or when the running processes cannot be listed.
setlocal
set "name=%~1"
set "seconds=%~2"
if "%seconds%"=="" set "seconds=60"
if "%name%"=="" goto usage
rem Whole seconds only: nothing may be left once every digit is taken out.
set "rest="
for /f "delims=0123456789" %%c in ("%seconds%") do set "rest=%%c"
if defined rest goto usage
"%~dp0gorvale-check.exe" --wait-gone -- "%name%" --timeout %seconds% >nul 2>&1
if errorlevel 2 (
    echo Cannot tell whether %name% is running.
    exit /b 2
)
if errorlevel 1 (
    echo %name% is still running; close it and try again.
    exit /b 1
)
echo %name% is closed.
rem Replace the program's files here.
exit /b 0

:usage
echo Usage: %~nx0 NAME [SECONDS]
echo Waits until no program whose file name begins with NAME runs, for up to
echo SECONDS (a whole number, default 60).
exit /b 2
