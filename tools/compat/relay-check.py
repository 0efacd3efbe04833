#!/usr/bin/env python3
"""Checks the program's own calls in a Wine relay trace against the rules of
the record (win32-api.tsv) that an argument can show.

relay-check.py include RECORD
    Prints the RelayInclude list (HKCU\\Software\\Wine\\Debug) of the
    functions whose row has a check: "kernel32.CreateThread;...".
relay-check.py check RECORD FAMILY EXE LOG
    FAMILY is 9x or nt, the family the traced run was in. Reads LOG (the
    stderr of a run under WINEDEBUG=+relay), keeps the calls that return into
    EXE's image (the program's own calls; the system's calls among
    themselves return elsewhere) and evaluates each row's check on every
    call of its function. Exit code 1, with one line per failure, when a
    call breaks a check or a function whose check names FAMILY was not
    called at all (the run did not exercise the rule).

A check is "FAMILIES: EXPRESSION". FAMILIES (space-separated, or "-") are the
runs in which the function must be called; EXPRESSION is a Python
expression over a1, a2, ... (the arguments as unsigned numbers), s1, s2, ...
(an argument's string when the trace shows one, else ""), signed(n) (a
number taken as signed 32-bit) and family ("9x" or "nt"), which must be true
for every call, in every run.
"""
import re
import struct
import sys

CALL = re.compile(r"^[0-9a-f]{4}:Call ([A-Za-z0-9_]+)\.([A-Za-z0-9_]+)\((.*)\) ret=([0-9a-f]+)$")
ARGUMENT = re.compile(r'\s*([0-9a-fA-F]+)(?:\s+L?"((?:[^"\\]|\\.)*)")?\s*(?:,|$)')


def read_record(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        for number, line in enumerate(f, start=2):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            cells = line.split("\t")
            if len(cells) != len(header):
                sys.exit("%s:%d: %d cells, %d expected" % (path, number, len(cells), len(header)))
            rows.append(dict(zip(header, cells)))
    return rows


def parse_check(text):
    families, _, expression = text.partition(":")
    families = [] if families.strip() == "-" else families.split()
    return families, compile(expression.strip(), "check", "eval")


def image_range(exe):
    with open(exe, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic == 0x10B:
        base = struct.unpack_from("<I", data, optional + 28)[0]
    else:
        base = struct.unpack_from("<Q", data, optional + 24)[0]
    size = struct.unpack_from("<I", data, optional + 56)[0]
    return base, base + size


def parse_arguments(text):
    numbers, strings = [], []
    pos = 0
    while pos < len(text):
        m = ARGUMENT.match(text, pos)
        if not m or m.end() == pos:
            return None
        numbers.append(int(m.group(1), 16))
        strings.append(m.group(2) or "")
        pos = m.end()
    return numbers, strings


def signed(n):
    n &= 0xFFFFFFFF
    return n - (1 << 32) if n & 0x80000000 else n


def include(record):
    names = ["%s.%s" % (r["dll"].lower().rsplit(".", 1)[0], r["function"]) for r in read_record(record) if r["check"]]
    print(";".join(sorted(set(names))))


def check(record, family, exe, log):
    checks = {}
    for r in read_record(record):
        if r["check"]:
            checks[(r["dll"].lower().rsplit(".", 1)[0], r["function"])] = (r["check"], parse_check(r["check"]))
    low, high = image_range(exe)
    calls = {key: 0 for key in checks}
    failures = []
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = CALL.match(line.rstrip("\r\n"))
            if not m:
                continue
            key = (m.group(1).lower(), m.group(2))
            if key not in checks or not low <= int(m.group(4), 16) < high:
                continue
            parsed = parse_arguments(m.group(3))
            if parsed is None:
                failures.append("cannot read the arguments of: %s" % line.strip())
                continue
            calls[key] += 1
            names = {"family": family, "signed": signed}
            for i, (number, string) in enumerate(zip(*parsed), start=1):
                names["a%d" % i] = number
                names["s%d" % i] = string
            text, (_, expression) = checks[key]
            try:
                ok = eval(expression, {"__builtins__": {}}, names)
            except Exception as error:  # a check that cannot be evaluated is a failure too
                ok = False
                text += " (%s)" % error
            if not ok:
                failures.append("%s.%s breaks \"%s\": %s" % (key[0], key[1], text, line.strip()))
    for key, (text, (families, _)) in sorted(checks.items()):
        if family in families and calls[key] == 0:
            failures.append("%s.%s was not called in this %s run, so \"%s\" was not checked" % (key + (family, text)))
    seen = sum(calls.values())
    for failure in failures:
        print(failure)
    print("%d calls of %d checked functions in the %s run, %d failures" % (seen, len(checks), family, len(failures)))
    return 1 if failures else 0


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "include":
        include(args[1])
    elif len(args) == 5 and args[0] == "check":
        sys.exit(check(*args[1:]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
