@echo off
rem Runs the Gorvale test kit: every suite over each DLL in this folder, for
rem each architecture this Windows runs; see README.txt.
rem   run-tests.cmd [--arch x86^|x64] [--dll PATH] [--suite NAME]... [--out DIR]
"%~dp0kit-runner.exe" %*
exit /b %errorlevel%
