#!/usr/bin/env python3
"""Benchmarks of the real panelcal.exe under Wine, with the simulated controller driver:

  - start:  from `wine panelcal.exe` to the first target shown in red (warm Wine session);
  - touch:  from the release on a target to the next target shown in red (one CAL-POINT
            exchange with the driver, the beep, the erase and the next mark);
  - size:   the .exe's size and the DLLs it imports.

Goals (a technician should never wait on the utility): start under 1 s, touch under 50 ms,
the .exe under 64 KiB with system DLLs only. Prints one line per measure and exits 1 when a
median misses its goal. Not part of the test command: timings belong here, not in tests.

    bench/latency.py [--runs N] [--build build/mingw]
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import harness  # noqa: E402
from harness import RED, TARGETS, Case, check, wait_until  # noqa: E402

GOAL_START_S = 1.0
GOAL_TOUCH_S = 0.050
GOAL_SIZE = 64 * 1024
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "imm32.dll", "msvcrt.dll"}


def measure_start(c):
    started = time.monotonic()
    c.launch()
    wait_until(lambda: c.mark_colour(TARGETS[0]) == RED, 20, "the first target", 0.001)
    seconds = time.monotonic() - started
    wait_until(lambda: len(c.rig.sent()) >= 2, 10, "DIAG and CAL-IN")
    return seconds


def measure_touches(c):
    times = []
    for i in range(len(TARGETS) - 1):
        c.rig.mouse_move(*TARGETS[i])
        c.pointer = TARGETS[i]
        c.rig.mouse_down()
        c.wait_mark(i, harness.BLUE, "blue")
        started = time.monotonic()
        c.rig.mouse_up()
        nxt = TARGETS[i + 1]
        wait_until(lambda: set(c.screen.pixels([nxt, (nxt[0] + 12, nxt[1])])) == {RED}, 10,
                   "target %d red" % (i + 1), 0.0005)
        times.append(time.monotonic() - started)
    return times


def imports(exe):
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True,
                         text=True, check=True).stdout
    return sorted({line.split(":", 1)[1].strip().lower() for line in out.splitlines()
                   if "DLL Name:" in line})


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build", "mingw"))
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    exe = os.path.join(build, "panelcal.exe")
    driver = os.path.join(build, "controller", "driver", "pnldrv.sys")
    probe = os.path.join(build, "controller", "driver", "pnlprobe.exe")
    rig_args = argparse.Namespace(rig=os.path.join(build, "bench-rig"), exe=exe, driver=driver,
                                  probe=probe, artifacts=os.path.join(build, "bench-artifacts"))

    size = os.path.getsize(exe)
    dlls = imports(exe)
    ok = size <= GOAL_SIZE and set(dlls) <= SYSTEM_DLLS
    print("size   %7d bytes   goal <= %d, imports %s" % (size, GOAL_SIZE, " ".join(dlls)))

    rig = harness.rig_up(rig_args)
    starts, touches = [], []
    try:
        for run in range(args.runs):
            harness.prepare_case(rig, probe)
            rig.set_script()
            c = Case("run%d" % run, rig, exe, probe, rig_args.artifacts)
            c.park_pointer()
            try:
                starts.append(measure_start(c))
                touches.extend(measure_touches(c))
                c.rig.press_key(c.wait_main_window(), "Escape")
                c.wait_exit()
            finally:
                c.finish()
    finally:
        harness.rig_down(rig_args, purge=True)

    for name, values, goal in (("start", starts, GOAL_START_S), ("touch", touches, GOAL_TOUCH_S)):
        median = statistics.median(values)
        ok = ok and median <= goal
        print("%-6s %7.1f ms median, %7.1f ms max over %d   goal <= %.0f ms" %
              (name, median * 1000, max(values) * 1000, len(values), goal * 1000))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
