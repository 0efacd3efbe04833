# e2e.sh: the library every end-to-end test script sources. A test runs the
# program under Wine in a prefix of its own, on an X display of its own (so
# parallel tests never see each other's windows or focus), and drives it with
# harness.exe.
#
#   #!/bin/bash
#   source "$(dirname "$0")/../../tools/wine/e2e.sh"
#   e2e_setup "$1" nt
#   e2e_start main
#   e2e_harness wait-window "$E2E_MAIN_CAPTION" -- text 109
#   e2e_assert_eq "欢迎使用 Platterscope!" "$E2E_OUT" "status line"
#   e2e_harness window "$E2E_MAIN_CAPTION" -- cancel
#   e2e_expect_exit main 0
#   e2e_pass
#
# Set-up
#   e2e_setup BUILD_DIR FAMILY [EXE]      (once per test)
#       FAMILY is nt or 9x (the template prefixes of make-templates.sh); a
#       script written for both takes it as its second argument ("# Families:
#       9x nt" in its header makes ctest run it once per family). Makes the
#       work dir $E2E_DIR = BUILD_DIR/e2e/<script name>[_FAMILY]/ afresh
#       (the family added where the name does not give it), with the prefix,
#       the app folder $E2E_APP holding EXE (default $E2E_EXE, which ctest
#       sets for the runs of the 64-bit program, else
#       BUILD_DIR/platterscope.exe) as platterscope.exe, and a private Xvfb.
#       With $E2E_EXE the work dir's name ends in _win64.
#       The harness and the simulated-disk driver are those of the program's
#       width: BUILD_DIR's for a 32-bit program, the 64-bit build's
#       ($E2E_WIN64_BUILD, default BUILD_DIR/../win64) for a 64-bit one, left
#       in $E2E_TOOLS. A 32-bit program on a host that cannot run one, or a
#       family without a template there, ends the test as skipped, with the
#       reason.
#       Exports WINEPREFIX, DISPLAY, WINEDEBUG=-all and LC_ALL=zh_CN.UTF-8, and
#       sets a trap that always ends the wineserver and Xvfb. The work dir is
#       removed when the test passes or is skipped and kept when it fails.
#   e2e_install_standin [missing-entry]
#       Copies the stand-in Rawio32.dll (or its variant without
#       GetDriveParameters32) into $E2E_APP. The test writes
#       $E2E_APP/Rawio32.cfg itself; relative image paths in it are relative
#       to $E2E_APP.
#   e2e_mkdisk ARGS...    runs the host tool BUILD_DIR/mkdisk (e.g.
#                         e2e_mkdisk blank "$E2E_APP/d0.img" 100 4 17 512)
#   e2e_simdisk [--stats PATH] N=DRIVE_LINE...
#       NT family: installs and starts the simulated-disk driver
#       (BUILD_DIR/simdisk.sys, see tools/simdisk/install.sh for the lines)
#       in the test's prefix, so that \\.\PHYSICALDRIVEN is that drive;
#       Wine's own PHYSICALDRIVE0 is replaced when drive 0 is given. Image
#       paths may be absolute Unix paths. Call it before e2e_start.
#   e2e_simdisk_counters N
#       The counters line of drive N from the --stats file given to
#       e2e_simdisk ("drive=N opens=A unbuffered=B reads=C failed=D bytes=E
#       end=F"), left in $E2E_OUT.
#   e2e_simdisk_net stop|start
#       Stops the driver (its drives are gone: opening them fails) or starts
#       it again (its counters start from 0).
#
# Drives in either family ($E2E_FAMILY)
#   e2e_drive IMAGE CYLINDERS HEADS SECTORS BYTES [speed=FIRST,LAST]
#       Writes a blank disk $E2E_APP/IMAGE and adds it as the next drive
#       (0, 1, ...), paced as given.
#   e2e_drive_fault CYLINDER HEAD
#       Every read of that track of the drive added last fails; the program
#       shows the failure as code $E2E_FAULT_CODE (9x: 3Ch from the stand-in;
#       NT: 17h, the driver's STATUS_DEVICE_DATA_ERROR). Head 0 of cylinder
#       0 holds the partition table: fault another track.
#   e2e_serve_drives
#       Serves the drives added: 9x through the stand-in sector service
#       (Rawio32.dll and Rawio32.cfg in $E2E_APP), NT through the
#       simulated-disk driver (its counters in $E2E_DIR/stats.txt, for
#       e2e_simdisk_counters). Call it before e2e_start.
#
# The program
#   e2e_start NAME [ARGS...]
#       Starts $E2E_APP/platterscope.exe in the background, in $E2E_APP, its
#       output in $E2E_DIR/NAME.log. NAME labels the process for e2e_expect_exit.
#   e2e_start_exe NAME EXE [ARGS...]   the same for another Windows program
#       (e.g. "$E2E_BUILD/harness_probe.exe" dialog, a window titled
#       "Probe dialog" that ends with exit code 0 on cancel)
#   e2e_expect_exit NAME CODE [TIMEOUT_S]
#       Waits (default 30 s) for that process to end and checks its exit code.
#   e2e_still_running NAME    fails the test if that process has ended
#
#   e2e_relay_start NAME
#       Like e2e_start, under Wine's relay trace of the functions that
#       tools/compat/win32-api.tsv has checks for (RelayInclude in the test's
#       prefix); the trace goes to $E2E_DIR/NAME.log.
#   e2e_relay_check NAME FAMILY
#       After NAME has ended: checks the program's own calls in its trace
#       against the record (tools/compat/relay-check.py); fails the test on
#       any broken rule or any rule of FAMILY that the run did not exercise.
#
# The harness (see tools/harness/README.md for its commands)
#   e2e_harness CMD [ARGS] [-- CMD [ARGS]]...
#       Runs harness.exe; its output (one result per line, UTF-8) is left in
#       $E2E_OUT. Fails the test when the harness fails.
#   e2e_harness_try CMD ...
#       The same, but returns the harness's exit code and leaves its failure
#       line in $E2E_ERR instead of failing the test.
#   Either ends a harness that outlives all its waits by half a minute
#   (stuck in Wine): exit code 124, and $E2E_ERR says so.
#
#   e2e_open_main_window [TIMEOUT_S]
#       Waits (default 60 s) for the main window, answering OK to every
#       OK-only message box that comes first (on the NT family Wine's stand-in
#       drive 0 fails its reads, so the dialog's opening shows boxes). The
#       boxes' `box` descriptions are left in $E2E_BOXES, each followed by a
#       line "--", in the order they came; $E2E_BOX_COUNT counts them.
#
# Checks and outcome
#   e2e_assert_eq EXPECTED ACTUAL [WHAT]   equality; on difference a diff
#   e2e_fail MESSAGE      fails the test (exit 1)
#   e2e_skip MESSAGE      ends the test as skipped (exit code 77, which ctest
#                         reports as such), saying why
#   e2e_pass              ends the test as passed
#
#   e2e_harness_until EXPECTED CMD [ARGS] [-- CMD [ARGS]]...
#       Runs the harness again (for up to about 10 s) until its output is
#       EXPECTED, for states that the X server brings to Wine a little later
#       (activation, restoring); fails the test when it never is.
#   e2e_wait_saved FILE STATUS_OUTPUT
#       Waits until FILE holds as many lines as the summary in
#       STATUS_OUTPUT counts (the program writes it after Save As has closed;
#       a file saved over holds another count until then).
#   e2e_expect_startup_failure TEXT
#       Expects one ownerless error box "Platterscope" with TEXT before any
#       main window, answers it, and expects exit code 1 with no main window.
#
# Runs (FAMILY is 9x or nt: the status texts and prompts differ)
#   e2e_cylinder_of LINE
#       Prints the cylinder that LINE names when it is a cylinder's status
#       line of $E2E_FAMILY, nothing otherwise.
#   e2e_read_prompt FAMILY CODE CYLINDER HEAD
#       Prints the `box` description of the read-error prompt for that hex
#       CODE, cylinder and head.
#   e2e_expect_summary FAMILY N KIB_PER_CYLINDER
#       Waits for Start to come back and expects the summary of a run of N
#       cylinders (its effective speed and min <= avr <= max checked), Save
#       enabled and Stop disabled.
#   e2e_stopped_run FAMILY CYLINDERS [CMD ...]
#       Runs the harness commands CMD (e.g. check 107 1) in the main window,
#       presses Start, then Stop a second later, and watches the status line
#       until Start is enabled: the lines before are cylinder lines, each of
#       a cylinder the summary counts, and the line read as soon as Start is
#       enabled is already the summary, of fewer than CYLINDERS cylinders;
#       Save is enabled. The count is left in $E2E_STOPPED.
#
# E2E_MAIN_CAPTION is the main window's caption.

E2E_MAIN_CAPTION="zadovo for Windows 95/NT (v 1.04): Osric T.Vellamo"
E2E_DIR=
E2E_FAMILY=
E2E_TOOLS=
E2E_FAULT_CODE=
E2E_DRIVES=()
E2E_OUT=
E2E_ERR=
E2E_NAME=$(basename "$0" .sh)
declare -A E2E_PIDS=()
E2E_LIBRARY_DIR=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
source "$E2E_LIBRARY_DIR/common.sh"

e2e_log() {
    echo "[$E2E_NAME] $*" >&2
}

e2e_fail() {
    e2e_log "FAIL: $*"
    exit 1
}

e2e_skip() {
    e2e_log "SKIPPED: $*"
    E2E_PASSED=1
    exit 77
}

e2e_pass() {
    e2e_log "passed"
    E2E_PASSED=1
    exit 0
}

e2e_cleanup() {
    local status=$?
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        # Bounded too: a server that no longer answers must not keep a
        # failing test from saying so. (-k fails where none runs: no news.)
        timeout -k 5 20 wineserver -k >/dev/null 2>&1
        timeout -k 5 20 wineserver -w >/dev/null 2>&1 || e2e_log "the wine server did not end within 20 s"
    fi
    local pid
    for pid in "${E2E_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    wine_stop_xvfb
    if { [ "${E2E_PASSED:-0}" = 1 ] && [ $status -eq 0 ]; } || [ $status -eq 77 ]; then
        [ -n "${WINEPREFIX:-}" ] && wine_remove_server_dir "$WINEPREFIX"
        rm -rf "$E2E_DIR"
    elif [ -n "${E2E_DIR:-}" ]; then
        e2e_log "work dir kept: $E2E_DIR"
    fi
    exit $status
}

e2e_setup() {
    if [ $# -lt 2 ]; then
        echo "usage: e2e_setup BUILD_DIR nt|9x [EXE]" >&2
        exit 2
    fi
    # One prefix, display and trap per test script.
    [ -z "${E2E_DIR:-}" ] || e2e_fail "e2e_setup was already called in this test"
    E2E_BUILD=$(cd "$1" && pwd) || e2e_fail "no build dir '$1'"
    local family=$2
    local exe=${3:-${E2E_EXE:-$E2E_BUILD/platterscope.exe}}
    case $family in nt | 9x) ;; *) e2e_fail "unknown family '$family' (nt or 9x)" ;; esac
    E2E_FAMILY=$family
    E2E_FAULT_CODE=3C
    [ "$family" = nt ] && E2E_FAULT_CODE=17
    [ -f "$exe" ] || e2e_fail "program not built: $exe"
    wine_skip_unless_runnable "$exe"
    E2E_TOOLS=$E2E_BUILD
    if [ "$(wine_exe_bits "$exe")" = 64 ]; then
        E2E_TOOLS=$(cd "${E2E_WIN64_BUILD:-$E2E_BUILD/../win64}" 2>/dev/null && pwd) ||
            e2e_fail "no 64-bit build for the 64-bit program's tools: ${E2E_WIN64_BUILD:-$E2E_BUILD/../win64}"
    fi
    [ -f "$E2E_TOOLS/harness.exe" ] || e2e_fail "harness not built: $E2E_TOOLS/harness.exe"
    wine_check_locale || e2e_fail "locale missing"

    [[ _${E2E_NAME}_ == *_${family}_* ]] || E2E_NAME+=_$family
    [ -n "${E2E_EXE:-}" ] && E2E_NAME+=_win64
    E2E_DIR="$E2E_BUILD/e2e/$E2E_NAME"
    E2E_APP="$E2E_DIR/app"
    rm -rf "$E2E_DIR"
    mkdir -p "$E2E_APP" || e2e_fail "cannot make $E2E_DIR"
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM

    export WINEPREFIX="$E2E_DIR/prefix"
    export WINEDEBUG=-all
    # No debugger on a crash: a crashed program ends at once and the test fails.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
    export LC_ALL=zh_CN.UTF-8
    wine_copy_template "$E2E_BUILD/wine-templates/$family" "$WINEPREFIX" || e2e_fail "cannot copy the $family prefix"
    wine_start_xvfb "$E2E_DIR" || e2e_fail "no X display"
    cp "$exe" "$E2E_APP/platterscope.exe" || e2e_fail "cannot copy $exe"
    e2e_log "family $family, display $DISPLAY, work dir $E2E_DIR"
}

e2e_install_standin() {
    local dll="$E2E_BUILD/Rawio32.dll"
    [ "${1:-}" = missing-entry ] && dll="$E2E_BUILD/missing-entry/Rawio32.dll"
    [ -f "$dll" ] || e2e_fail "stand-in not built: $dll"
    cp "$dll" "$E2E_APP/Rawio32.dll" || e2e_fail "cannot copy $dll"
}

e2e_mkdisk() {
    [ -x "$E2E_BUILD/mkdisk" ] || e2e_fail "mkdisk not built: $E2E_BUILD/mkdisk"
    "$E2E_BUILD/mkdisk" "$@" >>"$E2E_DIR/mkdisk.log" 2>&1 || e2e_fail "mkdisk $* failed: $(tail -1 "$E2E_DIR/mkdisk.log")"
}

e2e_simdisk() {
    local sys="$E2E_TOOLS/simdisk.sys"
    [ -f "$sys" ] || e2e_fail "driver not built: $sys"
    [ "${1:-}" = --stats ] && E2E_SIMDISK_STATS=$2
    bash "$E2E_LIBRARY_DIR/../simdisk/install.sh" "$sys" "$@" >>"$E2E_DIR/simdisk.log" 2>&1 ||
        e2e_fail "the simulated-disk driver did not start: $(tail -5 "$E2E_DIR/simdisk.log")"
}

e2e_simdisk_counters() {
    [ -n "${E2E_SIMDISK_STATS:-}" ] || e2e_fail "e2e_simdisk was not given --stats"
    E2E_OUT=$(tr -d '\r' <"$E2E_SIMDISK_STATS" | grep "^drive=$1 ")
    [ -n "$E2E_OUT" ] || e2e_fail "no counters for drive $1: $(cat "$E2E_SIMDISK_STATS")"
}

e2e_drive() {  # IMAGE CYLINDERS HEADS SECTORS BYTES [speed=FIRST,LAST]
    e2e_mkdisk blank "$E2E_APP/$1" "$2" "$3" "$4" "$5"
    local image=$1
    [ "$E2E_FAMILY" = nt ] && image=$E2E_APP/$1
    E2E_DRIVES+=("$image ${*:2}")
    E2E_DRIVE_GEOMETRY=("${@:2:4}")
}

e2e_drive_fault() {  # CYLINDER HEAD
    local last=$((${#E2E_DRIVES[@]} - 1)) heads=${E2E_DRIVE_GEOMETRY[1]}
    local track=$((E2E_DRIVE_GEOMETRY[2] * E2E_DRIVE_GEOMETRY[3]))
    [ "$last" -ge 0 ] || e2e_fail "e2e_drive_fault before any e2e_drive"
    case $E2E_FAMILY in
    9x) E2E_DRIVES[last]+=$'\n'"fault $1 $2 60" ;;
    nt) E2E_DRIVES[last]+=" fault=$((($1 * heads + $2) * track)),1,0xC000009C" ;;
    esac
}

e2e_serve_drives() {
    local i
    ((${#E2E_DRIVES[@]})) || e2e_fail "e2e_serve_drives without drives"
    case $E2E_FAMILY in
    9x)
        e2e_install_standin
        printf 'drive %s\n' "${E2E_DRIVES[@]}" >"$E2E_APP/Rawio32.cfg"
        ;;
    nt)
        local lines=()
        for i in "${!E2E_DRIVES[@]}"; do lines+=("$i=${E2E_DRIVES[i]}"); done
        e2e_simdisk --stats "$E2E_DIR/stats.txt" "${lines[@]}"
        ;;
    esac
}

e2e_simdisk_net() {
    wine64 net "$1" simdisk </dev/null >>"$E2E_DIR/simdisk.log" 2>&1 ||
        e2e_fail "net $1 simdisk failed: $(tail -3 "$E2E_DIR/simdisk.log")"
}

e2e_start() {
    local name=$1
    shift
    e2e_start_exe "$name" "$E2E_APP/platterscope.exe" "$@"
}

e2e_relay_start() {
    local record="$E2E_LIBRARY_DIR/../compat/win32-api.tsv" include
    include=$(python3 "$E2E_LIBRARY_DIR/../compat/relay-check.py" include "$record") || e2e_fail "cannot read $record"
    "$WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$include" /f >>"$E2E_DIR/reg.log" 2>&1 ||
        e2e_fail "cannot set RelayInclude: $(tail -3 "$E2E_DIR/reg.log")"
    WINEDEBUG=+relay e2e_start "$1"
}

e2e_relay_check() {
    local result
    result=$(python3 "$E2E_LIBRARY_DIR/../compat/relay-check.py" check "$E2E_LIBRARY_DIR/../compat/win32-api.tsv" \
        "$2" "$E2E_APP/platterscope.exe" "$E2E_DIR/$1.log") || e2e_fail "calls that break the record's rules:
$result"
    e2e_log "$result"
}

e2e_start_exe() {
    local name=$1 exe=$2
    shift 2
    [ -z "${E2E_PIDS[$name]:-}" ] || e2e_fail "a process named '$name' was already started"
    [ -f "$exe" ] || e2e_fail "no program $exe"
    (cd "$E2E_APP" && exec "$WINE" "$exe" "$@" </dev/null >"$E2E_DIR/$name.log" 2>&1) &
    E2E_PIDS[$name]=$!
}

e2e_still_running() {
    local pid=${E2E_PIDS[$1]:-}
    [ -n "$pid" ] || e2e_fail "no process named '$1' was started"
    kill -0 "$pid" 2>/dev/null || e2e_fail "process '$1' has ended"
}

e2e_expect_exit() {
    local name=$1 expected=$2 timeout=${3:-30}
    local pid=${E2E_PIDS[$name]:-}
    [ -n "$pid" ] || e2e_fail "no process named '$name' was started"
    local waited=0
    while kill -0 "$pid" 2>/dev/null; do
        if [ $waited -ge $((timeout * 10)) ]; then
            e2e_fail "process '$name' still running after ${timeout} s (expected exit code $expected)"
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    wait "$pid"
    local code=$?
    unset "E2E_PIDS[$name]"
    [ "$code" = "$expected" ] || e2e_fail "process '$name' exit code: expected $expected, got $code"
}

# How long a harness run may take, in s: half a minute, plus every number of
# 1000 and over among its arguments (the waits and sleeps, in ms), plus the
# default 10 s of each wait or watch (counted even where a number is given).
# A run that takes longer is stuck in Wine, not waiting on the program.
e2e_harness_limit() {
    local arg ms=30000
    for arg in "$@"; do
        case $arg in
        wait-* | watch-*) ms=$((ms + 10000)) ;;
        *[!0-9]* | '') ;;
        *) [ ${#arg} -gt 9 ] || [ "$arg" -lt 1000 ] || ms=$((ms + arg)) ;;
        esac
    done
    echo $((ms / 1000))
}

e2e_harness_try() {
    local out="$E2E_DIR/harness.out" err="$E2E_DIR/harness.err" limit
    limit=$(e2e_harness_limit "$@")
    # Bounded, so that a harness stuck in Wine fails the test with its work
    # dir kept instead of running into ctest's timeout with nothing said.
    timeout -k 5 "$limit" "$WINE" "$E2E_TOOLS/harness.exe" "$@" </dev/null >"$out" 2>"$err"
    local code=$?
    E2E_OUT=$(cat "$out")
    E2E_ERR=$(grep -m1 '^harness:' "$err" || head -1 "$err")
    if [ $code -eq 124 ] || [ $code -eq 137 ]; then
        E2E_ERR="the harness did not end within $limit s, longer than all its waits: stuck in Wine (its stderr: ${E2E_ERR:-nothing})"
    fi
    return $code
}

e2e_harness() {
    e2e_harness_try "$@"
    local code=$?
    if [ $code -ne 0 ]; then
        [ -n "$E2E_OUT" ] && e2e_log "harness output so far: $E2E_OUT"
        e2e_fail "harness $* -> exit $code: $E2E_ERR"
    fi
}

e2e_assert_eq() {
    local expected=$1 actual=$2 what=${3:-value}
    if [ "$expected" != "$actual" ]; then
        e2e_log "$what differs (- expected, + actual):"
        diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | tail -n +3 >&2
        e2e_fail "$what"
    fi
}

e2e_open_main_window() {
    local timeout=${1:-60}
    local start=$SECONDS
    E2E_BOXES=
    E2E_BOX_COUNT=0
    while :; do
        if e2e_harness_try window "$E2E_MAIN_CAPTION"; then
            return 0
        fi
        if e2e_harness_try wait-box 1000 -- box -- answer OK; then
            case $E2E_OUT in
            *$'\nbuttons: OK\n'*) ;;
            *) e2e_fail "a box that is not OK-only came before the main window: $E2E_OUT" ;;
            esac
            E2E_BOXES+="$E2E_OUT"$'\n--\n'
            E2E_BOX_COUNT=$((E2E_BOX_COUNT + 1))
        elif [ -n "$E2E_OUT" ]; then
            e2e_fail "a box before the main window could not be answered with OK ($E2E_ERR): $E2E_OUT"
        fi
        if [ $((SECONDS - start)) -ge "$timeout" ]; then
            e2e_fail "no main window within $timeout s (boxes answered: $E2E_BOX_COUNT)"
        fi
    done
}

e2e_expect_startup_failure() {
    local text=$1
    e2e_start main
    e2e_harness process platterscope.exe -- wait-box 60000 -- box
    e2e_assert_eq "caption: Platterscope
text: $text
icon: error
buttons: OK
owner: none" "$E2E_OUT" "start-up box"
    e2e_harness wait-box 0 -- answer OK
    e2e_expect_exit main 1
    e2e_harness_try window "$E2E_MAIN_CAPTION" && e2e_fail "the main window opened"
    e2e_pass
}

e2e_harness_until() {
    local expected=$1 deadline=$((SECONDS + 10))
    shift
    while :; do
        e2e_harness "$@"
        [ "$E2E_OUT" = "$expected" ] && return 0
        [ $SECONDS -ge $deadline ] && e2e_assert_eq "$expected" "$E2E_OUT" "harness $* after 10 s"
        sleep 0.1
    done
}

e2e_wait_saved() {  # FILE STATUS_OUTPUT
    local count= line pattern
    pattern=$(e2e_summary_pattern "$E2E_FAMILY" '[0-9]+')
    while IFS= read -r line; do
        [[ $line =~ $pattern ]] && count=${BASH_REMATCH[1]}
    done <<<"$2"
    [ -n "$count" ] || e2e_fail "no summary in: $2"
    for _ in $(seq 50); do
        [ -f "$1" ] && [ "$(tr -cd '\n' <"$1" | wc -c)" -eq "$count" ] && return 0
        sleep 0.1
    done
    e2e_fail "$1 does not hold the $count lines of the run: $(tr -cd '\n' <"$1" 2>/dev/null | wc -c) lines"
}

e2e_summary_pattern() {  # FAMILY COUNT_PATTERN: groups count, ms, min, eff, avr, max
    # Called inside $(...), where a failure cannot end the test: printing a
    # pattern that matches nothing (an anchor after a character) makes the
    # check that uses it fail instead.
    python3 "$E2E_LIBRARY_DIR/../../tests/e2e/status_texts.py" summary "$1" "$2" ||
        { e2e_log "no summary pattern for family '$1'"; echo 'x^'; }
}

e2e_cylinder_of() {  # LINE
    PYTHONPATH="$E2E_LIBRARY_DIR/../../tests/e2e" python3 -c '
import sys
from status_texts import CYLINDER
m = CYLINDER[sys.argv[1]].match(sys.argv[2])
print(m.group(1) if m else "")' "$E2E_FAMILY" "$1"
}

e2e_read_prompt() {  # FAMILY CODE CYLINDER HEAD
    local place
    case $1 in
    9x) place=$(printf '栈道  %u, 柱头 %u.' "$3" "$4") ;;
    nt) place=$(printf 'Track %u, head %u.' "$3" "$4") ;;
    *) e2e_fail "unknown family '$1'" ;;
    esac
    printf 'caption: Platterscope\ntext: Reading error ( code=%sh )\\n%s\\nShow this message if error will be occured?\nicon: error\nbuttons: Yes No Cancel\nowner: %s' \
        "$2" "$place" "$E2E_MAIN_CAPTION"
}

e2e_expect_summary() {  # FAMILY N KIB_PER_CYLINDER
    e2e_harness window "$E2E_MAIN_CAPTION" -- wait-enabled 101 1 30000 -- text 109 -- enabled 103 -- enabled 102
    local summary=${E2E_OUT%%$'\n'*} states=${E2E_OUT#*$'\n'}
    [[ $summary =~ $(e2e_summary_pattern "$1" "$2") ]] || e2e_fail "summary of $2 cylinders expected, status line: $summary"
    local total=${BASH_REMATCH[2]} min=${BASH_REMATCH[3]} eff=${BASH_REMATCH[4]} avr=${BASH_REMATCH[5]} max=${BASH_REMATCH[6]}
    [ "$eff" -eq $(($3 * $2 * 1000 / total)) ] || e2e_fail "effective speed $eff for $2 cylinders in $total ms"
    [ "$min" -le "$avr" ] && [ "$avr" -le "$max" ] || e2e_fail "min/avr/max out of order: $summary"
    e2e_assert_eq $'1\n0' "$states" "Save enabled and Stop disabled after the run"
}

e2e_stopped_run() {  # FAMILY CYLINDERS [CMD ...]
    local family=$1 cylinders=$2
    shift 2
    e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" ${1:+-- "$@"} -- press 101 -- sleep 1000 \
        -- press 102 -- watch-text 109 101 30000 -- enabled 103
    local lines=${E2E_OUT%$'\n'*}
    [ "${E2E_OUT##*$'\n'}" = 1 ] && [[ ${lines##*$'\n'} =~ $(e2e_summary_pattern "$family" '[0-9]+') ]] ||
        e2e_fail "stopped run: the summary on the status line as Start was enabled, and Save, expected: $E2E_OUT"
    E2E_STOPPED=${BASH_REMATCH[1]}
    [[ $lines != *$'\n'* ]] || PYTHONPATH="$(dirname "$0")" python3 -c '
import sys
from status_texts import CYLINDER
for line in sys.stdin.read().splitlines():
    m = CYLINDER[sys.argv[1]].match(line)
    if not m or int(m.group(1)) >= int(sys.argv[2]):
        sys.exit("not a line of a cylinder the summary counts: " + line)
' "$family" "$E2E_STOPPED" <<<"${lines%$'\n'*}" || e2e_fail "stopped run: status lines before the summary: $E2E_OUT"
    [ "$E2E_STOPPED" -ge 1 ] && [ "$E2E_STOPPED" -lt "$cylinders" ] ||
        e2e_fail "stopped run measured $E2E_STOPPED of $cylinders cylinders"
}
