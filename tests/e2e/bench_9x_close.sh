#!/bin/bash
# 9x family: closing the main window while a run reads a slow paced drive
# through the stand-in. The closing sequence, which waits for the worker to
# leave the library before releasing it, neither hangs nor faults: the
# process ends with exit code 0. (That the worker never calls the released
# library is shown by the Win32-layer test, where the process lives on.)
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
e2e_mkdisk blank "$E2E_APP/disk0.img" 40 4 32 512
# About 400 ms a cylinder, 100 ms a read: the close lands mid-cylinder.
echo "drive disk0.img 40 4 32 512 speed=160,160" >"$E2E_APP/Rawio32.cfg"

e2e_start main
e2e_harness process platterscope.exe -- wait-window "$E2E_MAIN_CAPTION" 60000 -- press 101 -- sleep 1000 \
    -- enabled 101 -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_assert_eq "0" "$E2E_OUT" "Start disabled: the run was going on when the window closed"
e2e_expect_exit main 0 20
e2e_pass
