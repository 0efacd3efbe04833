#!/bin/bash
# 9x family with a Rawio32.dll that lacks GetDriveParameters32: one unowned
# error box, then exit code 1.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin missing-entry
e2e_mkdisk blank "$E2E_APP/disk0.img" 100 4 17 512
echo "drive disk0.img 100 4 17 512" >"$E2E_APP/Rawio32.cfg"

e2e_start main
e2e_harness process platterscope.exe -- wait-box 60000 -- box
e2e_assert_eq "caption: Platterscope
text: Failure locating procedures.
icon: error
buttons: OK
owner: none" "$E2E_OUT" "start-up box"
e2e_harness wait-box 0 -- answer OK
e2e_expect_exit main 1
e2e_harness_try window "$E2E_MAIN_CAPTION" && e2e_fail "the main window opened"
e2e_pass
