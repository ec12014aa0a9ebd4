"""Road tests of the calibration run: the controller's record, the targets' colours and how
each run ends."""

from harness import *  # noqa: F401,F403  the shared vocabulary of every case module

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
    screen, Enter; the controller sees exactly the commands of a whole run, although another
    program posts the start request (WM_USER) during the calibration and on the test screen."""
    rig = c.rig
    window = c.start_calibration()
    check(rig.window_geometry(window) == (0, 0, WIDTH, HEIGHT), "window does not cover the screen")
    first = c.shot("start")
    check(c.calibration_text_present(first), "no instruction text on the calibration screen")
    check(all(first.pixel(x, y) == WHITE for x, y in CORNERS + (TARGETS[1], TARGETS[3])),
          "the calibration screen is white except the first target and the text")

    for i in range(9):
        check(c.mark_colour(TARGETS[i]) == RED, "target %d red before the press" % i)
        if i == 2:
            # A start request that the program did not post itself does nothing. The next
            # touch is handled after it, so whatever it sent would be logged before that
            # touch's CAL-POINT.
            c.post_start_request()
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
    test_screen = c.shot("test-screen")
    c.check_test_screen(test_screen)
    check(rig.sent() == expected, "commands of the run: %r" % rig.sent())
    check(all(reply == ACK and status == OK_STATUS for _, reply, status in rig.requests()),
          "every exchange acknowledged")

    # The same on the test screen; a press there, handled after the request, draws its one
    # pixel, and nothing else may have changed.
    c.post_start_request()
    dot = (WIDTH // 2, HEIGHT // 3)
    rig.mouse_move(*dot)
    c.pointer = dot
    rig.mouse_down()
    wait_until(lambda: c.screen.capture().pixel(*dot) == BLACK, STEP_TIMEOUT,
               "the pixel of a press on the test screen")
    changed = c.shot("after-start-request").differences(test_screen)
    check(changed == [dot], "the test screen changed at %r" % changed[:10])
    rig.mouse_up()
    c.park_pointer()
    check(rig.sent() == expected, "on the test screen: %r" % rig.sent()[len(expected):])

    rig.press_key(window, "Return")
    c.wait_exit()
    check(rig.sent() == expected + [CAL_ABORT], "after Enter: %r" % rig.sent()[len(expected):])


def point_not_acknowledged(c, label, reply):
    """The controller's script does not acknowledge the second CAL-POINT (its reply as the
    driver wrote it is reply): that target turns red again and stays current; the next
    release is accepted and the run moves on."""
    rig = c.rig
    window = c.start_calibration()
    c.touch(0, "target0")
    c.wait_mark(0, WHITE, "erased")
    c.wait_mark(1, RED, "red as the next one")

    c.touch(1, "target1-%s" % label)
    c.wait_mark(1, RED, "red again after the %s reply" % label)
    c.shot("target1-red-again")
    check(c.mark_colour(TARGETS[2]) == WHITE, "no next target after a %s reply" % label)
    check(rig.requests()[3][1] == reply, "the 2nd CAL-POINT's reply: %r" % rig.requests()[3][1])

    c.touch(1, "target1-again")
    c.wait_mark(1, WHITE, "erased after the accepted release")
    c.wait_mark(2, RED, "red as the next one")
    c.shot("target2")

    rig.press_key(window, "Escape")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT] + [CAL_POINT] * 3 + [CAL_ABORT, CAL_ABORT],
          "commands: %r" % rig.sent())


@case
def case_refused_point(c):
    """The controller refuses the second CAL-POINT."""
    c.rig.set_script(refuse_command=0x86, refuse_occurrence=2)
    point_not_acknowledged(c, "refused", "00 A0 01 01" + " 00" * 16)


@case
def case_cut_short_point(c):
    """The second CAL-POINT's reply is cut short after "00 90": the bytes that would make it
    an acknowledgement never arrive, so it is none."""
    c.rig.set_script(reply_mode=1, cut_command=0x86, cut_occurrence=2, cut_after=2)
    point_not_acknowledged(c, "cut-short", "00 90")


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


@case
def case_device_absent(c):
    """The first screen is complete before the first command: with the driver's process held,
    the program waits in that command while the screen shows the full-screen white window, the
    instruction text and the first target in red; DIAG and CAL-IN follow once the driver goes
    on. With the driver stopped, that command cannot open the device: the window closes by
    itself at once, with no message, and the exit code is 0."""
    rig = c.rig
    with rig.driver_held():
        c.launch()
        window = c.wait_main_window()
        c.wait_mark(0, RED, "red on the first screen")
        wait_until(lambda: c.screen.pixels(CORNERS + (TARGETS[4],)).count(WHITE) == 5,
                   STEP_TIMEOUT, "a white full-screen window")
        first = c.shot("first-screen")
        check(c.calibration_text_present(first), "instruction text on the first screen")
        check(c.program.running(), "the program ended while its first command was held")
    c.wait_requests(2, "DIAG and CAL-IN once the driver goes on")
    check(rig.sent() == [DIAG, CAL_IN_DEFAULT], "start: %r" % rig.sent())
    rig.press_key(window, "Escape")
    c.wait_exit()

    rig.set_script()
    rig.stop_driver()
    try:
        c.launch()
        c.wait_exit()
        check(rig.sent() == [], "nothing reaches a controller: %r" % rig.sent())
    finally:
        rig.start_driver()


def diag_not_acknowledged(c, lang, caption, other_caption, reply, text):
    """The controller's script does not acknowledge DIAG (its reply as the driver wrote it is
    reply): the box with text, captioned in the run's language, over the white full-screen
    window; once it is dismissed the window closes, with CAL-ABORT, and the exit code is 0."""
    rig = c.rig
    c.launch(lang)
    window = c.wait_main_window()
    box = wait_until(lambda: rig.find_windows("^%s$" % caption), WINDOW_TIMEOUT,
                     "the message box %r" % caption)[0]
    check(not rig.find_windows("^%s$" % other_caption), "a box captioned %r" % other_caption)
    check(rig.window_geometry(window) == (0, 0, WIDTH, HEIGHT), "window does not cover the screen")
    c.wait_mark(0, RED, "red behind the message box")
    snapshot = c.shot("diag-box")
    check(all(snapshot.pixel(x, y) == WHITE for x, y in CORNERS),
          "white full-screen window behind the box")
    check(rig.sent() == [DIAG], "only DIAG before the box: %r" % rig.sent())
    check(rig.requests()[0][1] == reply, "DIAG's reply: %r" % rig.requests()[0][1])
    texts = c.window_texts(caption)
    check(text in texts, "the box says %r, not %r" % (texts, text))
    rig.press_key(box, "Return")
    c.wait_exit()
    check(rig.sent() == [DIAG, CAL_ABORT], "commands: %r" % rig.sent())


DIAG_REFUSED_12 = "00 A0 01 0C" + " 00" * 16


@case
def case_diag_refused_english(c):
    """DIAG refused with error code 12 under an English locale: the box "DIAG command" says
    "Panel Voltage error"."""
    c.rig.set_script(refuse_command=0x89, refuse_code=12)  # panel voltage error
    diag_not_acknowledged(c, ENGLISH, "DIAG command", "診断コマンド", DIAG_REFUSED_12,
                          "Panel Voltage error")


@case
def case_diag_refused_japanese(c):
    """The same under a Japanese locale: the box is captioned and worded in Japanese."""
    c.rig.set_script(refuse_command=0x89, refuse_code=12)
    diag_not_acknowledged(c, JAPANESE, "診断コマンド", "DIAG command", DIAG_REFUSED_12,
                          "パネル電圧エラー")


@case
def case_diag_cut_short(c):
    """DIAG's reply "00 90 01 0C" cut short after "00 90": the error flag and code never
    arrive, so DIAG is not acknowledged, and the box tells of a communication error rather
    than of code 12. No CAL-IN is sent."""
    c.rig.set_script(diag_error_code=12, reply_mode=1, cut_command=0x89, cut_after=2)
    diag_not_acknowledged(c, ENGLISH, "DIAG command", "診断コマンド", "00 90",
                          "Communication error ")

