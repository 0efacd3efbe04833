#!/bin/bash
# selftest.sh BUILD_DIR: checks harness.exe (and the e2e library) against
# harness_probe.exe, whose dialog and boxes answer every command in a way the
# test can see. With $E2E_EXE naming the 64-bit build's probe, the 64-bit
# harness is checked against it.
source "$(dirname "$0")/../wine/e2e.sh"
e2e_setup "$1" nt "${E2E_EXE:-$1/harness_probe.exe}"
probe=$E2E_APP/platterscope.exe
P="Probe dialog"

# Usage errors are found before anything runs.
e2e_harness_try iconic -- bogus
code=$?
[ $code -eq 2 ] || e2e_fail "usage error: exit code $code, expected 2"
e2e_harness_try wait-window "$P" 200
code=$?
[ $code -eq 1 ] || e2e_fail "missing window: exit code $code, expected 1"
e2e_assert_eq "harness: wait-window: no visible window 'Probe dialog' within 200 ms" "$E2E_ERR" "failure line"

# An unowned box before any window, and the exit code after it.
e2e_start box box
e2e_harness process platterscope.exe -- wait-box 60000 -- box -- answer OK
e2e_assert_eq "caption: Probe
text: First line.\nSecond line.
icon: error
buttons: OK
owner: none" "$E2E_OUT" "unowned box"
e2e_expect_exit box 3

# Reading the dialog: caption, focus, drop-down items (CP936 source text
# comes out as UTF-8), states.
e2e_start dialog dialog
e2e_harness wait-window "$P" 60000 -- caption -- focus -- items 104 -- selection 104 -- enabled 102 -- visible 102 -- checked 107 -- text -1
e2e_assert_eq "Probe dialog
104
alpha
beta
第三
0
0
1
0
Static" "$E2E_OUT" "dialog state"
e2e_harness_try window "$P" -- text 999
e2e_assert_eq "harness: text: the window has no control 999" "$E2E_ERR" "missing control"

# Selection and check box changes reach the dialog as notifications.
e2e_harness window "$P" -- select 104 2 -- wait-text 109 'selected 2\tnow' 5000 -- text 104 -- selection 104 \
    -- check 107 1 -- checked 107 -- text 109 -- check 107 0 -- text 109
e2e_assert_eq "第三
2
1
option 1
option 0" "$E2E_OUT" "selection and check box"
e2e_harness_try window "$P" -- select 104 3
e2e_assert_eq "harness: select: combo box 104 has no item 3" "$E2E_ERR" "selecting a missing item"
e2e_harness_try window "$P" -- wait-text 109 "never" 300
e2e_assert_eq "harness: wait-text: control 109 shows 'option 0', not 'never', after 300 ms" "$E2E_ERR" "wait-text timeout"

# A disabled button cannot be pressed; a press that opens a modal box does
# not block the harness; the answer reaches the program.
e2e_harness_try window "$P" -- press 102
e2e_assert_eq "harness: press: control 102 is disabled" "$E2E_ERR" "pressing a disabled button"
e2e_harness window "$P" -- press 101 -- wait-box 5000 -- box -- answer Cancel -- wait-text 109 "answer 2" 5000 -- wait-enabled 102 1 5000
e2e_assert_eq "caption: Probe
text: Go on?
icon: question
buttons: Yes No Cancel
owner: Probe dialog" "$E2E_OUT" "question box"

# Icon kinds, a missing button, and boxes that are not expected.
e2e_harness window "$P" -- press 103 -- wait-box 5000 -- box
e2e_assert_eq "information" "$(sed -n 's/^icon: //p' <<<"$E2E_OUT")" "information icon"
e2e_harness_try wait-box 0 -- answer Yes
e2e_assert_eq "harness: answer: the box has no Yes button (it has: OK)" "$E2E_ERR" "answering with a missing button"
e2e_harness wait-box 0 -- answer OK -- no-box 300
e2e_harness window "$P" -- press 105 -- wait-box 5000 -- box -- answer OK
e2e_assert_eq "warning
OK Cancel" "$(sed -n 's/^icon: //p; s/^buttons: //p' <<<"$E2E_OUT")" "warning icon"
e2e_harness window "$P" -- press 106 -- wait-box 5000 -- box
e2e_assert_eq "none" "$(sed -n 's/^icon: //p' <<<"$E2E_OUT")" "no icon"
e2e_harness_try no-box 500
e2e_assert_eq "harness: no-box: unexpected message box 'Probe': Plain." "$E2E_ERR" "unexpected box"
e2e_harness wait-box 0 -- answer OK

# Capture: the red block lies where the probe says, the right way up.
e2e_harness window "$P" -- text 110
read -r left top right bottom <<<"$E2E_OUT"
shot=$E2E_DIR/client.bmp
block=$E2E_DIR/block.bmp
e2e_harness window "$P" -- capture "$shot" -- capture "$block" "$left" "$top" $((right - left)) $((bottom - top))
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
e2e_assert_eq "$((right - left))x$((bottom - top))" "$(identify -format %wx%h "$block")" "block capture size"
e2e_assert_eq "255,0,0" "$(convert "$block" -unique-colors -format "%[fx:int(255*p{0,0}.r)],%[fx:int(255*p{0,0}.g)],%[fx:int(255*p{0,0}.b)] %w" info: | sed 's/ 1$//')" "block capture is all red"
e2e_assert_eq "255,0,0" "$(pixel "$shot" $((left + 1)) $((top + 1)))" "client capture inside the block"
[ "$(pixel "$shot" $((left + 1)) $((top - 2)))" != "255,0,0" ] || e2e_fail "client capture: red above the block"
[ "$(pixel "$shot" $((left + 1)) $((bottom + 1)))" != "255,0,0" ] || e2e_fail "client capture: red below the block"

# Minimise, then another program restores the window and brings it to the front.
e2e_harness window "$P" -- minimise -- iconic
e2e_assert_eq "1" "$E2E_OUT" "minimised"
e2e_start_exe activate "$probe" activate
e2e_expect_exit activate 1
e2e_harness window "$P" -- iconic -- foreground
e2e_assert_eq $'0\n1' "$E2E_OUT" "restored and in front"

e2e_harness window "$P" -- cancel -- wait-gone "$P" 5000
e2e_expect_exit dialog 0
e2e_pass
