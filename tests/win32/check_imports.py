#!/usr/bin/env python3
"""Checks that a build of panelcal.exe starts on the oldest Windows of its machine and on a
clean Windows: the expected machine, the GUI subsystem, a subsystem and OS version no later
than the floor, imports from system DLLs only and only of functions that the floor's DLLs
have (windows_floor.txt), no symbol table, at most 64 KiB.

    check_imports.py [--self-test] FLOOR_FILE MACHINE EXE     MACHINE: i386 or x86-64

--self-test also damages copies of the executable in memory and makes sure that each
damage is reported.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import (MACHINES, Fault, machine_name, parse, patched, pefile,  # noqa: E402
                      report, report_self_test)

SUBSYSTEM_WINDOWS_GUI = 2
MAX_SIZE = 64 * 1024
# Below 4.0 Windows treats a program as one written for Windows 3.x.
OLDEST_VERSION = (4, 0)


def version(text):
    major, minor = text.split(".")
    return int(major), int(minor)


def shown(v):
    return "%d.%d" % v


def read_floor(path):
    """({machine: (version, name)}, {machine: {dll (lower case): set of functions}})."""
    floors, allowed = {}, {m: {} for m in MACHINES.values()}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, start=1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            if words[0] == "floor" and len(words) >= 4 and words[1] in allowed:
                floors[words[1]] = (version(words[2]), " ".join(words[3:]))
            elif len(words) == 3 and words[2] in ("both", "i386", "x86-64"):
                machines = allowed if words[2] == "both" else [words[2]]
                for m in machines:
                    allowed[m].setdefault(words[0].lower(), set()).add(words[1])
            else:
                raise ValueError("%s:%d: cannot read %r" % (path, number, line.strip()))
    return floors, allowed


def versions(pe):
    """(subsystem version, OS version) of the optional header."""
    h = pe.OPTIONAL_HEADER
    return ((h.MajorSubsystemVersion, h.MinorSubsystemVersion),
            (h.MajorOperatingSystemVersion, h.MinorOperatingSystemVersion))


def imports(pe):
    """[(dll, function name or None, ordinal)] in the order of the import table."""
    return [(entry.dll.decode("ascii"), imp.name and imp.name.decode("ascii"), imp.ordinal)
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for imp in entry.imports]


def check(image, machine, floors, allowed):
    errors = []
    try:
        pe = parse(image)
        floor, floor_name = floors[machine]
        if machine_name(pe) != machine:
            errors.append("machine %s, expected %s" % (machine_name(pe), machine))
        if pe.OPTIONAL_HEADER.Subsystem != SUBSYSTEM_WINDOWS_GUI:
            errors.append("subsystem %d, expected 2 (Windows GUI)" % pe.OPTIONAL_HEADER.Subsystem)
        for what, v in zip(("subsystem", "OS"), versions(pe)):
            if v > floor:
                errors.append("%s version %s: later than %s (%s)"
                              % (what, shown(v), shown(floor), floor_name))
            if v < OLDEST_VERSION:
                errors.append("%s version %s: older than %s"
                              % (what, shown(v), shown(OLDEST_VERSION)))
        if pe.FILE_HEADER.PointerToSymbolTable or pe.FILE_HEADER.NumberOfSymbols:
            errors.append("holds a symbol table (%d symbols): not stripped"
                          % pe.FILE_HEADER.NumberOfSymbols)
        if len(image) > MAX_SIZE:
            errors.append("%d bytes, more than %d" % (len(image), MAX_SIZE))
        found = imports(pe)
        if not found:
            errors.append("imports nothing")
        permitted = allowed[machine]
        for dll, name, ordinal in found:
            functions = permitted.get(dll.lower())
            if functions is None:
                errors.append("imports from %s" % dll)
            elif name is None:
                errors.append("imports ordinal %d from %s" % (ordinal, dll))
            elif name not in functions:
                errors.append("imports %s from %s, not known on %s" % (name, dll, floor_name))
    except (Fault, ValueError, UnicodeDecodeError) as fault:
        errors.append(str(fault) or type(fault).__name__)
    return errors


def renamed(image, old, new):
    """The image with one name in its import data replaced by a name no longer than it."""
    assert len(new) <= len(old) and image.count(old + b"\0") == 1, old
    return image.replace(old + b"\0", new.ljust(len(old), b"\0") + b"\0")


def damaged_copies(image, machine):
    """(what, damaged image) pairs, each of which the check must reject."""
    pe = parse(image)

    def at(structure, field, data):
        return patched(image, structure.get_field_absolute_offset(field), data)

    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    other = {"i386": 0x8664, "x86-64": 0x014C}[machine]
    yield "other machine", at(header, "Machine", struct.pack("<H", other))
    yield "console subsystem", at(optional, "Subsystem", struct.pack("<H", 3))
    yield "subsystem 6.0 (Vista)", at(optional, "MajorSubsystemVersion", struct.pack("<HH", 6, 0))
    yield "OS version 6.0 (Vista)", at(optional, "MajorOperatingSystemVersion",
                                       struct.pack("<HH", 6, 0))
    yield "subsystem 3.10", at(optional, "MajorSubsystemVersion", struct.pack("<HH", 3, 10))
    # GetTickCount64 came with Vista: on neither floor.
    yield "import newer than the floor", renamed(image, b"GetStartupInfoA", b"GetTickCount64")
    yield "import from ntdll", renamed(image, b"KERNEL32.dll", b"ntdll.dll")
    first = pe.DIRECTORY_ENTRY_IMPORT[0].imports[0]
    wide = pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS
    yield "import by ordinal", patched(image, first.thunk_offset, struct.pack(
        "<Q", 1 << 63 | 5) if wide else struct.pack("<I", 1 << 31 | 5))
    yield "symbol table", at(header, "PointerToSymbolTable", struct.pack("<II", len(image), 1))
    # Bytes of every value: an overlay of one value alone is a fault of its own to pefile.
    yield "over 64 KiB", image + bytes(range(256)) * (MAX_SIZE // 256)


def main(argv):
    args = argv[1:]
    self_test = args[:1] == ["--self-test"]
    if self_test:
        args = args[1:]
    if len(args) != 3 or args[1] not in MACHINES.values():
        print(__doc__)
        return 2
    floor_file, machine, path = args
    floors, allowed = read_floor(floor_file)
    with open(path, "rb") as f:
        image = f.read()
    if report(check(image, machine, floors, allowed)):
        return 1
    if self_test and report_self_test(
            (what, check(damaged, machine, floors, allowed))
            for what, damaged in damaged_copies(image, machine)):
        return 1
    pe = parse(image)
    found = imports(pe)
    print("OK: %s: %s, Windows GUI, subsystem %s, OS %s (floor %s, %s), %d bytes, %d imports from %s"
          % ((path, machine) + tuple(shown(v) for v in versions(pe))
             + (shown(floors[machine][0]), floors[machine][1], len(image), len(found),
                ", ".join(sorted({dll for dll, _, _ in found})))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
