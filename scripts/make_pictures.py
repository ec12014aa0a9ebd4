#!/usr/bin/env python3
"""Makes the technician's guide's pictures from the real program under Wine, in English
and in Japanese: the screens, the setup dialog and the message boxes as the program shows
them on a 640 x 480 screen, and diagrams of the target order (drawn from the target
positions found on the program's own screens) and of the panel's cable edges (labelled with
the setup dialog's texts, read from the executable).

    make_pictures.py --rig DIR --exe PANELCAL.EXE --out DIR

The rig (scripts/wine-rig.sh up DIR --screen 640x480) must be up; each language gets a Wine
session of its own, started under its LANG. OUT/en and OUT/ja must not exist. Progress goes
to stderr. Two runs give the same files, byte for byte: fixed input, no time stamps.
scripts/make-pictures.sh prepares everything and calls this.
"""

import argparse
import math
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source folders clean
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "win32"))

from cases_dialog import CANCEL_BUTTON, OK_BUTTON, RADIOS, Dialog, dialog_windows  # noqa: E402
from check_resources import parse_template, resources  # noqa: E402
from pe_image import parse  # noqa: E402
from wine_session import (BLACK, BLUE, RED, SERVICE, WHITE, CheckFailed, Program, Rig,  # noqa: E402
                          Snapshot, check, wait_until)

CONVERT = "/usr/bin/convert"  # ImageMagick itself, whatever comes first on PATH
DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
DEJAVU_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
IPAGOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

# (folder, LANG of the session and the program, dialog template, font of the diagram's labels)
LANGUAGES = (("en", "C.UTF-8", "HOSSETBOXE", DEJAVU),
             ("ja", "ja_JP.UTF-8", "HOSSETBOX", IPAGOTHIC))
CABLE_EDGE_IDS = (30, 31, 32, 33)  # the dialog's Right(A), Upper(B), Left(C), Lower(D)

DIAG, CAL_IN, CAL_POINT, CAL_OUT, CAL_ABORT = 0x89, 0x84, 0x86, 0x85, 0x80
PANEL_VOLTAGE_ERROR = 12
STEP_TIMEOUT = 10
WINDOW_TIMEOUT = 20
MARGIN = 8  # white around a cropped dialog or box
PRESSED_TARGET = 4  # the 9-point grid's centre, shown pressed


def progress(text):
    print("make-pictures: %s" % text, file=sys.stderr, flush=True)


# ---- reading the screen -------------------------------------------------------------------


def mark_centre(snapshot, colour):
    """Centre of the target mark drawn in colour, or None while there is no whole one: the
    mark's bars are the rows and columns with more than 3 pixels of the colour, 3 of each
    (a mark at the screen's edge loses a pixel of its bar ends, not of its bars' length)."""
    key = bytes(colour)
    rows, columns = {}, {}
    w = snapshot.width
    for y in range(snapshot.height):
        row = snapshot.rgb[3 * y * w:3 * (y + 1) * w]
        at = row.find(key)
        while at >= 0:
            if at % 3 == 0:
                rows[y] = rows.get(y, 0) + 1
                columns[at // 3] = columns.get(at // 3, 0) + 1
                at = row.find(key, at + 3)
            else:
                at = row.find(key, at + 1)
    bar_rows = sorted(y for y, n in rows.items() if n > 3)
    bar_columns = sorted(x for x, n in columns.items() if n > 3)
    if len(bar_rows) != 3 or len(bar_columns) != 3:
        return None
    return bar_columns[1], bar_rows[1]


def separator_row(snapshot):
    """Row of the test screen's separator line (black from edge to edge), or None."""
    for y in range(snapshot.height):
        if snapshot.row_is(y, BLACK):
            return y
    return None


def black_near(snapshot, point):
    x0, y0 = point
    return any(snapshot.pixel(x, y) == BLACK for x in range(x0 - 1, x0 + 2)
               for y in range(y0 - 1, y0 + 2))


def settled(rig, ready, what):
    """The screen once ready(snapshot) holds and two captures in a row agree, so that no
    picture is taken half-drawn."""
    last = [None]

    def steady():
        snapshot = rig.screen.capture()
        same = last[0] is not None and snapshot.rgb == last[0].rgb
        last[0] = snapshot
        return snapshot if same and ready(snapshot) else None

    return wait_until(steady, STEP_TIMEOUT, what, interval=0.05)


def cropped(snapshot, rect):
    """The rectangle (x, y, w, h) of the snapshot with a white margin around it (what lies
    beside a dialog or box on the screen is not part of it)."""
    x, y, w, h = rect
    check(x >= 0 and y >= 0 and x + w <= snapshot.width and y + h <= snapshot.height,
          "rectangle %r is not on the screen" % (rect,))
    width = w + 2 * MARGIN
    white_row = bytes(WHITE) * width
    side = bytes(WHITE) * MARGIN
    rows = [white_row] * MARGIN
    for row in range(y, y + h):
        start = 3 * (row * snapshot.width + x)
        rows.append(side + snapshot.rgb[start:start + 3 * w] + side)
    rows += [white_row] * MARGIN
    return Snapshot(width, h + 2 * MARGIN, b"".join(rows))


# ---- one language's session ----------------------------------------------------------------


class Session:
    """The rig's Wine session in one language and the program runs in it."""

    def __init__(self, rig_dir, lang, japanese, exe, out):
        self.rig = Rig(rig_dir, lang=lang)
        self.lang = lang
        self.japanese = japanese
        self.exe = exe
        self.out = out
        self.width, self.height = self.rig.screen.width, self.rig.screen.height
        self.program = None
        self.window = None
        self.runs = 0

    def start(self):
        """A new session under this language, with the driver's device up. The driver
        service starts with the session; its state is RUNNING once the device exists."""
        rig = self.rig
        rig.wineserver("-k")
        rig.wineserver("-w")
        rig.wineserver("-p")
        wait_until(lambda: "RUNNING" in rig.wine("sc", "query", SERVICE)[1], 30,
                   "the driver service to run")

    def stop(self):
        if self.program:
            self.program.kill()
        self.rig.wineserver("-k")
        self.rig.wineserver("-w")

    def park(self):
        self.rig.mouse_move(self.width - 1, self.height - 1)

    def save(self, snapshot, name):
        snapshot.save_png(os.path.join(self.out, name))
        progress("%s/%s" % (os.path.basename(self.out), name))

    def launch(self, **script):
        """The program, with the controller scripted as given; returns once its window is up."""
        rig = self.rig
        rig.set_script(**script)
        self.park()
        self.runs += 1
        self.program = Program(rig, self.exe, self.lang,
                               os.path.join(rig.dir, "program-%d.out" % self.runs))

        def shown():
            check(self.program.running() or rig.find_windows("^Calibration$"),
                  "the program ended without showing its window (see %s)" % rig.dir)
            return rig.find_windows("^Calibration$")

        self.window = wait_until(shown, WINDOW_TIMEOUT, "the Calibration window")[0]

    def wait_exit(self):
        code = self.program.wait_exit(STEP_TIMEOUT)
        check(code == 0, "the program ended with exit code %d" % code)
        self.program = None

    def sent_codes(self):
        return [int(request.split()[0], 16) for request in self.rig.sent()]

    def wait_sent(self, codes, what):
        wait_until(lambda: self.sent_codes() == codes, STEP_TIMEOUT, what)

    def key(self, name):
        self.rig.press_key(self.window, name)

    def click(self, point):
        self.rig.mouse_move(*point)
        self.rig.mouse_down()
        self.rig.mouse_up()

    def next_target(self, taken):
        """Position of the red target once it is one not yet taken."""
        def found():
            centre = mark_centre(self.rig.screen.capture(), RED)
            return centre if centre and centre not in taken else None

        return wait_until(found, STEP_TIMEOUT, "target %d to turn red" % (len(taken) + 1))

    def touch(self, point, while_pressed=None):
        """A press on point (its mark turns blue), then the release, which sends CAL-POINT."""
        rig = self.rig
        before = len(rig.sent())
        rig.mouse_move(*point)
        rig.mouse_down()
        wait_until(lambda: mark_centre(rig.screen.capture(), BLUE) == point, STEP_TIMEOUT,
                   "the target at %r to turn blue" % (point,))
        if while_pressed:
            while_pressed()
        rig.mouse_up()
        wait_until(lambda: len(rig.sent()) > before, STEP_TIMEOUT, "CAL-POINT")

    def take_targets(self, count, while_pressed=None):
        """Touches count targets as they turn red; returns their positions in order.
        while_pressed (index) runs while that target is held down."""
        taken = []
        for index in range(count):
            point = self.next_target(taken)
            taken.append(point)
            self.touch(point, while_pressed and (lambda i=index: while_pressed(i)))
        self.park()
        return taken

    def box(self):
        """The message box over the main window, once drawn: (window, its snapshot)."""
        rig = self.rig

        def others():
            code, out = rig.xdotool("search", "--onlyvisible", "--classname", r"^panelcal\.exe$")
            return [int(w) for w in out.split() if int(w) != self.window] if code == 0 else []

        found = wait_until(others, WINDOW_TIMEOUT, "a message box")
        check(len(found) == 1, "%d windows beside the main window" % len(found))
        # The program chose its language as it started: a session started under another
        # LANG would have given its first program that language.
        caption = rig.xdotool("getwindowname", found[0])[1].rstrip("\n")
        check(caption.isascii() != self.japanese,
              "the box %r is not in the session's language (%s)" % (caption, self.lang))
        rect = rig.window_geometry(found[0])
        x, y, w, h = rect

        def drawn(snapshot):
            return any(snapshot.pixel(px, py) == BLACK for py in range(y + h // 3, y + h, 2)
                       for px in range(x, x + w, 2))

        return found[0], cropped(settled(rig, drawn, "the message box drawn"), rect)

    def draw_figure(self):
        """Free-hand strokes on the test screen, each move waited for on the screen (Wine
        merges moves that are pending together, which would draw other lines)."""
        rig = self.rig
        for stroke in figure(self.width, self.height):
            rig.mouse_move(*stroke[0])
            rig.mouse_down()
            wait_until(lambda: black_near(rig.screen.capture(), stroke[0]), STEP_TIMEOUT,
                       "the stroke's first point")
            for (x0, y0), (x1, y1) in zip(stroke, stroke[1:]):
                rig.mouse_move(x1, y1)
                middle = ((x0 + x1) // 2, (y0 + y1) // 2)
                wait_until(lambda: black_near(rig.screen.capture(), middle), STEP_TIMEOUT,
                           "the line to (%d, %d)" % (x1, y1))
            rig.mouse_up()
        self.park()


def figure(width, height):
    """The strokes of the test screen's drawing: a wave and a circle below it, clear of
    the help band at either edge."""
    wave = [(round(width * (0.15 + 0.7 * k / 32)),
             round(height * (0.38 + 0.12 * math.sin(k * math.pi / 8)))) for k in range(33)]
    circle = [(round(width / 2 + height * 0.12 * math.cos(k * math.pi / 12)),
               round(height * 0.68 + height * 0.12 * math.sin(k * math.pi / 12)))
              for k in range(25)]
    return [wave, circle]


def screens(s):
    """Every picture of the program in the session's language; returns the target positions
    of the 9-point and of the 20-point grid."""
    h = s.height

    # 1. CAL-OUT refused: the calibration screen, a pressed target, the 9 targets' order
    # and the CAL-OUT box.
    s.launch(refuse_command=CAL_OUT)
    s.wait_sent([DIAG, CAL_IN], "DIAG and CAL-IN")
    s.save(settled(s.rig, lambda snap: mark_centre(snap, RED), "the first target"),
           "calibration.png")

    def pressed(index):
        if index == PRESSED_TARGET:
            s.save(settled(s.rig, lambda snap: mark_centre(snap, BLUE), "the pressed target"),
                   "target-pressed.png")

    nine = s.take_targets(9, pressed)
    s.wait_sent([DIAG, CAL_IN] + [CAL_POINT] * 9 + [CAL_OUT], "CAL-OUT")
    box, picture = s.box()
    s.save(picture, "box-cal-out.png")
    s.rig.press_key(box, "Return")
    s.wait_exit()

    # 2. The test screen (key 0), help line at the bottom, then at the top (Delete); the
    # setup dialog; the 20 targets' order.
    s.launch()
    s.wait_sent([DIAG, CAL_IN], "DIAG and CAL-IN")
    s.key("0")
    settled(s.rig, lambda snap: (separator_row(snap) or 0) > h // 2, "the test screen")
    s.draw_figure()
    s.save(settled(s.rig, lambda snap: True, "the drawing"), "test-screen-bottom.png")
    s.key("Delete")
    settled(s.rig, lambda snap: (separator_row(snap) or h) < h // 2, "the help line at the top")
    s.draw_figure()
    s.save(settled(s.rig, lambda snap: True, "the drawing"), "test-screen-top.png")
    s.key("0")
    settled(s.rig, lambda snap: mark_centre(snap, RED) == nine[0], "the calibration screen")

    s.key("1")
    found = wait_until(lambda: dialog_windows(s.rig), STEP_TIMEOUT, "the setup dialog")
    check(len(found) == 1, "%d captionless windows" % len(found))
    dialog = Dialog(s.rig, found.pop())
    snapshot = settled(s.rig, lambda snap: dialog.ink(snap, CANCEL_BUTTON), "the setup dialog")
    s.save(cropped(snapshot, dialog.geometry), "setup-dialog.png")
    s.click(dialog.centre(RADIOS["20 points"]))
    wait_until(lambda: dialog.checked(s.rig.screen.capture(), "20 points"), STEP_TIMEOUT,
               "20 points checked")
    s.click(dialog.centre(OK_BUTTON))
    # The new grid is laid when the dialog closes; the next paint sends CAL-ABORT and CAL-IN.
    restarted = [DIAG, CAL_IN, CAL_ABORT, CAL_IN, CAL_ABORT, CAL_IN]
    s.wait_sent(restarted, "CAL-ABORT and CAL-IN after OK")
    twenty = s.take_targets(20)
    s.wait_sent(restarted + [CAL_POINT] * 20 + [CAL_OUT], "CAL-OUT after 20 targets")
    settled(s.rig, separator_row, "the test screen after 20 targets")
    s.key("Return")
    s.wait_exit()

    # 3. The DIAG and CAL-IN boxes.
    for script, sent, name in (
            ({"refuse_command": DIAG, "refuse_code": PANEL_VOLTAGE_ERROR}, [DIAG], "box-diag.png"),
            ({"refuse_command": CAL_IN}, [DIAG, CAL_IN], "box-cal-in.png")):
        s.launch(**script)
        box, picture = s.box()
        check(s.sent_codes() == sent, "%s: sent %r" % (name, s.rig.sent()))
        s.save(picture, name)
        s.rig.press_key(box, "Return")
        s.wait_exit()
    return nine, twenty


# ---- diagrams ---------------------------------------------------------------------------------


def draw(path, size, commands):
    """A PNG drawn by ImageMagick from MVG commands, without time stamps or other metadata."""
    subprocess.run([CONVERT, "-size", "%dx%d" % size, "xc:white", "-draw", "\n".join(commands),
                    "-alpha", "off", "-strip", "-define", "png:exclude-chunks=date,time",
                    "+set", "date:create", "+set", "date:modify", path],
                   check=True, stdin=subprocess.DEVNULL)
    progress("%s/%s" % (os.path.basename(os.path.dirname(path)), os.path.basename(path)))


def mvg_text(text):
    return "'%s'" % text.replace("\\", "\\\\").replace("'", "\\'")


def arrow(a, b, gap, colour):
    """A line from a to b, gap pixels short at both ends, with its head at b's end."""
    (ax, ay), (bx, by) = a, b
    length = math.hypot(bx - ax, by - ay)
    ux, uy = (bx - ax) / length, (by - ay) / length
    x0, y0 = ax + gap * ux, ay + gap * uy
    x1, y1 = bx - gap * ux, by - gap * uy
    back_x, back_y = x1 - 10 * ux, y1 - 10 * uy
    head = [(x1, y1), (back_x - 5 * uy, back_y + 5 * ux), (back_x + 5 * uy, back_y - 5 * ux)]
    return ["stroke '%s' stroke-width 2 fill none" % colour,
            "line %.1f,%.1f %.1f,%.1f" % (x0, y0, back_x, back_y),
            "stroke none fill '%s'" % colour,
            "polygon " + " ".join("%.1f,%.1f" % p for p in head)]


def order_diagram(path, size, targets):
    """The targets as the program places them on a screen of size, numbered in the order in
    which they turn red, with arrows from each to the next."""
    width, height = size
    commands = ["stroke '#808080' stroke-width 1 fill none",
                "rectangle 0,0 %d,%d" % (width - 1, height - 1)]
    for a, b in zip(targets, targets[1:]):
        commands += arrow(a, b, 18, "#808080")
    right_column = max(x for x, _ in targets)
    for number, (x, y) in enumerate(targets, 1):
        commands += ["stroke none fill '#ff0000'",
                     "rectangle %d,%d %d,%d" % (x - 12, y - 1, x + 12, y + 1),
                     "rectangle %d,%d %d,%d" % (x - 1, y - 12, x + 1, y + 12)]
        # Beside the mark, towards the screen's inside: the arrows leave and reach the
        # marks vertically or steeply, never sideways.
        left = x == right_column
        commands += ["fill black font %s font-size 18" % mvg_text(DEJAVU_BOLD),
                     "text-anchor %s" % ("end" if left else "start"),
                     "text %d,%d %s" % (x - 17 if left else x + 17, y + 7, mvg_text(str(number)))]
    draw(path, size, commands)


def panel_diagram(path, labels, font):
    """Front view of the panel, each edge marked and labelled as the setup dialog names its
    cable direction: right, upper, left, lower."""
    size = (600, 340)
    left, top, right, bottom = 160, 70, 440, 270
    right_label, upper_label, left_label, lower_label = labels
    commands = ["stroke '#404040' stroke-width 1 fill '#c8c8c8'",
                "rectangle %d,%d %d,%d" % (left, top, right, bottom),
                "fill '#eef3fa'",
                "rectangle %d,%d %d,%d" % (left + 16, top + 16, right - 16, bottom - 16),
                "stroke '#1f5fbf' stroke-width 5 fill none",
                "line %d,%d %d,%d" % (right, top, right, bottom),
                "line %d,%d %d,%d" % (left, top, right, top),
                "line %d,%d %d,%d" % (left, top, left, bottom),
                "line %d,%d %d,%d" % (left, bottom, right, bottom),
                "stroke none fill black font %s font-size 22" % mvg_text(font)]
    middle_x, middle_y = (left + right) // 2, (top + bottom) // 2
    for anchor, x, y, label in (("start", right + 14, middle_y + 8, right_label),
                                ("middle", middle_x, top - 16, upper_label),
                                ("end", left - 14, middle_y + 8, left_label),
                                ("middle", middle_x, bottom + 34, lower_label)):
        commands += ["text-anchor %s" % anchor, "text %d,%d %s" % (x, y, mvg_text(label))]
    draw(path, size, commands)


def cable_edge_labels(exe, template):
    """The texts of the dialog's four cable-direction buttons, without their spaces."""
    with open(exe, "rb") as f:
        templates = resources(parse(f.read()), [])
    _, items, _ = parse_template(templates[template])
    texts = {item["id"]: item["text"].strip() for item in items}
    return [texts[i] for i in CABLE_EDGE_IDS]


# ---- the whole run ----------------------------------------------------------------------------


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rig", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)

    for folder, lang, template, font in LANGUAGES:
        out = os.path.join(args.out, folder)
        os.makedirs(out)
        progress("%s: a Wine session under LANG=%s" % (folder, lang))
        session = Session(args.rig, lang, folder == "ja", exe, out)
        session.start()
        try:
            nine, twenty = screens(session)
        finally:
            session.stop()
        size = (session.width, session.height)
        order_diagram(os.path.join(out, "order-9.png"), size, nine)
        order_diagram(os.path.join(out, "order-20.png"), size, twenty)
        panel_diagram(os.path.join(out, "panel-edges.png"), cable_edge_labels(exe, template),
                      font)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (CheckFailed, subprocess.CalledProcessError) as error:
        print("make-pictures: %s" % error, file=sys.stderr)
        sys.exit(1)
