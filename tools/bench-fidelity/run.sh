#!/usr/bin/env bash
# tools/bench-fidelity/run.sh [RUNS]: how faithfully and how cheaply the
# program measures. Builds the 32-bit program, the stand-in sector service,
# the harness and mkdisk into build/fidelity-win32, runs the program under
# Wine (9x family, stand-in drives) on a private Xvfb, and prints one table,
# every figure the median, minimum and maximum of RUNS runs (default 3; the
# start-ups 5 each):
#
# 1. Fidelity, paced drive 300 x 16 x 63 x 512, 16000 -> 8000 kB/s: the
#    summary's effective speed over the drive's true average rate (bytes /
#    paced time); the median of the saved per-cylinder speeds' relative
#    error against the profile with its sign, and the median and 95th
#    percentile of its size; the share of cylinders whose
#    measured time (from the saved speed) lies more than one GetTickCount
#    step from their paced time.
# 2. Overhead, unpaced drive 1024 x 16 x 63 x 512 of real data: (summary
#    total - time spent inside the stand-in's read calls) / cylinders, in ms.
#    The stand-in counts that time only when it writes its stats file after
#    every call, which costs more than the program's own work; so the time
#    inside comes from runs of the program with stats on, and the total from
#    runs without, paired run by run. The paced runs have stats off too. The
#    stats file's cost is shown as well.
# 3. Read path: the unpaced run's effective speed over dd's rate reading the
#    same image, warm in the page cache, one track per read, right after it.
# 4. Start-up: from starting the program to its main window being visible
#    (polled on the X display every 5 ms), in a fresh copy of the template
#    prefix (no wine server yet) and in a warm prefix (server kept running).
#
# Not part of the test command; the machine should be otherwise idle.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
RUNS=${1:-3}
STARTS=5
[ "$RUNS" -ge 1 ] 2>/dev/null || { echo "usage: $0 [RUNS]" >&2; exit 2; }

build=$root/build/fidelity-win32
log() { echo "bench: $*" >&2; }
for tool in wine Xvfb xdotool python3 i686-w64-mingw32-gcc; do
    command -v $tool >/dev/null || { log "$tool is missing (bash tools/setup.sh; apt-get install -y xdotool)"; exit 1; }
done
log "building into $build"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" -j2 --target platterscope Rawio32 harness mkdisk; } >"$build/bench-build.log" 2>&1; then
    tail -20 "$build/bench-build.log" >&2
    exit 1
fi
i686-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -o "$build/tickstep.exe" "$here/tickstep.c"
if [ ! -f "$build/wine-templates/9x/system.reg" ]; then
    bash "$root/tools/wine/make-templates.sh" "$build" >/dev/null
fi
source "$root/tools/wine/common.sh"
wine_check_locale

work=$build/bench
app=$work/app
rm -rf "$work/app" "$work"/prefix-* "$work/raw.tsv"
mkdir -p "$app"
raw=$work/raw.tsv
record() { printf '%s\t%s\n' "$1" "$2" >>"$raw"; }

CAPTION="zadovo for Windows 95/NT (v 1.04): Osric T.Vellamo"
CAPTION_RE='^zadovo for Windows 95/NT \(v 1\.04\): Osric T\.Vellamo$'
export WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# The drives: 0x80 paced with the known profile, 0x81 unpaced, real data.
PACED=(300 16 63 512) FIRST=16000 LAST=8000
FAST=(1024 16 63 512)
TRACK_BYTES=$((63 * 512))
"$build/mkdisk" blank "$app/paced.img" "${PACED[@]}" >/dev/null
fast_image=$work/fast.img  # kept between invocations: it takes a while to write
fast_size=$((FAST[0] * FAST[1] * FAST[2] * FAST[3]))
if [ ! -f "$fast_image" ] || [ "$(stat -c %s "$fast_image")" -ne $fast_size ]; then
    log "writing the unpaced image ($((fast_size >> 20)) MiB of random data)"
    head -c $fast_size /dev/urandom >"$fast_image"
fi
cp "$build/platterscope.exe" "$build/Rawio32.dll" "$app/"
# The stand-in reads its configuration once per process.
configure() {  # stats | nostats
    printf 'drive paced.img %s speed=%s,%s\ndrive "%s" %s\n' "${PACED[*]}" $FIRST $LAST "$fast_image" "${FAST[*]}" \
        >"$app/Rawio32.cfg"
    [ "$1" = nostats ] || echo "stats stats.txt" >>"$app/Rawio32.cfg"
}
configure nostats

program=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -z "$program" ] || wait "$program" 2>/dev/null || true
    wine_stop_xvfb
}
trap cleanup EXIT
wine_start_xvfb "$work"

H() { wine "$build/harness.exe" "$@" </dev/null; }
start_program() {
    (cd "$app" && exec wine platterscope.exe </dev/null >>"$work/program.log" 2>&1) &
    program=$!
}
close_program() {
    H window "$CAPTION" -- cancel -- wait-gone "$CAPTION" 10000 >/dev/null
    wait "$program"
    program=
}
now_ms() { date +%s%3N; }
# Milliseconds from START_MS until the main window is visible on the display.
window_after() {
    local deadline=$(($1 + 60000))
    until xdotool search --onlyvisible --name "$CAPTION_RE" >/dev/null 2>&1; do
        if ! kill -0 "$program" 2>/dev/null; then
            local code=0
            wait "$program" || code=$?
            log "the program ended with exit code $code before its window appeared (see $work/program.log)"
            exit 1
        fi
        [ "$(now_ms)" -lt $deadline ] || { log "no main window within 60 s"; exit 1; }
        sleep 0.005
    done
    WINDOW_MS=$(($(now_ms) - $1))
}

# 4. Start-ups, fresh prefixes first.
for i in $(seq $STARTS); do
    export WINEPREFIX=$work/prefix-fresh-$i
    wine_copy_template "$build/wine-templates/9x" "$WINEPREFIX"
    sync
    t0=$(now_ms)
    start_program
    window_after "$t0"
    record "4 start-up to main window, fresh prefix (ms)" $WINDOW_MS
    close_program
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    rm -rf "$WINEPREFIX"
done
export WINEPREFIX=$work/prefix-warm
wine_copy_template "$build/wine-templates/9x" "$WINEPREFIX"
wineserver -p
start_program
window_after "$(now_ms)"
close_program
for i in $(seq $STARTS); do
    t0=$(now_ms)
    start_program
    window_after "$t0"
    record "4 start-up to main window, warm prefix (ms)" $WINDOW_MS
    close_program
done
tick=$(wine "$build/tickstep.exe" | tr -d "\r")
log "GetTickCount moves in steps of $tick ms"

inside_of() { sed -n 's/.*inside_us=\([0-9]*\).*/\1/p' "$app/stats.txt"; }
# One whole run over the unpaced drive, warm in the page cache; prints the
# summary's count, total ms and effective kB/s.
unpaced_run() {
    cat "$fast_image" >/dev/null
    local summary out count
    summary=$(H window "$CAPTION" -- select 104 1 -- press 101 -- wait-enabled 101 1 120000 -- text 109)
    out=$(python3 "$here/figures.py" summary "$summary")
    read -r count _ <<<"$out"
    [ "$count" -eq "${FAST[0]}" ] || { log "unpaced run measured $count cylinders: $summary"; exit 1; }
    echo "$out"
}

# 2, first half: the time inside the read calls, with stats on.
configure stats
start_program
window_after "$(now_ms)"
declare -a inside_ms with_stats_ms
for i in $(seq "$RUNS"); do
    log "unpaced run $i of $RUNS, stats on"
    before=$(inside_of)
    read -r _ total _ <<<"$(unpaced_run)"
    inside_ms[i]=$(python3 -c "print(($(inside_of) - $before) / 1000)")
    with_stats_ms[i]=$total
done
close_program
configure nostats

# 1. Fidelity: whole runs over the paced drive, each saved through Save As.
start_program
window_after "$(now_ms)"
for i in $(seq "$RUNS"); do
    log "paced run $i of $RUNS (about 15 s)"
    saved=$work/paced-$i.dat
    rm -f "$saved"
    out=$(H process platterscope.exe -- window "$CAPTION" -- select 104 0 -- press 101 -- wait-enabled 101 1 120000 \
        -- text 109 -- press 103 -- wait-file-dialog -- file-name "$saved" -- press 1 -- window "$CAPTION" -- no-box 300)
    summary=${out%%$'\n'*}
    # The file is written once the dialog has closed.
    for _ in $(seq 50); do [ -s "$saved" ] && [ "$(wc -l <"$saved")" -eq "${PACED[0]}" ] && break; sleep 0.1; done
    out=$(python3 "$here/figures.py" fidelity "$saved" "$summary" "${PACED[@]}" $FIRST $LAST "$tick")
    read -r ratio bias median p95 outside <<<"$out"
    record "1 effective speed / true average rate" "$ratio"
    record "1 per-cylinder speed error with its sign, median (%)" "$bias"
    record "1 per-cylinder speed error, median (%)" "$median"
    record "1 per-cylinder speed error, 95th percentile (%)" "$p95"
    record "1 cylinders more than one tick off their time (%)" "$outside"
done

# 2, second half, and 3: stats off; dd right after each run.
for i in $(seq "$RUNS"); do
    log "unpaced run $i of $RUNS, stats off"
    read -r count total eff <<<"$(unpaced_run)"
    dd_line=$(LC_ALL=C dd if="$fast_image" of=/dev/null bs=$TRACK_BYTES 2>&1 | tail -1)
    read -r dd_bytes dd_seconds <<<"$(sed -n 's/^\([0-9]*\) bytes .* copied, \([0-9.e+-]*\) s,.*/\1 \2/p' <<<"$dd_line")"
    [ -n "$dd_seconds" ] || { log "cannot read dd's result: $dd_line"; exit 1; }
    dd_kbps=$(python3 -c "print('%.0f' % ($dd_bytes / 1024 / $dd_seconds))")
    record "2 overhead per cylinder outside the reads (ms)" \
        "$(python3 -c "print('%.4f' % (($total - ${inside_ms[i]}) / $count))")"
    record "2   stand-in's stats file, per cylinder (ms)" \
        "$(python3 -c "print('%.4f' % ((${with_stats_ms[i]} - $total) / $count))")"
    record "3 effective speed / dd on the same warm image" "$(python3 -c "print('%.4f' % ($eff / $dd_kbps))")"
    record "3   program's effective speed (kB/s)" "$eff"
    record "3   dd, one track per read (kB/s)" "$dd_kbps"
done
close_program
wineserver -k >/dev/null 2>&1 || true

python3 "$here/figures.py" table "$raw" "$(nproc)" \
    "Platterscope benchmark, $(date -u +%Y-%m-%d), $(wine --version), GetTickCount step $tick ms, $RUNS runs"
