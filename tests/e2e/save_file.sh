#!/bin/bash
# Save under Wine, in either family (9x through the stand-in, NT through the
# simulated-disk driver), a paced drive of 30 cylinders (100 ms each):
# the Save As dialog's filter, name and hidden read-only box; Cancel writes
# nothing; a run stopped at cylinder k - 1 saves k lines; a name typed
# without extension is used as typed; a new name brings no question (Wine
# asks the create question only in Open dialogs), an existing one the
# overwrite question, where No returns to the dialog; a longer run saved over
# it, then a shorter one, each leave only their own lines; a file that another
# process holds open gives "File open error ( code=20h )"; a write that fails
# part way gives "Writing error" and keeps the lines written before it.
# Families: 9x nt
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" "$2"
e2e_drive disk0.img 30 2 32 512 speed=320,320
e2e_serve_drives
OUT=$E2E_DIR/out
mkdir -p "$OUT"
M=$E2E_MAIN_CAPTION
# A write beyond a file-size limit must fail (EFBIG), not end the program.
trap '' XFSZ

# Checks a saved file against the status lines and summary of its run.
check_file() {  # FILE STATUS_OUTPUT
    printf '%s\n' "$2" >"$OUT/status.txt"
    # 2 heads x 32 sectors x 512 bytes = 32 KiB a cylinder.
    python3 "$(dirname "$0")/results_check.py" "$1" "$OUT/status.txt" 32 >"$OUT/check.txt" ||
        e2e_fail "$1: $(cat "$OUT/check.txt")"
}

listing() { (cd "$E2E_DIR" && find out app -newer "$OUT/mark" -type f | sort); }

box_of() {  # TEXT: the description of a results-file error box
    printf 'caption: Lasergauge\ntext: %s\nicon: error\nbuttons: OK\nowner: %s' "$1" "$M"
}

# Run 1, stopped after about 0.6 s; then Save As, looked at and cancelled.
e2e_start main
e2e_open_main_window
e2e_harness process platterscope.exe -- window "$M" -- press 101 -- sleep 600 -- text 109 -- press 102 \
    -- watch-text 109 101 30000 -- press 103 -- wait-file-dialog -- text 0x47C -- items 0x470 -- selection 0x470 \
    -- visible 0x410
run1=$E2E_OUT
e2e_assert_eq '*.dat
*.dat
0
0' "$(tail -4 <<<"$run1")" "Save As: name field, filter items, filter chosen, read-only box shown"
touch "$OUT/mark"
sleep 1  # so that anything written later is newer than the mark
e2e_harness process platterscope.exe -- wait-file-dialog 0 -- press 2 -- window "$M" -- no-box 500 -- enabled 103
e2e_assert_eq 1 "$E2E_OUT" "Save still enabled after Cancel"
e2e_assert_eq "" "$(listing)" "files written after Cancel"

# A name without extension, new: no question, saved as typed.
e2e_harness process platterscope.exe -- window "$M" -- press 103 -- wait-file-dialog -- file-name "$OUT/profile" \
    -- press 1 -- window "$M" -- no-box 500
e2e_wait_saved "$OUT/profile" "$run1"
e2e_assert_eq "out/profile" "$(listing)" "files written by Save"
check_file "$OUT/profile" "$run1"
k=$(wc -l <"$OUT/profile")
[ "$k" -ge 2 ] && [ "$k" -lt 30 ] || e2e_fail "run 1 stopped after $k cylinders"
# Stop lets the cylinder being read finish, and the file ends with that
# cylinder. The status line shown when Stop is pressed names the cylinder
# before it (or that one itself, had it just finished), or one earlier still:
# the window shows the worker's lines at its next drain, up to 50 ms later,
# less than one cylinder here.
last=
while IFS= read -r line; do
    cylinder=$(e2e_cylinder_of "$line")
    [ -z "$cylinder" ] || last=$cylinder
done <<<"$run1"
[ -n "$last" ] && [ "$last" -ge $((k - 3)) ] && [ "$last" -le $((k - 1)) ] ||
    e2e_fail "stopped while cylinder ${last:-?} was shown, saved $k lines"

# Run 2, whole, saved over it: the overwrite question; No returns to the
# dialog and leaves the file; Yes replaces it.
cp "$OUT/profile" "$OUT/run1.copy"
e2e_harness process platterscope.exe -- window "$M" -- press 101 -- watch-text 109 101 30000 -- press 103 \
    -- wait-file-dialog -- file-name "$OUT/profile" -- press 1 -- wait-box -- box -- answer No \
    -- wait-file-dialog 0 -- press 1 -- wait-box -- answer Yes -- window "$M" -- no-box 500
run2=$E2E_OUT
[[ $run2 == *$'\nbuttons: Yes No\nowner: '* ]] || e2e_fail "no Yes/No question owned by the Save As dialog: $run2"
e2e_wait_saved "$OUT/profile" "$run2"
check_file "$OUT/profile" "$run2"
[ "$(wc -l <"$OUT/profile")" -eq 30 ] || e2e_fail "run 2 saved $(wc -l <"$OUT/profile") lines, not 30"

# Run 3, shorter, saved over it again: only its own lines.
e2e_harness process platterscope.exe -- window "$M" -- press 101 -- sleep 500 -- press 102 -- watch-text 109 101 30000 \
    -- press 103 -- wait-file-dialog -- file-name "$OUT/profile" -- press 1 -- wait-box -- answer Yes -- window "$M" \
    -- no-box 500
run3=$E2E_OUT
e2e_wait_saved "$OUT/profile" "$run3"
check_file "$OUT/profile" "$run3"
[ "$(wc -l <"$OUT/profile")" -lt 30 ] || e2e_fail "run 3 was not stopped early"
cp "$OUT/profile" "$OUT/run3.copy"

# Held open without sharing by another process: the open fails, nothing changes.
e2e_harness process platterscope.exe -- hold-file "$OUT/profile" -- window "$M" -- press 103 -- wait-file-dialog \
    -- file-name "$OUT/profile" -- press 1 -- wait-box -- answer Yes -- wait-box -- box -- answer OK
e2e_assert_eq "$(box_of "File open error ( code=20h )")" "$E2E_OUT" "box for a file held open"
cmp -s "$OUT/profile" "$OUT/run3.copy" || e2e_fail "the held file changed"

# A write that fails part way: a file-size limit on the program's process
# ending right after line 2 (a write past it fails with EFBIG).
# The limit goes on every process of this prefix that runs the program: the
# 32-bit loader starts a 64-bit program as a process of its own.
pids=()
for pid in $(pgrep -f -i 'platterscope\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && pids+=("$pid")
done
[ ${#pids[@]} -ge 1 ] || e2e_fail "no process runs the program"
limit=$(head -2 "$OUT/run3.copy" | wc -c)
for pid in "${pids[@]}"; do
    if ! prlimit --pid "$pid" --fsize="$limit": 2>"$OUT/prlimit.err"; then
        e2e_harness window "$M" -- cancel -- wait-gone "$M" 10000
        e2e_skip "the failing write: cannot limit the program's file size ($(cat "$OUT/prlimit.err"))"
    fi
done
e2e_harness process platterscope.exe -- window "$M" -- press 103 -- wait-file-dialog -- file-name "$OUT/partial.dat" \
    -- press 1 -- wait-box -- box -- answer OK
for pid in "${pids[@]}"; do
    prlimit --pid "$pid" --fsize=unlimited: || e2e_fail "cannot lift the file-size limit"
done
pattern='^caption: Lasergauge'$'\n''text: Writing error \( code=([1-9A-F][0-9A-F]*)h \)'$'\n''icon: error'$'\n''buttons: OK'$'\n''owner: '
[[ $E2E_OUT =~ $pattern ]] || e2e_fail "box for a failed write: $E2E_OUT"
e2e_log "a write beyond the file-size limit fails with code ${BASH_REMATCH[1]}h"
cmp -s "$OUT/partial.dat" <(head -2 "$OUT/run3.copy") || e2e_fail "the partial file is not the first two lines: $(od -c "$OUT/partial.dat" | head -5)"

e2e_harness window "$M" -- cancel -- wait-gone "$M" 10000
e2e_expect_exit main 0
e2e_pass
