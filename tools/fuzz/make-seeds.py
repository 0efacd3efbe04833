#!/usr/bin/env python3
"""Writes a few starting disks for the partition-walk fuzzer (input layout in
partition_walk_fuzz.cpp): nested chains long enough to fill the list, a loop
back to the first sector, and a table fanning out into four links."""
import os
import struct
import sys

HEADS, SECTORS = 4, 8


def entry(kind, c=0, h=0, s=1, tag=0):
    return bytes([0x80, h, s | ((c >> 8) << 6), c & 0xFF, kind, 0xFE, 0xFF, 0xFF]) + struct.pack("<II", tag, 2048)


def lba(c, h, s):
    return (c * HEADS + h) * SECTORS + s - 1


def disk(tables, fail_mask=0, flags=0):
    """tables: {(c, h, s): [entries]}"""
    header = bytes([7, HEADS - 1, SECTORS - 1, flags, 0x1B]) + struct.pack("<Q", fail_mask)
    last = max(lba(*a) for a in tables)
    body = bytearray(66 * (last + 1))
    for address, entries in tables.items():
        tail = b"".join(entries).ljust(64, b"\0") + b"\x55\xAA"
        at = 66 * lba(*address)
        body[at:at + 66] = tail
    return header + bytes(body)


def main(out):
    os.makedirs(out, exist_ok=True)
    # Seven nested tables of three partitions each, the last linking back to
    # the first sector: 24 entries for a list of 20.
    chain = {(0, 0, 1): [entry(6, tag=1), entry(5, 1, 0, 1), entry(7, tag=2), entry(0x0B, tag=3)]}
    for c in range(1, 8):
        nxt = (c + 1, 0, 1) if c < 7 else (0, 0, 1)
        chain[(c, 0, 1)] = [entry(0x83, tag=10 * c), entry(0x83, tag=10 * c + 1), entry(5, *nxt), entry(7, tag=10 * c + 2)]
    # The same chain kept within the first track and a half, so it fits the
    # fuzzer's input length.
    short = {(0, 0, 1): chain[(0, 0, 1)][:1] + [entry(5, 0, 0, 2)] + chain[(0, 0, 1)][2:]}
    for s in range(2, 9):
        nxt = (0, 0, s + 1) if s < 8 else (0, 0, 1)
        short[(0, 0, s)] = [entry(0x83, tag=10 * s), entry(0x83, tag=10 * s + 1), entry(5, *nxt), entry(7, tag=10 * s + 2)]
    # Links last in each table: the list is full before the last link.
    overflow = {(0, 0, 1): short[(0, 0, 1)]}
    for s in range(2, 9):
        nxt = (0, 0, s + 1) if s < 8 else (0, 1, 1)
        overflow[(0, 0, s)] = [entry(0x83, tag=10 * s), entry(0x83, tag=10 * s + 1), entry(7, tag=10 * s + 2), entry(5, *nxt)]
    overflow[(0, 1, 1)] = [entry(6, tag=99)]

    # One hundred tables holding nothing but the link to the next.
    deep = {}
    for n in range(100):
        m = n + 1
        deep[(n // 32, n // 8 % 4, n % 8 + 1)] = [entry(5, m // 32, m // 8 % 4, m % 8 + 1)]
    seeds = {
        "deep": disk(deep),
        "chain-loop": disk(short),
        "chain-failing": disk(short, fail_mask=1 << lba(0, 0, 5)),
        "chain-long": disk(chain),
        # Past the full list, a link to a table that could still be read.
        "chain-overflow": disk(overflow),
        "fan": disk({(0, 0, 1): [entry(5, 0, 1, s) for s in (1, 2, 3, 4)],
                     (0, 1, 1): [entry(6, tag=1), entry(5, 0, 2, 1)],
                     (0, 1, 2): [entry(5, 0, 1, 3), entry(5, 0, 0, 1)],
                     (0, 2, 1): [entry(0x0F, 3, 0, 1), entry(5, 2, 3, 0)]}),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
