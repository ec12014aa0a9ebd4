"""The parts of a PE image (a Windows .exe) that the checks read: the file header, the
optional header, the sections (and which hold code), the import table and where the
resources start.

Only reads; each check damages copies of the bytes itself to prove that it notices.
"""
import struct

MACHINES = {0x014C: "i386", 0x8664: "x86-64"}
PE32, PE32_PLUS = 0x10B, 0x20B
DIRECTORY_IMPORT, DIRECTORY_RESOURCE = 1, 2
SCN_CNT_CODE, SCN_MEM_EXECUTE = 0x20, 0x20000000


class Fault(Exception):
    pass


def u16(b, o):
    return struct.unpack_from("<H", b, o)[0]


def u32(b, o):
    return struct.unpack_from("<I", b, o)[0]


def u64(b, o):
    return struct.unpack_from("<Q", b, o)[0]


class Import:
    """One imported function: by name, or by ordinal (name None); thunk is the file offset
    of its entry in the lookup table."""

    def __init__(self, dll, name, ordinal, thunk):
        self.dll, self.name, self.ordinal, self.thunk = dll, name, ordinal, thunk


class Pe:
    def __init__(self, image):
        self.image = image
        if image[:2] != b"MZ":
            raise Fault("not an MZ executable")
        pe = u32(image, 0x3C)
        if image[pe : pe + 4] != b"PE\0\0":
            raise Fault("no PE signature")
        header = pe + 4
        self.machine_offset = header
        self.machine = u16(image, header)
        sections = u16(image, header + 2)
        self.time_stamp = u32(image, header + 4)
        self.symbol_table = u32(image, header + 8)
        self.symbol_count = u32(image, header + 12)
        self.symbol_offset = header + 8
        optional_size = u16(image, header + 16)

        optional = header + 20
        self.optional = optional
        self.magic = u16(image, optional)
        if self.magic not in (PE32, PE32_PLUS):
            raise Fault("optional header magic 0x%04X" % self.magic)
        self.image_base = (u32 if self.magic == PE32 else u64)(
            image, optional + (28 if self.magic == PE32 else 24))
        self.os_version = struct.unpack_from("<HH", image, optional + 40)
        self.subsystem_version = struct.unpack_from("<HH", image, optional + 48)
        self.subsystem = u16(image, optional + 68)
        self.os_version_offset = optional + 40
        self.subsystem_version_offset = optional + 48
        self.subsystem_offset = optional + 68
        directories = optional + (96 if self.magic == PE32 else 112)
        count = u32(image, directories - 4)
        self.directories = [
            struct.unpack_from("<II", image, directories + 8 * i) for i in range(min(count, 16))
        ]
        self.resource_rva = self.directory(DIRECTORY_RESOURCE)[0]

        self.sections = []
        # (name, rva, size, file offset) of the sections that hold code or may be executed,
        # size being the part of the section that the file holds.
        self.code_sections = []
        table = optional + optional_size
        for i in range(sections):
            s = table + 40 * i
            vsize, rva, raw_size, raw = struct.unpack_from("<IIII", image, s + 8)
            self.sections.append((rva, max(vsize, raw_size), raw))
            if u32(image, s + 36) & (SCN_CNT_CODE | SCN_MEM_EXECUTE):
                name = image[s : s + 8].rstrip(b"\0").decode("ascii")
                self.code_sections.append((name, rva, min(vsize or raw_size, raw_size), raw))

    @property
    def machine_name(self):
        return MACHINES.get(self.machine, "0x%04X" % self.machine)

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise Fault("address 0x%x lies in no section" % rva)

    def string(self, rva):
        o = self.offset(rva)
        end = self.image.index(b"\0", o)
        return self.image[o:end].decode("ascii")

    def imports(self):
        """[Import] in the order of the import table."""
        rva, _ = self.directory(DIRECTORY_IMPORT)
        if rva == 0:
            return []
        wide = self.magic == PE32_PLUS
        size, flag = (8, 1 << 63) if wide else (4, 1 << 31)
        found = []
        o = self.offset(rva)
        while True:
            lookup, _, _, name, address = struct.unpack_from("<IIIII", self.image, o)
            if lookup == 0 and name == 0 and address == 0:
                return found
            dll = self.string(name)
            thunk = self.offset(lookup or address)
            while True:
                entry = (u64 if wide else u32)(self.image, thunk)
                if entry == 0:
                    break
                if entry & flag:
                    found.append(Import(dll, None, entry & 0xFFFF, thunk))
                else:
                    found.append(Import(dll, self.string((entry & 0x7FFFFFFF) + 2), None, thunk))
                thunk += size
            o += 20


# ---- what the checks of an image report --------------------------------------------------


def report(errors):
    """Prints each fault found in the image; 1 when there is one, else 0."""
    for e in errors:
        print("FAIL:", e)
    return 1 if errors else 0


def report_self_test(results, width=28):
    """results: (damage, faults the check found in the damaged copy) pairs, the faults empty
    when the damage went unnoticed. Prints each; 1 when one was missed, else 0."""
    missed = 0
    for what, found in results:
        print("%-*s %s" % (width, what, "caught: " + "; ".join(found) if found else "MISSED"))
        missed += not found
    return 1 if missed else 0
