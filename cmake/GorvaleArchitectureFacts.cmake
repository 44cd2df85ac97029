# What differs by architecture, stated once, side by side; each row becomes
# GORVALE_<ROW> for the architecture built (GORVALE_ARCH):
#   find_process_export  the name MSVC gives FindProcess: a 64-bit pointer is
#                        marked E
#   dlltool_machine      the machine that dlltool makes import libraries for
#   msvc_link_marks      what the MSVC toolchain's link marks: SafeSEH is
#                        x86's alone, CET shadow stacks exist on x86 and x64;
#                        ARM64 has neither (lld-link would set a CET flag that
#                        means nothing there)
#   guard_dispatch       the guard's dispatch routine, which x64 alone has:
#                        guarded ARM64 code calls only the check
#   high_entropy         a 64-bit address space for ASLR to use
set(GORVALE_ARCHITECTURES x86                    x64                        arm64)
set(find_process_export  "?FindProcess@@YAHPBD@Z" "?FindProcess@@YAHPEBD@Z" "?FindProcess@@YAHPEBD@Z")
set(dlltool_machine       i386                   i386:x86-64                arm64)
set(msvc_link_marks      "/SAFESEH /CETCOMPAT"   /CETCOMPAT                 "")
set(guard_dispatch        ""                     GuardDispatch.asm          "")
set(high_entropy          OFF                    ON                         ON)
list(FIND GORVALE_ARCHITECTURES "${GORVALE_ARCH}" column)
if(column EQUAL -1)
    message(FATAL_ERROR "Gorvale builds for ${GORVALE_ARCHITECTURES}, not for this target")
endif()
foreach(fact find_process_export dlltool_machine msvc_link_marks guard_dispatch high_entropy)
    list(GET ${fact} ${column} value)
    string(TOUPPER ${fact} name)
    set(GORVALE_${name} "${value}")
endforeach()
separate_arguments(GORVALE_MSVC_LINK_MARKS NATIVE_COMMAND "${GORVALE_MSVC_LINK_MARKS}")
set(GORVALE_REFRESH_PROCESS_LIST_EXPORT "?RefreshProcessList@@YAHXZ")
