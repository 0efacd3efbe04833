#!/bin/bash
# 9x family, read errors injected by the stand-in at cylinder 4 head 1 (code
# 0x3C) and cylinder 6 head 0 (code 0x15). Run 1: Cancel at the first prompt
# ends the run with the four cylinders before it. Run 2: No at the first
# prompt silences the second, all ten cylinders are measured. Run 3 prompts
# again at both.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
e2e_mkdisk blank "$E2E_APP/disk0.img" 10 2 16 512
printf 'drive disk0.img 10 2 16 512\nfault 4 1 60\nfault 6 0 21\n' >"$E2E_APP/Rawio32.cfg"

prompt() { e2e_read_prompt 9x "$@"; }     # CODE CYLINDER HEAD
expect_summary() { e2e_expect_summary 9x "$1" 16; }  # N (16 KiB per cylinder)

e2e_start main
e2e_harness process platterscope.exe -- wait-window "$E2E_MAIN_CAPTION" 60000 -- press 101 -- wait-box 30000 -- box -- answer Cancel
e2e_assert_eq "$(prompt 3C 4 1)" "$E2E_OUT" "first prompt of run 1"
expect_summary 4

e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- box -- answer No
e2e_assert_eq "$(prompt 3C 4 1)" "$E2E_OUT" "first prompt of run 2"
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- wait-enabled 101 1 30000 -- no-box 0
expect_summary 10

e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- box -- answer Yes \
    -- wait-box 30000 -- box -- answer Yes
e2e_assert_eq "$(prompt 3C 4 1)
$(prompt 15 6 0)" "$E2E_OUT" "both prompts of run 3"
expect_summary 10

e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
