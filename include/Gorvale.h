/* Gorvale.dll: is a process whose executable's file name begins with a given text
 * running on this machine?
 *
 *     if (RefreshProcessList() && FindProcess("viewer")) ...
 *
 * RefreshProcessList takes a snapshot of the running processes (at most 1000);
 * FindProcess walks that snapshot and never renews it. Both return 1 or 0.
 * Names compare as a prefix of the executable's file name, ignoring the case of
 * ASCII letters only; names are in the ANSI code page, whose double-byte
 * characters are never split. A '?' in a process's name stands for a
 * character the code page cannot hold and never matches; a program whose
 * manifest makes UTF-8 its code page sees every character, though a name of
 * more than 259 bytes in UTF-8 is not fetched whole. Only processes the
 * caller may open for querying and reading are seen. Lookups may run on
 * several threads at once, but never at the same time as a refresh.
 *
 * Each listed identifier is opened anew at every lookup: once a listed process
 * has ended, a process started later under the same identifier is the one
 * looked at. A process of the other bitness counts as running while its exit
 * code reads STILL_ACTIVE (259), so one that ended with 259 still looks running
 * while its object lingers. A program can pose under another name in its own
 * loader data, so never base a security decision on the answer. An elevated
 * caller opens every process it can for reading, the local security authority
 * included where it is not protected, which security products may report.
 *
 * The functions have C++ linkage: the DLL exports them under the names the
 * platform's C++ compiler gives these declarations.
 */
#ifndef GORVALE_H
#define GORVALE_H

#ifndef __cplusplus
#error "Gorvale.h declares C++ functions; include it from C++."
#endif

/* The DLL's functions are __cdecl, whatever convention a caller compiles with
 * by default (/Gz, /Gr, /Gv); the exported names stay the same. */
#ifdef _WIN32
#define GORVALE_CALL __cdecl
#else
#define GORVALE_CALL
#endif

/* Replaces the snapshot with the processes running now. Returns 1 on success,
 * 0 when the process list cannot be taken (the snapshot is then empty). */
int GORVALE_CALL RefreshProcessList();

/* Returns 1 when a process in the snapshot, still running, has an executable
 * whose file name begins with name (ASCII case ignored), else 0. A null name
 * returns 0; an empty name matches any process that can be read. */
int GORVALE_CALL FindProcess(const char* name);

#endif
