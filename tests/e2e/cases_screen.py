"""Road tests of what the screens show: the box of a refused CAL-IN, the rows and left edge of
the instruction lines, strokes and the help band on the test screen, and the pixels of a line
as Windows draws them compared with the host simulation's."""

import subprocess

from harness import *  # noqa: F401,F403  the shared vocabulary of every case module

# Pixels are "dark" when every channel is below this: black glyph pixels and the darker
# steps of their anti-aliased edges, but not a red or blue target mark.
DARK_BELOW = 128
# Rows a target mark may cover around its centre (arms of 12 pixels, 3 pixels thick).
MARK_REACH = 14
# The instruction lines in each language: (leading spaces of lines 2 and 3, trailing spaces
# of line 1).
TEXT_SPACES = {ENGLISH: (1, 5), JAPANESE: (3, 2)}
# A key that neither screen handles: sent between two mouse moves, it keeps Wine from merging
# the first move into the second (only moves that are pending next to each other merge).
NEUTRAL_KEY = "shift"
LINE_TOOL_VARIABLE = "PANELCAL_LINE_TOOL"


def dark_columns(snapshot, y):
    """The x of every dark pixel in row y."""
    w = snapshot.width
    row = snapshot.rgb[3 * y * w:3 * (y + 1) * w]
    r, g, b = row[0::3], row[1::3], row[2::3]
    return [x for x in range(w) if r[x] < DARK_BELOW and g[x] < DARK_BELOW and b[x] < DARK_BELOW]


def black_in(snapshot, x0, y0, x1, y1):
    """The black pixels of the rectangle x0..x1, y0..y1 (inclusive, clipped to the screen)."""
    found = set()
    for y in range(max(0, y0), min(snapshot.height - 1, y1) + 1):
        for x in range(max(0, x0), min(snapshot.width - 1, x1) + 1):
            if snapshot.pixel(x, y) == BLACK:
                found.add((x, y))
    return found


def rows_bytes(snapshot, first, last):
    w = snapshot.width
    return snapshot.rgb[3 * first * w:3 * (last + 1) * w]


def near_a_target(x, y):
    return any(abs(x - tx) <= MARK_REACH and abs(y - ty) <= MARK_REACH for tx, ty in TARGETS)


def major(a, b):
    return max(abs(b[0] - a[0]), abs(b[1] - a[1]))


def distance_to_segment(p, a, b):
    (px, py), (ax, ay), (bx, by) = p, a, b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx, ay + t * dy
    return ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5


# ---- a refused CAL-IN -------------------------------------------------------------------


@case
def case_cal_in_refused_english(c):
    """CAL-IN refused under an English locale: the box " CAL-IN command " (a space at both
    ends); once it is dismissed the window closes, with CAL-ABORT, and the exit code is 0."""
    rig = c.rig
    rig.set_script(refuse_command=0x84)
    c.launch(ENGLISH)
    window = c.wait_main_window()
    caption = " CAL-IN command "
    box = wait_until(lambda: rig.find_windows("^%s$" % caption), WINDOW_TIMEOUT,
                     "the message box %r" % caption)[0]
    code, name = rig.xdotool("getwindowname", box)
    check(code == 0 and name.rstrip("\n") == caption, "box caption %r" % name)
    check(not rig.find_windows("^補正開始コマンド$"), "a box with the Japanese caption")
    check(rig.find_windows("^Calibration$") == [window], "the window stays while the box is up")
    c.shot("cal-in-refused")
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT], "before the box: %r" % rig.sent())
    check(rig.requests()[1][1].startswith("00 A0"), "CAL-IN was refused")

    rig.press_key(box, "Return")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT], "commands: %r" % rig.sent())


# ---- the instruction lines --------------------------------------------------------------


def to_test_screen(c, window, requests_before):
    """Key 0 on the calibration screen: CAL-ABORT, then the test screen with its band at the
    bottom. Returns the line height, read from the separator row (screenHeight - lineHeight
    - 1)."""
    c.rig.press_key(window, "0")
    c.wait_requests(requests_before + 1, "CAL-ABORT for the test screen")
    check(c.rig.sent()[requests_before] == CAL_ABORT, "key 0 sent %r" % c.rig.sent())
    row = wait_until(c.test_bar_row, STEP_TIMEOUT, "the test screen's separator")
    return HEIGHT - 1 - row


def line_boxes(line_height):
    """Rows (first, last) of the three instruction lines for a line height."""
    top = HEIGHT * 3 // 4 - 2 * line_height + 30
    return [(top + k * line_height, top + (k + 1) * line_height - 1) for k in (0, 2, 3)]


def lower_half_rows(snapshot):
    """For each row of the lower half: the dark columns and whether any pixel is not white,
    leaving out the areas of target marks."""
    rows = {}
    for y in range(HEIGHT // 2, HEIGHT):
        dark = [x for x in dark_columns(snapshot, y) if not near_a_target(x, y)]
        marked = not snapshot.row_is(y, WHITE) and any(
            snapshot.pixel(x, y) != WHITE for x in range(WIDTH) if not near_a_target(x, y))
        rows[y] = (dark, marked)
    return rows


def layout_problem(rows, line_height):
    """Why the lower half does not hold the three lines for this line height, or None."""
    boxes = line_boxes(line_height)
    for y, (dark, marked) in rows.items():
        if marked and not any(first <= y <= last for first, last in boxes):
            return "row %d is drawn on, outside the lines" % y
    for number, (first, last) in enumerate(boxes, 1):
        if not any(rows[y][0] for y in range(first, last + 1)):
            return "line %d (rows %d-%d) has no dark pixels" % (number, first, last)
    return None


def instruction_lines(c, lang):
    rig = c.rig
    window = c.start_calibration(lang)
    calibration = c.shot("calibration-screen")
    line_height = to_test_screen(c, window, 2)
    c.check_test_screen(c.shot("test-screen"))
    rig.press_key(window, "Return")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT, CAL_ABORT], "commands: %r" % rig.sent())

    rows = lower_half_rows(calibration)
    # The line height from the separator must be one that explains the calibration screen on
    # its own; any other height that happens to fit too is only reported.
    fitting = [h for h in range(6, 64) if layout_problem(rows, h) is None]
    problem = layout_problem(rows, line_height)
    check(problem is None, "line height %d (from the separator): %s; heights that fit: %r"
          % (line_height, problem, fitting))

    boxes = line_boxes(line_height)
    lefts, rights = [], []
    for first, last in boxes:
        columns = [x for y in range(first, last + 1) for x in rows[y][0]]
        lefts.append(min(columns))
        rights.append(max(columns))
    with open(os.path.join(c.dir, "layout.txt"), "w", encoding="ascii") as f:
        f.write("line height %d (heights that fit the rows: %r)\nlines at rows %r\n"
                "dark x from %r to %r\n" % (line_height, fitting, boxes, lefts, rights))

    # All three lines start at the first one's x. Lines 2 and 3 begin with the same spaces
    # and "[", so their first dark columns agree exactly; line 1's first glyph stands left of
    # them by the width of those spaces.
    leading, trailing = TEXT_SPACES[lang]
    check(lefts[1] == lefts[2], "lines 2 and 3 start at x %d and %d" % (lefts[1], lefts[2]))
    space = (lefts[1] - lefts[0]) / leading
    check(1 <= space <= line_height / 2 + 2,
          "line 1 starts at x %d, lines 2 and 3 at %d: not %d space(s) apart"
          % (lefts[0], lefts[1], leading))
    # Line 1 is centred with its trailing spaces: the blank right of its last glyph, up to
    # 1024 - x, holds those spaces (and the rest of the last glyph's cell).
    margin = (WIDTH - lefts[0]) - (rights[0] + 1)
    check(trailing * (space - 1) - 2 <= margin <= trailing * (space + 1) + line_height,
          "line 1 (dark x %d-%d) is not centred with its %d trailing spaces of ~%.1f pixels"
          % (lefts[0], rights[0], trailing, space))

    # Rows within the lines: the "[" that begins lines 2 and 3 must show exactly lineHeight
    # apart; line 1's glyphs stay within the rows that "[" takes in its line (a bracket
    # reaches from the top of the tallest letters to below the descenders).
    def bracket_rows(box):
        return [y - box[0] for y in range(box[0], box[1] + 1)
                if set(rows[y][0]) & {lefts[1], lefts[1] + 1}]

    bracket = bracket_rows(boxes[1])
    check(bracket and bracket == bracket_rows(boxes[2]),
          "the \"[\" of lines 2 and 3 at rows %r and %r of their lines"
          % (bracket, bracket_rows(boxes[2])))
    line1 = [y - boxes[0][0] for y in range(boxes[0][0], boxes[0][1] + 1) if rows[y][0]]
    check(bracket[0] <= line1[0] and line1[-1] <= bracket[-1],
          "line 1 takes rows %d-%d of its line, \"[\" rows %d-%d of line 2"
          % (line1[0], line1[-1], bracket[0], bracket[-1]))
    return line_height


@case
def case_instruction_lines_english(c):
    """English calibration screen: the three lines lie in the rows the program gives them
    (line height from the test screen's separator), nothing else is drawn in the lower half,
    and the lines share their left edge, the first one centred."""
    instruction_lines(c, ENGLISH)


@case
def case_instruction_lines_japanese(c):
    """The same under a Japanese locale, whose default font has a line height of its own."""
    instruction_lines(c, JAPANESE)


# ---- strokes on the test screen ---------------------------------------------------------


class Pen:
    """A finger on the test screen: press, moves and release through the X server, each move
    waited for until it has shown (or, for a move into the help band, fenced off by a key) so
    that Wine cannot merge it into the next one."""

    def __init__(self, c, window):
        self.c, self.window = c, window
        self.at = None

    def press(self, point):
        rig = self.c.rig
        rig.mouse_move(*point)
        rig.mouse_down()
        self.at = point
        self.c.pointer = point
        wait_until(lambda: self.c.screen.capture().pixel(*point) == BLACK, STEP_TIMEOUT,
                   "the pixel of the press at %r" % (point,))

    def line_to(self, point):
        """A move that draws a line from the last point: waits for new black pixels between
        them (the end point itself is left out)."""
        self._move(point, "the line %r-%r" % (self.at, point), wait=major(self.at, point) > 1)

    def dot_at(self, point):
        """A move that starts a new stroke (after the band): waits for something new between
        the last drawn point and this one, which should be this point's single pixel."""
        self._move(point, "the single pixel at %r" % (point,))

    def _move(self, point, what, wait=True):
        """Moves the pointer to point and, when asked, waits until new black pixels appear in
        the box between the last point and this one."""
        a = self.at
        box = (min(a[0], point[0]), min(a[1], point[1]), max(a[0], point[0]),
               max(a[1], point[1]))
        before = black_in(self.c.screen.capture(), *box)
        self.c.rig.mouse_move(*point)
        self.at = point
        self.c.pointer = point
        if wait:
            wait_until(lambda: black_in(self.c.screen.capture(), *box) - before, STEP_TIMEOUT,
                       what)

    def into_band(self, point):
        """A move that the band refuses: nothing to wait for, so a key that nothing handles
        follows it and keeps it apart from the next move."""
        self.c.rig.mouse_move(*point)
        self.c.pointer = point
        self.c.rig.press_key(self.window, NEUTRAL_KEY)

    def release(self):
        self.c.rig.mouse_up()


def check_polyline(snapshot, points, area):
    """The black pixels of area (x0, y0, x1, y1) are those of a stroke through points: one
    per step along the major axis of each segment, each next to its segment, none on the
    last point (the release's end point is left out)."""
    black = black_in(snapshot, *area)
    segments = list(zip(points, points[1:]))
    expected = sum(major(a, b) for a, b in segments)
    check(len(black) == expected, "stroke %r: %d black pixels, %d expected"
          % (points, len(black), expected))
    astray = [p for p in black if min(distance_to_segment(p, a, b) for a, b in segments) > 1]
    check(not astray, "stroke %r: pixels off the stroke %r" % (points, sorted(astray)[:5]))
    for a, b in segments:
        mx, my = (a[0] + b[0]) // 2, (a[1] + b[1]) // 2
        check(any((mx + dx, my + dy) in black for dx in (-1, 0, 1) for dy in (-1, 0, 1)),
              "stroke %r: nothing drawn half-way from %r to %r" % (points, a, b))
    check(points[-1] not in black, "stroke %r: its last point is drawn" % (points,))


def band_round_trip(c, pen, edge, band_rows, x):
    """Drag from the drawing area into the band and back out at another place: the band is
    left as it was, the stroke stops at the band and starts again with a single pixel, and no
    line joins the two sides. edge is the separator row; the band lies beyond it."""
    out = 1 if edge > HEIGHT // 2 else -1  # towards the band
    a, b = (x, edge - out * 60), (x + 20, edge - out * 10)
    c1, c2 = (x + 50, edge), (x + 80, edge + out * (band_rows // 2))
    e, f = (x + 120, edge - out * 22), (x + 140, edge - out * 60)
    first, last = (edge, HEIGHT - 1) if out > 0 else (0, edge)
    before = c.screen.capture()

    pen.press(a)
    pen.line_to(b)
    pen.into_band(c1)
    pen.into_band(c2)
    pen.dot_at(e)
    pen.line_to(f)
    pen.release()
    after = c.shot("band-round-trip-%s" % ("bottom" if out > 0 else "top"))

    check(rows_bytes(after, first, last) == rows_bytes(before, first, last),
          "the band (rows %d-%d) changed" % (first, last))
    top, bottom = (edge - 60, edge - 1) if out > 0 else (edge + 1, edge + 60)
    gap = black_in(after, b[0] + 2, top, e[0] - 2, bottom)
    check(not gap, "a line across the band between %r and %r: %r" % (b, e, sorted(gap)[:5]))
    left = black_in(after, a[0] - 2, min(a[1], b[1]) - 2, b[0] + 1, max(a[1], b[1]) + 2)
    check(len(left) == major(a, b), "before the band: %d pixels, %d expected"
          % (len(left), major(a, b)))
    right = black_in(after, e[0] - 1, min(e[1], f[1]) - 2, f[0] + 2, max(e[1], f[1]) + 2)
    check(e in right and len(right) == major(e, f), "after the band: %d pixels from %r, %d "
          "expected" % (len(right), e, major(e, f)))


def test_screen(c, lang):
    rig = c.rig
    window = c.start_calibration(lang)
    line_height = to_test_screen(c, window, 2)
    separator = HEIGHT - line_height - 1
    c.check_test_screen(c.shot("test-screen"))
    pen = Pen(c, window)

    # A stroke of several segments in every direction.
    zigzag = [(100, 100), (300, 140), (320, 400), (150, 420), (60, 300), (20, separator - 40)]
    bottom_band = rows_bytes(c.screen.capture(), separator, HEIGHT - 1)
    pen.press(zigzag[0])
    for point in zigzag[1:]:
        pen.line_to(point)
    pen.release()
    drawn = c.shot("stroke")
    check_polyline(drawn, zigzag, (0, 0, 459, separator - 1))
    check(rows_bytes(drawn, separator, HEIGHT - 1) == bottom_band, "the help band changed")

    band_round_trip(c, pen, separator, line_height, 500)

    # Delete: the band moves to the top (text from row 0, separator at row lineHeight + 1),
    # and every stroke is gone.
    rig.press_key(window, "Delete")
    top_separator = line_height + 1

    def band_moved():
        snapshot = c.screen.capture()
        return snapshot.row_is(top_separator, BLACK) and snapshot.row_is(separator, WHITE)

    wait_until(band_moved, STEP_TIMEOUT, "the separator at row %d" % top_separator)
    moved = c.shot("band-at-top")
    check(any(dark_columns(moved, y) for y in range(0, line_height)), "no help text at the top")
    check(moved.row_is(line_height, WHITE), "row %d, between text and separator, is drawn on"
          % line_height)
    drawn_on = [y for y in range(top_separator + 1, HEIGHT) if not moved.row_is(y, WHITE)]
    check(not drawn_on, "strokes left after Delete (row %s)" % drawn_on[:1])

    # The band is now tested at the top, and the bottom rows take strokes.
    band_round_trip(c, pen, top_separator, line_height, 500)
    low = [(200, HEIGHT - 8), (260, HEIGHT - 2)]
    pen.press(low[0])
    pen.line_to(low[1])
    pen.release()
    check_polyline(c.shot("stroke-at-the-bottom"), low, (150, HEIGHT - 20, 300, HEIGHT - 1))

    rig.press_key(window, "Return")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT, CAL_ABORT, CAL_ABORT], "commands: %r" % rig.sent())


@case
def case_test_screen_english(c):
    """English test screen: a stroke is drawn along its path and keeps out of the help band;
    a drag into the band and back draws nothing there and no line across; Delete moves the
    band to the top and clears the strokes, and the band is then tested at the top."""
    test_screen(c, ENGLISH)


@case
def case_test_screen_japanese(c):
    """The same under a Japanese locale (another line height, so other band rows)."""
    test_screen(c, JAPANESE)


# ---- line pixels: Windows and the host simulation ---------------------------------------

# Single-segment strokes (dx, dy): ties in every octant, both ways round, short and long,
# exact diagonals, the axes and lines of no special shape.
LINE_VECTORS = [
    (4, 1), (1, 4), (-1, 4), (-4, 1), (-4, -1), (-1, -4), (1, -4), (4, -1),
    (2, 1), (-2, -1), (1, -2), (-1, 2),
    (12, 6), (-12, 6), (6, -12), (-6, -12), (40, 20), (-20, 40), (20, -40), (-40, -20),
    (40, 10), (-10, 40), (30, -10), (-30, -10),
    (20, 20), (-20, 20), (20, -20), (-20, -20), (3, 3), (-3, -3),
    (30, 0), (-30, 0), (0, 30), (0, -30),
    (37, 11), (-23, 41), (17, -44), (-41, -29), (43, 44), (-44, 43),
]
CELL_WIDTH, CELL_HEIGHT = 120, 110


def line_strokes():
    """(A, B) for each vector, one per cell of a grid over the drawing area, A in the cell's
    middle so that no two strokes (with a margin) share pixels."""
    strokes = []
    columns = WIDTH // CELL_WIDTH
    for i, (dx, dy) in enumerate(LINE_VECTORS):
        cx = CELL_WIDTH * (i % columns) + CELL_WIDTH // 2
        cy = CELL_HEIGHT * (i // columns) + CELL_HEIGHT // 2
        strokes.append(((cx, cy), (cx + dx, cy + dy)))
    return strokes


def simulated_lines(strokes):
    tool = os.environ.get(LINE_TOOL_VARIABLE)
    check(tool and os.access(tool, os.X_OK),
          "%s must name the line_pixels tool of the host build (tests/sim), not %r"
          % (LINE_TOOL_VARIABLE, tool))
    args = [str(v) for a, b in strokes for v in a + b]
    result = subprocess.run([tool] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=60)
    check(result.returncode == 0, "%s failed: %s" % (tool, result.stderr.decode()))
    lines = result.stdout.decode().splitlines()
    check(len(lines) == len(strokes), "%d lines from %s" % (len(lines), tool))
    return [{tuple(int(v) for v in p.split(",")) for p in line.split()} for line in lines]


@case
def case_line_pixels(c):
    """Strokes of one segment (press at A, one move to B, release at B) set on the test
    screen under Wine exactly the pixels that the host simulation's MoveToEx/LineTo set for
    A-B: the line from A up to, but not including, B."""
    rig = c.rig
    strokes = line_strokes()
    expected = simulated_lines(strokes)
    window = c.start_calibration(ENGLISH)
    line_height = to_test_screen(c, window, 2)
    check(max(max(a[1], b[1]) for a, b in strokes) < HEIGHT - line_height - 1 - 2,
          "the strokes reach the help band")
    pen = Pen(c, window)
    for a, b in strokes:
        pen.press(a)
        pen.line_to(b)
        pen.release()
    # A last press and release: once its pixel shows, the release before it has been
    # handled and drawn too.
    sentinel = (WIDTH - 20, HEIGHT - line_height - 20)
    pen.press(sentinel)
    pen.release()
    drawn = c.shot("lines")

    differences = []
    for (a, b), simulated in zip(strokes, expected):
        seen = black_in(drawn, min(a[0], b[0]) - 2, min(a[1], b[1]) - 2, max(a[0], b[0]) + 2,
                        max(a[1], b[1]) + 2)
        if seen != simulated:
            differences.append("%r-%r: Windows only %r, simulation only %r"
                               % (a, b, sorted(seen - simulated), sorted(simulated - seen)))
    check(not differences, "%d of %d lines differ:\n  %s"
          % (len(differences), len(strokes), "\n  ".join(differences)))

    rig.press_key(window, "Return")
    c.wait_exit()
