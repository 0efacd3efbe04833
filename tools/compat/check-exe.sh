#!/usr/bin/env bash
# check-exe.sh EXE [RECORD]
# Holds a built platterscope.exe against the record of what the program asks
# of the system (RECORD, default tools/compat/win32-api.tsv beside this
# script). Fails, naming each offender, when the exe
#   - imports from a DLL other than KERNEL32, USER32, GDI32, COMDLG32, msvcrt;
#   - imports a function the record does not list for this build (32 or 64),
#     or one the record lists for it but marks absent on Windows 95 or
#     NT 4.0 (32-bit exe) or on Windows XP x64 (64-bit exe);
#   - is 32-bit and asks for an OS or subsystem version above 4.0 in its PE
#     header (64-bit: above 5.2, XP x64);
# and when the record lists a function for this build that the exe no longer
# imports, so the record stays true as the program changes.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 EXE [RECORD]" >&2
    exit 2
fi
exe=$1
record=${2:-$(dirname "$(readlink -f "$0")")/win32-api.tsv}
[ -f "$exe" ] || { echo "check-exe: no file $exe" >&2; exit 2; }
[ -f "$record" ] || { echo "check-exe: no record $record" >&2; exit 2; }
objdump=x86_64-w64-mingw32-objdump
command -v $objdump >/dev/null || { echo "check-exe: $objdump is missing (binutils-mingw-w64-x86-64)" >&2; exit 2; }
headers=$($objdump -p "$exe") || { echo "check-exe: $objdump cannot read $exe" >&2; exit 2; }

check=$(cat <<'PY'
import re
import sys

exe, record = sys.argv[1], sys.argv[2]
text = sys.stdin.read()
ALLOWED = {"KERNEL32", "USER32", "GDI32", "COMDLG32", "MSVCRT"}
NINE_X = ["95", "98", "Me", "none"]
NT = ["3.51", "4.0", "2000", "XP", "none"]

fmt = re.search(r"file format (\S+)", text)
bits = {"pei-i386": "32", "pei-x86-64": "64"}.get(fmt.group(1) if fmt else "")
if bits is None:
    sys.exit("check-exe: %s is not a 32-bit or 64-bit Windows program" % exe)

failures = []

def version(name):
    m = re.search(r"^%s\s+(\d+)" % name, text, re.M)
    return int(m.group(1)) if m else None

limit = (4, 0) if bits == "32" else (5, 2)
for kind in ("OSystem", "Subsystem"):
    found = (version("Major%sVersion" % kind), version("Minor%sVersion" % kind))
    if None in found:
        failures.append("no %s version in the PE header" % kind)
    elif found > limit:
        failures.append("PE header asks for %s version %d.%d, above %d.%d" % ((kind,) + found + limit))

imports = set()
dll = None
for line in text.splitlines():
    m = re.match(r"\s*DLL Name: (\S+)", line)
    if m:
        dll = m.group(1).rsplit(".", 1)[0].upper()
        if dll not in ALLOWED:
            failures.append("imports from %s, which is not one of %s" % (m.group(1), ", ".join(sorted(ALLOWED))))
        continue
    m = re.match(r"\t[0-9a-f]+\t\s+(\d+)\s+(\S+)$", line)
    if m and dll:
        imports.add((dll, m.group(2)))
    elif dll and re.match(r"\t[0-9a-f]+\t\s+<none>\s+([0-9a-f]+)$", line):
        failures.append("imports ordinal %s of %s by number" % (line.split()[-1], dll))

rows = {}
with open(record, encoding="utf-8") as f:
    header = f.readline().rstrip("\n").split("\t")
    for number, line in enumerate(f, start=2):
        line = line.rstrip("\n")
        if not line or line.startswith("#"):
            continue
        cells = dict(zip(header, line.split("\t")))
        key = (cells["dll"].upper(), cells["function"])
        if cells.get("win9x") not in NINE_X or cells.get("winnt") not in NT:
            failures.append("record line %d (%s): win9x must be one of %s and winnt one of %s" %
                            (number, key[1], "/".join(NINE_X), "/".join(NT)))
            continue
        rows[key] = cells

for key in sorted(imports):
    row = rows.get(key)
    name = "%s!%s" % key
    if row is None or bits not in row["exes"].split():
        failures.append("%s is imported but the record does not list it for the %s-bit exe" % (name, bits))
    elif bits == "32" and row["win9x"] != "95":
        failures.append("%s is absent on Windows 95 (from %s on)" % (name, row["win9x"]))
    elif bits == "32" and row["winnt"] not in ("3.51", "4.0"):
        failures.append("%s is absent on Windows NT 4.0 (from %s on)" % (name, row["winnt"]))
    elif bits == "64" and row["winnt"] not in ("3.51", "4.0", "2000", "XP"):
        failures.append("%s is absent on Windows XP x64" % name)
for key, row in sorted(rows.items()):
    if bits in row["exes"].split() and key not in imports:
        failures.append("the record lists %s!%s for the %s-bit exe, which does not import it" % (key + (bits,)))

for failure in failures:
    print("check-exe: %s" % failure)
if failures:
    sys.exit(1)
print("check-exe: %s (%s-bit): %d imports, all in the record and present on %s" %
      (exe, bits, len(imports), "Windows 95 and NT 4.0" if bits == "32" else "Windows XP x64"))
PY
)
python3 -c "$check" "$exe" "$record" <<<"$headers"
