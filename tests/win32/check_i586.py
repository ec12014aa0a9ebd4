#!/usr/bin/env python3
"""Checks that the x86 build of panelcal.exe runs on Pentium-class (i586) processors: no
instruction in its code came with the Pentium Pro or later. objdump disassembles every
section that holds code from its first byte to its last (its listing must cover each byte
once, with the file's bytes), and the check rejects

  - CMOVcc, FCMOVcc, FCOMI, FCOMIP, FUCOMI and FUCOMIP;
  - the multi-byte NOP and the other hint opcodes 0F 18 to 0F 1F (0F 1E holds ENDBR32 too),
    both by objdump's name and by the raw bytes: 0F 18..1F as the opcode of any decoded
    instruction, after its prefixes, whatever objdump calls it;
  - MMX, 3DNow! and SSE of any level: any MMX or vector register, and those instructions of
    theirs that name none (EMMS, LDMXCSR, the fences, PREFETCH..., FISTTP, FXSAVE, ...);
  - a few later instructions without such registers (POPCNT, LZCNT, MOVBE, SYSENTER, ...).

objdump decodes each section straight on from its start, as the processor runs code that a
compiler wrote: such code holds no instructions that overlap, and its only data are the
linker's constructor and destructor lists at the end of .text.

--executed checks only those that the program executed in the x86 road tests, as qemu traced
them (TRACE_DIR/*.log of the processes that started at its entry point): each must start an
instruction of the listing, and a trace without such a process fails.

    check_i586.py [--executed TRACE_DIR] [--self-test] OBJDUMP EXE
                                                        OBJDUMP: i686-w64-mingw32-objdump

--self-test also writes copies of the executable, each with one such instruction in place of
one of its own (an executed one), and makes sure that each is reported there (the multi-byte
NOP both by name and by its bytes); --executed, an empty trace and a jump into an instruction.
"""
import glob
import os
import re
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import (Fault, machine_name, parse, patched, pefile, report,  # noqa: E402
                      report_self_test)

# One line of `objdump -D -z --insn-width=15`: address, the instruction's bytes, its text.
LINE = re.compile(r"^ *([0-9a-f]+):\t((?:[0-9a-f]{2} )*[0-9a-f]{2}) *\t(.*)$")
# Words of an instruction's text that are mnemonics or prefixes rather than operands.
NAME = re.compile(r"^[a-z][a-z0-9.]*$")
PREFIXES = frozenset(b"\x26\x2e\x36\x3e\x64\x65\x66\x67\xf0\xf2\xf3")

FORBIDDEN_NAMES = [
    (re.compile(r"cmov[a-z]+|fcmov[a-z]+|fu?comip?"), "Pentium Pro"),
    (re.compile(r"nop[wl]|endbr(32|64)|prefetch[a-z0-9]*"), "hint or multi-byte NOP"),
    (re.compile(r"f?emms|ldmxcsr|stmxcsr|[lsm]fence|clflush[a-z]*|movnti|fisttp[a-z]*"
                r"|fx(save|rstor)[a-z0-9]*|maskmovq"), "MMX or SSE"),
    (re.compile(r"popcnt|lzcnt|tzcnt|movbe|crc32[a-z]*|sys(enter|exit)|rdtscp"),
     "later than the Pentium"),
]
VECTOR_REGISTER = re.compile(r"%(?:[xyz]?mm[0-9]+|k[0-7]\b)")
HINT_OPCODE = re.compile(rb"\x0f[\x18-\x1f]")
# An instruction in qemu's in_asm trace: address, bytes, text (more bytes go on lines of their own).
TRACED = re.compile(r"^0x([0-9a-f]+):  (?:[0-9a-f]{2} )*[0-9a-f]{2}  +\S")
CODE = (pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_CNT_CODE"]
        | pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"])


def code_sections(pe):
    """(name, address, size, file offset) of the sections that hold code or may be executed,
    size being the part of the section that the file holds."""
    return [(s.Name.rstrip(b"\0").decode("ascii"), pe.OPTIONAL_HEADER.ImageBase + s.VirtualAddress,
             min(s.Misc_VirtualSize or s.SizeOfRawData, s.SizeOfRawData), s.PointerToRawData)
            for s in pe.sections if s.Characteristics & CODE]


def disassemble(objdump, path, section):
    """[(address, bytes, text)] of one section, in the order of objdump's listing."""
    out = subprocess.run(
        [objdump, "-D", "-z", "--insn-width=15", "-j", section, path],
        capture_output=True, text=True)
    if out.returncode != 0:
        raise Fault("%s failed on %s: %s" % (objdump, section, out.stderr.strip()))
    found = []
    for line in out.stdout.splitlines():
        m = LINE.match(line)
        if m:
            found.append((int(m.group(1), 16), bytes.fromhex(m.group(2)), m.group(3)))
    return found


def named(text):
    """Why the instruction written as text is not for a Pentium, or None."""
    words = text.split("#", 1)[0].split()
    names = [w for w in words if NAME.match(w)]
    if "nop" in names and len(names) < len(words):
        return "multi-byte NOP"
    for pattern, why in FORBIDDEN_NAMES:
        if any(pattern.fullmatch(w) for w in names):
            return why
    if VECTOR_REGISTER.search(text):
        return "MMX or SSE register"
    return None


def opcode(code):
    """Where the opcode of an instruction's bytes starts, after its prefixes."""
    i = 0
    while i < len(code) - 1 and code[i] in PREFIXES:
        i += 1
    return i


def listings(image, objdump):
    """The pefile.PE, and (name, address, bytes, objdump's listing) of each code section."""
    pe = parse(image)
    if machine_name(pe) != "i386":
        raise Fault("machine %s, expected i386" % machine_name(pe))
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "panelcal.exe")
        with open(path, "wb") as f:
            f.write(image)
        sections = [(name, start, image[raw : raw + size], disassemble(objdump, path, name))
                    for name, start, size, raw in code_sections(pe)]
    if not sections:
        raise Fault("no section holds code")
    return pe, sections


def check(image, objdump, executed=None):
    """Faults of the image's code: of every instruction, or of those executed (addresses)."""
    errors = []
    try:
        pe, sections = listings(image, objdump)
        for name, start, code, listing in sections:
            errors += check_section(code, start, listing, name, executed)
        if executed is not None:
            if not executed:
                errors.append("no run of the program traced: nothing was checked")
            starts = {address for _, _, _, listing in sections for address, _, _ in listing}
            errors += ["0x%x: executed, but no instruction of objdump's listing starts there"
                       % address for address in sorted(executed - starts)]
    except (Fault, struct.error, ValueError) as fault:
        errors.append(str(fault) or type(fault).__name__)
    return errors


def check_section(code, start, listing, name, executed=None):
    errors = []
    # The listing covers every byte once, with the bytes of the file.
    at = start
    for address, insn, _ in listing:
        if address != at or code[address - start : address - start + len(insn)] != insn:
            return ["%s: objdump's listing does not match the bytes at 0x%x" % (name, address)]
        at += len(insn)
    if at != start + len(code):
        return ["%s: objdump's listing ends at 0x%x, the section at 0x%x"
                % (name, at, start + len(code))]

    for address, insn, text in listing:
        if executed is not None and address not in executed:
            continue
        why = named(text)
        if why:
            errors.append("0x%x: %s (%s)" % (address, text, why))
        # The hint and multi-byte NOP opcodes by their bytes, whatever objdump calls them.
        hint = HINT_OPCODE.match(insn, opcode(insn))
        if hint:
            errors.append("0x%x: bytes 0F %02X, a hint or multi-byte NOP opcode (%s)"
                          % (address, hint.group()[1], text))
    return errors


def executed_addresses(folder, image):
    """The addresses in qemu's in_asm traces (folder/*.log) of the processes that ran the .exe
    from its entry point; the desktop process that it may start runs other code there."""
    header = parse(image).OPTIONAL_HEADER
    found = set()
    for path in glob.glob(os.path.join(folder, "*.log")):
        with open(path, encoding="ascii", errors="replace") as f:
            traced = {int(m.group(1), 16) for m in map(TRACED.match, f) if m}
        if header.ImageBase + header.AddressOfEntryPoint in traced:
            found |= traced
    return found


def injected_copies(image, objdump, executed=None):
    """(what, address, damaged image) triples: an instruction of the Pentium Pro or later in
    place of one of the image's own (one that was executed, given those addresses), the rest
    of which becomes one-byte NOPs."""
    pe, sections = listings(image, objdump)
    address, insn = next((a, i) for a, i, _ in sections[0][3]
                         if len(i) >= 6 and (executed is None or a in executed))
    offset = pe.get_offset_from_rva(address - pe.OPTIONAL_HEADER.ImageBase)
    for what, new in [
        ("CMOVE", b"\x0f\x44\xc2"),
        ("FCMOVB", b"\xda\xc1"),
        ("FCOMI", b"\xdb\xf1"),
        ("FUCOMIP", b"\xdf\xe9"),
        ("multi-byte NOP", b"\x66\x0f\x1f\x44\x00\x00"),
        ("MMX PXOR", b"\x0f\xef\xc0"),
        ("SSE XORPS", b"\x0f\x57\xc0"),
        ("SSE LDMXCSR", b"\x0f\xae\x10"),
    ]:
        new = new.ljust(len(insn), b"\x90")
        yield what, address, patched(image, offset, new)


def injected_faults(image, objdump, executed=None):
    """(damage, faults found) for each injected copy (and damaged trace): caught when the
    instruction is named at its address, and a NOP by its bytes too; else no faults."""
    for what, address, damaged in injected_copies(image, objdump, executed):
        found = [e for e in check(damaged, objdump, executed) if e.startswith("0x%x:" % address)]
        by_bytes = [e for e in found if " bytes " in e]
        caught = len(found) > len(by_bytes) and (by_bytes or "NOP" not in what)
        yield what, found if caught else []
    if executed is not None:
        yield "empty trace", check(image, objdump, set())
        inside = address + 1  # into the executed instruction replaced above, 6 bytes or more
        yield "inside an instruction", [e for e in check(image, objdump, executed | {inside})
                                        if e.startswith("0x%x:" % inside)]


def main(argv):
    args = argv[1:]
    trace, args = (args[1], args[2:]) if args[:1] == ["--executed"] else (None, args)
    self_test = args[:1] == ["--self-test"]
    if self_test:
        args = args[1:]
    if len(args) != 2:
        print(__doc__)
        return 2
    objdump, path = args
    with open(path, "rb") as f:
        image = f.read()
    executed = None if trace is None else executed_addresses(trace, image)
    if report(check(image, objdump, executed)):
        return 1
    if self_test and report_self_test(injected_faults(image, objdump, executed), 21):
        return 1
    checked = ["%s (%d bytes)" % (s[0], s[2]) for s in code_sections(parse(image))] \
        if executed is None else ["the %d executed (%s)" % (len(executed), trace)]
    print("OK: %s: no instruction later than the Pentium in %s" % (path, ", ".join(checked)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
