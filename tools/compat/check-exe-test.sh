#!/usr/bin/env bash
# check-exe-test.sh EXE CC WORKDIR
# check-exe.sh passes EXE (the 32-bit program), and it fails, naming what it
# found, on throw-away programs built with CC (the 32-bit cross compiler)
# that import a function of a later Windows, one that Windows 95 lacks, a
# DLL of its own, or that ask for a later subsystem version; on one built
# for the Pentium Pro; it reads all the imports, and only those, of one whose
# imports are known; and on ones that carry the program's manifest changed
# so that it no longer asks for administrator rights or that Windows XP
# would reject or crash on.
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 EXE CC WORKDIR" >&2; exit 2; }
exe=$1 cc=$2 work=$3
here=$(dirname "$(readlink -f "$0")")
mkdir -p "$work"
status=0
fail() { echo "check-exe-test: FAIL: $*" >&2; status=1; }

bash "$here/check-exe.sh" "$exe" || fail "check-exe.sh rejects $exe"

# Expects check-exe.sh to fail on a throw-away build and to print LINE.
expect_rejected() {  # NAME LINE RECORD CC_ARGS...
    local name=$1 line=$2 record=$3 output
    shift 3
    "$cc" -O0 -mwindows -o "$work/$name.exe" "$here/throwaway.c" "$@" 2>"$work/$name.log" ||
        { fail "$name: cannot build the throw-away program: $(tail -3 "$work/$name.log")"; return; }
    output=$(bash "$here/check-exe.sh" "$work/$name.exe" "$record")
    local code=$?
    [ $code -eq 1 ] || fail "$name: exit code $code instead of 1"
    grep -qxF "check-exe: $line" <<<"$output" || fail "$name: no line \"check-exe: $line\" in: $output"
}

# A record that also knows the function of Windows 98 and NT 4.0, as its
# documentation gives it.
record=$work/record.tsv
cp "$here/win32-api.tsv" "$record"
printf 'KERNEL32\tGetFileAttributesExA\t32\t98\t4.0\t\t\t\t\n' >>"$record"

expect_rejected newer-function "KERNEL32!GetTickCount64 is imported but the record does not list it for the 32-bit exe" \
    "$record" -D_WIN32_WINNT=0x0600 -DNEWER_FUNCTION
expect_rejected later-on-9x "KERNEL32!GetFileAttributesExA is absent on Windows 95 (from 98 on)" "$record" -DLATER_ON_9X
expect_rejected other-dll "imports from ADVAPI32.dll, which is not one of COMDLG32, GDI32, KERNEL32, MSVCRT, USER32" \
    "$record" -DOTHER_DLL -ladvapi32
expect_rejected later-subsystem "PE header asks for Subsystem version 5.1, above 4.0" "$record" \
    -Wl,--subsystem,windows:5.1

# Built for the Pentium Pro, the throw-away program's own code holds a CMOV
# and an FCOMI, each named with its function and source file.
if "$cc" -O2 -march=pentiumpro -mwindows -o "$work/pentium-pro.exe" "$here/throwaway.c" -DP6_CODE 2>"$work/pentium-pro.log"; then
    output=$(bash "$here/check-exe.sh" "$work/pentium-pro.exe")
    [ $? -eq 1 ] || fail "pentium-pro: check-exe.sh does not fail"
    for line in "in _larger (throwaway.c): cmov[a-z]* %[a-z]*,%[a-z]*: opcode 0F 4[0-9A-F] is later than the 80486" \
                "in _greater (throwaway.c): fu\?comi %st(1),%st: FCOMI/FUCOMI (Pentium Pro)"; do
        grep -q "^check-instructions: 0x[0-9a-f]* $line\$" <<<"$output" || fail "pentium-pro: no line \"$line\" in: $output"
    done
else
    fail "pentium-pro: cannot build the throw-away program: $(tail -3 "$work/pentium-pro.log")"
fi

# A build whose imports are known exactly, from four DLLs and in two import
# descriptors of COMDLG32, one function by number: check-exe.sh finds all of
# them, no more, and the one by number (a layout misread shows as a record
# row "not imported" or an import "not in the record"). Its record also
# marks rows as brought by one run-time's start-up: a run-time none of whose
# rows is imported draws no line, one with only some of them does.
known=$work/known-imports
dlltool=${cc%-gcc*}-dlltool
printf 'LIBRARY COMDLG32.dll\nEXPORTS\nby_number@0 @7 NONAME\n' >"$known.def"
{ head -n 1 "$here/win32-api.tsv"
  printf '%s\t%s\t32\t95\t3.51\t\t\t\t\n' COMDLG32 GetSaveFileNameA GDI32 SetBkMode USER32 MessageBoxA
  printf '%s\t%s\t32 %s\t95\t3.51\t\t\t\t\n' KERNEL32 ExitProcess runtime-9 KERNEL32 GetStartupInfoA runtime-9 \
      MSVCRT __p__acmdln runtime-8 MSVCRT __getmainargs runtime-8; } >"$known.tsv"
if "$dlltool" -d "$known.def" -l "$known.lib.a" 2>"$known.log" &&
    "$cc" -O0 -mwindows -nostdlib -nostartfiles -Wl,-e,_WinMain@16 -DKNOWN_IMPORTS -o "$known.exe" \
        "$here/throwaway.c" "$known.lib.a" -lcomdlg32 -lgdi32 -lkernel32 -luser32 2>>"$known.log"; then
    output=$(bash "$here/check-exe.sh" "$known.exe" "$known.tsv")
    code=$?
    output=$(grep '^check-exe: ' <<<"$output")
    expected="check-exe: no application manifest (resource type 24, id 1)
check-exe: imports ordinal 7 of COMDLG32 by number
check-exe: the record lists KERNEL32!ExitProcess, KERNEL32!GetStartupInfoA for the 32-bit exe as brought by the start-up of runtime-9, but the exe imports only 1 of them: not imported: KERNEL32!GetStartupInfoA"
    [ $code -eq 1 ] && [ "$output" = "$expected" ] ||
        fail "known-imports: exit code $code and, instead of the manifest, the ordinal and the run-time's rows alone: $output"
else
    fail "known-imports: cannot build the throw-away program: $(tail -3 "$known.log")"
fi

# The program's manifest, changed by the sed expression EDIT, in a throw-away
# build; check-exe.sh's lines about it are left in $manifest_lines.
manifest_lines=
build_with_manifest() {  # NAME EDIT
    local name=$1 edit=$2 windres=${cc%-gcc*}-windres
    sed "$edit" "$here/../../src/res/platterscope.manifest" >"$work/$name.manifest"
    printf '1 24 "%s"\n' "$work/$name.manifest" >"$work/$name.rc"
    "$windres" -i "$work/$name.rc" -o "$work/$name.res.o" 2>"$work/$name.log" &&
        "$cc" -O0 -mwindows -o "$work/$name.exe" "$here/throwaway.c" "$work/$name.res.o" 2>>"$work/$name.log" ||
        { fail "$name: cannot build the throw-away program: $(tail -3 "$work/$name.log")"; return 1; }
    manifest_lines=$(bash "$here/check-exe.sh" "$work/$name.exe" | grep -i "^check-exe: .*manifest")
    return 0
}
expect_manifest_rejected() {  # NAME EDIT LINE
    build_with_manifest "$1" "$2" || return
    [ "$manifest_lines" = "check-exe: $3" ] || fail "$1: expected \"check-exe: $3\", got: $manifest_lines"
}

# The manifest as it is draws no complaint (so the rejections below come from
# the changes alone).
build_with_manifest manifest-as-is "" && [ -z "$manifest_lines" ] ||
    fail "manifest-as-is: check-exe.sh objects to the program's own manifest: $manifest_lines"
expect_manifest_rejected trustinfo-without-namespace 's| xmlns="urn:schemas-microsoft-com:asm.v3"||' \
    "the manifest's trustInfo is in namespace 'urn:schemas-microsoft-com:asm.v1', not urn:schemas-microsoft-com:asm.v2 or v3 of its own"
expect_manifest_rejected trustinfo-two-namespaces \
    's|<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">|<ms_asmv3:trustInfo xmlns:ms_asmv3="urn:schemas-microsoft-com:asm.v3" xmlns="urn:schemas-microsoft-com:asm.v3">|; s|</trustInfo>|</ms_asmv3:trustInfo>|' \
    'a manifest element declares more than one namespace: <ms_asmv3:trustInfo xmlns:ms_asmv3="urn:schemas-microsoft-com:asm.v3" xmlns="urn:schemas-microsoft-com:asm.v3">'
expect_manifest_rejected as-invoker 's|"requireAdministrator"|"asInvoker"|' \
    "the manifest asks for execution level asInvoker, not requireAdministrator"

[ $status -eq 0 ] && echo "check-exe-test: passed"
exit $status
