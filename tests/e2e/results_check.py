#!/usr/bin/env python3
"""Checks a saved results file against what the program showed of its run.

results_check.py FILE STATUS KIB_PER_CYLINDER [CAPTURE]

FILE is the saved file; STATUS a text file with the status-line texts the
harness printed during the run (other lines are ignored), the summary among
them; CAPTURE, optionally, a BMP of the main window's client area taken after
the run. Prints what it checked; on a mismatch prints "FAIL: ..." and exits 1.

- The file is nothing but lines "%u %u\\r\\n", cylinders numbered 0, 1, 2, ...
- Every per-cylinder status line names a cylinder of the file, with its speed
  and the minimum and maximum of the file's speeds up to it.
- The summary counts the file's lines; its min, avr and max are the file's
  minimum, sum / count and maximum; eff = KiB x count x 1000 / total ms.
- In the capture, the chart area is found by its sunken frame, and the red
  curve has a pixel at every cylinder's point but the last point it reaches
  (column cylinder / 2 + 5, row H - speed / 80 - 5, 5 when negative, so
  rows 0 to 4, over the frame, for speeds just above the top; a
  segment to the same point draws nothing) and no red pixel outside the rows
  of the cylinders in and beside its column.
"""
import re
import struct
import sys

from status_texts import CYLINDER, SUMMARY

RED = (255, 0, 0)
CHART_BACKGROUND = (245, 245, 245)


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def read_results(path):
    data = open(path, "rb").read()
    if not re.fullmatch(rb"(?:(?:0|[1-9][0-9]*) (?:0|[1-9][0-9]*)\r\n)*", data):
        fail('%s is not made of "%%u %%u\\r\\n" lines: %r' % (path, data[:120]))
    rows = [tuple(map(int, line.split(b" "))) for line in data.split(b"\r\n")[:-1]]
    if [c for c, _ in rows] != list(range(len(rows))):
        fail("cylinders not numbered 0, 1, 2, ...: %r" % [c for c, _ in rows][:40])
    return [s for _, s in rows]


def check_status(speeds, status_path, kib):
    n = len(speeds)
    seen = set()
    summary = None
    for text in open(status_path, encoding="utf-8").read().splitlines():
        for pattern in CYLINDER.values():
            m = pattern.match(text)
            if not m:
                continue
            c, s, lo, hi = map(int, m.groups())
            if c >= n:
                fail("status line for cylinder %d, but the file has %d lines" % (c, n))
            want = (speeds[c], min(speeds[:c + 1]), max(speeds[:c + 1]))
            if (s, lo, hi) != want:
                fail("status line %r disagrees with the file (speed, min, max %r)" % (text, want))
            seen.add(c)
        for pattern in SUMMARY.values():
            m = pattern.match(text)
            if m:
                summary = tuple(map(int, m.groups()))
    if summary is None:
        fail("no summary among the status lines")
    count, ms, lo, eff, avr, hi = summary
    if count != n:
        fail("the summary counts %d cylinders, the file has %d lines" % (count, n))
    want = (min(speeds), sum(speeds) % 2**32 // n, max(speeds))
    if (lo, avr, hi) != want:
        fail("summary min/avr/max %d/%d/%d, the file gives %d/%d/%d" % ((lo, avr, hi) + want))
    if eff != (kib * n * 1000 // ms) % 2**32:
        fail("effective speed %d for %d cylinders in %d ms" % (eff, n, ms))
    print("%d lines; %d cylinder status lines seen" % (n, len(seen)))


class Capture:
    def __init__(self, path):
        self.raw = open(path, "rb").read()
        self.width, self.height = struct.unpack_from("<ii", self.raw, 18)
        self.stride = (self.width * 3 + 3) & ~3

    def pixel(self, x, y):  # client coordinates, y downward; the file is bottom-up
        o = 54 + (self.height - 1 - y) * self.stride + 3 * x
        return self.raw[o + 2], self.raw[o + 1], self.raw[o]

    def run(self, x, y, dx, dy, also=()):  # pixels of (x, y)'s colour, or of `also`, from it onward
        colour, k = self.pixel(x, y), 0
        while (0 <= x + k * dx < self.width and 0 <= y + k * dy < self.height
               and self.pixel(x + k * dx, y + k * dy) in (colour,) + also):
            k += 1
        return k


def find_chart(cap):
    # The sunken frame: the outline's top row (0) runs from column 0 to W - 2
    # in the outline colour (the highlight takes column W - 1); row 1 runs in
    # the dark 3-D shadow colour from column 1 to W - 3; the outline's left
    # column runs from row 0 to H - 2. A speed high enough to plot on rows 0
    # to 4 draws the curve over both rows, so red counts as part of them.
    for y in range(cap.height - 1):
        x = 0
        while x < cap.width:
            length = cap.run(x, y, 1, 0, (RED,))
            inner = cap.pixel(x + 1, y + 1) if x + 1 < cap.width else None
            if (length >= 200 and inner not in (None, cap.pixel(x, y), CHART_BACKGROUND, RED)
                    and cap.run(x + 1, y + 1, 1, 0, (RED,)) == length - 2):
                return x, y, length + 1, cap.run(x, y, 0, 1) + 1
            x += length
    fail("no chart frame in the capture")


def check_curve(speeds, path):
    cap = Capture(path)
    left, top, W, H = find_chart(cap)
    print("chart area measured at (%d, %d), %d x %d" % (left, top, W, H))
    # The placeholder sits at 4, 80 and measures 384 x 164 dialog units.
    if abs(left - 4 * W / 384) > 1 or abs(top - 80 * H / 164) > 1:
        fail("chart area (%d, %d) %dx%d out of proportion with the template" % (left, top, W, H))
    outline = cap.pixel(left, top)
    if any(cap.pixel(left + x, top + H - 5) not in (outline, RED) for x in range(5, W - 5)):
        fail("no axis along row H - 5 in the frame's outline colour")

    def point(t):
        y = H - speeds[t] // 80 - 5
        return t // 2 + 5, (5 if y < 0 else y)

    points = [point(t) for t in range(len(speeds))]
    # Each cylinder but the last starts a segment, whose first pixel is drawn;
    # a segment to the same point draws nothing, so the point needs a later
    # one that leaves it (there is none when every later point is the same).
    for t in range(len(speeds) - 1):
        x, y = points[t]
        if all(p == points[t] for p in points[t + 1:]):
            break
        if cap.pixel(left + x, top + y) != RED:
            fail("no red at chart column %d row %d for cylinder %d (%d kB/s)" % (x, y, t, speeds[t]))
    # Segments run between neighbouring points, so a red pixel lies between the
    # rows of the points in its column and the columns beside it.
    red = 0
    for y in range(cap.height):
        for x in range(cap.width):
            if cap.pixel(x, y) != RED:
                continue
            red += 1
            cx, cy = x - left, y - top
            near = [py for px, py in points if abs(px - cx) <= 1]
            if not (0 <= cx < W and 0 <= cy < H) or not near or not min(near) <= cy <= max(near):
                fail("red pixel at chart column %d row %d lies off the curve" % (cx, cy))
    print("%d red pixels, all on the curve" % red)


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    speeds = read_results(sys.argv[1])
    check_status(speeds, sys.argv[2], int(sys.argv[3]))
    if len(sys.argv) == 5:
        check_curve(speeds, sys.argv[4])


if __name__ == "__main__":
    main()
