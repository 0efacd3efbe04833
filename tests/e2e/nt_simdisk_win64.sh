#!/bin/bash
# The 64-bit program on a simulated NT drive (10 x 2 x 16 x 512, a fault at
# cylinder 4 head 1): discovery, a run answered Yes at the prompt, and the
# driver's counters showing that the run went on with cylinder 5 from its
# first byte and read the rest of the disk. PLATTERSCOPE_WIN64 names the
# 64-bit platterscope.exe; without it the test is skipped.
source "$(dirname "$0")/../../tools/wine/common.sh"
wine_require_win64 nt_simdisk_win64
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" nt "$PLATTERSCOPE_WIN64"
disk="$E2E_DIR/disk0.img"
track=8192
e2e_mkdisk blank "$disk" 10 2 16 512
e2e_simdisk --stats "$E2E_DIR/stats.txt" 0="$disk 10 2 16 512 fault=$(((4 * 2 + 1) * track)),512,0xC000009C"

e2e_start main
e2e_open_main_window
e2e_harness window "$E2E_MAIN_CAPTION" -- items 104 -- text 110 -- press 101 -- wait-box 30000 -- box -- answer Yes
e2e_assert_eq "HDD0
柱面     :\t  10
$(e2e_read_prompt nt 17 4 1)" "$E2E_OUT" "drive list, cylinders and the prompt"
e2e_expect_summary nt 10 16
e2e_simdisk_counters 0
e2e_assert_eq "drive=0 opens=3 unbuffered=0 reads=20 failed=1 bytes=$((19 * track)) end=$((20 * track))" "$E2E_OUT" \
    "the driver's counters after the run"

e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
