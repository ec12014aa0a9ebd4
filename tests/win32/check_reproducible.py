#!/usr/bin/env python3
"""Builds the given Windows presets twice, each time from a fresh copy of the sources in a
folder of its own (different names, different depths), and compares every .exe and .sys
that the two builds produce byte for byte. Any time stamp, checksum over one, or source or
build folder in the output makes them differ.

    check_reproducible.py SOURCE_DIR PRESET...
"""
import os
import shutil
import subprocess
import sys
import tempfile

# What a build of the sources does not read.
NOT_SOURCES = {".git", "build", "out"}
OUTPUTS = (".exe", ".sys")


def copy_sources(source, target):
    def ignored(folder, names):
        return [n for n in names if n in NOT_SOURCES] if folder == source else []

    shutil.copytree(source, target, ignore=ignored, symlinks=True)


def build(tree, preset):
    for command in (["cmake", "--preset", preset], ["cmake", "--build", "--preset", preset]):
        done = subprocess.run(command, cwd=tree, capture_output=True, text=True)
        if done.returncode != 0:
            print(done.stdout[-4000:], done.stderr[-4000:], sep="\n")
            raise SystemExit("FAIL: %s in %s" % (" ".join(command), tree))


def outputs(folder):
    found = {}
    for root, folders, files in os.walk(folder):
        folders[:] = [f for f in folders if f != "CMakeFiles"]  # CMake's own probes
        for name in files:
            if name.endswith(OUTPUTS):
                path = os.path.join(root, name)
                found[os.path.relpath(path, folder)] = path
    return found


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    source, presets = os.path.abspath(argv[1]), argv[2:]
    work = tempfile.mkdtemp(prefix="panelcal-reproducible-")
    trees = [os.path.join(work, "a"), os.path.join(work, "second", "copy-of-the-sources")]
    errors = []
    try:
        for tree in trees:
            copy_sources(source, tree)
        for preset in presets:
            for tree in trees:
                build(tree, preset)
            first, second = (outputs(os.path.join(t, "build", preset)) for t in trees)
            if not first:
                errors.append("%s: no .exe or .sys built" % preset)
            if sorted(first) != sorted(second):
                errors.append("%s: built %s, then %s" % (preset, sorted(first), sorted(second)))
            for name in sorted(set(first) & set(second)):
                a, b = (open(p[name], "rb").read() for p in (first, second))
                if a == b:
                    print("same: %s/%s, %d bytes" % (preset, name, len(a)))
                else:
                    errors.append("%s/%s: differs from byte %d on (%d and %d bytes)"
                                  % (preset, name, first_difference(a, b), len(a), len(b)))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for e in errors:
        print("FAIL:", e)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
