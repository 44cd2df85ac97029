@echo off
rem Times Gorvale.dll on this Windows, as scripts/bench.sh does under Wine.
rem   run-bench.cmd [x86^|x64] [N...]     (default x86, with 20, 100 and 300 idle processes)
setlocal
set "arch=x86"
if "%~1"=="x86" (set "arch=x86" & shift)
if "%~1"=="x64" (set "arch=x64" & shift)
"%~dp0%arch%\msvc\gorvale-bench.exe" %1 %2 %3 %4 %5 %6 %7 %8 %9
exit /b %errorlevel%
