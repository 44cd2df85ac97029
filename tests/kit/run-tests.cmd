@echo off
rem Runs the Gorvale test kit: every suite over each DLL in this folder, for
rem each architecture this Windows runs; see README.txt.
rem   run-tests.cmd [--arch x86^|x64^|arm64] [--dll PATH] [--suite NAME]... [--out DIR]
rem The runner of this Windows' own bitness, so that it still starts where
rem 32-bit programs cannot; on Windows for ARM64 the 32-bit one, emulated.
setlocal
set runner=kit-runner.exe
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set runner=kit-runner-x64.exe
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" set runner=kit-runner-x64.exe
"%~dp0%runner%" %*
exit /b %errorlevel%
