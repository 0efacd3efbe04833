#!/bin/bash
# The program's calls as it makes them, 9x family, under Wine's relay trace:
# start-up with two stand-in drives, the first over the geometry limits
# (its box, the focus on the drive list once the window shows), a run on the
# second with the high-priority option and a read error (answered Yes), the
# summary, a save, the close. Every call that
# returns into the program is held against the checks of
# tools/compat/win32-api.tsv (what Windows 95 and 98 refuse or treat
# differently), and every check meant for this family must have been reached.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
# Only sector 0 of the first drive is ever read: a short image will do.
e2e_mkdisk blank "$E2E_APP/big.img" 1 2 16 512
e2e_mkdisk blank "$E2E_APP/d0.img" 6 2 16 512
cat >"$E2E_APP/Rawio32.cfg" <<EOF_CFG
drive big.img 1025 2 16 512
drive d0.img 6 2 16 512
fault 2 1 60
EOF_CFG
e2e_relay_start main
e2e_harness process platterscope.exe -- wait-box 60000 -- answer OK -- wait-window "$E2E_MAIN_CAPTION" 30000 \
    -- wait-focus 104 5000 -- select 104 1 -- check 107 1 -- press 101 \
    -- wait-box 30000 -- answer Yes -- wait-enabled 101 1 30000 -- text 109
[[ $E2E_OUT =~ $(e2e_summary_pattern 9x 6) ]] || e2e_fail "no summary of 6 cylinders: $E2E_OUT"
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 103 -- wait-file-dialog \
    -- file-name "$E2E_DIR/profile.dat" -- press 1 -- window "$E2E_MAIN_CAPTION" -- no-box 300
e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
[ "$(wc -l <"$E2E_DIR/profile.dat")" -eq 6 ] || e2e_fail "the save did not write the run's 6 lines"
e2e_relay_check main 9x
e2e_pass
