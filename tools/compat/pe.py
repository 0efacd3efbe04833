"""Reads a Windows program's PE file itself: its machine, the versions its
optional header asks for, its import directory and its resources.

check-exe.sh holds these against the record. It reads them here rather than
from a disassembler's printout, whose layout changes between binutils
releases (a newer objdump's import listing was misread as no imports).
"""
import struct
from collections import namedtuple

# An imported function: DLL as the exe names it (KERNEL32.dll), and either
# its name or, imported by number, its ordinal (the other one is None).
Import = namedtuple("Import", "dll name ordinal")

MACHINES = {0x14C: "32", 0x8664: "64"}  # IMAGE_FILE_MACHINE_I386, _AMD64
PE32, PE32_PLUS = 0x10B, 0x20B
EXPORT, IMPORT, RESOURCE = 0, 1, 2  # data directory indexes


class NotWindowsProgram(Exception):
    """No MZ and PE signatures, or a machine other than x86 and x86-64."""


class FormatError(ValueError):
    """A PE file whose tables point outside it or outside its sections."""


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = data = f.read()
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise NotWindowsProgram("no MZ signature")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise NotWindowsProgram("no PE signature")
        machine, self.section_count = self._unpack("<HH", pe + 4)
        optional_size = self._unpack("<H", pe + 20)[0]
        self.bits = MACHINES.get(machine)
        if self.bits is None:
            raise NotWindowsProgram("machine %#x" % machine)
        self.optional = pe + 24
        self.section_table = self.optional + optional_size
        self.magic = self._unpack("<H", self.optional)[0]
        if self.magic not in (PE32, PE32_PLUS) or optional_size < (96 if self.magic == PE32 else 112):
            raise FormatError("optional header of magic %#x and %d bytes" % (self.magic, optional_size))
        self.directory_count = self._u32(self.optional + (92 if self.magic == PE32 else 108))

    def _unpack(self, layout, offset):
        try:
            return struct.unpack_from(layout, self.data, offset)
        except struct.error:
            raise FormatError("offset %#x is past the end of the file" % offset) from None

    def _u32(self, offset):
        return self._unpack("<I", offset)[0]

    def versions(self):
        """{"OSystem": (major, minor), "Subsystem": (major, minor)} from the
        optional header (same offsets in PE32 and PE32+)."""
        os_major, os_minor, _, _, sub_major, sub_minor = self._unpack("<6H", self.optional + 40)
        return {"OSystem": (os_major, os_minor), "Subsystem": (sub_major, sub_minor)}

    def directory(self, index):
        """(RVA, size) of data directory INDEX; (0, 0) where the exe has none."""
        if index >= self.directory_count:
            return 0, 0
        return self._unpack("<II", self.optional + (96 if self.magic == PE32 else 112) + 8 * index)

    def offset(self, rva):
        """The file offset of relative virtual address RVA."""
        for i in range(self.section_count):
            size, address, raw_size, raw = self._unpack("<IIII", self.section_table + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise FormatError("address %x is in no section" % rva)

    def string(self, rva):
        """The NUL-ended ASCII string at RVA."""
        start = self.offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise FormatError("string at %x has no end" % rva)
        return self.data[start:end].decode("ascii", "replace")

    def imports(self):
        """Every Import of the import directory, in its order."""
        rva, size = self.directory(IMPORT)
        if not size:
            return []
        wide = self.magic == PE32_PLUS
        thunk_layout, by_ordinal = ("<Q", 1 << 63) if wide else ("<I", 1 << 31)
        found = []
        descriptor = self.offset(rva)
        while True:
            lookup, _, _, name, first_thunk = self._unpack("<5I", descriptor)
            if not (lookup or name or first_thunk):
                break
            dll = self.string(name)
            # Binders overwrite the address table, so the lookup table is
            # the one to read when there is one.
            thunk = self.offset(lookup or first_thunk)
            while True:
                entry = self._unpack(thunk_layout, thunk)[0]
                if not entry:
                    break
                if entry & by_ordinal:
                    found.append(Import(dll, None, entry & 0xFFFF))
                else:
                    found.append(Import(dll, self.string((entry & 0x7FFFFFFF) + 2), None))  # past the hint
                thunk += 8 if wide else 4
            descriptor += 20
        return found

    def resource(self, type_id, name_id):
        """The bytes of resource TYPE_ID/NAME_ID (first language), or None."""
        rva, size = self.directory(RESOURCE)
        if not size:
            return None
        base = self.offset(rva)

        def entries(directory):
            names, ids = self._unpack("<HH", base + directory + 12)
            for i in range(names + ids):
                yield self._unpack("<II", base + directory + 16 + 8 * i)

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
            data_rva, data_size = self._unpack("<II", base + leaf)
            start = self.offset(data_rva)
            return self.data[start:start + data_size]
        return None

