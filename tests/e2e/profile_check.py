#!/usr/bin/env python3
"""Checks a measurement's status lines against the speed profile of a paced
simulated drive (the stand-in sector service or the simulated-disk driver).

    profile_check.py FAMILY CYLINDERS KIB_PER_CYLINDER FIRST_KBPS LAST_KBPS < LINES

FAMILY is 9x or nt (the status texts differ). LINES are the status lines seen
during a run of the whole drive, in order (repeats allowed), ending with its
summary, which the watch read as soon as Start was enabled: the status line
must hold it by then. Every cylinder line must agree with the profile within the tick's
quantisation and with its own running minimum and maximum, and the summary
with the lines. Prints one line of figures; exits 1 with the reason on a
mismatch.
"""
import sys

from status_texts import CYLINDER, SUMMARY

# GetTickCount moves in steps of about 16 ms and lags the true time by up to
# about 20, so a cylinder can look faster than its profile by that much. A
# busy machine can make it look slower; a few such lines are let through.
TICK_MS = 20
BUSY_MS = 15


def fail(message):
    print("profile_check: " + message, file=sys.stderr)
    sys.exit(1)


def main():
    if len(sys.argv) != 6 or sys.argv[1] not in CYLINDER:
        fail("usage: profile_check.py 9x|nt CYLINDERS KIB_PER_CYLINDER FIRST_KBPS LAST_KBPS < LINES")
    family = sys.argv[1]
    cylinders, kib, first, last = (int(a) for a in sys.argv[2:])
    line_re, summary_re = CYLINDER[family], SUMMARY[family]

    def rate(c):  # as the pacing does it: truncated towards zero
        if cylinders <= 1:
            return first
        span = (last - first) * c
        return first + (abs(span) // (cylinders - 1)) * (1 if span >= 0 else -1)

    def profile_ms(c):
        return kib * 1000 // rate(c)

    seen = slow = 0
    last_c = -1
    run_min = run_max = None
    summary = None
    lines = sys.stdin.read().splitlines()
    if not lines or not summary_re.match(lines[-1]):
        fail("the status line did not hold the summary when Start was enabled: " + (lines[-1] if lines else ""))
    for line in lines:
        m = line_re.match(line)
        if not m:
            if summary_re.match(line):
                summary = line
            continue
        c, speed, lo, hi = (int(g) for g in m.groups())
        if c == last_c:
            continue
        if c < last_c:
            fail(f"cylinder {c} shown after cylinder {last_c}")
        ms = profile_ms(c)
        if speed > kib * 1000 // (ms - TICK_MS):
            fail(f"cylinder {c} faster than its profile ({ms} ms): {line}")
        if speed < kib * 1000 // (ms + 1 + TICK_MS + BUSY_MS):
            slow += 1
        if not lo <= speed <= hi:
            fail(f"speed outside its own min/max: {line}")
        if c == 0 and not lo == speed == hi:
            fail(f"cylinder 0 has min/max apart: {line}")
        if run_min is not None and (lo > run_min or hi < run_max):
            fail(f"running min/max went back: {line}")
        seen += 1
        last_c, run_min, run_max = c, lo, hi

    if seen < cylinders // 2:
        fail(f"only {seen} of {cylinders} cylinder lines seen while the run went on")
    if slow > seen // 10:
        fail(f"{slow} of {seen} cylinders slower than their profile")
    if summary is None:
        fail("no summary line")
    count, total, lo, eff, avr, hi = (int(g) for g in summary_re.match(summary).groups())
    if count != cylinders:
        fail(f"summary of {cylinders} cylinders expected: {summary}")
    profile_total = sum(profile_ms(c) for c in range(cylinders))
    if total < profile_total - TICK_MS:
        fail(f"run of {total} ms shorter than the profile's {profile_total} ms")
    if eff != kib * cylinders * 1000 // total:
        fail(f"effective speed {eff} for {cylinders} cylinders in {total} ms")
    if not (lo <= run_min and hi >= run_max and lo <= avr <= hi):
        fail(f"summary disagrees with the lines (last min {run_min}, max {run_max}): {summary}")
    if last_c == cylinders - 1 and (lo != run_min or hi != run_max):
        fail(f"summary min/max differ from the last cylinder's: {summary}")
    print(f"{seen} of {cylinders} cylinder lines seen, {slow} slower than the profile allows; "
          f"{total} ms for a profile of {profile_total} ms")


main()
