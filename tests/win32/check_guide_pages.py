#!/usr/bin/env python3
"""Opens every guide page (guide-*.html) of the unpacked release package in PACKAGE_DIR in a
real headless browser (Debian's Chromium, driven over its DevTools pipe with the standard
library only) and checks, once the page has loaded:

- every picture has loaded (naturalWidth > 0), is a file beside the page rather than a data
  URI, and carries width and height attributes equal to its size, so that old browsers lay
  the page out before the pictures arrive;
- every relative href and src names a file of the package, and every #fragment an element of
  the page it points to;
- the page holds no script: it must work where scripts are off or unknown.

    check_guide_pages.py PACKAGE_DIR
"""
import glob
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse

BROWSERS = ("chromium", "chromium-browser", "google-chrome")
TIMEOUT = 60

# What the page reports about itself once it has loaded.
INSPECT = """JSON.stringify({
  images: Array.prototype.map.call(document.images, function (i) {
    return {src: i.getAttribute("src"), natural: [i.naturalWidth, i.naturalHeight],
            size: [i.getAttribute("width"), i.getAttribute("height")]};
  }),
  references: Array.prototype.map.call(document.querySelectorAll("[href], [src]"),
    function (e) { return e.getAttribute("href") || e.getAttribute("src"); }),
  ids: Array.prototype.map.call(document.querySelectorAll("[id], a[name]"),
    function (e) { return e.id || e.getAttribute("name"); }),
  scripts: document.getElementsByTagName("script").length
})"""


class Browser:
    """Chromium with --remote-debugging-pipe: JSON messages ending in NUL, on fds 3 and 4."""

    def __init__(self, executable):
        self.profile = tempfile.mkdtemp(prefix="panelcal-browser-")
        to_browser, self.to_browser = os.pipe()
        self.from_browser, from_browser = os.pipe()

        def pipe_fds():
            # In the child: the browser reads commands on fd 3 and writes answers to fd 4.
            read_end, write_end = os.dup(to_browser), os.dup(from_browser)
            os.dup2(read_end, 3)
            os.dup2(write_end, 4)

        self.process = subprocess.Popen(
            [executable, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + self.profile, "--remote-debugging-pipe", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=pipe_fds, start_new_session=True)
        os.close(to_browser)
        os.close(from_browser)
        self.buffer = b""
        self.next_id = 0
        self.events = []

    def close(self):
        """Closes the browser, and ends whatever of it is left (its own process group)."""
        try:
            self.call("Browser.close")
            self.process.wait(timeout=TIMEOUT)
        except (OSError, RuntimeError, TimeoutError, EOFError, subprocess.TimeoutExpired):
            pass
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _receive(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                raise TimeoutError("the browser did not answer within %d s" % TIMEOUT)
            chunk = os.read(self.from_browser, 65536)
            if not chunk:
                raise EOFError("the browser closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + TIMEOUT
        while True:
            answer = self._receive(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer["result"]
            self.events.append(answer)

    def wait_for(self, method, session):
        deadline = time.monotonic() + TIMEOUT
        while True:
            for event in self.events:
                if event.get("method") == method and event.get("sessionId") == session:
                    self.events.remove(event)
                    return event
            self.events.append(self._receive(deadline))

    def inspect(self, url):
        """Loads url in a new tab; returns what INSPECT reports once the load event came."""
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.call("Page.enable", session)
        self.call("Page.navigate", session, url=url)
        self.wait_for("Page.loadEventFired", session)
        result = self.call("Runtime.evaluate", session, expression=INSPECT, returnByValue=True)
        self.call("Target.closeTarget", targetId=target)
        return json.loads(result["result"]["value"])


def find_browser():
    for name in BROWSERS:
        path = shutil.which(name)
        if path:
            return path
    return None


def check_page(page, report, ids_of):
    """Problems of one page, from the browser's report and the files beside it."""
    folder = os.path.dirname(page)
    name = os.path.basename(page)
    problems = []
    for image in report["images"]:
        src = image["src"] or ""
        if src.startswith("data:"):
            problems.append("%s: a picture as a data URI" % name)
            continue
        if image["natural"][0] <= 0:
            problems.append("%s: picture %s did not load" % (name, src))
        elif image["size"] != [str(n) for n in image["natural"]]:
            problems.append("%s: picture %s is %dx%d, its attributes say %s"
                            % (name, src, image["natural"][0], image["natural"][1],
                               "x".join(str(s) for s in image["size"])))
    for reference in report["references"]:
        parts = urllib.parse.urlsplit(reference)
        if parts.scheme or parts.netloc:
            continue  # not a file of the package
        target = os.path.normpath(os.path.join(folder, urllib.parse.unquote(parts.path))) \
            if parts.path else page
        if not os.path.isfile(target):
            problems.append("%s: broken link %s" % (name, reference))
        elif parts.fragment and target in ids_of \
                and urllib.parse.unquote(parts.fragment) not in ids_of[target]:
            problems.append("%s: link %s names no element of its page" % (name, reference))
    if report["scripts"]:
        problems.append("%s: %d scripts" % (name, report["scripts"]))
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    pages = sorted(glob.glob(os.path.join(os.path.abspath(argv[1]), "*", "guide-*.html")))
    if not pages:
        print("FAIL: no guide-*.html in a folder of %s" % argv[1])
        return 1
    executable = find_browser()
    if executable is None:
        print("FAIL: no Chromium (%s) on PATH" % ", ".join(BROWSERS))
        return 1
    browser = Browser(executable)
    try:
        reports = {page: browser.inspect("file://" + urllib.parse.quote(page)) for page in pages}
    finally:
        browser.close()
    ids_of = {page: set(report["ids"]) for page, report in reports.items()}
    problems = []
    for page, report in reports.items():
        problems += check_page(page, report, ids_of)
        print("%s: %d pictures, %d links" % (os.path.basename(page), len(report["images"]),
                                            len(report["references"])))
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
