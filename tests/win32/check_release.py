#!/usr/bin/env python3
"""Runs scripts/release.sh into WORK_DIR and checks the package it names on its last line:

- panelcal-<version>.zip, with the version of CMakeLists.txt's project();
- one folder panelcal-<version>/ holding exactly x64/panelcal.exe, x86/panelcal.exe,
  guide-en.html, guide-ja.html, LICENSE, CHANGES, SHA256SUMS and the same PNG pictures under
  pictures/en/ and pictures/ja/, in name order, all with one time stamp;
- `sha256sum -c SHA256SUMS` passes inside the unpacked folder, and fails once a file is
  damaged;
- the executables are byte for byte the tested builds X64_EXE and X86_EXE, of their machines;
- LICENSE and CHANGES are the repository's, with CRLF line endings;
- each guide names the version before its first section and quotes every message box text and
  caption of src/link/error_report.cpp in both languages;
- packing the unpacked files again gives the same zip, byte for byte;
- release.sh run again from a copy of the sources in another folder gives the same zip, byte
  for byte.

The unpacked package stays in WORK_DIR/package/ for the check of the guides' pages.

    check_release.py SOURCE_DIR WORK_DIR X64_EXE X86_EXE
"""
import calendar
import codecs
import html.parser
import os
import re
import shutil
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import machine_name, parse  # noqa: E402

# Every file of the package but the pictures, in the zip's order.
FILES = ["CHANGES", "LICENSE", "SHA256SUMS", "guide-en.html", "guide-ja.html",
         "x64/panelcal.exe", "x86/panelcal.exe"]
PICTURES = ("pictures/en/", "pictures/ja/")
COPYRIGHT = "Copyright (c) 2026 the panelcal authors"
# What a release does not read from the source folder.
NOT_SOURCES = {".git", "build", "out"}


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


class PageText(html.parser.HTMLParser):
    """The text of an HTML page, entities resolved."""

    def __init__(self, page):
        super().__init__()
        self.parts = []
        self.feed(page)
        self.close()
        self.text = "".join(self.parts)

    def handle_data(self, data):
        self.parts.append(data)


def crlf_lines(data):
    """Whether every line of data ends in CRLF, and none has a lone CR or LF."""
    return data.endswith(b"\r\n") and data.count(b"\n") == data.count(b"\r\n") \
        == data.count(b"\r")


def release(source, work, epoch=None):
    """Runs release.sh of SOURCE into WORK; returns the path on its last line, or None."""
    env = dict(os.environ, PANELCAL_RELEASE_DIR=work)
    if epoch is not None:
        env["SOURCE_DATE_EPOCH"] = str(epoch)
    released = subprocess.run(["bash", os.path.join(source, "scripts", "release.sh")],
                              env=env, capture_output=True, text=True)
    if released.returncode != 0:
        print(released.stdout[-4000:], released.stderr[-4000:], sep="\n")
        print("FAIL: %s/scripts/release.sh exited with %d" % (source, released.returncode))
        return None
    return released.stdout.strip().splitlines()[-1]


def first_differences(zip_a, zip_b):
    """The names of the entries that differ between two zips (or that only one holds)."""
    with zipfile.ZipFile(zip_a) as a, zipfile.ZipFile(zip_b) as b:
        ours, theirs = ({n: z.read(n) for n in z.namelist()} for z in (a, b))
    return sorted(n for n in set(ours) | set(theirs) if ours.get(n) != theirs.get(n)) \
        or ["the same entries, other zip bytes"]


def sha256sum_check(folder):
    return subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=folder,
                          capture_output=True, text=True)


def main(argv):
    if len(argv) != 5:
        print(__doc__)
        return 2
    source, work, x64_exe, x86_exe = (os.path.abspath(a) for a in argv[1:])
    errors = []

    zip_path = release(source, os.path.join(work, "first"))
    if zip_path is None:
        return 1
    version = project_version(source)
    folder = "panelcal-%s" % version
    print("release.sh: %s" % zip_path)
    if version is None:
        errors.append("no project(panelcal VERSION x.y.z) in CMakeLists.txt")
    elif os.path.basename(zip_path) != folder + ".zip":
        errors.append("the last line names %s, expected %s.zip" % (zip_path, folder))
    if not os.path.isfile(zip_path):
        errors.append("%s does not exist" % zip_path)
        for e in errors:
            print("FAIL:", e)
        return 1

    package = os.path.join(work, "package")
    shutil.rmtree(package, ignore_errors=True)
    with zipfile.ZipFile(zip_path) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        z.extractall(package)
    unpacked = os.path.join(package, folder)
    inside = [n[len(folder) + 1:] for n in names if n.startswith(folder + "/")]
    if len(inside) != len(names) or names != sorted(names):
        errors.append("entries not all in %s/, or not in name order: %r" % (folder, names))
    pictures = {p: sorted(n[len(p):] for n in inside if n.startswith(p)) for p in PICTURES}
    if [n for n in inside if not n.startswith(PICTURES)] != FILES:
        errors.append("files %r, expected %r and pictures" % (inside, FILES))
    if not pictures[PICTURES[0]] or pictures[PICTURES[0]] != pictures[PICTURES[1]] \
            or not all(n.endswith(".png") and "/" not in n for n in pictures[PICTURES[0]]):
        errors.append("pictures %r, expected the same PNG files in each language" % pictures)
    times = {i.date_time for i in infos}
    if len(times) != 1:
        errors.append("entries with different times: %r" % sorted(times))

    def read(*parts):
        with open(os.path.join(*parts), "rb") as f:
            return f.read()

    checked = sha256sum_check(unpacked)
    if checked.returncode != 0:
        errors.append("sha256sum -c failed: %s" % checked.stderr.strip())
    sums = read(unpacked, "SHA256SUMS")
    listed = sorted(line.split("  ", 1)[1] for line in sums.decode().splitlines())
    if listed != sorted(n for n in inside if n != "SHA256SUMS"):
        errors.append("SHA256SUMS lists %r" % listed)

    for name, tested, machine in (("x64/panelcal.exe", x64_exe, "x86-64"),
                                  ("x86/panelcal.exe", x86_exe, "i386")):
        shipped = read(unpacked, name)
        if shipped != read(tested):
            errors.append("%s differs from the tested %s" % (name, tested))
        if machine_name(parse(shipped)) != machine:
            errors.append("%s is for %s" % (name, machine_name(parse(shipped))))

    # Notepad before Windows 10 shows only CRLF line endings as lines.
    for name in ("SHA256SUMS", "LICENSE", "CHANGES"):
        if not crlf_lines(read(unpacked, name)):
            errors.append("%s has line endings other than CRLF" % name)
    licence = read(unpacked, "LICENSE").decode()
    if licence.replace("\r\n", "\n").encode() != read(source, "LICENSE") \
            or "MIT License" not in licence or COPYRIGHT not in licence:
        errors.append("LICENSE is not the repository's MIT licence with %r" % COPYRIGHT)
    if read(unpacked, "CHANGES") != read(source, "CHANGES"):
        errors.append("CHANGES is not the repository's")

    texts = message_texts(source)
    if len(texts) < 13:
        errors.append("read only %d texts from error_report.cpp" % len(texts))
    for name in ("guide-en.html", "guide-ja.html"):
        page = read(unpacked, name).decode("utf-8")
        first_section = page.find("<h2")
        if version is None or version not in PageText(page[:max(first_section, 0)]).text:
            errors.append("%s does not name version %s before its first section" % (name, version))
        words = PageText(page).text
        for pair in texts:
            for text in pair:
                if ('"%s"' % text) not in words:
                    errors.append("%s does not quote the message text %r" % (name, text))

    # Packed again from the unpacked files (new file times) at the zip's own time stamp.
    epoch = calendar.timegm(infos[0].date_time + (0, 0, 0))
    again = os.path.join(work, "again.zip")
    subprocess.run([sys.executable, os.path.join(source, "scripts", "pack_release.py"), again,
                    folder] + ["%s=%s" % (n, os.path.join(unpacked, n)) for n in inside
                               if n != "SHA256SUMS"],
                   env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)), check=True,
                   stdout=subprocess.DEVNULL)
    if read(again) != read(zip_path):
        errors.append("packing the same files again gives another zip")

    # The checksums catch a damaged file.
    damaged = os.path.join(work, "damaged")
    shutil.rmtree(damaged, ignore_errors=True)
    shutil.copytree(unpacked, damaged)
    with open(os.path.join(damaged, "x86", "panelcal.exe"), "r+b") as f:
        f.seek(0x200)
        byte = f.read(1)
        f.seek(0x200)
        f.write(bytes([byte[0] ^ 0xFF]))
    if sha256sum_check(damaged).returncode == 0:
        errors.append("sha256sum -c passes with a damaged x86/panelcal.exe")
    shutil.rmtree(damaged, ignore_errors=True)

    # The whole release once more from a copy of the sources in another folder, at the first
    # one's time stamp: no path, time or chance may reach the zip.
    copy = os.path.join(work, "second", "copy-of-the-sources")
    shutil.rmtree(os.path.join(work, "second"), ignore_errors=True)
    shutil.copytree(source, copy, symlinks=True,
                    ignore=lambda d, n: [x for x in n if x in NOT_SOURCES] if d == source else [])
    second = release(copy, os.path.join(work, "second", "release"), epoch)
    if second is None:
        errors.append("release.sh failed in a copy of the sources")
    elif read(second) != read(zip_path):
        errors.append("release.sh in another folder gives another zip: %s"
                      % ", ".join(first_differences(zip_path, second)))
    shutil.rmtree(os.path.join(work, "second"), ignore_errors=True)

    for e in errors:
        print("FAIL:", e)
    if errors:
        return 1
    print("OK: %s holds %s and %d pictures in each language; a second release.sh gives the same"
          " bytes" % (zip_path, ", ".join(FILES), len(pictures[PICTURES[0]])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
