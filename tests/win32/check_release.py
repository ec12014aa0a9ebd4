#!/usr/bin/env python3
"""Runs scripts/release.sh into WORK_DIR and checks the package it names on its last line:

- panelcal-<version>.zip, with the version of CMakeLists.txt's project();
- exactly x64/panelcal.exe, x86/panelcal.exe, LICENSE, technician-guide.md, SHA256SUMS,
  in name order, all with one time stamp;
- `sha256sum -c SHA256SUMS` passes inside the unpacked folder, and fails once a file is
  damaged;
- the executables are byte for byte the tested builds X64_EXE and X86_EXE, of their machines;
- LICENSE and the guide are the repository's; the guide quotes every message box text and
  caption of src/link/error_report.cpp in both languages;
- packing the unpacked files again gives the same zip, byte for byte.

    check_release.py SOURCE_DIR WORK_DIR X64_EXE X86_EXE
"""
import calendar
import codecs
import os
import re
import shutil
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import Pe  # noqa: E402

ENTRIES = ["LICENSE", "SHA256SUMS", "technician-guide.md", "x64/panelcal.exe", "x86/panelcal.exe"]
COPYRIGHT = "Copyright (c) 2026 the panelcal authors"


def project_version(source):
    with open(os.path.join(source, "CMakeLists.txt")) as f:
        found = re.search(r"project\(panelcal\s+VERSION\s+(\d+\.\d+\.\d+)", f.read())
    return found.group(1) if found else None


def c_string(literals):
    """The bytes of adjacent C string literals (their insides, escapes as written)."""
    return b"".join(codecs.escape_decode(x.encode("ascii"))[0] for x in literals)


def message_texts(source):
    """[(japanese, english)] of the error texts and captions in error_report.cpp."""
    with open(os.path.join(source, "src", "link", "error_report.cpp")) as f:
        code = re.sub(r"//[^\n]*", "", f.read())
    pairs = []
    for japanese, english in re.findall(r'\{((?:\s*"[^"]*")+)\s*,\s*"([^"]*)"\s*\}', code):
        literals = re.findall(r'"([^"]*)"', japanese)
        pairs.append((c_string(literals).decode("cp932"), c_string([english]).decode("ascii")))
    return pairs


def sha256sum_check(folder):
    return subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=folder,
                          capture_output=True, text=True)


def main(argv):
    if len(argv) != 5:
        print(__doc__)
        return 2
    source, work, x64_exe, x86_exe = (os.path.abspath(a) for a in argv[1:])
    errors = []

    released = subprocess.run(["bash", os.path.join(source, "scripts", "release.sh")],
                              env=dict(os.environ, PANELCAL_RELEASE_DIR=work),
                              capture_output=True, text=True)
    if released.returncode != 0:
        print(released.stdout[-4000:], released.stderr[-4000:], sep="\n")
        print("FAIL: scripts/release.sh exited with %d" % released.returncode)
        return 1
    zip_path = released.stdout.strip().splitlines()[-1]
    version = project_version(source)
    print("release.sh: %s" % zip_path)
    if version is None:
        errors.append("no project(panelcal VERSION x.y.z) in CMakeLists.txt")
    elif os.path.basename(zip_path) != "panelcal-%s.zip" % version:
        errors.append("the last line names %s, expected panelcal-%s.zip" % (zip_path, version))
    if not os.path.isfile(zip_path):
        errors.append("%s does not exist" % zip_path)
        for e in errors:
            print("FAIL:", e)
        return 1

    unpacked = os.path.join(work, "unpacked")
    with zipfile.ZipFile(zip_path) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        if names != ENTRIES:
            errors.append("entries %r, expected %r" % (names, ENTRIES))
        times = {i.date_time for i in infos}
        if len(times) != 1:
            errors.append("entries with different times: %r" % sorted(times))
        z.extractall(unpacked)

    def read(*parts):
        with open(os.path.join(*parts), "rb") as f:
            return f.read()

    checked = sha256sum_check(unpacked)
    print(checked.stdout, end="")
    if checked.returncode != 0:
        errors.append("sha256sum -c failed: %s" % checked.stderr.strip())
    listed = sorted(line.split("  ", 1)[1] for line in read(unpacked, "SHA256SUMS").decode().splitlines())
    if listed != [n for n in ENTRIES if n != "SHA256SUMS"]:
        errors.append("SHA256SUMS lists %r" % listed)

    for name, tested, machine in (("x64/panelcal.exe", x64_exe, "x86-64"),
                                  ("x86/panelcal.exe", x86_exe, "i386")):
        shipped = read(unpacked, name)
        if shipped != read(tested):
            errors.append("%s differs from the tested %s" % (name, tested))
        if Pe(shipped).machine_name != machine:
            errors.append("%s is for %s" % (name, Pe(shipped).machine_name))

    licence = read(unpacked, "LICENSE").decode()
    if licence.encode() != read(source, "LICENSE") or "MIT License" not in licence \
            or COPYRIGHT not in licence:
        errors.append("LICENSE is not the repository's MIT licence with %r" % COPYRIGHT)
    guide = read(unpacked, "technician-guide.md")
    if guide != read(source, "docs", "technician-guide.md"):
        errors.append("technician-guide.md is not docs/technician-guide.md")
    texts = message_texts(source)
    if len(texts) < 13:
        errors.append("read only %d texts from error_report.cpp" % len(texts))
    for pair in texts:
        for text in pair:
            if ('"%s"' % text) not in guide.decode("utf-8"):
                errors.append("the guide does not quote the message text %r" % text)

    # Packed again from the unpacked files (new file times) at the zip's own time stamp.
    epoch = calendar.timegm(infos[0].date_time + (0, 0, 0))
    again = os.path.join(work, "again.zip")
    subprocess.run([sys.executable, os.path.join(source, "scripts", "pack_release.py"), again]
                   + ["%s=%s" % (n, os.path.join(unpacked, n)) for n in ENTRIES if n != "SHA256SUMS"],
                   env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)), check=True,
                   stdout=subprocess.DEVNULL)
    if read(again) != read(zip_path):
        errors.append("packing the same files again gives another zip")

    # The checksums catch a damaged file.
    with open(os.path.join(unpacked, "x86", "panelcal.exe"), "r+b") as f:
        f.seek(0x200)
        byte = f.read(1)
        f.seek(0x200)
        f.write(bytes([byte[0] ^ 0xFF]))
    if sha256sum_check(unpacked).returncode == 0:
        errors.append("sha256sum -c passes with a damaged x86/panelcal.exe")
    shutil.rmtree(unpacked, ignore_errors=True)

    for e in errors:
        print("FAIL:", e)
    if errors:
        return 1
    print("OK: %s holds %s" % (zip_path, ", ".join(ENTRIES)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
