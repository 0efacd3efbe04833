#!/bin/bash
# 9x family, the sector service loads but serves no drive: "Hard Disks not
# found!." and exit code 1.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
printf '# no drives\n' >"$E2E_APP/Rawio32.cfg"

e2e_start main
e2e_harness process platterscope.exe -- wait-box 60000 -- box
e2e_assert_eq "caption: Platterscope
text: Hard Disks not found!.
icon: error
buttons: OK
owner: none" "$E2E_OUT" "start-up box"
e2e_harness wait-box 0 -- answer OK
e2e_expect_exit main 1
e2e_harness_try window "$E2E_MAIN_CAPTION" && e2e_fail "the main window opened"
e2e_pass
