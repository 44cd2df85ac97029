// The load configuration that an MSVC-toolchain link reads Control Flow Guard
// from. The C runtime usually supplies it; Gorvale.dll has no runtime, so it
// supplies its own. The linker fills in the __guard_* and __safe_se_handler_*
// symbols: the table of functions that may be called indirectly (the exports,
// DllMain and NoCheck) and the guard flags.
#include <windows.h>

extern const BYTE __guard_fids_table[];
extern const BYTE __guard_fids_count;
extern const BYTE __guard_flags;
extern const BYTE __guard_iat_table[];
extern const BYTE __guard_iat_count;
extern const BYTE __guard_longjmp_table[];
extern const BYTE __guard_longjmp_count;
#ifndef _WIN64
extern const BYTE __safe_se_handler_table[];
extern const BYTE __safe_se_handler_count;
#endif

// The guarded code calls through these slots. A loader that enforces the
// guard points them at its own routines; where none does (Windows before 8.1,
// Wine), these defaults must let every call through, as the runtimes' do.
// The check takes the target in ECX on x86 and must keep it there (fastcall).
static void __fastcall NoCheck(void* target) { (void)target; }
#pragma section(".00cfg", read)
__declspec(allocate(".00cfg")) void (__fastcall* volatile __guard_check_icall_fptr)(void*) = NoCheck;
#ifdef _M_X64
// On x64 the dispatch routine goes on to the target itself (GuardDispatch.asm);
// guarded ARM64 code calls only the check, with the target in x15.
// Declared as data, so that taking its address does not put it in the guard's
// table: the routine is no valid call target.
extern const BYTE GuardDispatchToRax[];
__declspec(allocate(".00cfg")) const void* volatile __guard_dispatch_icall_fptr = GuardDispatchToRax;
#endif

// The Windows 10 layout, as far as the guard's fields; Wine's winnt.h stops
// short of them. Addresses and counts are pointer-sized.
typedef struct
{
    DWORD Size;
    DWORD TimeDateStamp;
    WORD MajorVersion;
    WORD MinorVersion;
    DWORD GlobalFlagsClear;
    DWORD GlobalFlagsSet;
    DWORD CriticalSectionDefaultTimeout;
    ULONG_PTR DeCommitFreeBlockThreshold;
    ULONG_PTR DeCommitTotalFreeThreshold;
    ULONG_PTR LockPrefixTable;
    ULONG_PTR MaximumAllocationSize;
    ULONG_PTR VirtualMemoryThreshold;
#ifdef _WIN64
    ULONG_PTR ProcessAffinityMask;
    DWORD ProcessHeapFlags;
#else
    DWORD ProcessHeapFlags;
    ULONG_PTR ProcessAffinityMask;
#endif
    WORD CSDVersion;
    WORD DependentLoadFlags;
    ULONG_PTR EditList;
    ULONG_PTR SecurityCookie;
    ULONG_PTR SEHandlerTable;
    ULONG_PTR SEHandlerCount;
    ULONG_PTR GuardCFCheckFunctionPointer;
    ULONG_PTR GuardCFDispatchFunctionPointer;
    ULONG_PTR GuardCFFunctionTable;
    ULONG_PTR GuardCFFunctionCount;
    // The flags are 32 bits, but only a pointer-sized field takes the value
    // of a linker symbol as a constant; on x64 its upper half is the code
    // integrity record's Flags and Catalog, which stay 0.
    ULONG_PTR GuardFlags;
#ifndef _WIN64
    WORD CodeIntegrityFlags;
    WORD CodeIntegrityCatalog;
#endif
    DWORD CodeIntegrityCatalogOffset;
    DWORD CodeIntegrityReserved;
    ULONG_PTR GuardAddressTakenIatEntryTable;
    ULONG_PTR GuardAddressTakenIatEntryCount;
    ULONG_PTR GuardLongJumpTargetTable;
    ULONG_PTR GuardLongJumpTargetCount;
} GuardLoadConfig;

const GuardLoadConfig _load_config_used = {
    sizeof(GuardLoadConfig),
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
#ifdef _WIN64
    0, 0,
#else
    (ULONG_PTR)__safe_se_handler_table,
    (ULONG_PTR)&__safe_se_handler_count,
#endif
    (ULONG_PTR)&__guard_check_icall_fptr,
#ifdef _M_X64
    (ULONG_PTR)&__guard_dispatch_icall_fptr,
#else
    0,  // x86 and ARM64 have no dispatch
#endif
    (ULONG_PTR)__guard_fids_table,
    (ULONG_PTR)&__guard_fids_count,
    (ULONG_PTR)&__guard_flags,
#ifndef _WIN64
    0, 0,
#endif
    0, 0,
    (ULONG_PTR)__guard_iat_table,
    (ULONG_PTR)&__guard_iat_count,
    (ULONG_PTR)__guard_longjmp_table,
    (ULONG_PTR)&__guard_longjmp_count,
};
