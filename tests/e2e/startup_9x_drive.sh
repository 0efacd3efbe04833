#!/bin/bash
# 9x family with one drive through the stand-in: the main window opens with
# no message box before it, lists the one drive, and closing it (WM_CLOSE)
# ends the process with exit code 0.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
e2e_mkdisk blank "$E2E_APP/disk0.img" 100 4 17 512
echo "drive disk0.img 100 4 17 512" >"$E2E_APP/Rawio32.cfg"

e2e_start main
e2e_harness_try process platterscope.exe -- wait-window "$E2E_MAIN_CAPTION" 60000 -- caption -- items 104 -- no-box 0
[ $? -eq 0 ] || e2e_fail "main window: $E2E_ERR"
e2e_assert_eq "$E2E_MAIN_CAPTION
HDD0" "$E2E_OUT" "caption and drive list"
e2e_harness window "$E2E_MAIN_CAPTION" -- close -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
