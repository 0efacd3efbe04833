#!/bin/bash
# NT family through the simulated-disk driver, a paced drive of 40
# cylinders: 64 KiB per cylinder, from 640 kB/s at cylinder 0 down to
# 320 kB/s at cylinder 39 (100 to 200 ms a cylinder), the profile of the 9x
# family's test. Run 1 reads through the system's buffering, run 2 with the
# no-buffering box ticked (the driver sees the option on the run's open);
# each is watched line by line and checked against the profile
# (profile_check.py), and the driver's counters show that the run read the
# whole disk once, track by track, in order. Run 3, with the priority box
# ticked too, is stopped part way: the driver delivered exactly the
# cylinders its summary counts.
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" nt
disk="$E2E_DIR/disk0.img"
e2e_mkdisk blank "$disk" 40 4 32 512
e2e_simdisk --stats "$E2E_DIR/stats.txt" 0="$disk 40 4 32 512 speed=640,320"
cylinder=65536

e2e_start main
e2e_open_main_window

profile_run() {  # WHAT
    e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- watch-text 109 101 60000
    local figures
    figures=$(python3 "$(dirname "$0")/profile_check.py" nt 40 64 640 320 <<<"$E2E_OUT") || e2e_fail "$1 against the profile"
    e2e_log "$1: $figures"
}

profile_run "run 1"
e2e_simdisk_counters 0
e2e_assert_eq "drive=0 opens=3 unbuffered=0 reads=160 failed=0 bytes=$((40 * cylinder)) end=$((40 * cylinder))" \
    "$E2E_OUT" "counters after run 1 (and the opening's two opens)"

e2e_harness window "$E2E_MAIN_CAPTION" -- check 106 1
profile_run "run 2, unbuffered"
e2e_simdisk_counters 0
e2e_assert_eq "drive=0 opens=4 unbuffered=1 reads=320 failed=0 bytes=$((80 * cylinder)) end=$((40 * cylinder))" \
    "$E2E_OUT" "counters after run 2"

e2e_stopped_run nt 40 check 107 1
stopped=$E2E_STOPPED
e2e_simdisk_counters 0
e2e_assert_eq "drive=0 opens=5 unbuffered=2 reads=$((320 + 4 * stopped)) failed=0 bytes=$(((80 + stopped) * cylinder)) end=$((stopped * cylinder))" \
    "$E2E_OUT" "counters after the stopped run of $stopped cylinders"

e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
