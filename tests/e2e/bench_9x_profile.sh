#!/bin/bash
# 9x family, a paced drive of 40 cylinders through the stand-in: 64 KiB per
# cylinder, from 640 kB/s at cylinder 0 down to 320 kB/s at cylinder 39 (100
# to 200 ms a cylinder). Run 1 is watched from the status line: every speed
# shown agrees with the profile within the tick's quantisation, with the
# running minimum and maximum, and the summary agrees with the lines. Run 2,
# with the priority box ticked, is stopped part way and sums up fewer
# cylinders.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
e2e_mkdisk blank "$E2E_APP/disk0.img" 40 4 32 512
echo "drive disk0.img 40 4 32 512 speed=640,320" >"$E2E_APP/Rawio32.cfg"

# GetTickCount moves in steps of about 16 ms and lags the true time by up to
# about 20, so a cylinder can look faster than its profile by that much. A
# busy machine can make it look slower; a few such lines are let through.
TICK_MS=20
BUSY_MS=15
profile_ms() { echo $((64000 / (640 - 320 * $1 / 39))); }

e2e_start main
e2e_harness process platterscope.exe -- wait-window "$E2E_MAIN_CAPTION" 60000 -- press 101
# The status line, read every 40 ms or so until Start comes back (a harness
# call takes at most 64 commands, so it is read in rounds).
polls=()
for _ in $(seq 30); do polls+=(-- text 109 -- sleep 40); done
lines=
for _ in $(seq 30); do
    e2e_harness window "$E2E_MAIN_CAPTION" "${polls[@]}" -- enabled 101
    lines+=$E2E_OUT$'\n'
    [ "$(tail -1 <<<"$E2E_OUT")" = 1 ] && break
done
e2e_harness window "$E2E_MAIN_CAPTION" -- wait-enabled 101 1 30000 -- text 109
summary=$E2E_OUT

line_pattern='^栈道  ([0-9]+)\. 速度  ([0-9]+) kB/s\. 最低速度  ([0-9]+), 最高速度  ([0-9]+)\.$'
seen=0 slow=0 last=-1 last_min= last_max=
while IFS= read -r line; do
    [[ $line =~ $line_pattern ]] || continue
    c=${BASH_REMATCH[1]} speed=${BASH_REMATCH[2]} min=${BASH_REMATCH[3]} max=${BASH_REMATCH[4]}
    [ "$c" -eq "$last" ] && continue
    [ "$c" -gt "$last" ] || e2e_fail "cylinder $c shown after cylinder $last"
    ms=$(profile_ms "$c")
    [ "$speed" -le $((64000 / (ms - TICK_MS))) ] || e2e_fail "cylinder $c faster than its profile ($ms ms): $line"
    [ "$speed" -ge $((64000 / (ms + 1 + TICK_MS + BUSY_MS))) ] || slow=$((slow + 1))
    [ "$min" -le "$speed" ] && [ "$speed" -le "$max" ] || e2e_fail "speed outside its own min/max: $line"
    if [ "$c" -eq 0 ]; then
        [ "$min" -eq "$speed" ] && [ "$max" -eq "$speed" ] || e2e_fail "cylinder 0 has min/max apart: $line"
    elif [ -n "$last_min" ]; then
        [ "$min" -le "$last_min" ] && [ "$max" -ge "$last_max" ] || e2e_fail "running min/max went back: $line"
    fi
    seen=$((seen + 1)) last=$c last_min=$min last_max=$max
done <<<"$lines"
e2e_log "$seen of 40 cylinder lines seen, $slow slower than the profile allows"
[ "$seen" -ge 20 ] || e2e_fail "only $seen cylinder lines seen while the run went on"
[ "$slow" -le $((seen / 10)) ] || e2e_fail "$slow of $seen cylinders slower than their profile"

pattern='^读取 40 栈道用了   ([0-9]+) ms\. Speed <min/eff/avr/max> ([0-9]+)/([0-9]+)/([0-9]+)/([0-9]+) kB/s\.$'
[[ $summary =~ $pattern ]] || e2e_fail "summary of 40 cylinders expected, status line: $summary"
total=${BASH_REMATCH[1]} min=${BASH_REMATCH[2]} eff=${BASH_REMATCH[3]} avr=${BASH_REMATCH[4]} max=${BASH_REMATCH[5]}
profile_total=0
for c in $(seq 0 39); do profile_total=$((profile_total + $(profile_ms "$c"))); done
[ "$total" -ge $((profile_total - TICK_MS)) ] || e2e_fail "run of $total ms shorter than the profile's $profile_total ms"
[ "$eff" -eq $((64 * 40 * 1000 / total)) ] || e2e_fail "effective speed $eff for 40 cylinders in $total ms"
[ "$min" -le "$last_min" ] && [ "$max" -ge "$last_max" ] && [ "$min" -le "$avr" ] && [ "$avr" -le "$max" ] ||
    e2e_fail "summary disagrees with the lines (last min $last_min, max $last_max): $summary"
if [ "$last" -eq 39 ]; then
    [ "$min" -eq "$last_min" ] && [ "$max" -eq "$last_max" ] || e2e_fail "summary min/max differ from cylinder 39's"
fi

e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- check 107 1 -- press 101 -- sleep 1000 \
    -- press 102 -- wait-enabled 101 1 30000 -- text 109 -- enabled 103
pattern='^读取 ([0-9]+) 栈道用了   [0-9]+ ms\. Speed <min/eff/avr/max> [0-9/]+ kB/s\.'$'\n1$'
[[ $E2E_OUT =~ $pattern ]] || e2e_fail "stopped run: summary and Save enabled expected, got: $E2E_OUT"
stopped=${BASH_REMATCH[1]}
[ "$stopped" -ge 1 ] && [ "$stopped" -lt 40 ] || e2e_fail "stopped run measured $stopped cylinders"

e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
