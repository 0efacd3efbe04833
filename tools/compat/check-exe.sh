#!/usr/bin/env bash
# check-exe.sh EXE [RECORD]
# Holds a built platterscope.exe against the record of what the program asks
# of the system (RECORD, default tools/compat/win32-api.tsv beside this
# script). Fails, naming each offender, when the exe
#   - imports from a DLL other than KERNEL32, USER32, GDI32, COMDLG32, msvcrt,
#     or a function by its ordinal rather than by name;
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
# imports, so the record stays true as the program changes (a row marked
# runtime-N, brought by that MinGW-w64 run-time's start-up alone, may be
# absent, but only with every other row of that run-time); and, for the
# 32-bit exe, on any instruction later than the 80486's
# (check-instructions.py). It reads the imports, the header and the
# manifest from the PE file itself (pe.py).
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 EXE [RECORD]" >&2
    exit 2
fi
exe=$1
record=${2:-$(dirname "$(readlink -f "$0")")/win32-api.tsv}
[ -f "$exe" ] || { echo "check-exe: no file $exe" >&2; exit 2; }
[ -f "$record" ] || { echo "check-exe: no record $record" >&2; exit 2; }
check=$(cat <<'PY'
import re
import sys

sys.path.insert(0, sys.argv[3])
import pe

exe, record = sys.argv[1], sys.argv[2]
ALLOWED = {"KERNEL32", "USER32", "GDI32", "COMDLG32", "MSVCRT"}
NINE_X = ["95", "98", "Me", "none"]
NT = ["3.51", "4.0", "2000", "XP", "none"]


def header_failures(image):
    limit = (4, 0) if image.bits == "32" else (5, 2)
    found = image.versions()
    return ["PE header asks for %s version %d.%d, above %d.%d" % ((kind,) + found[kind] + limit)
            for kind in ("OSystem", "Subsystem") if found[kind] > limit]


ASM = "urn:schemas-microsoft-com:asm."
def manifest_failures(image, summary):
    """The manifest's fault, if any, as a one-line list; else what it asks
    for goes to SUMMARY."""
    try:
        text = image.resource(24, 1)
    except pe.FormatError as e:
        return ["cannot read the resources: %s" % e]
    if text is None:
        return ["no application manifest (resource type 24, id 1)"]
    import xml.etree.ElementTree as ET
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        return ["the manifest is not well-formed XML: %s" % e]
    for tag in re.findall(rb"<[A-Za-z][^>]*>", text):
        if len(re.findall(rb"\sxmlns(?::[\w.-]+)?\s*=", tag)) > 1:
            return ["a manifest element declares more than one namespace: %s" % tag.decode("utf-8", "replace")]
    trust = [e for e in root.iter() if e.tag.rsplit("}", 1)[-1] == "trustInfo"]
    if len(trust) != 1:
        return ["the manifest has %d trustInfo elements instead of one" % len(trust)]
    namespace = trust[0].tag[1:].split("}")[0] if trust[0].tag.startswith("{") else ""
    if namespace not in (ASM + "v2", ASM + "v3"):
        return ["the manifest's trustInfo is in namespace '%s', not %sv2 or v3 of its own" % (namespace, ASM)]
    levels = [e.get("level") for e in trust[0].iter() if e.tag.rsplit("}", 1)[-1] == "requestedExecutionLevel"]
    if levels != ["requireAdministrator"]:
        return ["the manifest asks for execution level %s, not requireAdministrator" % (", ".join(map(str, levels)) or "none")]
    summary.append("its manifest asks for requireAdministrator (trustInfo in %s), which Windows 95, 98, Me, "
                   "NT 4.0 and 2000 do not read" % namespace)
    return []


def read_record(failures):
    """{(DLL, function): row} of the record; malformed rows go to FAILURES."""
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
            words = cells.get("exes", "").split()
            widths = [w for w in words if w in ("32", "64")]
            runtimes = [w for w in words if re.fullmatch(r"runtime-\d+", w)]
            if not widths or len(widths) + len(runtimes) != len(words) or len(runtimes) > 1:
                failures.append("record line %d (%s): exes must be 32, 64 or 32 64, and at most one runtime-N" %
                                (number, key[1]))
                continue
            cells["widths"], cells["runtime"] = widths, (runtimes or [None])[0]
            rows[key] = cells
    return rows


def import_failures(image, imports):
    """The imports' faults; the (DLL, function) pairs imported by name go to
    IMPORTS."""
    bits = image.bits
    failures = []
    try:
        listed = image.imports()
    except pe.FormatError as e:
        return ["cannot read the imports: %s" % e]
    named_dlls = set()
    for item in listed:
        dll = item.dll.rsplit(".", 1)[0].upper()
        if dll not in ALLOWED and item.dll not in named_dlls:
            named_dlls.add(item.dll)
            failures.append("imports from %s, which is not one of %s" % (item.dll, ", ".join(sorted(ALLOWED))))
        if item.name is None:
            failures.append("imports ordinal %d of %s by number" % (item.ordinal, dll))
        else:
            imports.add((dll, item.name))
    rows = read_record(failures)
    for key in sorted(imports):
        row = rows.get(key)
        name = "%s!%s" % key
        if row is None or bits not in row["widths"]:
            failures.append("%s is imported but the record does not list it for the %s-bit exe" % (name, bits))
        elif bits == "32" and row["win9x"] != "95":
            failures.append("%s is absent on Windows 95 (from %s on)" % (name, row["win9x"]))
        elif bits == "32" and row["winnt"] not in ("3.51", "4.0"):
            failures.append("%s is absent on Windows NT 4.0 (from %s on)" % (name, row["winnt"]))
        elif bits == "64" and row["winnt"] not in ("3.51", "4.0", "2000", "XP"):
            failures.append("%s is absent on Windows XP x64" % name)
    # A row marked runtime-N is brought by that MinGW-w64 run-time's start-up
    # alone: an exe linked with another run-time lacks it, and with it every
    # other row of that run-time, never only some of them.
    groups = {}
    for key, row in sorted(rows.items()):
        if bits not in row["widths"]:
            continue
        if row["runtime"] is not None:
            groups.setdefault(row["runtime"], []).append(key)
        elif key not in imports:
            failures.append("the record lists %s!%s for the %s-bit exe, which does not import it" % (key + (bits,)))
    for runtime, keys in sorted(groups.items()):
        absent = [key for key in keys if key not in imports]
        if absent and len(absent) < len(keys):
            failures.append("the record lists %s for the %s-bit exe as brought by the start-up of %s, but the exe "
                            "imports only %s of them: not imported: %s" %
                            (", ".join("%s!%s" % key for key in keys), bits, runtime, len(keys) - len(absent),
                             ", ".join("%s!%s" % key for key in absent)))
        elif absent:
            absent_runtimes.append("the rows of %s (%s) not imported: built with another run-time" %
                                   (runtime, ", ".join("%s!%s" % key for key in absent)))
    return failures


try:
    image = pe.Image(exe)
except pe.NotWindowsProgram:
    sys.exit("check-exe: %s is not a 32-bit or 64-bit Windows program" % exe)
except (OSError, pe.FormatError) as e:
    print("check-exe: cannot read %s: %s" % (exe, e), file=sys.stderr)
    sys.exit(2)

# Every check, in the order of their lines; each knows its limits for
# image.bits, and a check for one build only goes here under its test.
manifest_summary, imports, absent_runtimes = [], set(), []
failures = header_failures(image) + manifest_failures(image, manifest_summary) + import_failures(image, imports)

for failure in failures:
    print("check-exe: %s" % failure)
if failures:
    sys.exit(1)
print("check-exe: %s (%s-bit): %d imports, all in the record and present on %s; %s%s" %
      (exe, image.bits, len(imports), "Windows 95 and NT 4.0" if image.bits == "32" else "Windows XP x64",
       manifest_summary[0], "".join("; " + a for a in absent_runtimes)))
PY
)
status=0
python3 -c "$check" "$exe" "$record" "$(dirname "$(readlink -f "$0")")" || status=$?
python3 "$(dirname "$(readlink -f "$0")")/check-instructions.py" "$exe" || status=$?
exit $status
