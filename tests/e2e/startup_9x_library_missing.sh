#!/bin/bash
# 9x family without Rawio32.dll beside the program: one unowned error box,
# then exit code 1, and the main window never opens.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x

e2e_start main
e2e_harness process platterscope.exe -- wait-box 60000 -- box
e2e_assert_eq "caption: Platterscope
text: Failure loading library Rawio32.DLL.\nCheck that Rawio32.DLL and Rawio16.DLL exist.
icon: error
buttons: OK
owner: none" "$E2E_OUT" "start-up box"
e2e_harness wait-box 0 -- answer OK
e2e_expect_exit main 1
e2e_harness_try window "$E2E_MAIN_CAPTION" && e2e_fail "the main window opened"
e2e_pass
