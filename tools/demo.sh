#!/usr/bin/env bash
# Sets everything up, builds the program, writes the demo disks and runs the
# program on them: in the 9x family through the stand-in sector service, or,
# with the argument nt, in the NT family with the same disks served as
# \\.\PHYSICALDRIVE0 and 1 by the simulated-disk driver.
# With a display it opens the window for you; without one it presses Start,
# waits for the run to end and writes demo/screenshot.png, demo/status.txt
# and the saved profile demo/results.dat.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
family=${1:-9x}
case $family in 9x | nt) ;; *) echo "usage: $0 [9x|nt]" >&2; exit 2 ;; esac
bash tools/setup.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target platterscope Rawio32 harness mkdisk simdisk

demo=$root/demo
app=$demo/app
rm -rf "$app"
mkdir -p "$app"
build/win32/mkdisk demo "$app"
# The images are sparse and new: the host's first read of each 8 MiB of them
# stalls for 10 to 20 ms while it fills its page cache, which would show as a
# slow cylinder every 16 or so. Reading them once here leaves only the
# simulated drive's own pace.
cat "$app"/*.img >/dev/null
cp build/win32/platterscope.exe build/win32/Rawio32.dll build/win32/harness.exe "$app/"

export WINEPREFIX=$demo/wine-$family WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "demo: making a Wine prefix for the $family family (once)"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  [ "$family" = nt ] || wine reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null 2>&1
  wineserver -w
fi
# NT family: the stand-in's drive lines, served by the driver instead. The
# driver's wine session starts here, so it must see the program's display.
serve_nt_drives() {
  [ "$family" = nt ] || return 0
  rm -f "$app/Rawio32.dll"
  local drives=() word image rest
  while read -r word image rest; do
    [ "$word" = drive ] && drives+=("${#drives[@]}=$app/$image $rest")
  done <"$app/Rawio32.cfg"
  bash "$root/tools/simdisk/install.sh" "$root/build/win32/simdisk.sys" "${drives[@]}"
}
cd "$app"

if [ -n "${DISPLAY:-}" ]; then
  serve_nt_drives
  echo "demo: starting Platterscope on your display; press Start (开始) to measure HDD0"
  exec wine platterscope.exe
fi

source "$root/tools/wine/common.sh"
wine_start_xvfb "$demo"
trap 'wineserver -k 2>/dev/null; wine_stop_xvfb' EXIT
caption="zadovo for Windows 95/NT (v 1.04): Osric T.Vellamo"
serve_nt_drives

wine platterscope.exe &
program=$!
if [ "$family" = nt ]; then
  # Wine refuses to position reads on these devices, so the partition walk
  # of each drive ends with two error boxes before the window opens.
  until wine harness.exe window "$caption" >/dev/null 2>&1; do
    kill -0 "$program" 2>/dev/null || { wait "$program"; echo "demo: the program ended with exit code $?" >&2; exit 1; }
    wine harness.exe process platterscope.exe -- wait-box 1000 -- answer OK >/dev/null 2>&1 || true
  done
fi
echo "demo: measuring the demo disk (1024 cylinders, about a minute)"
wine harness.exe wait-window "$caption" 30000 -- press 101 -- wait-enabled 102 1 10000 \
  -- wait-enabled 101 1 600000 -- text 109 -- capture "$demo/window.bmp" > "$demo/status.txt"
convert "$demo/window.bmp" "$demo/screenshot.png"
rm -f "$demo/window.bmp" "$demo/results.dat"
# Save, as a user would: the Save As dialog, a new file name, confirm.
wine harness.exe process platterscope.exe -- window "$caption" -- press 103 -- wait-file-dialog 30000 \
  -- file-name "$demo/results.dat" -- press 1 -- window "$caption" -- no-box 500 >/dev/null
wine harness.exe window "$caption" -- close >/dev/null
wait "$program" || { echo "demo: the program ended with exit code $?" >&2; exit 1; }
echo "demo: final status line: $(cat "$demo/status.txt")"
echo "demo: screenshot written to $demo/screenshot.png"
echo "demo: per-cylinder speeds saved to $demo/results.dat ($(wc -l <"$demo/results.dat") lines)"
