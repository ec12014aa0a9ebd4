"""What the checks of a PE image (a Windows .exe) share: the image read by Debian's pefile, and
one report of the faults found and of the self-test's damaged copies.

Only reads; each check damages copies of the bytes itself to prove that it notices.
"""
import sys

try:
    import pefile
except ImportError:  # a Python of its own first on PATH: Debian's modules are Debian Python's
    sys.path.append("/usr/lib/python3/dist-packages")
    import pefile

MACHINES = {0x014C: "i386", 0x8664: "x86-64"}


class Fault(Exception):
    pass


def parse(image):
    """The pefile.PE of image (bytes). Whatever pefile has to guess at or skip is a fault."""
    try:
        pe = pefile.PE(data=image)
    except pefile.PEFormatError as error:
        raise Fault(error.value)
    if pe.get_warnings():
        raise Fault("; ".join(pe.get_warnings()))
    return pe


def machine_name(pe):
    machine = pe.FILE_HEADER.Machine
    return MACHINES.get(machine, "0x%04X" % machine)


# ---- what the checks of an image report, and their self-tests' damage ------------------


def patched(image, offset, new):
    return image[:offset] + new + image[offset + len(new) :]


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
