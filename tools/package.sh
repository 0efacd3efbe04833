#!/usr/bin/env bash
# package.sh [--build-dir DIR] [--out DIR]
# Builds the 32-bit and the 64-bit program in fresh build folders (default
# build/package/win32 and win64, removed first, so nothing of an earlier
# build can slip in) and writes OUT/platterscope-<version>.zip (default
# OUT: dist/) holding
#   platterscope.exe        the 32-bit program (9x and NT families)
#   x64/platterscope.exe    the 64-bit program (64-bit Windows only)
#   README.txt              tools/package-readme.txt, in CR LF
# The version is the project's (CMakeLists.txt), as the exes' version
# resource has it. Only the programs are built: none of the test stand-ins.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/package
out=$root/dist
while [ $# -gt 0 ]; do
    case $1 in
        --build-dir) build=$(realpath -m "$2"); shift 2 ;;
        --out) out=$(realpath -m "$2"); shift 2 ;;
        *) echo "usage: $0 [--build-dir DIR] [--out DIR]" >&2; exit 2 ;;
    esac
done
for tool in cmake python3 i686-w64-mingw32-gcc-posix x86_64-w64-mingw32-gcc-posix; do
    command -v "$tool" >/dev/null || { echo "package: $tool is missing (bash tools/setup.sh installs it)" >&2; exit 2; }
done
if git -C "$root" rev-parse --git-dir >/dev/null 2>&1 && [ -n "$(git -C "$root" status --porcelain -- src CMakeLists.txt cmake)" ]; then
    echo "package: note: src/, cmake/ or CMakeLists.txt has uncommitted changes; the package holds them" >&2
fi

mkdir -p "$build"
jobs=$(nproc)
for arch in win32 win64; do
    toolchain=$root/cmake/mingw-i686.cmake
    [ $arch = win64 ] && toolchain=$root/cmake/mingw-x86_64.cmake
    rm -rf "${build:?}/$arch"
    cmake -S "$root" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DPLATTERSCOPE_TOOLS=OFF >"$build/$arch.log" 2>&1 ||
        { tail -20 "$build/$arch.log" >&2; echo "package: configuring $arch failed" >&2; exit 1; }
    cmake --build "$build/$arch" --target platterscope -j"$jobs" >>"$build/$arch.log" 2>&1 ||
        { tail -20 "$build/$arch.log" >&2; echo "package: building $arch failed" >&2; exit 1; }
done

version=$(sed -n 's/^#define PLATTERSCOPE_VERSION_TEXT "\(.*\)"$/\1/p' "$build/win32/generated/res/version.h")
[ -n "$version" ] || { echo "package: no version in $build/win32/generated/res/version.h" >&2; exit 1; }
mkdir -p "$out"
zip=$out/platterscope-$version.zip
rm -f "$zip"
# Files only, no folder entries, in this order; README.txt in CR LF for
# Notepad on every Windows.
python3 - "$zip" "$build/win32/platterscope.exe" "$build/win64/platterscope.exe" \
    "$root/tools/package-readme.txt" "$version" <<'PY'
import sys
import zipfile

path, exe32, exe64, readme, version = sys.argv[1:]
text = open(readme, encoding="ascii").read().replace("@VERSION@", version)
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(exe32, "platterscope.exe")
    z.write(exe64, "x64/platterscope.exe")
    z.writestr("README.txt", text.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii"))
PY
echo "package: $zip"
