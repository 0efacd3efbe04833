#!/bin/bash
# 9x family, a paced drive of 40 cylinders through the stand-in: 64 KiB per
# cylinder, from 640 kB/s at cylinder 0 down to 320 kB/s at cylinder 39 (100
# to 200 ms a cylinder). Run 1 is watched from the status line: every speed
# shown agrees with the profile within the tick's quantisation, with the
# running minimum and maximum, the line read as Start is enabled is the
# summary, and it agrees with the lines (profile_check.py). Run 2, with the
# priority box ticked, is stopped part way and sums up fewer cylinders, the
# summary again on the line as Start is enabled.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
e2e_mkdisk blank "$E2E_APP/disk0.img" 40 4 32 512
echo "drive disk0.img 40 4 32 512 speed=640,320" >"$E2E_APP/Rawio32.cfg"

e2e_start main
e2e_harness process platterscope.exe -- wait-window "$E2E_MAIN_CAPTION" 60000 -- press 101 -- watch-text 109 101 60000
figures=$(python3 "$(dirname "$0")/profile_check.py" 9x 40 64 640 320 <<<"$E2E_OUT") || e2e_fail "run 1 against the profile"
e2e_log "$figures"

e2e_stopped_run 9x 40 check 107 1

e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
