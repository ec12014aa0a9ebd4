#!/usr/bin/env python3
"""Packs the release zip: one folder FOLDER holding the given files under the given names
(paths inside the folder, with /), plus SHA256SUMS over all of them, in the format that
`sha256sum -c` reads inside the unpacked folder, with CRLF line endings for Notepad.

    pack_release.py ZIP FOLDER NAME=FILE...

The zip depends only on the files' contents: entries in name order, one fixed time stamp
(SOURCE_DATE_EPOCH when set, otherwise 1980-01-01), fixed permissions. Prints ZIP.
"""
import hashlib
import os
import sys
import time
import zipfile

SUMS = "SHA256SUMS"
OLDEST_ZIP_TIME = 315532800  # 1980-01-01 00:00:00 UTC, the earliest a zip entry can hold


def entry(name, date_time):
    info = zipfile.ZipInfo(name, date_time)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the permissions below are read
    info.external_attr = 0o100644 << 16
    return info


def pack(path, folder, files, epoch):
    """files: {name inside the folder: bytes}."""
    date_time = time.gmtime(max(epoch, OLDEST_ZIP_TIME))[:6]
    sums = "".join(
        "%s  %s\r\n" % (hashlib.sha256(files[name]).hexdigest(), name) for name in sorted(files)
    )
    everything = dict(files)
    everything[SUMS] = sums.encode("ascii")
    with zipfile.ZipFile(path, "w") as z:
        for name in sorted(everything):
            z.writestr(entry(folder + "/" + name, date_time), everything[name], compresslevel=9)


def main(argv):
    if len(argv) < 4 or "/" in argv[2] or not all("=" in a for a in argv[3:]):
        print(__doc__)
        return 2
    files = {}
    for argument in argv[3:]:
        name, path = argument.split("=", 1)
        with open(path, "rb") as f:
            files[name] = f.read()
    pack(argv[1], argv[2], files, int(os.environ.get("SOURCE_DATE_EPOCH", OLDEST_ZIP_TIME)))
    print(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
