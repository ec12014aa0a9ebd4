#!/usr/bin/env python3
"""Checks that panelcal.exe is a Windows GUI program that imports from system DLLs only,
so that it starts on a clean Windows without any runtime DLLs beside it.

    check_imports.py OBJDUMP EXE
"""
import re
import subprocess
import sys

ALLOWED = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}
SUBSYSTEM_WINDOWS_GUI = 2


def main(argv):
    objdump, exe = argv[1], argv[2]
    dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    dlls = re.findall(r"^\s*DLL Name:\s*(\S+)\s*$", dump, re.MULTILINE)
    subsystem = re.search(r"^Subsystem\s+([0-9a-fA-F]+)", dump, re.MULTILINE)

    errors = []
    if not dlls:
        errors.append("no imported DLLs found in the dump")
    for dll in dlls:
        if dll.lower() not in ALLOWED:
            errors.append("imports from %s" % dll)
    if subsystem is None:
        errors.append("no subsystem in the dump")
    elif int(subsystem.group(1), 16) != SUBSYSTEM_WINDOWS_GUI:
        errors.append("subsystem %d, expected 2 (Windows GUI)" % int(subsystem.group(1), 16))

    for e in errors:
        print("FAIL:", e)
    if errors:
        return 1
    print("OK: subsystem Windows GUI, imports", ", ".join(dlls))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
