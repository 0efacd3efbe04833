#!/usr/bin/env python3
"""i486-runtime.py CRT2 LIBMINGW32 OUTDIR

Writes OUTDIR/crt2.o and OUTDIR/libmingw32.a: the MinGW-w64 run-time's
start-up object and library as Debian ships them (mingw-w64-i686-dev
10.0.0), with the three CMOV instructions that the 32-bit program links from
them rewritten as a compare and a short branch, in the same bytes. Debian
builds that run-time for the Pentium Pro; these three are the only
instructions later than the 80486 in what the program takes from it:

  crt2.o         __tmainCRTStartup       skipping the program's name in the
                                         command line (quote toggling)
  pesect.o       _GetPEImageBase         the image base, if the image is PE32
  pseudo-reloc.o mark_section_writable   the page protection to restore

Each rewrite keeps every relocated field where it was and uses only the
alignment padding after an unconditional jump or a return, so nothing else
in the objects moves. A run-time that differs from the one these were read
from stops the build here, naming what it did not find: then read its
disassembly again (objdump -dr) before changing a rewrite.
"""
import os
import sys


def hexbytes(text):
    return bytes.fromhex(text.replace(" ", ""))


# (where, the bytes as shipped, the bytes in their place)
REWRITES = {
    "crt2.o": [(
        "__tmainCRTStartup",
        # mov %ecx,%ebx; xor $1,%ebx; cmp $0x22,%dl; cmove %ebx,%ecx; jmp -24; padding
        "89 cb 83 f3 01 80 fa 22 0f 44 cb eb e8 8d b4 26 00 00 00 00 8d 76 00",
        # mov %ecx,%ebx; xor $1,%ebx; cmp $0x22,%dl; jne +2; mov %ebx,%ecx; jmp -25; padding
        "89 cb 83 f3 01 80 fa 22 75 02 89 d9 eb e7 8d b4 26 00 00 00 00 66 90",
    )],
    "libmingw32.a": [(
        "_GetPEImageBase (pesect.o)",
        # mov $__image_base__,%edx; cmove %edx,%eax; ret; padding
        "ba 00 00 00 00 0f 44 c2 c3 8d b4 26 00 00 00 00 8d b4 26 00 00 00 00",
        # mov $__image_base__,%edx; jne +2; mov %edx,%eax; ret; padding
        "ba 00 00 00 00 75 02 89 d0 c3 8d b4 26 00 00 00 00 8d b6 00 00 00 00",
    ), (
        "mark_section_writable (pseudo-reloc.o)",
        # cmp $2,%eax; mov $4,%edx; mov $0x40,%eax; mov 0x20(%esp),%ecx; cmove %edx,%eax
        # (%edx is loaded again by the next instruction)
        "83 f8 02 ba 04 00 00 00 b8 40 00 00 00 8b 4c 24 20 0f 44 c2",
        # cmp $2,%eax; mov $0x40,%eax; mov 0x20(%esp),%ecx; jne +5; mov $4,%eax; nop
        "83 f8 02 b8 40 00 00 00 8b 4c 24 20 75 05 b8 04 00 00 00 90",
    )],
}


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: i486-runtime.py CRT2 LIBMINGW32 OUTDIR")
    sources = {"crt2.o": sys.argv[1], "libmingw32.a": sys.argv[2]}
    out = sys.argv[3]
    os.makedirs(out, exist_ok=True)
    for name, path in sources.items():
        with open(path, "rb") as f:
            data = f.read()
        for where, old, new in REWRITES[name]:
            old, new = hexbytes(old), hexbytes(new)
            assert len(old) == len(new), where
            found = data.count(old)
            if found != 1:
                sys.exit("i486-runtime: %s: the code of %s is found %d times instead of once: "
                         "not the run-time this rewrite was made for" % (path, where, found))
            data = data.replace(old, new)
        # Written whole and then renamed, so that a stopped build leaves no half file.
        with open(os.path.join(out, name + ".new"), "wb") as f:
            f.write(data)
        os.replace(os.path.join(out, name + ".new"), os.path.join(out, name))


main()
