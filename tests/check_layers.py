#!/usr/bin/env python3
"""Checks that the sources' includes point down the layers: calib/ may use link/, screen/ and
settings/; those three may use each other and platform/; platform/ uses none of them; and no
folder but platform/ includes <windows.h>."""
import os
import re
import sys

SRC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
OWN = ("calib", "link", "screen", "settings")
FORBIDDEN = {
    "calib": set(),
    "link": {"calib"},
    "screen": {"calib"},
    "settings": {"calib"},
    "platform": set(OWN),
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def main():
    faults = []
    for folder, forbidden in FORBIDDEN.items():
        for root, _, files in os.walk(os.path.join(SRC, folder)):
            for name in sorted(files):
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for _, header in INCLUDE.findall(text):
                    top = header.split("/")[0]
                    if top in forbidden:
                        faults.append(f"{os.path.relpath(path, SRC)} includes {header}")
                    if folder != "platform" and header.lower() == "windows.h":
                        faults.append(f"{os.path.relpath(path, SRC)} includes <windows.h>")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
