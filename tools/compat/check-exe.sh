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
#   - carries no application manifest (resource type 24, id 1) asking for
#     requireAdministrator, or one that Windows XP would not parse: trustInfo
#     must be in a namespace of its own (asm.v2 or asm.v3; in the assembly's
#     asm.v1 XP rejects it) and no element may declare two namespaces (XP SP2
#     can restart on one, KB 921337). Windows 95, 98, Me, NT 4.0 and 2000 do
#     not read the manifest: to them it is a resource of an unknown type;
# and when the record lists a function for this build that the exe no longer
# imports, so the record stays true as the program changes; and, for the
# 32-bit exe, on any instruction later than the 80486's
# (check-instructions.py).
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

def resource(path, type_id, name_id):
    """The bytes of resource TYPE_ID/NAME_ID (first language), or None."""
    import struct
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
    if not rsrc_size:
        return None
    def offset(rva):
        table = optional + optional_size
        for i in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %x is in no section" % rva)
    base = offset(rsrc_rva)
    def entries(directory):
        names, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(names + ids):
            yield struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
    def child(directory, wanted):
        for key, value in entries(directory):
            if not key & 0x80000000 and key == wanted and value & 0x80000000:
                return value & 0x7FFFFFFF
        return None
    names = child(0, type_id)
    languages = child(names, name_id) if names is not None else None
    if languages is None:
        return None
    for _, leaf in entries(languages):
        rva, size = struct.unpack_from("<II", data, base + leaf)
        start = offset(rva)
        return data[start:start + size]
    return None

ASM = "urn:schemas-microsoft-com:asm."
def check_manifest():
    try:
        text = resource(exe, 24, 1)
    except (ValueError, struct_error) as e:
        return "cannot read the resources: %s" % e
    if text is None:
        return "no application manifest (resource type 24, id 1)"
    import xml.etree.ElementTree as ET
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        return "the manifest is not well-formed XML: %s" % e
    for tag in re.findall(rb"<[A-Za-z][^>]*>", text):
        if len(re.findall(rb"\sxmlns(?::[\w.-]+)?\s*=", tag)) > 1:
            return "a manifest element declares more than one namespace: %s" % tag.decode("utf-8", "replace")
    trust = [e for e in root.iter() if e.tag.rsplit("}", 1)[-1] == "trustInfo"]
    if len(trust) != 1:
        return "the manifest has %d trustInfo elements instead of one" % len(trust)
    namespace = trust[0].tag[1:].split("}")[0] if trust[0].tag.startswith("{") else ""
    if namespace not in (ASM + "v2", ASM + "v3"):
        return "the manifest's trustInfo is in namespace '%s', not %sv2 or v3 of its own" % (namespace, ASM)
    levels = [e.get("level") for e in trust[0].iter() if e.tag.rsplit("}", 1)[-1] == "requestedExecutionLevel"]
    if levels != ["requireAdministrator"]:
        return "the manifest asks for execution level %s, not requireAdministrator" % (", ".join(map(str, levels)) or "none")
    manifest_summary.append("its manifest asks for requireAdministrator (trustInfo in %s), which Windows 95, 98, Me, "
                            "NT 4.0 and 2000 do not read" % namespace)
    return None

from struct import error as struct_error
manifest_summary = []
problem = check_manifest()
if problem:
    failures.append(problem)

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
print("check-exe: %s (%s-bit): %d imports, all in the record and present on %s; %s" %
      (exe, bits, len(imports), "Windows 95 and NT 4.0" if bits == "32" else "Windows XP x64", manifest_summary[0]))
PY
)
status=0
python3 -c "$check" "$exe" "$record" <<<"$headers" || status=$?
python3 "$(dirname "$(readlink -f "$0")")/check-instructions.py" "$exe" || status=$?
exit $status
