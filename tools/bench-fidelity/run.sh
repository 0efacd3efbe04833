#!/usr/bin/env bash
# tools/bench-fidelity/run.sh [RUNS]: how faithfully and how cheaply the
# program measures, in both families. Builds the 32-bit program, the stand-in
# sector service, the simulated-disk driver, the harness, mkdisk and the
# benchmark's own bare read loop into build/fidelity-win32, runs everything
# under Wine on a private Xvfb with the program's window on screen, and
# prints one table: every figure the median, minimum and maximum of RUNS runs
# (default 3; the start-ups 5 each), with the machine and the date.
#
# The drives (the same images in both families):
#   paced   150 x 16 x 63 x 512, speed falling linearly from 16000 to 8000
#           kB/s, once without read-ahead (each read paced from its arrival)
#           and once streaming (tools/pacing/pacing.h);
#   unpaced 1024 x 16 x 63 x 512 of random data, read once before each pass
#           so that it is warm in the page cache.
# Each saved run has a program of its own (see saved_run).
#
# 9x family (stand-in Rawio32.dll):
#   1 fidelity on the paced drive: the summary's effective speed over the
#     drive's true rate (bytes / paced time); the saved per-cylinder speeds'
#     error against the profile (median with its sign, median and 95th
#     percentile of its size); the share of cylinders more than one tick off
#     their paced time;
#   2 the program's time outside the reads, per cylinder, in the same run:
#     (the summary's total - the time inside the stand-in's read calls) and
#     (the stand-in's first-to-last read span - the time inside), both from
#     its counter of the pass, written once at the pass's end;
#   3 the same with the high-priority option ticked;
#   4 read path on the unpaced drive: the program's effective speed over the
#     bare loop's (ReadPhysicalSector32 track by track, in the same Wine), and
#     with the high-priority option, in a Wine session started on one
#     processor with its tick kept fresh, each kind's fastest of PASSES
#     passes (see unpaced_run); dd's rate on the image as context;
#   5 the streaming drive: effective speed over the true rate;
#   6 start-up to the main window, in a fresh copy of the template prefix and
#     in a warm one.
# NT family (simulated-disk driver):
#   1 fidelity on the streaming paced drive, as above; 2 with the
#     no-buffering option; 3 with the high-priority option; 4 the drive
#     without read-ahead; 5 read path: the program over the bare ReadFile
#     loop on the unpaced drive (as 9x 4), and the bare loop on the
#     streaming paced drive over its true rate.
#
# On a host that cannot run 32-bit programs the NT rows are measured with
# the 64-bit program (and a 64-bit harness, bare loop and tick tools, built
# into build/fidelity-win64), and the 9x rows are not measured: the table
# says so, and which program each row came from.
#
# Not part of the test command; the machine should be otherwise idle.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
RUNS=${1:-3}
STARTS=5
[ "$RUNS" -ge 1 ] 2>/dev/null || { echo "usage: $0 [RUNS]" >&2; exit 2; }

log() { echo "bench: $*" >&2; }
fail() { log "$*"; exit 1; }
source "$root/tools/wine/common.sh"
bits=32 toolchain=mingw-i686 cc=i686-w64-mingw32-gcc-posix targets=(platterscope Rawio32 harness mkdisk simdisk)
if [ -n "$WINE_NO_32BIT" ]; then
    log "$WINE_NO_32BIT: the NT rows are measured with the 64-bit program, the 9x rows not at all"
    bits=64 toolchain=mingw-x86_64 cc=x86_64-w64-mingw32-gcc-posix targets=(platterscope harness mkdisk simdisk)
fi
build=$root/build/fidelity-win$bits
for tool in "$WINE" Xvfb python3 i686-w64-mingw32-gcc-posix x86_64-w64-mingw32-gcc-posix; do
    command -v $tool >/dev/null || fail "$tool is missing (bash tools/setup.sh installs it)"
done
log "building into $build"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"; } >"$build/bench-build.log" 2>&1; then
    tail -20 "$build/bench-build.log" >&2
    exit 1
fi
for tool in tickstep tickkeeper bareloop; do
    $cc -O2 -Wall -Wextra -Werror -o "$build/$tool.exe" "$here/$tool.c"
done
[ -f "$build/wine-templates/nt/system.reg" ] && { [ -f "$build/wine-templates/9x/system.reg" ] || [ $bits = 64 ]; } ||
    bash "$root/tools/wine/make-templates.sh" "$build" >/dev/null
wine_check_locale

work=$build/bench
rm -rf "$work"
mkdir -p "$work/app" "$work/bare9x"
app=$work/app
raw=$work/raw.tsv
record() { printf '%s\t%s\n' "$1" "$2" >>"$raw"; }
py() { python3 "$here/figures.py" "$@"; }

CAPTION="zadovo for Windows 95/NT (v 1.04): Osric T.Vellamo"
export WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

PACED=(150 16 63 512) FIRST=16000 LAST=8000
FAST=(1024 16 63 512)
paced_image=$work/paced.img
"$build/mkdisk" blank "$paced_image" "${PACED[@]}" >/dev/null
fast_image=$build/bench-fast.img  # kept between invocations: it takes a while to write
fast_size=$((FAST[0] * FAST[1] * FAST[2] * FAST[3]))
if [ ! -f "$fast_image" ] || [ "$(stat -c %s "$fast_image")" -ne $fast_size ]; then
    log "writing the unpaced image ($((fast_size >> 20)) MiB of random data)"
    head -c $fast_size /dev/urandom >"$fast_image"
fi
# A fresh sparse image stalls the host's first read of every 8 MiB for 10 to
# 20 ms: read both once, so that only the drives' own pace is measured.
cat "$paced_image" "$fast_image" >/dev/null
cp "$build/platterscope.exe" "$app/"
if [ $bits = 32 ]; then
    cp "$build/Rawio32.dll" "$app/"
    cp "$build/Rawio32.dll" "$build/bareloop.exe" "$work/bare9x/"
fi
printf 'drive "%s" %s\n' "$fast_image" "${FAST[*]}" >"$work/bare9x/Rawio32.cfg"

program=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    [ -z "$program" ] || wait "$program" 2>/dev/null || true
    wine_stop_xvfb
    local prefix
    for prefix in "$work"/prefix-*; do wine_remove_server_dir "$prefix"; done
}
trap cleanup EXIT
wine_start_xvfb "$work"

H() { "$WINE" "$build/harness.exe" "$@" </dev/null; }
# The wine server closes a desktop one second after its last user (a
# process connected to it, other than the explorer that draws it) has ended:
# it posts the explorer WM_CLOSE. A program started while that explorer
# closes found no display ("The explorer process failed to start"), and one
# started later waited for a new explorer. A harness that sleeps for the
# whole session is a user of the desktop throughout, so the desktop lives as
# long as the session and every start in it finds it up. Call it once the
# session's server runs (after install.sh, which waits for the old server to
# end); wineserver -k ends it with the session.
keep_desktop() {
    H sleep 2147483647 >/dev/null 2>&1 &
}
start_program() {
    # Wine's errors only, so that a program that ends early says why.
    (cd "$app" && WINEDEBUG=err+all,fixme-all exec "$WINE" platterscope.exe </dev/null >>"$work/program.log" 2>&1) &
    program=$!
}
close_program() {
    H window "$CAPTION" -- cancel -- wait-gone "$CAPTION" 10000 >/dev/null
    wait "$program"
    program=
}
now_ms() { date +%s%3N; }
# Milliseconds from START_MS until the main window is up (as the harness,
# which drives it next, sees it).
window_after() {
    local up=0
    wine_wait_window "$build/harness.exe" "$CAPTION" 60000 "$program" || up=$?
    case $up in
    0) WINDOW_MS=$(($(now_ms) - $1)) ;;
    1) fail "no main window within 60 s" ;;
    *)
        program=
        # A program that cannot make its dialog ends with 0 and no message.
        if tail -20 "$work/program.log" | grep -q 'The explorer process failed to start'; then
            fail "Wine's explorer failed to start, so the program could not make its window (see keep_desktop and $work/program.log)"
        fi
        fail "the program ended with exit code $WINE_EXIT_CODE before its window appeared (see $work/program.log)"
        ;;
    esac
}
# Starts the program in a new copy of the 9x template (FRESH) or in the
# current prefix (WARM) and waits for its window.
start_and_wait() {  # fresh|warm
    if [ "$1" = fresh ]; then
        export WINEPREFIX=$work/prefix-fresh-$((++fresh_prefixes))
        wine_copy_template "$build/wine-templates/9x" "$WINEPREFIX"
        sync
    fi
    local t0
    t0=$(now_ms)
    start_program
    window_after "$t0"
}
fresh_prefixes=0

# On the NT family the partition walk of each simulated drive fails under
# Wine (no file position on such devices): two boxes per drive come first.
open_nt_window() {
    local answers=() i
    for i in $(seq $((2 * NT_DRIVES))); do answers+=(-- wait-box 30000 -- answer OK); done
    H process platterscope.exe "${answers[@]}" -- wait-window "$CAPTION" 30000 >/dev/null ||
        fail "the NT family's main window did not open (see $work/program.log)"
}

# The read path is measured with the Wine session on one processor and its
# tick kept fresh (tickkeeper.c). Between the two processors of a virtual
# machine every hand-off of a read (program, wine server, driver host) waits
# for the other processor to wake: the bare ReadFile loop alone came out
# anywhere between 72 and 164 MB/s, on one processor between 330 and 480.
# The systems the program is for mostly had one processor (the 9x family
# uses only one), and there the window's work between reads takes its time
# from the reads, as it does here. The session is started anew on the one
# processor, as Wine takes the number of processors it reports (and so
# whether its waits spin) from where a process starts: a session moved onto
# one processor later read the NT drive 2.5 times slower than one started
# there. The X server stays where it was.
keeper= affinity=
one_processor_begin() {  # then start the session, then keep_tick
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    affinity=$(taskset -p $$ | sed 's/.*: //')
    taskset -cp 0 $$ >/dev/null
}
keep_tick() {
    "$WINE" "$build/tickkeeper.exe" </dev/null >/dev/null 2>&1 &
    keeper=$!
}
one_processor_end() {
    [ -z "$keeper" ] || { kill "$keeper" 2>/dev/null; wait "$keeper" 2>/dev/null || true; }
    keeper=
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    taskset -p "$affinity" $$ >/dev/null
}

# steal_mark, steal_since: the share of the processors the host took.
source "$root/tools/processor-use.sh"

# One run of the read path on the unpaced drive (list item 2): PASSES rounds,
# each a program pass without and with high priority and a pass of the bare
# loop (the command given), the image read before each so that all start
# warm. The figures are those of each kind's fastest pass: on a virtual
# machine a pass of either kind came out anywhere within 15% of its
# neighbours, and what the host adds only ever makes a pass slower. Records
# the run's figures under LABEL ("9x 4", "NT 5"), the bare loop named LOOP.
PASSES=5
unpaced_run() {  # LABEL LOOP NOBUFFER BARE-COMMAND...
    local label=$1 loop=$2 nobuffer=$3 pass priority count eff bare
    local EFF0=0 EFF1=0 BARE=0 HOST0=0
    shift 3
    for pass in $(seq $PASSES); do
        for priority in 0 1; do
            cat "$fast_image" >/dev/null
            measure 2 $priority "$nobuffer"
            read -r count _ eff <<<"$(py summary "$SUMMARY")"
            [ "$count" -eq "${FAST[0]}" ] || fail "unpaced run measured $count cylinders: $SUMMARY"
            if [ $priority = 0 ] && [ "$eff" -gt "$EFF0" ]; then EFF0=$eff HOST0=$STEAL; fi
            if [ $priority = 1 ] && [ "$eff" -gt "$EFF1" ]; then EFF1=$eff; fi
        done
        cat "$fast_image" >/dev/null
        read -r _ _ bare <<<"$("$@" | tr -d '\r')"
        [ -n "$bare" ] || fail "the bare loop gave no result"
        [ "$bare" -le "$BARE" ] || BARE=$bare
    done
    record "$label unpaced: effective speed / bare loop" "$(py ratio "$EFF0" "$BARE")"
    record "$label   program's effective speed (kB/s)" "$EFF0"
    record "$label   bare $loop loop (kB/s)" "$BARE"
    record "$label   processor time taken by the host during the program's run (%)" "$HOST0"
    record "$label unpaced, high priority: effective speed / bare loop" "$(py ratio "$EFF1" "$BARE")"
}

# One whole run of drive list item ITEM with the check boxes 107 (high
# priority) and 106 (no buffering, "-" on the 9x family) as given; leaves the
# summary in SUMMARY.
measure() {  # ITEM PRIORITY NOBUFFER
    local out nobuffer=()
    [ "$3" = - ] || nobuffer=(-- check 106 "$3")
    steal_mark
    out=$(H process platterscope.exe -- window "$CAPTION" -- select 104 "$1" -- check 107 "$2" "${nobuffer[@]}" \
        -- press 101 -- wait-enabled 102 1 10000 -- wait-enabled 101 1 300000 -- text 109) ||
        fail "run of drive $1 did not end: $out"
    SUMMARY=$out
    STEAL=$(steal_since)
}
# A run saved through Save As to FILE, in a program of its own, so that every
# saved run starts from the same state (nothing a Save As loaded stays in
# the process for the next run).
saved_run() {  # ITEM PRIORITY NOBUFFER FILE
    if [ "$FAMILY" = nt ]; then
        start_program
        open_nt_window
    else
        start_and_wait warm
    fi
    measure "$1" "$2" "$3"
    rm -f "$4"
    H process platterscope.exe -- window "$CAPTION" -- press 103 -- wait-file-dialog -- file-name "$4" -- press 1 \
        -- window "$CAPTION" -- no-box 300 >/dev/null || fail "save of the run failed"
    # The file is written once the dialog has closed.
    local tries
    for tries in $(seq 50); do [ -s "$4" ] && [ "$(wc -l <"$4")" -eq "${PACED[0]}" ] && break; sleep 0.1; done
    [ "$(wc -l <"$4")" -eq "${PACED[0]}" ] || fail "$4 does not hold the run's ${PACED[0]} lines"
    [ "$FAMILY" = nt ] || PASS_LINE=$(pass_line)
    close_program
}
# Records the fidelity figures of the run just saved, under PREFIX.
fidelity() {  # PREFIX FILE
    local ratio bias median p95 outside
    read -r ratio bias median p95 outside <<<"$(py fidelity "$2" "$SUMMARY" "${PACED[@]}" $FIRST $LAST "$tick")"
    record "$1 effective speed / true rate" "$ratio"
    record "$1   per-cylinder error with its sign, median (%)" "$bias"
    record "$1   per-cylinder error, median (%)" "$median"
    record "$1   per-cylinder error, 95th percentile (%)" "$p95"
    record "$1   cylinders more than one tick off (%)" "$outside"
    record "$1   processor time taken by the host during the run (%)" "$STEAL"
}

# The tick's step, measured once the first session's server runs.
measure_tick() {
    tick=$("$WINE" "$build/tickstep.exe" | tr -d "\r")
    log "GetTickCount moves in steps of $tick ms"
}

# ---- 9x family -------------------------------------------------------------
if [ $bits = 32 ]; then
{
    printf 'drive "%s" %s speed=%s,%s\n' "$paced_image" "${PACED[*]}" $FIRST $LAST
    printf 'drive "%s" %s speed=%s,%s stream\n' "$paced_image" "${PACED[*]}" $FIRST $LAST
    printf 'drive "%s" %s\n' "$fast_image" "${FAST[*]}"
    echo "stats stats.txt"
} >"$app/Rawio32.cfg"
FAMILY=9x
export WINEPREFIX=$work/prefix-9x
wine_copy_template "$build/wine-templates/9x" "$WINEPREFIX"
wineserver -p
keep_desktop
measure_tick
pass_line() {  # the pass line of drive 0x80, written at the end of its run
    { grep '^drive=0x80 ' "$app/stats.txt" 2>/dev/null || true; } | tail -1 | tr -d '\r'
}
for priority in 0 1; do
    label="9x 1 paced"
    [ $priority = 0 ] || label="9x 3 paced, high priority"
    for i in $(seq "$RUNS"); do
        log "$label, run $i of $RUNS"
        saved_run 0 $priority - "$work/paced.dat"
        [ -n "$PASS_LINE" ] || fail "no pass line for the run in $app/stats.txt"
        fidelity "$label:" "$work/paced.dat"
        read -r by_total by_span <<<"$(py outside "$SUMMARY" "$PASS_LINE")"
        record "${label/1 paced/2 paced}: outside the reads per cylinder, from the summary (ms)" "$by_total"
        record "${label/1 paced/2 paced}: outside the reads per cylinder, from the drive's clock (ms)" "$by_span"
    done
done
for i in $(seq "$RUNS"); do
    log "9x 5 streaming drive, run $i of $RUNS"
    saved_run 1 0 - "$work/stream.dat"
    read -r ratio _ <<<"$(py fidelity "$work/stream.dat" "$SUMMARY" "${PACED[@]}" $FIRST $LAST "$tick")"
    record "9x 5 streaming drive: effective speed / true rate" "$ratio"
done
one_processor_begin
wineserver -p
keep_tick
keep_desktop
start_and_wait warm
bare9x() { (cd "$work/bare9x" && "$WINE" bareloop.exe 9x 0x80); }
for i in $(seq "$RUNS"); do
    log "9x 4 unpaced drive, run $i of $RUNS"
    unpaced_run "9x 4" ReadPhysicalSector32 - bare9x
    dd_line=$(LC_ALL=C dd if="$fast_image" of=/dev/null bs=$((FAST[2] * FAST[3])) 2>&1 | tail -1)
    read -r dd_bytes dd_seconds <<<"$(sed -n 's/^\([0-9]*\) bytes .* copied, \([0-9.e+-]*\) s,.*/\1 \2/p' <<<"$dd_line")"
    [ -n "$dd_seconds" ] || fail "cannot read dd's result: $dd_line"
    record "9x 4   dd on the image, one track per read (kB/s)" "$(python3 -c "print('%.0f' % ($dd_bytes / 1024 / $dd_seconds))")"
done
close_program
one_processor_end

# Start-ups, fresh prefixes first (each a new copy of the template: no wine
# server yet), then warm ones (server running, prefix used before).
for i in $(seq $STARTS); do
    start_and_wait fresh
    record "9x 6 start-up to main window, fresh prefix (ms)" $WINDOW_MS
    close_program
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
done
export WINEPREFIX=$work/prefix-warm
wine_copy_template "$build/wine-templates/9x" "$WINEPREFIX"
wineserver -p
keep_desktop
start_and_wait warm
close_program
for i in $(seq $STARTS); do
    start_and_wait warm
    record "9x 6 start-up to main window, warm prefix (ms)" $WINDOW_MS
    close_program
done
wineserver -k >/dev/null 2>&1 || true
wineserver -w
for prefix in "$work"/prefix-fresh-* "$work"/prefix-warm; do
    wine_remove_server_dir "$prefix"
    rm -rf "$prefix"
done
fi

# ---- NT family -------------------------------------------------------------
export WINEPREFIX=$work/prefix-nt
wine_copy_template "$build/wine-templates/nt" "$WINEPREFIX"
start_simdisk() {
    bash "$root/tools/simdisk/install.sh" "$build/simdisk.sys" \
        0="$paced_image ${PACED[*]} speed=$FIRST,$LAST stream" \
        1="$paced_image ${PACED[*]} speed=$FIRST,$LAST" \
        2="$fast_image ${FAST[*]}" >"$work/simdisk.log" 2>&1 ||
        fail "the simulated-disk driver did not start (see $work/simdisk.log)"
}
start_simdisk
keep_desktop
[ $bits = 32 ] || measure_tick
rm -f "$app/Rawio32.dll"
FAMILY=nt NT_DRIVES=3
for i in $(seq "$RUNS"); do
    log "NT paced runs, round $i of $RUNS"
    saved_run 0 0 0 "$work/nt.dat" && fidelity "NT 1 streaming drive:" "$work/nt.dat"
    saved_run 0 0 1 "$work/nt.dat" && fidelity "NT 2 streaming drive, no buffering:" "$work/nt.dat"
    saved_run 0 1 0 "$work/nt.dat" && fidelity "NT 3 streaming drive, high priority:" "$work/nt.dat"
    saved_run 1 0 0 "$work/nt.dat"
    read -r ratio _ <<<"$(py fidelity "$work/nt.dat" "$SUMMARY" "${PACED[@]}" $FIRST $LAST "$tick")"
    record "NT 4 drive without read-ahead: effective speed / true rate" "$ratio"
done
one_processor_begin
start_simdisk
keep_tick
keep_desktop
start_program
open_nt_window
for i in $(seq "$RUNS"); do
    log "NT unpaced drive, run $i of $RUNS"
    unpaced_run "NT 5" ReadFile 0 "$WINE" "$build/bareloop.exe" nt 2
    read -r _ _ bare <<<"$("$WINE" "$build/bareloop.exe" nt 0 | tr -d '\r')"
    record "NT 5 bare loop on the streaming drive / true rate" "$(py ratio "$bare" "$(py true-rate "${PACED[@]}" $FIRST $LAST)")"
done
close_program
one_processor_end

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
memory=$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
programs="9x and NT rows: the 32-bit program"
[ $bits = 32 ] || programs="NT rows: the 64-bit program; 9x rows: not measured, as $WINE_NO_32BIT"
py table "$raw" "$(nproc) cores, $cpu, $memory" \
    "Platterscope benchmark, $(date -u +%Y-%m-%d), $("$WINE" --version), GetTickCount step $tick ms, $RUNS runs
$programs"
