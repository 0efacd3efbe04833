#!/bin/bash
# NT family through the simulated-disk driver: read errors injected at
# cylinder 4 head 1 (STATUS_DEVICE_DATA_ERROR, which the program sees as
# error 17h) and cylinder 6 head 0 (STATUS_IO_DEVICE_ERROR, 45Dh) of a 10 x 2
# x 16 x 512 drive. Run 1: Cancel at the first prompt ends the run with the
# four cylinders before it. Run 2: No at the first prompt silences the
# second, all ten cylinders are measured. Run 3 prompts at both and nowhere
# else: after a failed read the run goes on with the next cylinder, whose
# bytes the driver's counters show were the ones read. Then the drive goes
# away (the driver stops): Start gives "Can't open disk!" and "No sectors
# read!"; once it is back a run works again.
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" nt
disk="$E2E_DIR/disk0.img"
e2e_mkdisk blank "$disk" 10 2 16 512
track=8192
e2e_simdisk --stats "$E2E_DIR/stats.txt" \
    0="$disk 10 2 16 512 fault=$(((4 * 2 + 1) * track + 1024)),512,0xC000009C fault=$((12 * track)),1,0xC0000185"

prompt() { e2e_read_prompt nt "$@"; }     # CODE CYLINDER HEAD
expect_summary() { e2e_expect_summary nt "$1" 16; }  # N (16 KiB per cylinder)

# The driver's counters of drive 0 since the previous call: opens, reads,
# failed reads, bytes delivered, and where the last good read ended.
previous=(0 0 0 0 0)
expect_counters() {  # WHAT OPENS READS FAILED BYTES END
    local what=$1 values
    shift
    e2e_simdisk_counters 0
    [[ $E2E_OUT =~ opens=([0-9]+)\ unbuffered=[0-9]+\ reads=([0-9]+)\ failed=([0-9]+)\ bytes=([0-9]+)\ end=([0-9]+) ]] ||
        e2e_fail "counters of drive 0 unreadable: $E2E_OUT"
    values=("${BASH_REMATCH[@]:1}")
    e2e_assert_eq "$*" "$((values[0] - previous[0])) $((values[1] - previous[1])) $((values[2] - previous[2])) $((values[3] - previous[3])) ${values[4]}" \
        "$what: opens, reads, failed reads, bytes and end of the last read"
    previous=("${values[@]}")
}

e2e_start main
e2e_open_main_window
expect_counters "discovery and partition walk" 2 0 0 0 0

e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- box -- answer Cancel
e2e_assert_eq "$(prompt 17 4 1)" "$E2E_OUT" "first prompt of run 1"
expect_summary 4
expect_counters "run 1" 1 10 1 $((9 * track)) $((9 * track))

e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- box -- answer No
e2e_assert_eq "$(prompt 17 4 1)" "$E2E_OUT" "first prompt of run 2"
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- wait-enabled 101 1 30000 -- no-box 0
expect_summary 10
expect_counters "run 2" 1 19 2 $((17 * track)) $((20 * track))

e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- box -- answer Yes \
    -- wait-box 30000 -- box -- answer Yes
e2e_assert_eq "$(prompt 17 4 1)
$(prompt 45D 6 0)" "$E2E_OUT" "both prompts of run 3"
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- wait-enabled 101 1 30000 -- no-box 0
expect_summary 10
expect_counters "run 3" 1 19 2 $((17 * track)) $((20 * track))

# The drive goes away between runs.
e2e_simdisk_net stop
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- box -- answer OK \
    -- wait-enabled 101 1 30000 -- text 109 -- enabled 103 -- enabled 102
e2e_assert_eq "caption: Platterscope
text: Can't open disk!
icon: error
buttons: OK
owner: $E2E_MAIN_CAPTION
No sectors read!
0
0" "$E2E_OUT" "a run of a drive that has gone"
e2e_simdisk_net start
previous=(0 0 0 0 0)
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- answer No
expect_summary 10
expect_counters "a run once the drive is back" 1 19 2 $((17 * track)) $((20 * track))

e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
