@echo off
rem Waits until no process whose executable's name begins with NAME runs, as an
rem updater must before it replaces a program's files. gorvale-check.exe and
rem Gorvale.dll lie beside this file.
rem   wait-for-close.cmd NAME [SECONDS]      (default 60)
rem Exit status: 0 once NAME is closed, 1 when it still runs after SECONDS,
rem 2 when the running processes cannot be listed.
setlocal
set "seconds=%~2"
if "%seconds%"=="" set "seconds=60"
"%~dp0gorvale-check.exe" --wait-gone "%~1" --timeout %seconds% >nul 2>&1
if errorlevel 2 (
    echo Cannot tell whether %~1 is running.
    exit /b 2
)
if errorlevel 1 (
    echo %~1 is still running; close it and try again.
    exit /b 1
)
echo %~1 is closed.
rem Replace the program's files here.
exit /b 0
