#!/bin/bash
# 9x family, the sector service loads but serves no drive: "Hard Disks not
# found!." and exit code 1.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
printf '# no drives\n' >"$E2E_APP/Rawio32.cfg"

e2e_expect_startup_failure "Hard Disks not found!."
