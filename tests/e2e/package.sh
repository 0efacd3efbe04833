#!/bin/bash
# The release package: tools/package.sh builds it (in a folder of this
# test's own), it holds exactly the two programs and README.txt, its name
# carries the version that the programs' version resource gives, README.txt
# is CR LF, both programs pass tools/compat/check-exe.sh as the build they
# claim to be, and the packaged 32-bit program starts in the 9x family and
# measures a paced drive through the stand-in sector service. On a host that
# cannot run 32-bit programs the packaged 64-bit program measures it instead,
# in the NT family through the simulated-disk driver.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd) || e2e_fail "no build dir '$1'"
for tool in i686-w64-mingw32-gcc-posix x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-strings; do
    command -v $tool >/dev/null || e2e_skip "$tool is missing: the package cannot be built or read"
done
for file in harness.exe Rawio32.dll mkdisk; do
    [ -e "$build/$file" ] || e2e_skip "$build/$file is not built"
done

work=$build/e2e/package-build
rm -rf "$work"
mkdir -p "$build/e2e"
bash "$root/tools/package.sh" --build-dir "$work/build" --out "$work/dist" >"$build/e2e/package-build.log" 2>&1 ||
    e2e_fail "tools/package.sh failed: $(tail -20 "$build/e2e/package-build.log")"
zips=$(cd "$work/dist" && ls)
[[ $zips =~ ^platterscope-([0-9]+\.[0-9]+)\.zip$ ]] || e2e_fail "dist/ holds '$zips' instead of one platterscope-<version>.zip"
version=${BASH_REMATCH[1]}

listing=$(python3 - "$work/dist/$zips" "$work/unpacked" <<'PY'
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as z:
    print("\n".join(z.namelist()))
    z.extractall(sys.argv[2])
PY
) || e2e_fail "cannot read $zips"
e2e_assert_eq "platterscope.exe
x64/platterscope.exe
README.txt" "$listing" "the package's files"

file_version=$(x86_64-w64-mingw32-strings -el "$work/unpacked/platterscope.exe" | grep -x -A1 FileVersion | tail -1)
e2e_assert_eq "$version" "$file_version" "the package name's version and the 32-bit program's FileVersion"
file_version=$(x86_64-w64-mingw32-strings -el "$work/unpacked/x64/platterscope.exe" | grep -x -A1 FileVersion | tail -1)
e2e_assert_eq "$version" "$file_version" "the package name's version and the 64-bit program's FileVersion"

python3 - "$work/unpacked/README.txt" "$version" <<'PY' || e2e_fail "README.txt"
import sys

data = open(sys.argv[1], "rb").read()
lines = data.split(b"\r\n")
if any(b"\n" in line or b"\r" in line for line in lines) or lines[-1] != b"":
    sys.exit("README.txt: not every line ends in CR LF")
if not lines[0].startswith(b"Platterscope " + sys.argv[2].encode()):
    sys.exit("README.txt: first line %r does not name version %s" % (lines[0], sys.argv[2]))
PY

for exe in platterscope.exe x64/platterscope.exe; do
    bits=32
    [ $exe = platterscope.exe ] || bits=64
    result=$(bash "$root/tools/compat/check-exe.sh" "$work/unpacked/$exe") || e2e_fail "check-exe.sh on $exe:
$result"
    [[ $result == *"($bits-bit)"* ]] || e2e_fail "$exe is not the $bits-bit program: $result"
    e2e_log "$result"
done

if [ -z "$WINE_NO_32BIT" ]; then
    e2e_setup "$build" 9x "$work/unpacked/platterscope.exe"
else
    e2e_log "$WINE_NO_32BIT: the packaged 64-bit program measures the drive, in the NT family"
    e2e_setup "$build" nt "$work/unpacked/x64/platterscope.exe"
fi
# 16 KiB a cylinder at 640 kB/s: 25 ms a cylinder.
e2e_drive disk0.img 20 2 16 512 speed=640,640
e2e_serve_drives

e2e_start main
e2e_open_main_window
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- items 104 -- no-box 0 -- press 101
e2e_assert_eq "HDD0" "$E2E_OUT" "the packaged program's drive list"
e2e_expect_summary "$E2E_FAMILY" 20 16
e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
rm -rf "$work" "$build/e2e/package-build.log"
e2e_pass
