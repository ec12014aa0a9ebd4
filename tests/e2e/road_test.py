#!/usr/bin/env python3
"""Road tests: the real panelcal.exe under Wine on a virtual screen, talking to the
simulated controller driver, driven through the X server as a user would drive it.

    road_test.py [paths] setup          prepare the rig (Xvfb, fresh prefix, driver)
    road_test.py [paths] run CASE...    run cases on a prepared rig
    road_test.py [paths] teardown       end the rig and delete its Wine prefix
    road_test.py [paths] all            setup, every case, teardown; one line per case
    road_test.py list                   the case names

paths: --rig DIR (the rig's folder), --exe, --driver, --probe (the built .exe, .sys and
pnlprobe.exe), --artifacts DIR (screenshots and logs, one folder per case).

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
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from wine_session import (BLACK, BLUE, RED, WHITE, CheckFailed, Program, Rig, check,  # noqa: E402
                          wait_until)

HERE = os.path.dirname(os.path.abspath(__file__))
RIG_SCRIPT = os.path.join(HERE, "..", "..", "scripts", "wine-rig.sh")

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

    def __init__(self, name, rig, exe, probe, artifacts):
        self.name = name
        self.rig = rig
        self.screen = rig.screen
        self.exe = exe
        self.probe = probe
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
        self.program = Program(self.rig, self.exe, lang, os.path.join(self.dir, "program.out"))
        return self.program

    def wait_main_window(self):
        windows = wait_until(lambda: self.rig.find_windows("^Calibration$"), WINDOW_TIMEOUT,
                             "the Calibration window")
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


# ---- the simulated controller itself ---------------------------------------------------


@case
def case_driver_protocol(c):
    """The driver answers the five commands, scripts refusals and failures, logs every
    request, and the device disappears with the service."""
    rig = c.rig

    def send(*args):
        code, out = rig.wine(c.probe, "send", *args)
        check(code == 0, "pnlprobe send %s: %d %s" % (args, code, out))
        fields = dict(part.split("=", 1) for part in out.strip().split(" ", 3))
        return fields["ok"], fields["error"], fields["returned"], fields["reply"]

    for request in (DIAG, CAL_IN_DEFAULT, CAL_POINT, CAL_OUT, CAL_ABORT):
        check(send(*request.split()) == ("1", "0", "20", ACK), "ack of %s" % request)
    refused = "00 A0 01 05" + " 00" * 16
    rig.set_value("RefuseCode", 5)
    check(send("84", "1B", "2C")[3] == refused, "a malformed CAL-IN is refused")

    # Only the 2nd CAL-POINT is refused; the count survives a session restart.
    rig.set_script(refuse_command=0x86, refuse_occurrence=2)
    check(send("86")[3] == ACK, "1st CAL-POINT acknowledged")
    rig.restart_session(c.probe)
    check(send("86")[3] == "00 A0 01 01" + " 00" * 16, "2nd CAL-POINT refused")
    check(send("86")[3] == ACK, "3rd CAL-POINT acknowledged")

    rig.set_script(ack_code=0xD0, diag_error_code=12)
    check(send("89", "00")[3] == "00 D0 01 0C" + " 00" * 16, "DIAG error code in byte 3")
    rig.set_value("FailIoctl", 1)
    check(send("80") == ("0", "31", "0", "00 D0" + " 00" * 18),
          "a failing call still returns the reply")
    rig.set_script(reply_mode=3)
    check(send("80")[3] == " ".join(["EE"] * 20), "reply mode 'none' leaves the buffer alone")
    rig.set_script()
    check(send("-o", "10", "86")[:2] == ("0", "122"), "a 10-byte output buffer is too small")
    check(send("-c", "0x70000005", "86")[:2] == ("0", "1"), "another control code is refused")

    log = rig.requests()
    check([entry[2] for entry in log] == ["C0000023", "C0000010"],
          "log after a fresh script: %r" % log)
    with open(rig.log_path, encoding="ascii") as f:
        sequences = [line.split("\t")[0] for line in f.read().splitlines()]
    check(sequences == ["1", "2"], "sequence numbers %r" % sequences)

    rig.stop_driver()
    code, out = rig.wine(c.probe, "open")
    check(code == 1 and "open error 2" in out, "stopped service (%d): %r" % (code, out))
    rig.start_driver()
    code, out = rig.wine(c.probe, "wait", "20")
    check(code == 0, "device back after net start (%d): %r" % (code, out))


# ---- runs of the utility ----------------------------------------------------------------


@case
def case_complete_run(c):
    """Default settings, every command acknowledged: nine targets, CAL-OUT, the test
    screen, Enter; the controller sees exactly the commands of a whole run."""
    rig = c.rig
    window = c.start_calibration()
    check(rig.window_geometry(window) == (0, 0, WIDTH, HEIGHT), "window does not cover the screen")
    first = c.shot("start")
    check(c.calibration_text_present(first), "no instruction text on the calibration screen")
    check(all(first.pixel(x, y) == WHITE for x, y in CORNERS + (TARGETS[1], TARGETS[3])),
          "the calibration screen is white except the first target and the text")

    for i in range(9):
        check(c.mark_colour(TARGETS[i]) == RED, "target %d red before the press" % i)
        c.touch(i, "target%d" % i)
        if i < 8:
            c.wait_mark(i, WHITE, "erased after the acknowledgement")
            c.wait_mark(i + 1, RED, "red as the next one")
            c.shot("target%d-taken" % i)
    # The last target gives way to the test screen at once; that screen is white above its
    # help line, where the last target was.

    expected = [DIAG, CAL_IN_DEFAULT] + [CAL_POINT] * 9 + [CAL_OUT]
    c.wait_requests(len(expected), "CAL-OUT")
    wait_until(c.test_bar_row, STEP_TIMEOUT, "the test screen's separator line")
    c.check_test_screen(c.shot("test-screen"))
    check(rig.sent() == expected, "commands of the run: %r" % rig.sent())
    check(all(reply == ACK and status == OK_STATUS for _, reply, status in rig.requests()),
          "every exchange acknowledged")

    rig.press_key(window, "Return")
    c.wait_exit()
    check(rig.sent() == expected + [CAL_ABORT], "after Enter: %r" % rig.sent()[len(expected):])


@case
def case_refused_point(c):
    """The controller refuses the second CAL-POINT: that target turns red again and stays
    current; the next release is accepted."""
    rig = c.rig
    rig.set_script(refuse_command=0x86, refuse_occurrence=2)
    window = c.start_calibration()
    c.touch(0, "target0")
    c.wait_mark(0, WHITE, "erased")
    c.wait_mark(1, RED, "red as the next one")

    c.touch(1, "target1-refused")
    c.wait_mark(1, RED, "red again after the refusal")
    c.shot("target1-red-again")
    check(c.mark_colour(TARGETS[2]) == WHITE, "no next target after a refusal")
    check(rig.requests()[3][1].startswith("00 A0"), "the 2nd CAL-POINT was refused")

    c.touch(1, "target1-again")
    c.wait_mark(1, WHITE, "erased after the accepted release")
    c.wait_mark(2, RED, "red as the next one")
    c.shot("target2")

    rig.press_key(window, "Escape")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT] + [CAL_POINT] * 3 + [CAL_ABORT, CAL_ABORT],
          "commands: %r" % rig.sent())


@case
def case_escape(c):
    """Esc on the calibration screen: CAL-ABORT, then the destruction's CAL-ABORT."""
    rig = c.rig
    window = c.start_calibration()
    rig.press_key(window, "Escape")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT, CAL_ABORT], "commands: %r" % rig.sent())


@case
def case_key_zero_twice(c):
    """0 leaves for the test screen with CAL-ABORT; 0 again comes back with CAL-IN only."""
    rig = c.rig
    window = c.start_calibration()
    rig.press_key(window, "0")
    c.wait_requests(3, "CAL-ABORT for the test screen")
    wait_until(c.test_bar_row, STEP_TIMEOUT, "the test screen")
    c.check_test_screen(c.shot("test-screen"))
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT], "to the test screen: %r" % rig.sent())

    rig.press_key(window, "0")
    c.wait_requests(4, "CAL-IN on return")
    c.wait_mark(0, RED, "red again on the calibration screen")
    wait_until(lambda: c.test_bar_row() is None, STEP_TIMEOUT, "the test bar to go")
    back = c.shot("calibration-again")
    check(c.calibration_text_present(back), "no instruction text after the return")
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT, CAL_IN_DEFAULT],
          "back to calibration: %r" % rig.sent())

    rig.press_key(window, "Escape")
    c.wait_exit()
    check(rig.sent()[4:] == [CAL_ABORT, CAL_ABORT], "end: %r" % rig.sent())


@case
def case_numeric_pad_zero(c):
    """The numeric pad's 0 switches screens like the main keyboard's."""
    rig = c.rig
    window = c.start_calibration()
    # With NumLock on, KP_Insert reaches the program as VK_NUMPAD0 (xdotool's KP_0 would
    # toggle NumLock around the key itself).
    rig.press_key(window, "Num_Lock")
    try:
        rig.press_key(window, "KP_Insert")
        c.wait_requests(3, "CAL-ABORT for the test screen")
        wait_until(c.test_bar_row, STEP_TIMEOUT, "the test screen")
        rig.press_key(window, "KP_Insert")
        c.wait_requests(4, "CAL-IN on return")
        c.wait_mark(0, RED, "red again on the calibration screen")
    finally:
        rig.xdotool("key", "Num_Lock")  # NumLock is the X server's state: back off for all
    rig.press_key(window, "Escape")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT, CAL_IN_DEFAULT, CAL_ABORT, CAL_ABORT],
          "commands: %r" % rig.sent())


@case
def case_alt_f4(c):
    """Alt+F4 closes the window through the default handling; the run ends with CAL-ABORT."""
    rig = c.rig
    window = c.start_calibration()
    rig.press_key(window, "alt+F4")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT], "commands: %r" % rig.sent())


def catch_first_screen(c, attempts=5):
    """Launches the program with the device absent and returns a snapshot of its first
    screen, which is up for a millisecond or two only. The program is stopped (SIGSTOP)
    the moment its first target shows on the framebuffer, so that the X server can finish
    drawing what it was sent while the program cannot close its window; then it goes on.
    A stop in the middle of the program's drawing, or a first screen that came and went
    unseen, is tried again with a new launch: each attempt is a whole run that must end
    with exit code 0 and no request."""
    for attempt in range(1, attempts + 1):
        program = c.launch()
        pid = program.process.pid
        caught = None
        normal = os.getpriority(os.PRIO_PROCESS, 0)
        try:
            os.setpriority(os.PRIO_PROCESS, 0, normal - 10)  # poll ahead of the program
        except OSError:
            pass
        try:
            deadline = time.monotonic() + WINDOW_TIMEOUT
            while program.running() and time.monotonic() < deadline:
                if c.screen.pixel(*TARGETS[0]) != RED:
                    continue
                os.kill(pid, signal.SIGSTOP)
                try:
                    wait_until(lambda: c.mark_colour(TARGETS[0]) == RED
                               and c.screen.pixels(CORNERS + (TARGETS[4],)).count(WHITE) == 5,
                               0.5, "the whole first screen", interval=0.002)
                    caught = c.shot("first-screen-attempt%d" % attempt, framebuffer=True)
                except CheckFailed:
                    pass
                os.kill(pid, signal.SIGCONT)
                break
        finally:
            try:
                os.setpriority(os.PRIO_PROCESS, 0, normal)
            except OSError:
                pass
        c.wait_exit()
        check(c.rig.sent() == [], "nothing reaches a controller: %r" % c.rig.sent())
        if caught:
            return caught
    raise CheckFailed("the first screen was not seen in %d launches" % attempts)


@case
def case_device_absent(c):
    """Driver stopped: the first screen is painted (full-screen white window, first target
    red) before any command; then the window closes by itself at once, with no message,
    and the exit code is 0."""
    rig = c.rig
    rig.stop_driver()
    try:
        first = catch_first_screen(c)
        check(first.pixel(*TARGETS[0]) == RED, "first target red")
        check(c.calibration_text_present(first), "instruction text on the first screen")
    finally:
        rig.start_driver()


def diag_refused(c, lang, caption, other_caption):
    rig = c.rig
    rig.set_script(refuse_command=0x89)
    c.launch(lang)
    window = c.wait_main_window()
    box = wait_until(lambda: rig.find_windows("^%s$" % caption), WINDOW_TIMEOUT,
                     "the message box %r" % caption)[0]
    check(not rig.find_windows("^%s$" % other_caption), "a box captioned %r" % other_caption)
    check(rig.window_geometry(window) == (0, 0, WIDTH, HEIGHT), "window does not cover the screen")
    c.wait_mark(0, RED, "red behind the message box")
    snapshot = c.shot("diag-refused")
    check(all(snapshot.pixel(x, y) == WHITE for x, y in CORNERS),
          "white full-screen window behind the box")
    check(rig.sent() == [DIAG], "only DIAG before the box: %r" % rig.sent())
    rig.press_key(box, "Return")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_ABORT], "commands: %r" % rig.sent())


@case
def case_diag_refused_english(c):
    """DIAG refused under an English locale: the box "DIAG command", then the window
    closes once it is dismissed."""
    diag_refused(c, ENGLISH, "DIAG command", "診断コマンド")


@case
def case_diag_refused_japanese(c):
    """The same under a Japanese locale: the box is captioned in Japanese."""
    diag_refused(c, JAPANESE, "診断コマンド", "DIAG command")


# ---- the rig and the runner -------------------------------------------------------------


def rig_up(args):
    if os.path.exists(os.path.join(args.rig, "rig.env")):
        subprocess.call([RIG_SCRIPT, "down", args.rig])
    code = subprocess.call([RIG_SCRIPT, "up", args.rig, "--driver", args.driver])
    check(code == 0, "wine-rig.sh up failed")
    rig = Rig(args.rig)
    check(rig.screen is not None, "the rig has no virtual screen")
    rig.start_session(args.probe)
    return rig


def rig_down(args, purge=False):
    if os.path.exists(os.path.join(args.rig, "rig.env")):
        subprocess.call([RIG_SCRIPT, "down", args.rig] + (["--purge"] if purge else []))


def prepare_case(rig, probe):
    """Every case starts with the session up and the driver's device present."""
    if rig.wine(probe, "open")[0] == 0:
        return
    rig.start_driver()  # a case that stopped it may have failed before starting it again
    if rig.wine(probe, "wait", "10")[0] != 0:
        rig.restart_session(probe)


def run_case(name, rig, args):
    c = Case(name, rig, args.exe, args.probe, args.artifacts)
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
    parser.add_argument("--artifacts", default=os.path.join(os.getcwd(), "e2e-artifacts"))
    parser.add_argument("command", choices=["setup", "run", "teardown", "all", "list"])
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()

    if args.command == "list":
        print("\n".join(CASES))
        return 0
    if args.command == "teardown":
        rig_down(args, purge=True)  # the prefix is ~700 MB; the next setup makes a new one
        return 0
    for name in ("exe", "driver", "probe"):
        path = getattr(args, name)
        if args.command != "setup" or name != "exe":
            if not path or not os.path.isfile(path):
                print("missing --%s (%s)" % (name, path), file=sys.stderr)
                return 2
            setattr(args, name, os.path.abspath(path))
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


if __name__ == "__main__":
    try:
        sys.exit(main())
    except CheckFailed as error:
        print("road tests: %s" % error, file=sys.stderr)
        sys.exit(1)
