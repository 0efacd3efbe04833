#!/bin/bash
# 9x family with a Rawio32.dll that lacks GetDriveParameters32: one unowned
# error box, then exit code 1.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin missing-entry
e2e_mkdisk blank "$E2E_APP/disk0.img" 100 4 17 512
echo "drive disk0.img 100 4 17 512" >"$E2E_APP/Rawio32.cfg"

e2e_expect_startup_failure "Failure locating procedures."
