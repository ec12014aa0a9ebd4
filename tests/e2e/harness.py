"""What the road-test cases share: the rig, the program under test, the screen's pixels, the
controller's request log, the case registry and the runner (road_test.py is the entry).

Every wait polls a condition with a deadline; nothing sleeps for a fixed time.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time
import traceback

sys.dont_write_bytecode = True  # keep the source folder clean
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "win32")]

import wine_session  # noqa: E402
from check_i586 import code_sections, parse  # noqa: E402
from wine_session import (BLACK, BLUE, RED, WHITE, CheckFailed, Program, Rig, check,  # noqa: E402
                          wait_until)

RIG_SCRIPT = os.path.join(HERE, "..", "..", "scripts", "wine-rig.sh")
WINE32_SCRIPT = os.path.join(HERE, "..", "..", "scripts", "wine32-chroot.sh")

WIDTH, HEIGHT = 1024, 768
DIAG = "89 00"
CAL_IN_DEFAULT = "84 1B 2C 01 12 1E 73 01 69 1D"
CAL_POINT = "86"
CAL_OUT = "85 00 20 00 20"
CAL_ABORT = "80"
ACK = "00 90" + " 00" * 18
OK_STATUS = "00000000"

ENGLISH = "C.UTF-8"
JAPANESE = "ja_JP.UTF-8"

WINDOW_TIMEOUT = 20  # a cold Wine session can take a few seconds to show the first window
STEP_TIMEOUT = 10


def nine_point_targets(width=WIDTH, height=HEIGHT):
    """Pixel positions of the 9-point grid in visiting order: down each column, then the
    next column to the right."""
    units = (100, 2048, 3996)
    return [(width * units[i // 3] // 4096, height * units[i % 3] // 4096) for i in range(9)]


TARGETS = nine_point_targets()
PARKED = (WIDTH - 1, HEIGHT - 1)
# Pixels of a target mark, relative to its centre: the centre, the ends of the four arms
# (each 12 pixels long) and points on the rows and columns beside the middle lines (the arms
# are 3 pixels thick).
MARK_SAMPLES = ((0, 0), (-12, 0), (12, 0), (0, -12), (0, 12), (-6, 1), (6, -1), (1, 6), (-1, -6))
# Screen corners; the bottom-right one is taken one pixel in, beside the parked pointer.
CORNERS = ((0, 0), (WIDTH - 1, 0), (0, HEIGHT - 1), (WIDTH - 2, HEIGHT - 2))
assert TARGETS[:4] == [(25, 18), (25, 384), (25, 749), (512, 18)] and TARGETS[8] == (999, 749)


class Case:
    """What one case works with: the rig, the program under test and its artifacts."""

    def __init__(self, name, rig, exe, probe, artifacts, pnlwin=None, program_env=None):
        self.name = name
        self.program_env = program_env
        self.rig = rig
        self.screen = rig.screen
        self.exe = exe
        self.probe = probe
        self.pnlwin = pnlwin
        self.dir = os.path.join(artifacts, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self._shots = 0
        self.program = None
        self.pointer = None

    # ---- artifacts --------------------------------------------------------------------

    def shot(self, label, framebuffer=False):
        """Saves the screen as the next numbered PNG and returns it: through the X server
        (without the pointer), or straight from the framebuffer when it must be quick."""
        self._shots += 1
        snapshot = self.screen.snapshot() if framebuffer else self.screen.capture()
        snapshot.save_png(os.path.join(self.dir, "%02d-%s.png" % (self._shots, label)))
        return snapshot

    def finish(self):
        if self.program:
            self.program.kill()
        if os.path.exists(self.rig.log_path):
            shutil.copy(self.rig.log_path, os.path.join(self.dir, "requests.log"))

    # ---- looking at the screen ----------------------------------------------------------

    def park_pointer(self):
        """Moves the pointer to the bottom-right corner, away from every pixel a case reads
        from the framebuffer (which holds the pointer's image while the cursor is shown)."""
        self.rig.mouse_move(*PARKED)
        self.pointer = PARKED

    def mark_colour(self, point):
        """Colour of the cross at point when all its sampled pixels agree, else None. Near
        the pointer the pixels are read through the X server, which leaves the pointer's
        image out; elsewhere straight from the framebuffer."""
        x, y = point
        samples = [(x + dx, y + dy) for dx, dy in MARK_SAMPLES]
        px, py = self.pointer or PARKED
        if abs(px - x) < 40 and abs(py - y) < 40:
            snapshot = self.screen.capture()
            colours = {snapshot.pixel(*p) for p in samples}
        else:
            colours = set(self.screen.pixels(samples))
        return colours.pop() if len(colours) == 1 else None

    def wait_mark(self, index, colour, name, timeout=STEP_TIMEOUT):
        wait_until(lambda: self.mark_colour(TARGETS[index]) == colour, timeout,
                   "target %d %s (now %r)" % (index, name, self.mark_colour(TARGETS[index])))

    def test_bar_row(self):
        """Row of the test screen's separator line (black from edge to edge near the bottom),
        or None."""
        for y in range(HEIGHT - 1, HEIGHT - 80, -1):
            if all(c == BLACK for c in self.screen.pixels([(0, y), (255, y), (511, y), (767, y),
                                                           (1023, y)])):
                return y
        return None

    def check_test_screen(self, snapshot):
        row = None
        for y in range(HEIGHT - 1, HEIGHT - 80, -1):
            if snapshot.row_is(y, BLACK):
                row = y
                break
        check(row is not None, "no separator line across the bottom of the test screen")
        blank = [y for y in range(row) if not snapshot.row_is(y, WHITE)]
        check(not blank, "test screen: drawing area not blank (row %s)" % (blank[:1],))
        below = [snapshot.pixel(x, y) for y in range(row + 1, HEIGHT) for x in range(0, WIDTH, 2)]
        check(BLACK in below, "test screen: no help text below the separator")

    def calibration_text_present(self, snapshot):
        """Some black pixels in the lower half, where the instructions are written."""
        return any(BLACK == snapshot.pixel(x, y) for y in range(HEIGHT // 2, HEIGHT - 60, 2)
                   for x in range(0, WIDTH, 2))

    # ---- the program --------------------------------------------------------------------

    def launch(self, lang=ENGLISH):
        check(not self.rig.find_windows("^Calibration$"), "a Calibration window is already up")
        # The first program to show a window in a session takes the session's language, not
        # its own: a run in another language gets a session of its own.
        if lang != self.rig.session_lang():
            self.rig.restart_session(self.probe, lang)
        self.program = Program(self.rig, self.exe, lang, os.path.join(self.dir, "program.out"),
                               self.program_env)
        return self.program

    def wait_main_window(self):
        def shown():
            running = self.program.running()
            windows = self.rig.find_windows("^Calibration$")
            if not windows and not running:
                raise CheckFailed("the program ended (exit code %d) without showing its window;"
                                  " Wine's reason, if any, is in program.out" %
                                  self.program.process.returncode)
            return windows

        windows = wait_until(shown, WINDOW_TIMEOUT, "the Calibration window")
        check(len(windows) == 1, "%d Calibration windows" % len(windows))
        return windows[0]

    def start_calibration(self, lang=ENGLISH):
        """Launches the program and waits until the calibration has begun: window up, the
        first target red, DIAG and CAL-IN acknowledged."""
        self.launch(lang)
        window = self.wait_main_window()
        self.wait_mark(0, RED, "red")
        wait_until(lambda: len(self.rig.sent()) >= 2, STEP_TIMEOUT, "DIAG and CAL-IN")
        check(self.rig.sent() == [DIAG, CAL_IN_DEFAULT], "start: %r" % self.rig.sent())
        return window

    def wait_exit(self, timeout=STEP_TIMEOUT):
        code = self.program.wait_exit(timeout)
        check(code == 0, "exit code %d" % code)
        wait_until(lambda: not self.rig.find_windows("^Calibration$"), STEP_TIMEOUT,
                   "the Calibration window to go")

    def wait_requests(self, count, what):
        return wait_until(lambda: len(self.rig.sent()) >= count and self.rig.sent(),
                          STEP_TIMEOUT, what)

    def post_start_request(self):
        """The program's start request (WM_USER, 0, 0) posted to its main window by another
        program."""
        code, out = self.rig.wine(self.pnlwin, "post-start")
        check(code == 0, "pnlwin post-start (%d): %s" % (code, out))

    def window_texts(self, caption):
        """The texts of the child windows (static texts, buttons) of the top-level window
        captioned caption, in order."""
        code, out = self.rig.wine(self.pnlwin, "texts", caption)
        check(code == 0, "pnlwin texts %r (%d): %s" % (caption, code, out))
        return [line.split("\t", 1)[1] for line in out.splitlines() if "\t" in line]

    def touch(self, index, label):
        """Press on target index (it turns blue), release; returns after the release's
        CAL-POINT has reached the controller."""
        before = len(self.rig.sent())
        self.rig.mouse_move(*TARGETS[index])
        self.pointer = TARGETS[index]
        self.rig.mouse_down()
        self.wait_mark(index, BLUE, "blue while pressed")
        self.shot("%s-pressed" % label)
        self.rig.mouse_up()
        sent = self.wait_requests(before + 1, "CAL-POINT after the release")
        check(sent[before] == CAL_POINT, "release sent %r" % sent[before:])
        self.park_pointer()


CASES = {}


def case(fn):
    CASES[fn.__name__[len("case_"):]] = fn
    return fn


# ---- the rig and the runner -------------------------------------------------------------


def use_wine32(rig_dir):
    """From here on, the 32-bit Wine of scripts/wine32-chroot.sh, and longer waits."""
    bin_dir = os.path.join(rig_dir, "wine32")
    check(subprocess.call([WINE32_SCRIPT, "up", bin_dir]) == 0, "wine32-chroot.sh up failed")
    os.environ["PATH"] = bin_dir + os.pathsep + os.environ["PATH"]
    wine_session.SLOWNESS = 5  # an emulated processor: launches take 3-10 times as long


def traced(exe, trace_dir, name):
    """The environment under which qemu writes each instruction of the .exe's code sections
    that it translates, a file per process (for check_i586.py --executed)."""
    with open(exe, "rb") as f:
        pe = parse(f.read())
    ranges = ["0x%x+0x%x" % (start, size) for _, start, size, _ in code_sections(pe)]
    return {"QEMU_LOG": "in_asm", "QEMU_DFILTER": ",".join(ranges),
            "QEMU_LOG_FILENAME": os.path.join(os.path.abspath(trace_dir), name + "-%d.log")}


def rig_up(args):
    if os.path.exists(os.path.join(args.rig, "rig.env")):
        subprocess.call([RIG_SCRIPT, "down", args.rig])
    code = subprocess.call([RIG_SCRIPT, "up", args.rig, "--driver", args.driver])
    check(code == 0, "wine-rig.sh up failed")
    rig = Rig(args.rig, lang=ENGLISH)
    check(rig.screen is not None, "the rig has no virtual screen")
    rig.start_session(args.probe)
    return rig


def rig_down(args, purge=False):
    if os.path.exists(os.path.join(args.rig, "rig.env")):
        subprocess.call([RIG_SCRIPT, "down", args.rig] + (["--purge"] if purge else []))
    if purge and args.wine32:
        check(subprocess.call([WINE32_SCRIPT, "down"]) == 0, "wine32-chroot.sh down failed")


def prepare_case(rig, probe):
    """Every case starts with the session up and the driver's device present."""
    if rig.wine(probe, "open")[0] == 0:
        return
    rig.start_driver()  # a case that stopped it may have failed before starting it again
    if rig.wine(probe, "wait", "10")[0] != 0:
        rig.restart_session(probe)


def run_case(name, rig, args):
    c = Case(name, rig, args.exe, args.probe, args.artifacts, args.pnlwin,
             args.trace and traced(args.exe, args.trace, name))
    started = time.monotonic()
    try:
        prepare_case(rig, args.probe)
        rig.set_script()
        c.park_pointer()
        CASES[name](c)
        result = None
    except Exception as error:  # report every kind of failure as this case's
        result = error
        with open(os.path.join(c.dir, "failure.txt"), "w", encoding="utf-8") as f:
            traceback.print_exc(file=f)
        try:
            c.shot("failure")
        except Exception:
            pass
    finally:
        c.finish()
    seconds = time.monotonic() - started
    if result is None:
        print("PASS %-24s %5.1f s" % (name, seconds), flush=True)
        return True
    print("FAIL %-24s %5.1f s  %s: %s" % (name, seconds, type(result).__name__, result), flush=True)
    print("     artifacts: %s" % c.dir, flush=True)
    return False


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rig", default=os.path.join(os.getcwd(), "e2e-rig"))
    parser.add_argument("--exe")
    parser.add_argument("--driver")
    parser.add_argument("--probe")
    parser.add_argument("--pnlwin")
    parser.add_argument("--artifacts", default=os.path.join(os.getcwd(), "e2e-artifacts"))
    parser.add_argument("--wine32", action="store_true", help="the 32-bit Wine, for the x86 build")
    parser.add_argument("--trace", help="a folder for qemu's trace of the program's code")
    parser.add_argument("command", choices=["setup", "run", "teardown", "all", "list"])
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()

    if args.command == "list":
        print("\n".join(CASES))
        return 0
    if args.wine32:
        use_wine32(args.rig)
    if args.command == "teardown":
        rig_down(args, purge=True)  # the prefix is ~700 MB; the next setup makes a new one
        return 0
    for name in ("exe", "driver", "probe", "pnlwin"):
        path = getattr(args, name)
        if args.command != "setup" or name in ("driver", "probe"):
            if not path or not os.path.isfile(path):
                print("missing --%s (%s)" % (name, path), file=sys.stderr)
                return 2
            setattr(args, name, os.path.abspath(path))
    if args.trace and args.command in ("setup", "all"):
        shutil.rmtree(args.trace, ignore_errors=True)
        os.makedirs(args.trace)
    if args.command == "setup":
        rig_up(args)
        return 0

    names = args.cases or list(CASES)
    unknown = [n for n in names if n not in CASES]
    if unknown:
        print("unknown cases: %s" % " ".join(unknown), file=sys.stderr)
        return 2
    started = time.monotonic()
    rig = rig_up(args) if args.command == "all" else Rig(args.rig)
    try:
        results = [run_case(name, rig, args) for name in names]
    finally:
        if args.command == "all":
            rig_down(args, purge=True)
    print("%d of %d cases passed in %.1f s" % (sum(results), len(results),
                                               time.monotonic() - started))
    return 0 if all(results) else 1
