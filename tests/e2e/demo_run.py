#!/usr/bin/env python3
"""A scripted run of the utility on a prepared rig's virtual screen, with a screenshot of
every step: the start, each target pressed and taken, the test screen, a drawn stroke, the
help line moved by Delete, and the end with Enter.

    demo_run.py --rig DIR --exe PANELCAL.EXE --probe PNLPROBE.EXE --shots DIR [--lang L]

Prints each screenshot's path; exits with the program's exit code (or 1 when a step did
not come about).
"""

import argparse
import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from wine_session import (BLACK, BLUE, RED, WHITE, CheckFailed, Program, Rig,  # noqa: E402
                          wait_until)

W, H = 1024, 768
UNITS = (100, 2048, 3996)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rig", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("--lang", default="C.UTF-8")
    args = parser.parse_args()

    rig = Rig(args.rig, lang=args.lang)  # the session too: see Rig
    screen = rig.screen
    targets = [(W * UNITS[i // 3] // 4096, H * UNITS[i % 3] // 4096) for i in range(9)]
    count = [0]

    def shot(label):
        count[0] += 1
        path = os.path.join(args.shots, "%02d-%s.png" % (count[0], label))
        screen.capture().save_png(path)
        print("  %s" % path, flush=True)

    def mark(i, colour):
        x, y = targets[i]
        wait_until(lambda: screen.capture().pixel(x - 12, y) == colour, 10,
                   "target %d to turn %r" % (i, colour))

    def drawn_near(x, y):
        snapshot = screen.capture()
        return any(snapshot.pixel(x + dx, y + dy) == BLACK for dx in (-1, 0, 1)
                   for dy in (-1, 0, 1))

    rig.start_session(args.probe)
    rig.mouse_move(W - 1, H - 1)
    program = Program(rig, os.path.abspath(args.exe), args.lang,
                      os.path.join(args.shots, "program.out"))
    try:
        window = wait_until(lambda: rig.find_windows("^Calibration$"), 20, "the window")[0]
        mark(0, RED)
        shot("start")
        for i, (x, y) in enumerate(targets):
            rig.mouse_move(x, y)
            rig.mouse_down()
            mark(i, BLUE)
            shot("target%d-pressed" % i)
            rig.mouse_up()
            if i < 8:  # the last one gives way to the test screen, whose help line may cross it
                mark(i, WHITE)
                shot("target%d-taken" % i)
        wait_until(lambda: rig.sent()[-1:] == ["85 00 20 00 20"], 10, "CAL-OUT")
        rig.mouse_move(W - 1, H - 1)
        wait_until(lambda: screen.capture().row_is(H // 2, WHITE), 10, "the test screen")
        shot("test-screen")
        # A stroke on the test screen: press, three moves, release, each move waited for.
        points = [(200, 200), (400, 300), (600, 200), (800, 300)]
        rig.mouse_move(*points[0])
        rig.mouse_down()
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            rig.mouse_move(x1, y1)
            mx, my = (x0 + x1) // 2, (y0 + y1) // 2
            wait_until(lambda: drawn_near(mx, my), 5, "the line to (%d, %d)" % (x1, y1))
        rig.mouse_up()
        rig.mouse_move(W - 1, H - 1)
        shot("stroke")
        rig.press_key(window, "Delete")
        wait_until(lambda: screen.capture().row_is(H - 1, WHITE), 10, "the help line to move")
        shot("delete")
        rig.press_key(window, "Return")
        code = program.wait_exit(10)
        shot("end")
    except CheckFailed as error:
        print("demo: %s" % error, file=sys.stderr)
        shot("failure")
        program.kill()
        return 1
    print("exit code %d" % code)
    return code


if __name__ == "__main__":
    sys.exit(main())
