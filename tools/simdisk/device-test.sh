#!/bin/bash
# device-test.sh BUILD_DIR [PROGRAMS_DIR]
# Runs simdisk_device_tests.exe under Wine in a fresh copy of the NT template
# prefix of BUILD_DIR, with simdisk.sys serving the drives the test expects
# (see device_test_win32.cpp), and returns its exit code. Both files come
# from PROGRAMS_DIR (default BUILD_DIR), such as the 64-bit build.
set -uo pipefail
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 BUILD_DIR [PROGRAMS_DIR]" >&2; exit 2; }
here=$(dirname "$(readlink -f "$0")")
source "$here/../wine/common.sh"
build=$(cd "$1" && pwd) || exit 2
programs=$(cd "${2:-$1}" && pwd) || exit 2
wine_skip_unless_runnable "$programs/simdisk_device_tests.exe"

mkdir -p "$build/wine-runs"
run_dir=$(mktemp -d "$build/wine-runs/simdisk.XXXXXX") || exit 2
export WINEPREFIX="$run_dir/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY
cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf "$run_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wine_copy_template "$build/wine-templates/nt" "$WINEPREFIX" || exit 2
# Every sector of drive 0 starts with its own number; drive 1's image is
# three 0xFF sectors, shorter than its geometry.
python3 - "$run_dir" <<'PY' || exit 2
import struct, sys
with open(sys.argv[1] + "/pattern.img", "wb") as f:
    for sector in range(48):
        f.write(struct.pack("<I", sector) + bytes(508))
with open(sys.argv[1] + "/short.img", "wb") as f:
    f.write(b"\xff" * 1536)
PY
bash "$here/install.sh" "$programs/simdisk.sys" \
    0="$run_dir/pattern.img 6 2 4 512 fault=10752,512,0xC000009C" \
    1="$run_dir/short.img 2 1 4 512" \
    2="$run_dir/missing.img 1 1 4 512" || exit 1
"$WINE" "$programs/simdisk_device_tests.exe"
