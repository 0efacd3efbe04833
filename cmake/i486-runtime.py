#!/usr/bin/env python3
"""i486-runtime.py CRT2 LIBMINGW32 OUTDIR

Writes OUTDIR/crt2.o and OUTDIR/libmingw32.a: the MinGW-w64 run-time's
start-up object and library as Debian ships them, with the CMOV
instructions that the 32-bit program links from them rewritten as a compare
and a short branch, in the same bytes. Debian builds that run-time for the
Pentium Pro; these are the only instructions later than the 80486 in what
the program takes from it. It knows two run-times:

mingw-w64-i686-dev 10.0.0 (Debian 12):
  crt2.o         __tmainCRTStartup       skipping the program's name in the
                                         command line (quote toggling)
  pesect.o       _GetPEImageBase         the image base, if the image is PE32
  pseudo-reloc.o mark_section_writable   the page protection to restore

mingw-w64-i686-dev 12.0.0 (Debian 13), whose crt2.o has no CMOV left (the
command line is handled by crtexewin.o, the run-time's own main calling
WinMain, which the program does not link: it has a main of its own):
  pesect.o       _GetPEImageBase         as above, with other padding
  pseudo-reloc.o mark_section_writable   the same bytes as in 10.0.0

The run-time is the one whose every pattern is found exactly once; a
run-time that matches none of them, or more than one, stops the build here,
naming what it did not find: then read its disassembly again (objdump -dr)
before adding a rewrite. check-instructions.py holds the linked exe to the
80486 in any case.

Each rewrite keeps every relocated field where it was and uses only the
alignment padding after an unconditional jump or a return, so nothing else
in the objects moves.
"""
import os
import sys


def hexbytes(text):
    return bytes.fromhex(text.replace(" ", ""))


# mov $__image_base__,%edx; jne +2; mov %edx,%eax; ret; padding
GET_PE_IMAGE_BASE_REWRITTEN = "ba 00 00 00 00 75 02 89 d0 c3 8d b4 26 00 00 00 00 8d b6 00 00 00 00"
MARK_SECTION_WRITABLE = (
    "mark_section_writable (pseudo-reloc.o)",
    # cmp $2,%eax; mov $4,%edx; mov $0x40,%eax; mov 0x20(%esp),%ecx; cmove %edx,%eax
    # (%edx is loaded again by the next instruction)
    "83 f8 02 ba 04 00 00 00 b8 40 00 00 00 8b 4c 24 20 0f 44 c2",
    # cmp $2,%eax; mov $0x40,%eax; mov 0x20(%esp),%ecx; jne +5; mov $4,%eax; nop
    "83 f8 02 b8 40 00 00 00 8b 4c 24 20 75 05 b8 04 00 00 00 90",
)

# {run-time: {file: [(where, the bytes as shipped, the bytes in their place)]}}
RUNTIMES = {
    "mingw-w64 10.0.0 (Debian 12)": {
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
            GET_PE_IMAGE_BASE_REWRITTEN,
        ), MARK_SECTION_WRITABLE],
    },
    "mingw-w64 12.0.0 (Debian 13)": {
        "crt2.o": [],
        "libmingw32.a": [(
            "_GetPEImageBase (pesect.o)",
            # mov $__image_base__,%edx; cmove %edx,%eax; ret; padding (with a CS prefix)
            "ba 00 00 00 00 0f 44 c2 c3 2e 8d b4 26 00 00 00 00 8d b6 00 00 00 00",
            GET_PE_IMAGE_BASE_REWRITTEN,
        ), MARK_SECTION_WRITABLE],
    },
}


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: i486-runtime.py CRT2 LIBMINGW32 OUTDIR")
    sources = {"crt2.o": sys.argv[1], "libmingw32.a": sys.argv[2]}
    out = sys.argv[3]
    data = {}
    for name, path in sources.items():
        with open(path, "rb") as f:
            data[name] = f.read()
    for runtime, files in RUNTIMES.items():
        for name, rewrites in files.items():
            for where, old, new in rewrites:
                assert len(hexbytes(old)) == len(hexbytes(new)), (runtime, where)
    # What each run-time's patterns miss in these files.
    missing = {}
    for runtime, files in RUNTIMES.items():
        missing[runtime] = ["%s found %d times instead of once" % (where, data[name].count(hexbytes(old)))
                            for name, rewrites in files.items() for where, old, _ in rewrites
                            if data[name].count(hexbytes(old)) != 1]
    fitting = [runtime for runtime in RUNTIMES if not missing[runtime]]
    if len(fitting) != 1:
        why = "; ".join("as %s: %s" % (runtime, ", ".join(missing[runtime]) or "every pattern found")
                        for runtime in RUNTIMES)
        sys.exit("i486-runtime: %s and %s: %s of the run-times these rewrites were made for (%s)" %
                 (sources["crt2.o"], sources["libmingw32.a"], "none" if not fitting else "more than one", why))
    os.makedirs(out, exist_ok=True)
    for name, rewrites in RUNTIMES[fitting[0]].items():
        for where, old, new in rewrites:
            data[name] = data[name].replace(hexbytes(old), hexbytes(new))
        # Written whole and then renamed, so that a stopped build leaves no half file.
        with open(os.path.join(out, name + ".new"), "wb") as f:
            f.write(data[name])
        os.replace(os.path.join(out, name + ".new"), os.path.join(out, name))
    print("i486-runtime: %s: %d instructions rewritten" %
          (fitting[0], sum(len(rewrites) for rewrites in RUNTIMES[fitting[0]].values())))


main()
