#!/usr/bin/env python3
"""The arithmetic of run.sh: one run's figures from what the program showed
and saved, and the final table.

figures.py fidelity RESULTS SUMMARY CYLINDERS HEADS SECTORS BYTES FIRST LAST TICK_MS
    One run over the paced drive, whose profile runs linearly from FIRST kB/s
    at cylinder 0 to LAST at the last cylinder. Prints five numbers:
    effective speed / true average rate; the median of the per-cylinder
    relative speed error with its sign (%, positive: measured too fast); the
    median and the 95th percentile of its size (%); and the share of
    cylinders whose measured time lies more than one tick from their true
    time (%).
figures.py summary SUMMARY
    Prints the summary's count, total ms and effective kB/s.
figures.py outside SUMMARY PASS_LINE
    The program's time outside the drive's read calls per cylinder, in ms,
    from the stand-in's line of the same run's pass ("drive=0x80 pass=N
    calls=C inside_us=I span_us=S"): (summary total - inside) / cylinders and
    (span - inside) / cylinders.
figures.py true-rate CYLINDERS HEADS SECTORS BYTES FIRST LAST
    The paced drive's true average rate in kB/s (bytes / paced time).
figures.py ratio A B
    A / B to four places.
figures.py table RAW MACHINE HEADER
    RAW holds "key<TAB>value" lines, several per key; prints the table of
    their medians, minima and maxima.
"""
import os
import re
import statistics
import sys

# The program's status texts are kept with the e2e checks.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import status_texts

# Either family's summary, on any line of what the harness printed.
SUMMARIES = [re.compile(text, re.MULTILINE) for text in status_texts.SUMMARY_TEXT.values()]


def parse_summary(text):
    for summary in SUMMARIES:
        m = summary.search(text)
        if m:
            return tuple(map(int, m.groups()))
    sys.exit("figures: no summary in %r" % text)


def truncating_div(a, b):  # C's integer division
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def stand_in_rate(first, last, cylinders, c):
    # The stand-in's linear profile, in its own integer arithmetic.
    if cylinders <= 1:
        return first
    return first + truncating_div((last - first) * c, cylinders - 1)


def transfer_us(nbytes, kbps):  # the stand-in rounds each read's time up
    per_second = kbps * 1024
    return (nbytes * 1000000 + per_second - 1) // per_second


def nearest_rank(values, share):
    ordered = sorted(values)
    rank = max(1, -(-len(ordered) * share // 100))
    return ordered[int(rank) - 1]


def true_rate(cylinders, heads, sectors, size, first, last):
    track = sectors * size
    kib = heads * track >> 10
    rates = [stand_in_rate(first, last, cylinders, c) for c in range(cylinders)]
    return kib * cylinders / (sum(heads * transfer_us(track, r) for r in rates) / 1e6)


def outside(args):
    count, total, _, _, _, _ = parse_summary(args[0])
    fields = dict(item.split("=", 1) for item in args[1].split())
    inside_us, span_us = int(fields["inside_us"]), int(fields["span_us"])
    print("%.4f %.4f" % ((total - inside_us / 1000) / count, (span_us - inside_us) / 1000 / count))


def fidelity(args):
    results, summary = args[0], args[1]
    cylinders, heads, sectors, size, first, last, tick = map(int, args[2:9])
    speeds = [int(line.split()[1]) for line in open(results, encoding="ascii").read().splitlines()]
    count, total, _, eff, _, _ = parse_summary(summary)
    if count != cylinders or len(speeds) != cylinders:
        sys.exit("figures: run of %d cylinders, %d lines saved, %d expected" % (count, len(speeds), cylinders))
    track = sectors * size
    kib = heads * track >> 10
    rates = [stand_in_rate(first, last, cylinders, c) for c in range(cylinders)]
    true_us = [heads * transfer_us(track, r) for r in rates]
    true_average = true_rate(cylinders, heads, sectors, size, first, last)
    signed = [(s - r) / r * 100 for s, r in zip(speeds, rates)]
    errors = [abs(e) for e in signed]
    # The time the program took for a cylinder, back from its speed
    # (kib x 1000 / ms, truncated): the nearest whole millisecond.
    measured_ms = [round(kib * 1000 / s) if s else float("inf") for s in speeds]
    outside = sum(1 for m, t in zip(measured_ms, true_us) if abs(m - t / 1000) > tick)
    print("%.4f %.2f %.2f %.2f %.1f" % (eff / true_average, statistics.median(signed), statistics.median(errors),
                                          nearest_rank(errors, 95), outside * 100 / cylinders))


def table(args):
    raw, machine, header = args
    values = {}
    order = []
    for line in open(raw, encoding="utf-8"):
        key, value = line.rstrip("\n").split("\t")
        if key not in values:
            values[key] = []
            order.append(key)
        values[key].append(float(value))
    order.sort(key=lambda k: k.split()[:2])  # by family and figure number, measurement order within
    print(header)
    print("Machine: %s" % machine)
    print()
    width = max(len(k) for k in order)
    print("%-*s  %10s  %10s  %10s  %4s" % (width, "Figure", "median", "min", "max", "runs"))
    for key in order:
        v = values[key]
        largest = max(abs(x) for x in v)
        digits = 4 if largest < 2 else 2 if largest < 100 else 0
        print("%-*s  %10.*f  %10.*f  %10.*f  %4d" % (width, key, digits, statistics.median(v), digits, min(v),
                                                  digits, max(v), len(v)))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    command, args = sys.argv[1], sys.argv[2:]
    if command == "fidelity" and len(args) == 9:
        fidelity(args)
    elif command == "summary" and len(args) == 1:
        count, total, _, eff, _, _ = parse_summary(args[0])
        print(count, total, eff)
    elif command == "outside" and len(args) == 2:
        outside(args)
    elif command == "true-rate" and len(args) == 6:
        print("%.1f" % true_rate(*map(int, args)))
    elif command == "ratio" and len(args) == 2:
        print("%.4f" % (float(args[0]) / float(args[1])))
    elif command == "table" and len(args) == 3:
        table(args)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
