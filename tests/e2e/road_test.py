#!/usr/bin/env python3
"""Road tests: the real panelcal.exe under Wine on a virtual screen, talking to the
simulated controller driver, driven through the X server as a user would drive it.

    road_test.py [paths] setup          prepare the rig (Xvfb, fresh prefix, driver)
    road_test.py [paths] run CASE...    run cases on a prepared rig
    road_test.py [paths] teardown       end the rig and delete its Wine prefix
    road_test.py [paths] all            setup, every case, teardown; one line per case
    road_test.py list                   the case names

paths: --rig DIR (the rig's folder), --exe, --driver, --probe, --pnlwin (the built .exe, .sys,
pnlprobe.exe and pnlwin.exe), --artifacts DIR (screenshots and logs, one folder per case).
x86 build: --wine32 (scripts/wine32-chroot.sh's Wine), --trace DIR (qemu's, of the .exe's code).

The cases live in the cases_*.py modules beside this file; harness.py holds what they share.
Every wait polls a condition with a deadline; nothing sleeps for a fixed time.
"""

import glob
import importlib
import os
import sys

sys.dont_write_bytecode = True  # keep the source folder clean
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402

for path in sorted(glob.glob(os.path.join(HERE, "cases_*.py"))):
    importlib.import_module(os.path.splitext(os.path.basename(path))[0])

if __name__ == "__main__":
    try:
        sys.exit(harness.main())
    except harness.CheckFailed as error:
        print("road tests: %s" % error, file=sys.stderr)
        sys.exit(1)
