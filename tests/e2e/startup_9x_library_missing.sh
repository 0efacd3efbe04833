#!/bin/bash
# 9x family without Rawio32.dll beside the program: one unowned error box,
# then exit code 1, and the main window never opens.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x

e2e_expect_startup_failure "Failure loading library Rawio32.DLL.\\nCheck that Rawio32.DLL and Rawio16.DLL exist."
