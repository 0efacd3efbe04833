#!/usr/bin/env python3
"""Draws the program icon: a hard disk seen from above, with a falling red
speed curve across its platter. Writes a one-image, 32x32, 256-colour .ico."""
import math
import struct
import sys

SIZE = 32
palette = [(0, 0, 0)] * 256
named = {
    "clear": 0, "case": 1, "edge": 2, "platter": 3, "shine": 4, "hub": 5,
    "arm": 6, "curve": 7, "dark": 8,
}
palette[1] = (96, 104, 112)
palette[2] = (40, 44, 48)
palette[3] = (190, 198, 210)
palette[4] = (235, 240, 248)
palette[5] = (70, 74, 80)
palette[6] = (150, 120, 40)
palette[7] = (230, 20, 20)
palette[8] = (20, 20, 24)
# The rest of the table: a grey ramp, so the image is a true 256-colour one.
for i in range(9, 256):
    g = int((i - 9) * 255 / 246)
    palette[i] = (g, g, g)

px = [[named["clear"]] * SIZE for _ in range(SIZE)]
mask = [[1] * SIZE for _ in range(SIZE)]  # 1 = transparent

def put(x, y, colour):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        px[y][x] = named[colour]
        mask[y][x] = 0

# Case with rounded corners.
for y in range(1, 31):
    for x in range(3, 29):
        corner = (x in (3, 28)) and (y in (1, 30))
        if not corner:
            edge = x in (3, 28) or y in (1, 30)
            put(x, y, "edge" if edge else "case")
# Platter with a highlight.
cx, cy, r = 15.5, 14.5, 11.0
for y in range(SIZE):
    for x in range(SIZE):
        d = math.hypot(x - cx, y - cy)
        if d <= r:
            put(x, y, "shine" if (d > r - 4 and x < cx and y < cy) else "platter")
        if d <= 2.2:
            put(x, y, "hub")
# Head arm from the lower right corner towards the platter.
for t in range(0, 12):
    put(25 - t // 2, 27 - t, "arm")
    put(26 - t // 2, 27 - t, "arm")
# Falling speed curve across the platter.
for x in range(6, 27):
    y = int(8 + (x - 6) * 0.45 + 1.5 * math.sin(x * 0.9))
    put(x, y, "curve")
    put(x, y + 1, "curve")

header = struct.pack("<HHH", 0, 1, 1)
xor = b"".join(bytes(row) for row in reversed(px))
and_rows = []
for row in reversed(mask):
    bits = 0
    for x, m in enumerate(row):
        if m:
            bits |= 1 << (31 - x)
    and_rows.append(struct.pack(">I", bits))
andmask = b"".join(and_rows)
pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(xor) + len(andmask), 0, 0, 256, 0)
image = info + pal + xor + andmask
entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
with open(sys.argv[1], "wb") as f:
    f.write(header + entry + image)
