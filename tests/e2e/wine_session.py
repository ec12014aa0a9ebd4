"""Driving the real utility under Wine as a user would: the rig, the screen, the input,
the program's process and the simulated controller's request log.

Python 3 standard library only. The rig itself (Xvfb, Wine prefix, driver service) is
prepared by scripts/wine-rig.sh; this module reads its rig.env.
"""

import contextlib
import mmap
import os
import shlex
import signal
import struct
import subprocess
import time
import zlib

SERVICE = "PNLDRV"
SLOWNESS = 1  # how many times as long every wait may take: more where Wine's processor is emulated

RED = (255, 0, 0)
BLUE = (0, 0, 255)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


class CheckFailed(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def wait_until(condition, timeout, what, interval=0.01):
    """Polls condition() until it returns a true value, which is returned; fails with
    `what` when timeout (times SLOWNESS) seconds pass first."""
    timeout *= SLOWNESS
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise CheckFailed("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def read_env_file(path):
    """Reads the `export NAME=value` / `NAME=value` lines that wine-rig.sh writes."""
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("export "):
                line = line[len("export "):]
            name, _, rest = line.partition("=")
            words = shlex.split(rest)
            values[name] = words[0] if words else ""
    return values


class XwdLayout:
    """Where the pixels are in an XWD image (24-bit TrueColor, 32 bits per pixel): the
    layout of both Xvfb's framebuffer file and xwd's output."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, version, _fmt, depth, width, height = fields[:6]
        byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
        masks, ncolors = fields[14:17], fields[19]
        check(version == 7 and bits_per_pixel == 32 and depth == 24,
              "unexpected XWD format (depth %d, %d bpp)" % (depth, bits_per_pixel))
        check(tuple(masks) == (0xFF0000, 0xFF00, 0xFF), "unexpected colour masks %r" % (masks,))
        self.width, self.height = width, height
        self.stride = bytes_per_line
        self.offset = header_size + 12 * ncolors
        self.little = byte_order == 0

    def pixel(self, data, x, y):
        at = self.offset + y * self.stride + 4 * x
        b0, b1, b2, b3 = data[at:at + 4]
        return (b2, b1, b0) if self.little else (b1, b2, b3)

    def snapshot(self, data):
        """The whole image as a Snapshot of packed RGB rows."""
        w = self.width
        rgb = bytearray(w * self.height * 3)
        first = (2, 1, 0) if self.little else (1, 2, 3)
        for y in range(self.height):
            row = data[self.offset + y * self.stride:self.offset + y * self.stride + 4 * w]
            out = y * w * 3
            for channel, start in enumerate(first):
                rgb[out + channel:out + w * 3:3] = row[start::4]
        return Snapshot(w, self.height, bytes(rgb))


class Screen:
    """The Xvfb screen, read two ways.

    Straight from the framebuffer file that Xvfb keeps mapped: a pixel read costs no
    round trip, fast enough to catch a window that lives for a millisecond; but the file
    also holds the image of the mouse pointer wherever the pointer rests. Through the X
    server with xwd: slower, and without the pointer, as the program drew it."""

    def __init__(self, fb_path, env):
        self._env = env
        self._file = open(fb_path, "rb")
        self._map = mmap.mmap(self._file.fileno(), 0, access=mmap.ACCESS_READ)
        self._layout = XwdLayout(self._map)
        self.width, self.height = self._layout.width, self._layout.height

    def close(self):
        self._map.close()
        self._file.close()

    def pixel(self, x, y):
        """(r, g, b) of the framebuffer pixel at (x, y)."""
        return self._layout.pixel(self._map, x, y)

    def pixels(self, points):
        return [self.pixel(x, y) for x, y in points]

    def snapshot(self):
        """A copy of the framebuffer, pointer included."""
        return self._layout.snapshot(self._map)

    def capture(self, attempts=5):
        """The screen as the X server reports it (xwd -root), without the pointer. xwd
        fails now and then with BadColor while a Wine window goes away: taken again."""
        for _ in range(attempts):
            result = subprocess.run(["xwd", "-root", "-silent"], env=self._env,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    stdin=subprocess.DEVNULL, timeout=30)
            if result.returncode == 0 and len(result.stdout) > 100:
                return XwdLayout(result.stdout).snapshot(result.stdout)
        raise CheckFailed("xwd -root failed %d times" % attempts)


class Snapshot:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return tuple(self.rgb[at:at + 3])

    def differences(self, other):
        """(x, y) of every pixel in which other, of the same size, differs."""
        stride = 3 * self.width
        found = []
        for y in range(self.height):
            row = slice(y * stride, (y + 1) * stride)
            if self.rgb[row] != other.rgb[row]:
                found += [(x, y) for x in range(self.width)
                          if self.pixel(x, y) != other.pixel(x, y)]
        return found

    def row_is(self, y, colour):
        row = self.rgb[3 * y * self.width:3 * (y + 1) * self.width]
        return row == bytes(colour) * self.width

    def save_png(self, path):
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        stride = 3 * self.width
        raw = b"".join(b"\0" + self.rgb[y * stride:(y + 1) * stride] for y in range(self.height))
        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(png)


class Rig:
    """One prepared rig (see scripts/wine-rig.sh) shared by the cases of a test run.

    lang is the LANG of the Wine session that start_session starts and of every wine
    command run here. The first program to show a window in a session gets the language
    of the session's start, whatever its own LANG: a run in another language starts its
    session under that language. Without lang, the language of the session that runs (kept
    in the rig's folder by start_session), else C.UTF-8."""

    def __init__(self, rig_dir, lang=None):
        self.dir = os.path.abspath(rig_dir)
        self._lang_path = os.path.join(self.dir, "session.lang")
        if lang is None:
            lang = "C.UTF-8"
            if os.path.exists(self._lang_path):
                with open(self._lang_path) as f:
                    lang = f.read().strip() or lang
        values = read_env_file(os.path.join(self.dir, "rig.env"))
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES"):
            self.env[name] = values[name]
        self.env["LANG"] = lang
        self.env.pop("LC_ALL", None)
        self.service_key = values["PNL_SERVICE_KEY"]
        self.log_path = values["PNL_LOG"]
        self.screen = Screen(values["XVFB_FB"], self.env) if values.get("XVFB_FB") else None
        self._scratch = os.path.join(self.dir, "scratch")
        os.makedirs(self._scratch, exist_ok=True)
        self._serial = 0

    # ---- wine commands ----------------------------------------------------------------

    def wine(self, *args, timeout=60, lang=None):
        """Runs one wine command to its end; returns (exit code, output). The output goes
        through a file: the first command of a session must not be read through a pipe."""
        self._serial += 1
        out_path = os.path.join(self._scratch, "wine-%d.out" % self._serial)
        env = dict(self.env)
        if lang:
            env["LANG"] = lang
        with open(out_path, "wb") as out:
            code = subprocess.call(["wine"] + list(args), env=env, stdout=out,
                                   stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                   timeout=timeout * SLOWNESS)
        with open(out_path, "rb") as f:
            text = f.read().decode("utf-8", "replace")
        os.remove(out_path)
        return code, text

    def wineserver(self, *args, timeout=60):
        with open(os.path.join(self._scratch, "wineserver.out"), "ab") as out:
            return subprocess.call(["wineserver"] + list(args), env=self.env, stdout=out,
                                   stderr=subprocess.STDOUT, timeout=timeout * SLOWNESS)

    def start_session(self, probe, timeout=30):
        """Starts a persistent Wine session (it outlives its last process, so the driver stays
        loaded between runs and every launch is a warm start) and waits for the driver's
        device. A session start now and then fails at once with no output; a second start
        has always worked."""
        for attempt in (1, 2):
            self.wineserver("-p")
            code, out = self.wine(probe, "wait", str(timeout * SLOWNESS))
            if code == 0:
                with open(self._lang_path, "w") as f:
                    f.write(self.env["LANG"] + "\n")
                return
            self.wineserver("-k")
            self.wineserver("-w")
        raise CheckFailed("the driver's device did not appear (%d): %r" % (code, out))

    def restart_session(self, probe, lang=None):
        self.wineserver("-k")
        self.wineserver("-w")
        if lang:
            self.env["LANG"] = lang
        self.start_session(probe)

    def session_lang(self):
        return self.env["LANG"]

    def winpath(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    # ---- the simulated controller -------------------------------------------------------

    def set_script(self, ack_code=0x90, refuse_command=-1, refuse_occurrence=0, refuse_code=1,
                   diag_error_code=0, fail_ioctl=0, reply_mode=0, cut_command=0x100,
                   cut_occurrence=0, cut_after=2):
        """Scripts the controller and starts its counters and its log afresh. Reply mode 1
        writes only the first cut_after bytes of the replies to cut_command (0x100: every
        command), of its cut_occurrence-th request only (0: of every one)."""
        values = {
            "AckCode": ack_code, "RefuseCommand": refuse_command,
            "RefuseOccurrence": refuse_occurrence, "RefuseCode": refuse_code,
            "DiagErrorCode": diag_error_code, "FailIoctl": fail_ioctl, "ReplyMode": reply_mode,
            "CutCommand": cut_command, "CutOccurrence": cut_occurrence, "CutAfter": cut_after,
        }
        hive, _, key = self.service_key.partition("\\")
        check(hive == "HKLM", "unexpected service key %s" % self.service_key)
        lines = ["REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\%s]" % key]
        lines += ['"%s"=dword:%08x' % (name, value & 0xFFFFFFFF) for name, value in values.items()]
        lines += ['"Count%02X"=-' % code for code in range(256)]
        lines += ['"LogSequence"=-']
        path = os.path.join(self._scratch, "script.reg")
        with open(path, "w", encoding="ascii", newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")
        code, out = self.wine("reg", "import", self.winpath(path))
        check(code == 0, "reg import failed (%d): %s" % (code, out))
        open(self.log_path, "w").close()

    def set_value(self, name, value):
        """Changes one script value between two steps of a run."""
        code, out = self.wine("reg", "add", self.service_key, "/v", name, "/t", "REG_DWORD",
                              "/d", str(value & 0xFFFFFFFF), "/f")
        check(code == 0, "reg add %s failed: %s" % (name, out))

    def start_driver(self):
        code, out = self.wine("net", "start", SERVICE)
        check(code == 0 or "already" in out, "net start failed: %s" % out)

    def stop_driver(self):
        code, out = self.wine("net", "stop", SERVICE)
        check(code == 0 or "not started" in out, "net stop failed: %s" % out)

    def driver_host(self):
        """Process id of this rig's winedevice.exe that hosts the driver."""
        found = []
        for name in os.listdir("/proc"):
            if not name.isdigit():
                continue
            try:
                with open("/proc/%s/environ" % name, "rb") as f:
                    environ = f.read().split(b"\0")
                with open("/proc/%s/maps" % name, "rb") as f:
                    maps = f.read()
            except OSError:  # gone meanwhile, or not ours to read
                continue
            if (b"WINEPREFIX=" + self.env["WINEPREFIX"].encode() in environ
                    and b"/pnldrv.sys\n" in maps):
                found.append(int(name))
        check(len(found) == 1, "%d processes host the driver: %r" % (len(found), found))
        return found[0]

    @contextlib.contextmanager
    def driver_held(self):
        """Within the block the driver's host process is stopped (SIGSTOP): a program's request
        to the device waits, unanswered and not logged, until the block ends."""
        host = self.driver_host()
        os.kill(host, signal.SIGSTOP)
        try:
            yield
        finally:
            os.kill(host, signal.SIGCONT)

    def requests(self):
        """The driver's log as a list of (request hex, reply hex, status hex)."""
        try:
            with open(self.log_path, encoding="ascii") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        entries = []
        for line in lines:
            fields = line.split("\t")
            check(len(fields) == 5, "malformed log line %r" % line)
            entries.append((fields[2], fields[3], fields[4]))
        return entries

    def sent(self):
        """Only the request bytes, in order."""
        return [request for request, _, _ in self.requests()]

    # ---- X ------------------------------------------------------------------------------

    def xdotool(self, *args, timeout=10):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                stdin=subprocess.DEVNULL, timeout=timeout)
        return result.returncode, result.stdout.decode("utf-8", "replace")

    def find_windows(self, name):
        """Visible top-level windows whose name (window text, caption) matches the regex."""
        code, out = self.xdotool("search", "--onlyvisible", "--name", name)
        return [int(w) for w in out.split()] if code == 0 else []

    def window_geometry(self, window):
        code, out = self.xdotool("getwindowgeometry", "--shell", window)
        check(code == 0, "no geometry for window %d" % window)
        values = dict(line.split("=", 1) for line in out.split())
        return (int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"]))

    def press_key(self, window, key):
        """A real key stroke to the window: focus first, then the key to whoever has focus
        (a key sent with --window loses its release when it closes that window)."""
        code, _ = self.xdotool("windowfocus", "--sync", window)
        check(code == 0, "cannot focus window %d" % window)
        code, _ = self.xdotool("key", key)
        check(code == 0, "xdotool key %s failed" % key)

    def mouse_move(self, x, y):
        check(self.xdotool("mousemove", x, y)[0] == 0, "mousemove failed")

    def mouse_down(self):
        check(self.xdotool("mousedown", 1)[0] == 0, "mousedown failed")

    def mouse_up(self):
        check(self.xdotool("mouseup", 1)[0] == 0, "mouseup failed")


class Program:
    """One run of the utility: `wine panelcal.exe` in the rig's session (and more_env)."""

    def __init__(self, rig, exe, lang, out_path, more_env=None):
        self.rig = rig
        env = dict(rig.env, **(more_env or {}))
        env["LANG"] = lang
        # Wine's own word when the program gets no display driver (it then cannot create its
        # window), from the program and from the desktop process it may start.
        env["WINEDEBUG"] = rig.env["WINEDEBUG"] + ",err+winediag"
        os.makedirs(os.path.dirname(out_path), exist_ok=True)
        self._out = open(out_path, "wb")
        self.process = subprocess.Popen(["wine", exe], env=env, stdout=self._out,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.exit_code = None

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout):
        try:
            self.exit_code = self.process.wait(timeout=timeout * SLOWNESS)
        except subprocess.TimeoutExpired:
            raise CheckFailed("the program did not end within %.0f s" % (timeout * SLOWNESS))
        self._out.close()
        return self.exit_code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
        self._out.close()
