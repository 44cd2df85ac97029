@echo off
rem Times Gorvale.dll on this Windows, as scripts/bench.sh does under Wine.
rem   run-bench.cmd [x86^|x64] [N...]     (default x86, with 20, 100 and 300 idle processes)
setlocal
set "arch=x86"
if "%~1"=="x86" (set "arch=x86" & shift) else if "%~1"=="x64" (set "arch=x64" & shift)
rem One architecture: a second one is refused, not taken for the first.
if "%~1"=="x86" goto :two
if "%~1"=="x64" goto :two
"%~dp0%arch%\msvc\gorvale-bench.exe" %1 %2 %3 %4 %5 %6 %7 %8 %9
exit /b %errorlevel%
:two
>&2 echo run-bench: one architecture at most, x86 or x64
>&2 echo Usage: run-bench.cmd [x86^|x64] [N...]
exit /b 2
