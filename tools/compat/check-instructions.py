#!/usr/bin/env python3
"""check-instructions.py EXE

Fails, naming each offender by address, function and source file, when the
code of the 32-bit EXE holds an instruction that an 80486 does not execute:
the program's users on Windows 95, 98 and NT 4.0 may run one, and such an
instruction raises an invalid-opcode fault there. A 64-bit EXE passes: it
runs on x64 processors only.

It reads the raw bytes of objdump's disassembly (stable across binutils
versions; objdump's names are only shown) and allows:
  - every one-byte opcode and every x87 instruction of the 80387, except
    FCMOVcc, FCOMI(P), FUCOMI(P) (Pentium Pro), FFREEP (not documented for
    Intel processors) and FISTTP (SSE3);
  - of the two-byte opcodes (0F xx), those of the 80386 and the ones the
    80486 added: BSWAP, CMPXCHG, XADD, INVD, WBINVD, INVLPG;
  - UD2 (named only from the Pentium Pro on): its purpose is the invalid-
    opcode fault, which 0F 0B raises on a 486 as well;
  - F3 0F BC (TZCNT), which an older processor executes as BSF, the same
    result for the non-zero values GCC uses it on.
So CMOVcc, CMPXCHG8B, RDTSC, RDPMC, RDMSR, CPUID (only late 486 models have
it), the hinting and long NOPs (0F 18-1F), SYSENTER, SYSCALL, MMX, 3DNow!,
SSE and later, VEX and EVEX encodings are refused, and so is code objdump
cannot decode. It needs the image's symbols to tell the constructor
tables from code.
"""
import re
import shutil
import struct
import subprocess
import sys

OBJDUMP = "i686-w64-mingw32-objdump"

# Two-byte opcodes of the 80386, with the 80486's additions.
ALLOWED_0F = set([0x00, 0x02, 0x03, 0x06, 0x08, 0x09, 0x0B, 0x20, 0x21, 0x22, 0x23, 0x24, 0x26,
                  0xA0, 0xA1, 0xA3, 0xA4, 0xA5, 0xA8, 0xA9, 0xAB, 0xAC, 0xAD, 0xAF,
                  0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
                  0xC0, 0xC1]) | set(range(0x80, 0xA0)) | set(range(0xC8, 0xD0))
# The linker puts the constructor and destructor lists (pointers, not code)
# at the end of .text.
TABLES = re.compile(r"_*[CD]TOR_LIST__$|\.[cd]tors")
PREFIXES = set([0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3])


def refusal(code):
    """Why CODE (the bytes of one instruction) is not for an 80486, or None."""
    i = 0
    while i < len(code) and code[i] in PREFIXES:
        i += 1
    prefixes, rest = code[:i], code[i:]
    if not rest:
        return None  # prefixes alone: objdump shows them before the instruction they belong to
    op = rest[0]
    modrm = rest[1] if len(rest) > 1 else None
    if op == 0x0F:
        if len(rest) < 2:
            return "a truncated two-byte opcode"
        second = rest[1]
        modrm = rest[2] if len(rest) > 2 else None
        if second == 0x01:  # group 7: the memory forms, SMSW and LMSW are the 80386's
            reg = (modrm >> 3) & 7 if modrm is not None else 0
            if modrm is not None and (modrm >> 6 == 3 and reg not in (4, 6) or modrm >> 6 != 3 and reg == 5):
                return "0F 01 %02X is later than the 80486" % modrm
            return None
        if second not in ALLOWED_0F:
            return "opcode 0F %02X is later than the 80486" % second
        if (0xF2 in prefixes or 0xF3 in prefixes) and not (second == 0xBC and 0xF2 not in prefixes):
            return "prefix F2/F3 on 0F %02X makes a later instruction" % second
        return None
    if 0xD8 <= op <= 0xDF and modrm is not None:
        reg = (modrm >> 3) & 7
        if modrm >> 6 == 3:
            if op in (0xDA, 0xDB) and modrm < 0xE0:
                return "FCMOVcc (Pentium Pro)"
            if op in (0xDB, 0xDF) and 0xE8 <= modrm <= 0xF7:
                return "FCOMI/FUCOMI (Pentium Pro)"
            if op == 0xDF and modrm < 0xC8:
                return "FFREEP (not an Intel 80486 instruction)"
        elif op in (0xDB, 0xDD, 0xDF) and reg == 1:
            return "FISTTP (SSE3)"
        return None
    if op in (0xC4, 0xC5, 0x62) and modrm is not None and modrm >> 6 == 3:
        return "a VEX or EVEX encoding (AVX)"
    if op == 0x8F and modrm is not None and (modrm >> 3) & 7:
        return "an XOP encoding"
    return None


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check-instructions.py EXE")
    exe = sys.argv[1]
    with open(exe, "rb") as f:
        head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0] if len(head) >= 0x40 else 0
    if head[:2] != b"MZ" or head[pe:pe + 4] != b"PE\0\0":
        print("check-instructions: %s is not a Windows program" % exe, file=sys.stderr)
        sys.exit(2)
    if struct.unpack_from("<H", head, pe + 4)[0] != 0x14C:
        print("check-instructions: %s is not a 32-bit x86 program: the 80486 floor is the 32-bit one's" % exe)
        return
    if not shutil.which(OBJDUMP):
        print("check-instructions: %s is missing (binutils-mingw-w64-i686)" % OBJDUMP, file=sys.stderr)
        sys.exit(2)
    def run(*args):
        result = subprocess.run([OBJDUMP] + list(args) + [exe], stdout=subprocess.PIPE, universal_newlines=True)
        if result.returncode:
            print("check-instructions: %s cannot read %s" % (OBJDUMP, exe), file=sys.stderr)
            sys.exit(2)
        return result.stdout

    # The COFF symbol table lists each source file before its symbols; a
    # symbol's value is its offset in its section.
    sections = {}
    for line in run("-h").splitlines():
        m = re.match(r"\s*(\d+) \S+\s+[0-9a-f]+\s+([0-9a-f]+)\s", line)
        if m:
            sections[int(m.group(1)) + 1] = int(m.group(2), 16)
    source_at = {}
    source = None
    for line in run("-t").splitlines():
        m = re.match(r"\[\s*\d+\]\(sec\s+(-?\d+)\).*\(scl\s+(\d+)\).*0x([0-9a-f]+) (.+)$", line)
        if m and m.group(2) == "103":
            source = m.group(4).strip()
        elif m and source and int(m.group(1)) in sections:
            source_at.setdefault(sections[int(m.group(1))] + int(m.group(3), 16), source)

    failures = []
    count = 0
    symbol = symbol_source = None
    pending = b""
    for line in run("-d", "-w").splitlines():
        m = re.match(r"([0-9a-f]+) <(.+)>:$", line)
        if m:
            symbol, symbol_source = m.group(2), source_at.get(int(m.group(1), 16))
            continue
        m = re.match(r"\s*([0-9a-f]+):\t([0-9a-f ]+)\t?(.*)$", line)
        if not m or TABLES.match(symbol or ""):
            continue
        code = pending + bytes.fromhex(m.group(2))
        text = " ".join(m.group(3).split())
        count += 1
        if code and all(b in PREFIXES for b in code):
            pending = code
            continue
        pending = b""
        why = "objdump cannot decode it" if "(bad)" in text else refusal(code)
        if why:
            where = symbol or "no symbol"
            if symbol_source:
                where += " (%s)" % symbol_source
            failures.append("0x%s in %s: %s: %s" % (m.group(1), where, text, why))
    if count == 0:
        print("check-instructions: %s has no code that objdump disassembles" % exe)
        sys.exit(1)
    for failure in failures:
        print("check-instructions: %s" % failure)
    if failures:
        print("check-instructions: %s: %d of %d instructions are not the 80486's" % (exe, len(failures), count))
        sys.exit(1)
    print("check-instructions: %s: all %d instructions are the 80486's" % (exe, count))


main()
