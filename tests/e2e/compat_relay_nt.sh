#!/bin/bash
# The program's calls as it makes them, NT family, under Wine's relay trace:
# start-up and discovery on two simulated drives (whose partition walks fail
# under Wine, with their boxes), the first over the geometry limits (its box,
# the focus on the drive list once the window shows), a run on the second
# with both options ticked and a read error (answered Yes), the summary, a
# save, the close; every call that
# returns into the program held against the checks of
# tools/compat/win32-api.tsv, each check meant for this family reached.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" nt
big="$E2E_DIR/big.img" disk="$E2E_DIR/disk1.img"
e2e_mkdisk blank "$big" 1025 2 16 512
e2e_mkdisk blank "$disk" 6 2 16 512
e2e_simdisk 0="$big 1025 2 16 512" 1="$disk 6 2 16 512 fault=$((5 * 8192)),512,0xC000009C"
e2e_relay_start main
e2e_open_main_window
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- wait-focus 104 5000 -- select 104 1 \
    -- check 107 1 -- check 106 1 -- press 101 \
    -- wait-box 30000 -- answer Yes -- wait-enabled 101 1 30000 -- text 109
[[ $E2E_OUT =~ $(e2e_summary_pattern nt 6) ]] || e2e_fail "no summary of 6 cylinders: $E2E_OUT"
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 103 -- wait-file-dialog \
    -- file-name "$E2E_DIR/profile.dat" -- press 1 -- window "$E2E_MAIN_CAPTION" -- no-box 300
e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
[ "$(wc -l <"$E2E_DIR/profile.dat")" -eq 6 ] || e2e_fail "the save did not write the run's 6 lines"
e2e_relay_check main nt
e2e_pass
