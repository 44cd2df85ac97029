#!/usr/bin/env bash
# built-files.sh DLL PDB: what the ARM64 Gorvale.dll must carry, read with
# llvm-readobj as Windows would read it: its machine, its two exports at
# their ordinals, the eight platform calls and nothing more, relocations,
# ASLR with high entropy, NX, Control Flow Guard over the library's own load
# configuration (no dispatch routine: ARM64 has none), no CET mark (ARM64
# has no CET), a version resource and no manifest, the symbols its PDB holds,
# a repro entry, and at most 6 KiB. Names every fact that does not hold.
set -euo pipefail
dll=$1 pdb=$2
status=0
wrong() { echo "$dll: $*"; status=1; }
readobj() { llvm-readobj-19 "$@" "$dll"; }
has() {  # WHAT PATTERN TEXT
    grep -Eq "$2" <<<"$3" || wrong "$1"
}
headers=$(readobj --file-headers)
has "machine is not ARM64" 'Machine: IMAGE_FILE_MACHINE_ARM64 \(0xAA64\)' "$headers"
for mark in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT GUARD_CF; do
    has "no $mark mark" "IMAGE_DLL_CHARACTERISTICS_$mark " "$headers"
done
has "no relocations" 'BaseRelocationTableSize: 0x[1-9A-F]' "$headers"
exports=$(readobj --coff-exports | sed -n 's/^ *\(Ordinal\|Name\|RVA\): //p' | paste -d' ' - - -)
[ "$(cut -d' ' -f1,2 <<<"$exports" | tr '\n' ';')" = '1 ?FindProcess@@YAHPEBD@Z;2 ?RefreshProcessList@@YAHXZ;' ] \
    || wrong "exports are not FindProcess at 1 and RefreshProcessList at 2: $exports"
imports=$(readobj --coff-imports | sed -n 's/^ *\(Name\|Symbol\): \([^ ]*\).*/\2/p' | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll CloseHandle GetExitCodeProcess IsDBCSLeadByte OpenProcess QueryFullProcessImageNameA PSAPI.dll EnumProcessModules EnumProcesses GetModuleBaseNameA " ] \
    || wrong "imports are not the eight platform calls: $imports"
config=$(readobj --coff-load-config)
has "the guard's check routine is not set" 'GuardCFCheckFunction: 0x[1-9A-F]' "$config"
has "a dispatch routine is set, which ARM64 has not" 'GuardCFCheckDispatch: 0x0$' "$config"
base=$(sed -n 's/^ *ImageBase: //p' <<<"$headers")
for rva in $(cut -d' ' -f3 <<<"$exports"); do
    printf -v address '0x%X' $((base + rva))
    grep -qx " *$address" <<<"$(sed -n '/GuardFidTable \[/,/\]/p' <<<"$config")" \
        || wrong "the export at $rva is no valid call target in the guard's table"
done
debug=$(readobj --coff-debug-directory)
has "no CodeView entry naming Gorvale.pdb" 'PDBFileName: Gorvale.pdb$' "$debug"
has "no repro entry" 'Type: Repro' "$debug"
! grep -q 'ExtendedDLLCharacteristics' <<<"$debug" || wrong "it carries a CET mark, which means nothing on ARM64"
resources=$(readobj --coff-resources)
has "no version resource" 'Type: VERSIONINFO \(ID 16\)' "$resources"
! grep -q 'Type: MANIFEST' <<<"$resources" || wrong "it carries a manifest"
dll_id=$(sed -n 's/^ *PDB\(GUID\|Age\): //p' <<<"$debug" | tr '\n' ' ')
pdb_id=$(llvm-pdbutil-19 dump --summary "$pdb" | sed -n 's/^ *\(GUID\|Age\): //p' | tac | tr '\n' ' ')
[ -n "$dll_id" ] && [ "$dll_id" = "$pdb_id" ] || wrong "names the symbols $dll_id, but $pdb holds $pdb_id"
size=$(stat -c %s "$dll")
[ "$size" -le 6144 ] || wrong "is $size bytes, over 6 KiB"
[ $status = 0 ] && echo "$dll: ARM64, $size bytes, both exports at their ordinals, the eight platform calls," \
    "relocations, ASLR with high entropy, NX, Control Flow Guard without dispatch, no CET mark, its symbols"
exit $status
