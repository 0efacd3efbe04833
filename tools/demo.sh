#!/usr/bin/env bash
# Sets everything up, builds the program, writes the demo disks and runs the
# program on them: in the 9x family through the stand-in sector service, or,
# with the argument nt, in the NT family with the same disks served as
# \\.\PHYSICALDRIVE0 and 1 by the simulated-disk driver.
# With a display it opens the window for you; without one it presses Start,
# waits for the run to end and writes demo/screenshot.png, demo/status.txt
# and the saved profile demo/results.dat.
# On a host that cannot run 32-bit programs the 9x family (32-bit only)
# cannot be shown: it says so and shows the NT family with the 64-bit
# program instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
family=${1:-9x}
case $family in 9x | nt) ;; *) echo "usage: $0 [9x|nt]" >&2; exit 2 ;; esac
bash tools/setup.sh
source "$root/tools/wine/common.sh"

preset=win32
targets=(platterscope Rawio32 harness mkdisk simdisk)
if [ -n "$WINE_NO_32BIT" ]; then
  if [ "$family" = 9x ]; then
    echo "demo: $WINE_NO_32BIT, so the 9x family (32-bit only) cannot be shown here;" \
         "showing the NT family with the 64-bit program instead"
  else
    echo "demo: $WINE_NO_32BIT: showing the NT family with the 64-bit program"
  fi
  family=nt
  preset=win64
  targets=(platterscope harness mkdisk simdisk)
  # The 64-bit loader makes a 64-bit-only prefix only when asked to.
  export WINEARCH=win64
fi
build=$root/build/$preset
cmake --preset $preset >/dev/null
cmake --build --preset $preset -j"$(nproc)" --target "${targets[@]}"

demo=$root/demo
app=$demo/app
rm -rf "$app"
mkdir -p "$app"
"$build/mkdisk" demo "$app"
# The images are sparse and new: the host's first read of each 8 MiB of them
# stalls for 10 to 20 ms while it fills its page cache, which would show as a
# slow cylinder every 16 or so. Reading them once here leaves only the
# simulated drive's own pace.
cat "$app"/*.img >/dev/null
cp "$build/platterscope.exe" "$build/harness.exe" "$app/"
[ "$preset" = win64 ] || cp "$build/Rawio32.dll" "$app/"

# This shell may have read the locales before set-up made zh_CN.UTF-8 and
# would warn that it cannot use it; the programs started from here can.
export WINEPREFIX=$demo/wine-$family${WINEARCH:+-64bit-only} WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 2>/dev/null
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "demo: making a Wine prefix for the $family family (once)"
  if ! WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i >"$demo/wineboot.log" 2>&1; then
    echo "demo: Wine could not make its prefix; wineboot said:" >&2
    tail -n 5 "$demo/wineboot.log" >&2
    rm -rf "$WINEPREFIX"
    exit 1
  fi
  [ "$family" = nt ] || "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null 2>&1
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
  bash "$root/tools/simdisk/install.sh" "$build/simdisk.sys" "${drives[@]}"
}
cd "$app"

if [ -n "${DISPLAY:-}" ]; then
  serve_nt_drives
  echo "demo: starting Platterscope on your display; press Start (开始) to measure HDD0"
  exec "$WINE" platterscope.exe
fi

source "$root/tools/processor-use.sh"
# More than this share of the processors taken by the host (steal), or used
# by processes other than the program and the drive, while the demo
# measures, and its figures may not be the drive's own (percent of all the
# processors). A quiet two-processor machine showed 0% and 1 to 3%; one
# busy process beside, 52% of the processors.
STEAL_LIMIT=2 OTHERS_LIMIT=10
disturbed() { awk -v s="$1" -v o="$2" -v sl=$STEAL_LIMIT -v ol=$OTHERS_LIMIT 'BEGIN { exit !(s > sl || o > ol) }'; }
# This Wine session's processes (its prefix in their environment) started
# from the Windows program NAME.
session_pids() {  # NAME
  local environ name
  for environ in $(grep -lszxF "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ); do
    name=$(tr '\0' '\n' 2>/dev/null <"${environ%/environ}/cmdline" | head -n 1) || continue
    name=${name##*[\\/]}
    if [ "${name,,}" = "$1" ]; then environ=${environ#/proc/}; echo "${environ%/environ}"; fi
  done
}
# The drive runs inside the program in the 9x family; in the NT family the
# simulated-disk driver runs in the session's driver host.
drive_pids() {
  session_pids platterscope.exe
  if [ "$family" = nt ]; then session_pids winedevice.exe; fi
}
# Waits, for up to 30 s, until a second passes in which the machine leaves
# the program and the drive (the processes PID) to themselves: a new
# prefix, the driver's first start and the pages the build and the prefix
# left to be written can keep the machine busy for a while after the window
# is up.
wait_until_quiet() {  # PID...
  local tries steal others
  sync
  for tries in $(seq 30); do
    use_mark
    sleep 1
    read -r steal others < <(use_since "$@")
    if ! disturbed "$steal" "$others"; then
      if [ "$tries" != 1 ]; then echo "demo: the machine settled after $tries s"; fi
      return 0
    fi
    if [ "$tries" = 1 ]; then
      echo "demo: waiting for the machine to settle (in the last second the host took $steal%" \
           "and other processes used $others% of the processors)"
    fi
  done
  echo "demo: the machine did not settle within 30 s; measuring anyway"
}
# The drive's true speed over the whole disk (its paced profile, computed as
# the pacing does it) and the saved run's cylinders more than 10% off that
# profile: "TRUE-KBPS OFF COUNT".
profile_figures() {  # DRIVE-LINE RESULTS-FILE
  awk -v line="$1" '
    BEGIN {
      n = split(line, f, " "); cylinders = f[3]; bytes = f[4] * f[5] * f[6]
      for (i = 7; i <= n; i++) if (f[i] ~ /^speed=/) { split(substr(f[i], 7), r, ","); first = r[1]; last = r[2] }
      for (c = 0; c < cylinders; c++) {
        rate[c] = cylinders > 1 ? int(first + (last - first) * c / (cylinders - 1)) : first
        us += int((bytes * 1000000 + rate[c] * 1024 - 1) / (rate[c] * 1024))
      }
    }
    { sub(/\r$/, ""); d = $2 - rate[$1]; if (d < 0) d = -d; if (d * 10 > rate[$1]) off++; count++ }
    END { printf "%.0f %d %d\n", cylinders * bytes / 1024 / (us / 1000000), off, count }' "$2"
}
wine_start_xvfb "$demo"
trap 'wineserver -k 2>/dev/null; wine_stop_xvfb' EXIT
caption="zadovo for Windows 95/NT (v 1.04): Osric T.Vellamo"
serve_nt_drives

"$WINE" platterscope.exe &
program=$!
if [ "$family" = nt ]; then
  # Wine refuses to position reads on these devices, so the partition walk
  # of each drive ends with two error boxes before the window opens.
  until "$WINE" harness.exe window "$caption" >/dev/null 2>&1; do
    kill -0 "$program" 2>/dev/null || { wait "$program"; echo "demo: the program ended with exit code $?" >&2; exit 1; }
    "$WINE" harness.exe process platterscope.exe -- wait-box 1000 -- answer OK >/dev/null 2>&1 || true
  done
fi
"$WINE" harness.exe wait-window "$caption" 30000 >/dev/null
own=$({ echo "$program"; drive_pids; } | sort -u)
wait_until_quiet $own
echo "demo: measuring the demo disk (1024 cylinders, about a minute)"
use_mark
"$WINE" harness.exe window "$caption" -- press 101 -- wait-enabled 102 1 10000 \
  -- wait-enabled 101 1 600000 -- text 109 -- capture "$demo/window.bmp" > "$demo/status.txt"
read -r steal others < <(use_since $own)
convert "$demo/window.bmp" "$demo/screenshot.png"
rm -f "$demo/window.bmp" "$demo/results.dat"
# Save, as a user would: the Save As dialog, a new file name, confirm.
"$WINE" harness.exe process platterscope.exe -- window "$caption" -- press 103 -- wait-file-dialog 30000 \
  -- file-name "$demo/results.dat" -- press 1 -- window "$caption" -- no-box 500 >/dev/null
"$WINE" harness.exe window "$caption" -- close >/dev/null
wait "$program" || { echo "demo: the program ended with exit code $?" >&2; exit 1; }
echo "demo: final status line: $(cat "$demo/status.txt")"
# The summary's fourth group is the effective speed.
summary_pattern=$(python3 "$root/tests/e2e/status_texts.py" summary "$family")
effective=
while IFS= read -r line; do
  if [[ $line =~ $summary_pattern ]]; then effective=${BASH_REMATCH[4]}; fi
done <"$demo/status.txt"
read -r true_speed off count < <(profile_figures "$(grep -m1 '^drive ' Rawio32.cfg)" "$demo/results.dat")
echo "demo: effective speed ${effective:-?} kB/s, $(awk -v e="${effective:-0}" -v t="$true_speed" 'BEGIN { printf "%.4f", e / t }')" \
     "of the drive's true $true_speed kB/s; $off of $count cylinders more than 10% off its profile"
echo "demo: while it measured, the host took $steal% of the processors (steal) and processes other" \
     "than the program and the drive used $others%"
if disturbed "$steal" "$others"; then
  echo "demo: these figures may be disturbed: something else used the processors while it measured" \
       "(over $STEAL_LIMIT% steal or $OTHERS_LIMIT% other processes). Run it again for the drive's own figures."
fi
echo "demo: screenshot written to $demo/screenshot.png"
echo "demo: per-cylinder speeds saved to $demo/results.dat ($(wc -l <"$demo/results.dat") lines)"
