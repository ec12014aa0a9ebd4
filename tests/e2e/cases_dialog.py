"""Road tests of the setup dialog: key 1 opens it over the calibration screen in the chosen
language; its radio buttons, OK and Cancel, by mouse and by keyboard; what reaches the
controller afterwards."""

from harness import *  # noqa: F401,F403  the shared vocabulary of every case module

# The dialog template, in dialog units: the dialog's position (from the owner's client
# origin) and size, and the rectangles of the controls that the cases look at or click.
DIALOG_POS = (65, 25)
DIALOG_SIZE = (134, 170)
HEADING = (0, 8, 140, 12)
GROUP_BOXES = {"panel size": (4, 30, 60, 65), "point count": (4, 100, 60, 40),
               "cable direction": (68, 30, 60, 65)}
RADIOS = {
    "12.1": (8, 42, 50, 12), "10.4": (8, 54, 50, 12), "8.4": (8, 66, 50, 12),
    "6.7": (8, 78, 50, 12),
    "9 points": (8, 112, 50, 12), "20 points": (8, 124, 50, 12),
    "Right(A)": (72, 42, 50, 12), "Upper(B)": (72, 54, 50, 12), "Left(C)": (72, 66, 50, 12),
    "Lower(D)": (72, 78, 50, 12),
}
GROUPS = (("12.1", "10.4", "8.4", "6.7"), ("9 points", "20 points"),
          ("Right(A)", "Upper(B)", "Left(C)", "Lower(D)"))
DEFAULTS = ("6.7", "9 points", "Right(A)")
OK_BUTTON = (20, 150, 40, 14)
CANCEL_BUTTON = (77, 150, 40, 14)

# 12.1 inch panel, cable at the left edge, 20 points.
CAL_IN_12_1_LEFT_20 = "84 25 0B 02 2A 1E 16 02 69 1D"


def twenty_point_targets(width=WIDTH, height=HEIGHT):
    xs, ys = (100, 1074, 2048, 3022, 3996), (100, 1399, 2698, 3996)
    return [(width * xs[i // 4] // 4096, height * ys[i % 4] // 4096) for i in range(20)]


TARGETS_20 = twenty_point_targets()
assert TARGETS_20[:2] == [(25, 18), (25, 262)] and TARGETS_20[4] == (268, 18)


def mul_div(a, b, c):
    """a * b / c rounded to the nearest integer, as the dialog manager scales units."""
    return (a * b + c // 2) // c


def is_dark(colour):
    return max(colour) < 128


class Dialog:
    """The open setup dialog: its X window and where its controls lie on the screen.

    The dialog's window rectangle (x, y, w, h) is its client area, placed at DIALOG_POS
    from the owner's client origin (the screen origin, for the full-screen window), grown
    by a frame of f pixels on every side:
        x = 65 bx/4 - f,  w = 134 bx/4 + 2f,  y = 25 by/8 - f,  h = 170 by/8 + 2f.
    So w + 2x = 66 bx and h + 2y = 220 by/8 give the base units without knowing the frame;
    the rectangle must then agree exactly with them."""

    def __init__(self, rig, window):
        self.rig = rig
        self.window = window
        self.geometry = x, y, w, h = rig.window_geometry(window)
        self.base_x = round((w + 2 * x) / 66)
        self.base_y = round(8 * (h + 2 * y) / 220)
        self.frame = mul_div(DIALOG_POS[0], self.base_x, 4) - x
        self.origin = (x + self.frame, y + self.frame)
        self.client = (mul_div(DIALOG_SIZE[0], self.base_x, 4),
                       mul_div(DIALOG_SIZE[1], self.base_y, 8))

    def check_placement(self):
        x, y, w, h = self.geometry
        bx, by, f = self.base_x, self.base_y, self.frame
        check(bx > 0 and by > 0 and 0 <= f <= 10,
              "dialog %r is not at 65,25 units from the owner's client origin (that would"
              " take base units %d x %d and a frame of %d)" % (self.geometry, bx, by, f))
        check((y, w, h) == (mul_div(DIALOG_POS[1], by, 8) - f, self.client[0] + 2 * f,
                            self.client[1] + 2 * f),
              "dialog %r is not a 134 x 170 unit captionless box at 65,25 (base units %d x %d,"
              " frame %d)" % (self.geometry, bx, by, f))
        # The system font is 8 pixels wide on average; an 8-point dialog font, which a
        # template naming a font would get, is narrower.
        check(bx >= 7, "base units %d x %d: not the system font" % (bx, by))

    def rect(self, units):
        """Screen rectangle (x, y, w, h) of a control given in dialog units."""
        ux, uy, uw, uh = units
        return (self.origin[0] + mul_div(ux, self.base_x, 4),
                self.origin[1] + mul_div(uy, self.base_y, 8),
                mul_div(uw, self.base_x, 4), mul_div(uh, self.base_y, 8))

    def centre(self, units):
        x, y, w, h = self.rect(units)
        return (x + w // 2, y + h // 2)

    # ---- reading the dialog from a capture ------------------------------------------------

    def background(self, snapshot):
        return snapshot.pixel(self.origin[0] + 1, self.origin[1] + 1)

    def checked(self, snapshot, name):
        """Whether the radio button's circle holds its dot: the circle sits at the left end
        of the button, centred on its height; the dot is black, the empty circle is not."""
        x, y, _, h = self.rect(RADIOS[name])
        cy = y + h // 2
        dark = sum(1 for px in range(x + 5, x + 13) for py in range(cy - 3, cy + 4)
                   if snapshot.pixel(px, py) == BLACK)
        return dark >= 8

    def has_circle(self, snapshot, name):
        x, y, _, h = self.rect(RADIOS[name])
        bg = self.background(snapshot)
        return sum(1 for px in range(x, x + 16) for py in range(y, y + h)
                   if snapshot.pixel(px, py) != bg) >= 30

    def checked_set(self, snapshot):
        return {name for name in RADIOS if self.checked(snapshot, name)}

    def focus_shown(self, snapshot, name):
        """Whether the dotted focus rectangle is drawn around the button's text: a column
        of dark pixels on every other row, with lighter ones between."""
        x, y, w, h = self.rect(RADIOS[name])
        for px in range(x + 14, x + w):
            dark = [is_dark(snapshot.pixel(px, py)) for py in range(y, y + h)]
            for top in range(len(dark) - 8):
                if all(dark[top + i] == (i % 2 == 0) for i in range(9)):
                    return True
        return False

    def focus_set(self, snapshot):
        return {name for name in RADIOS if self.focus_shown(snapshot, name)}

    def ink(self, snapshot, units):
        """Bounding box (left, top, right, bottom) of the dark pixels inside a control's
        rectangle, clipped to the client area, or None."""
        x, y, w, h = self.rect(units)
        right = min(x + w, self.origin[0] + self.client[0])
        dark = [(px, py) for py in range(y, y + h) for px in range(x, right)
                if is_dark(snapshot.pixel(px, py))]
        if not dark:
            return None
        return (min(p[0] for p in dark), min(p[1] for p in dark),
                max(p[0] for p in dark), max(p[1] for p in dark))

    def frame_drawn(self, snapshot, units, inset_top):
        """Whether the left, right and bottom edges of a control's rectangle (and its top,
        inset_top pixels down) are drawn: nearly every pixel along them differs from the
        dialog's background."""
        x, y, w, h = self.rect(units)
        bg = self.background(snapshot)

        def drawn(points):
            points = list(points)
            return sum(1 for p in points if snapshot.pixel(*p) != bg) >= 0.9 * len(points)

        top = y + inset_top
        return (drawn((x, py) for py in range(top + 4, y + h - 2))
                and any(drawn((px, py) for py in range(top + 4, y + h - 2))
                        for px in (x + w - 1, x + w - 2))
                and any(drawn((px, py) for px in range(x + 4, x + w - 4))
                        for py in (y + h - 1, y + h - 2)))

    def crop(self, snapshot, margin=8):
        x, y, w, h = self.geometry
        x0, y0 = max(0, x - margin), max(0, y - margin)
        x1, y1 = min(snapshot.width, x + w + margin), min(snapshot.height, y + h + margin)
        rows = [snapshot.rgb[3 * (row * snapshot.width + x0):3 * (row * snapshot.width + x1)]
                for row in range(y0, y1)]
        return type(snapshot)(x1 - x0, y1 - y0, b"".join(rows))


def dialog_windows(rig):
    """The program's visible top-level X windows without a name: the setup dialog, whose
    title is empty (the main window is named "Calibration"). The class keeps out the
    desktop's unnamed window, which Wine maps and unmaps as it pleases."""
    code, out = rig.xdotool("search", "--onlyvisible", "--classname", r"^panelcal\.exe$")
    found = set()
    for window in (out.split() if code == 0 else []):
        code, name = rig.xdotool("getwindowname", window)
        if code == 0 and not name.strip():
            found.add(int(window))
    return found


def open_dialog(c, window):
    """Key 1 to the main window; returns the setup dialog once its window is up and its
    controls are drawn."""
    rig = c.rig
    check(not dialog_windows(rig), "a captionless window is up before key 1")
    started = time.monotonic()
    rig.press_key(window, "1")
    found = wait_until(lambda: dialog_windows(rig), STEP_TIMEOUT,
                       "a captionless window after key 1")
    check(len(found) == 1, "%d captionless windows" % len(found))
    dialog = Dialog(rig, found.pop())
    dialog.check_placement()
    wait_until(lambda: dialog.ink(c.screen.capture(), CANCEL_BUTTON), STEP_TIMEOUT,
               "the dialog's Cancel button to be drawn")
    dialog.opened_after = time.monotonic() - started
    return dialog


def wait_closed(c, dialog):
    wait_until(lambda: dialog.window not in dialog_windows(c.rig), STEP_TIMEOUT,
               "the dialog to close")


def wait_value(read, expected, what):
    """Polls read() until it gives expected; a timeout reports the last value read."""
    seen = [None]

    def arrived():
        seen[0] = read()
        return seen[0] == expected

    try:
        wait_until(arrived, STEP_TIMEOUT, what)
    except CheckFailed as error:
        raise CheckFailed("%s (last %r)" % (error, seen[0]))


def wait_checked(c, dialog, expected, what):
    """Waits until exactly the expected radio buttons show their dot."""
    wait_value(lambda: dialog.checked_set(c.screen.capture()), set(expected),
               "%s: checked %s" % (what, sorted(expected)))


def click(c, point):
    c.rig.mouse_move(*point)
    c.pointer = point
    c.rig.mouse_down()
    c.rig.mouse_up()


def choose(c, dialog, names):
    """Clicks each radio button in turn, waiting for its dot (and the group's other
    dots to go) before the next click."""
    shown = dialog.checked_set(c.screen.capture())
    for name in names:
        click(c, dialog.centre(RADIOS[name]))
        group = next(g for g in GROUPS if name in g)
        shown = (shown - set(group)) | {name}
        wait_checked(c, dialog, shown, "after clicking %s" % name)


def press_and_release(c, point, label):
    """A touch at point on the calibration screen; returns after its CAL-POINT."""
    rig = c.rig
    before = len(rig.sent())
    rig.mouse_move(*point)
    c.pointer = point
    rig.mouse_down()
    wait_until(lambda: c.mark_colour(point) == BLUE, STEP_TIMEOUT, "%s blue" % label)
    rig.mouse_up()
    sent = c.wait_requests(before + 1, "CAL-POINT after the release")
    check(sent[before:] == [CAL_POINT], "release sent %r" % sent[before:])
    c.park_pointer()


def wait_point(c, point, colour, what):
    wait_value(lambda: c.mark_colour(point), colour, what)


def end_run(c, window, sent_before_end):
    c.rig.press_key(window, "Escape")
    c.wait_exit()
    check(c.rig.sent() == sent_before_end + [CAL_ABORT, CAL_ABORT],
          "end: %r" % c.rig.sent()[len(sent_before_end):])


# ---- the cases ------------------------------------------------------------------------


def dialog_looks(c, lang, label, heading_width):
    """Key 1 opens the dialog in the language of the run, laid out as its template says;
    Cancel closes it and nothing is sent."""
    rig = c.rig
    window = c.start_calibration(lang)
    dialog = open_dialog(c, window)
    snapshot = c.shot("dialog-%s" % label)
    dialog.crop(snapshot).save_png(os.path.join(c.dir, "dialog-%s-crop.png" % label))
    heading = dialog.ink(snapshot, HEADING)
    with open(os.path.join(c.dir, "dialog.txt"), "w", encoding="utf-8") as f:
        f.write("window %r base units %d x %d frame %d client origin %r opened after %.3f s\n"
                "heading ink %r\n" % (dialog.geometry, dialog.base_x, dialog.base_y,
                                       dialog.frame, dialog.origin, dialog.opened_after, heading))
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT], "key 1 sent %r" % rig.sent()[2:])

    check(heading is not None, "no text in the heading")
    left, top, right, bottom = heading
    low, high = heading_width
    check(low <= right - left + 1 <= high,
          "heading text %d pixels wide, not %d to %d" % (right - left + 1, low, high))
    # Centred on the heading's 140 units, which reach past the dialog's right edge.
    centre = dialog.rect(HEADING)[0] + dialog.rect(HEADING)[2] / 2
    check(abs((left + right + 1) / 2 - centre) <= 3,
          "heading text %d..%d not centred on %.1f" % (left, right, centre))
    x, y, w, _ = dialog.rect(HEADING)
    above = [(px, py) for py in range(dialog.origin[1], y) for px in range(x, x + w - 12)]
    check(not any(is_dark(snapshot.pixel(*p)) for p in above), "dark pixels above the heading")

    for name, units in GROUP_BOXES.items():
        check(dialog.frame_drawn(snapshot, units, dialog.base_y // 2),
              "the %s group box's frame is not where its template puts it" % name)
        check(dialog.ink(snapshot, units), "no caption on the %s group box" % name)
    for name, units in (("OK", OK_BUTTON), ("Cancel", CANCEL_BUTTON)):
        check(dialog.frame_drawn(snapshot, units, 0),
              "the %s button's edges are not where its template puts it" % name)
        check(dialog.ink(snapshot, units), "no label on the %s button" % name)
    for name, units in RADIOS.items():
        check(dialog.has_circle(snapshot, name), "no radio button circle for %s" % name)
        check(dialog.ink(snapshot, units), "no label on the %s radio button" % name)
    check_defaults_shown(dialog, snapshot, "first opening")

    click(c, dialog.centre(CANCEL_BUTTON))
    wait_closed(c, dialog)
    c.park_pointer()
    c.wait_mark(0, RED, "red after the dialog")
    end_run(c, window, [DIAG, CAL_IN_DEFAULT])



def check_defaults_shown(dialog, snapshot, when):
    """6.7 inch, 9 points and Right(A) checked, and the focus on 6.7 inch."""
    check(dialog.checked_set(snapshot) == set(DEFAULTS),
          "%s checks %s" % (when, sorted(dialog.checked_set(snapshot))))
    check(dialog.focus_set(snapshot) == {"6.7"},
          "%s shows the focus on %s" % (when, sorted(dialog.focus_set(snapshot))))

@case
def case_dialog_english(c):
    """English: heading "Calibration parameter setup" (27 characters of the system font)."""
    dialog_looks(c, ENGLISH, "english", (180, 240))


@case
def case_dialog_japanese(c):
    """Japanese: heading "補正パラメータ設定" (nine full-width characters; the ANSI
    fallback would show nine narrow "?")."""
    dialog_looks(c, JAPANESE, "japanese", (120, 170))


def wait_dialog_area_white(c, dialog, what):
    """The calibration screen where the dialog was: white again once repainted."""
    x, y, w, h = dialog.geometry

    def stale():
        snapshot = c.screen.capture()
        return [(px, py) for py in range(y, y + h, 3) for px in range(x, x + w, 3)
                if snapshot.pixel(px, py) != WHITE]

    wait_until(lambda: not stale(), STEP_TIMEOUT, "%s: the dialog's area white again" % what)


@case
def case_dialog_ok(c):
    """12.1 inch, 20 points and Left(C) chosen by mouse, then OK: nothing is sent until the
    repaint after the dialog, which sends CAL-ABORT and CAL-IN with the new parameters and
    restarts at the first of twenty targets."""
    rig = c.rig
    window = c.start_calibration()
    start = [DIAG, CAL_IN_DEFAULT]
    dialog = open_dialog(c, window)
    check(rig.sent() == start, "key 1 sent %r" % rig.sent()[2:])
    choose(c, dialog, ("12.1", "20 points", "Left(C)"))
    c.shot("chosen")
    check(rig.sent() == start, "clicks in the dialog sent %r" % rig.sent()[2:])

    click(c, dialog.centre(OK_BUTTON))
    wait_closed(c, dialog)
    c.park_pointer()
    c.wait_requests(4, "CAL-ABORT and CAL-IN after OK")
    check(rig.sent() == start + [CAL_ABORT, CAL_IN_12_1_LEFT_20],
          "after OK: %r" % rig.sent()[2:])
    wait_point(c, TARGETS_20[0], RED, "first target red after OK")
    wait_dialog_area_white(c, dialog, "after OK")
    c.shot("after-ok")

    press_and_release(c, TARGETS_20[0], "first target")
    wait_point(c, TARGETS_20[1], RED, "second target of the 20-point grid red")
    wait_point(c, TARGETS_20[0], WHITE, "first target erased")
    check(c.mark_colour(TARGETS[1]) == WHITE, "the 9-point grid's second target is drawn")
    c.shot("second-target")
    end_run(c, window, start + [CAL_ABORT, CAL_IN_12_1_LEFT_20, CAL_POINT])


@case
def case_dialog_cancel(c):
    """Changed selections, then Cancel: nothing is sent and the targets go on from the current
    one (still the 9-point grid), since the controller keeps the points it has taken; the next
    opening shows the old selections."""
    rig = c.rig
    window = c.start_calibration()
    c.touch(0, "target0")
    c.wait_mark(1, RED, "red as the next one")
    sent = [DIAG, CAL_IN_DEFAULT, CAL_POINT]

    dialog = open_dialog(c, window)
    choose(c, dialog, ("12.1", "20 points", "Left(C)"))
    click(c, dialog.centre(CANCEL_BUTTON))
    wait_closed(c, dialog)
    c.park_pointer()
    wait_dialog_area_white(c, dialog, "after Cancel")
    c.wait_mark(1, RED, "the second target still current after Cancel")
    check(c.mark_colour(TARGETS[0]) == WHITE, "the first target is drawn again")
    c.shot("after-cancel")

    # A touch is handled after the repaint: anything the repaint sent is logged before it.
    press_and_release(c, TARGETS[1], "second target")
    sent.append(CAL_POINT)
    check(rig.sent() == sent, "after Cancel and a touch: %r" % rig.sent()[2:])
    c.wait_mark(2, RED, "the 9-point grid's third target next")
    check(c.mark_colour(TARGETS_20[2]) == WHITE, "the 20-point grid's third target is drawn")

    dialog = open_dialog(c, window)
    snapshot = c.shot("reopened")
    check_defaults_shown(dialog, snapshot, "reopened")
    click(c, dialog.centre(CANCEL_BUTTON))
    wait_closed(c, dialog)
    c.park_pointer()
    c.wait_mark(2, RED, "the third target still current")
    end_run(c, window, sent)


@case
def case_dialog_keys(c):
    """Esc in the dialog chooses Cancel; Enter, with the focus on the checked radio button,
    chooses OK, which re-sends CAL-ABORT and CAL-IN although nothing changed."""
    rig = c.rig
    window = c.start_calibration()
    sent = [DIAG, CAL_IN_DEFAULT]

    dialog = open_dialog(c, window)
    choose(c, dialog, ("20 points",))
    rig.press_key(dialog.window, "Escape")
    wait_closed(c, dialog)
    c.wait_mark(0, RED, "first target red after Esc")
    press_and_release(c, TARGETS[0], "first target")
    sent.append(CAL_POINT)
    check(rig.sent() == sent, "after Esc in the dialog and a touch: %r" % rig.sent()[2:])
    c.wait_mark(1, RED, "the 9-point grid kept after Esc")

    dialog = open_dialog(c, window)
    check(dialog.checked_set(c.screen.capture()) == set(DEFAULTS), "reopened after Esc")
    rig.press_key(dialog.window, "Return")
    wait_closed(c, dialog)
    sent += [CAL_ABORT, CAL_IN_DEFAULT]
    c.wait_requests(len(sent), "CAL-ABORT and CAL-IN after Enter")
    check(rig.sent() == sent, "after Enter in the dialog: %r" % rig.sent()[3:])
    c.wait_mark(0, RED, "first target red after Enter")
    c.wait_mark(1, WHITE, "the second target gone")
    end_run(c, window, sent)
