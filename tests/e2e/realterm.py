"""Real terminals under a virtual X display, typed into with X's own keyboard.

Shared by the real-terminal end-to-end tests (realterm_test.py) and the trace recorder
(tools/record_traces.py). An Xvfb display with X's auto-repeat on at its defaults (660 ms
delay, 25 repeats a second); xterm or kitty on it, running a command; keys pressed and released
with `xdotool keydown`/`keyup` (the XTEST extension: to X they are a real keyboard, repeats
and all); and the terminal's screen read from outside while it runs:

- kitty: its remote control protocol on a unix socket (get-text), spoken directly so that a
  look takes well under a millisecond;
- xterm: its print-immediate action bound to the third mouse button; `xdotool click 3` makes
  it write the screen to a file. A mouse click, unlike a key, does not stop a held key's
  auto-repeat.

A screen is a list of rows, each a list of cells: a wide character takes its cell and an empty
one after it, as the terminal lays it out.
"""

import glob
import json
import os
import shutil
import signal
import socket
import subprocess
import time
import unicodedata

SKIP = 77  # CTest's skip code (SKIP_RETURN_CODE)


class Skip(Exception):
    """What the test needs cannot be had here: a display, a terminal, xdotool."""


def need(*programs):
    for p in programs:
        if not shutil.which(p):
            raise Skip("%s is not installed" % p)


def display_numbers():
    """Display numbers to try, from GAMEBOX_XVFB_DISPLAYS ("61-69" or "61 62 63")."""
    wanted = os.environ.get("GAMEBOX_XVFB_DISPLAYS", "61-69")
    numbers = []
    for part in wanted.replace(",", " ").split():
        if "-" in part:
            lo, hi = part.split("-", 1)
            numbers.extend(range(int(lo), int(hi) + 1))
        else:
            numbers.append(int(part))
    return numbers


class Display:
    """An Xvfb server on the first free display number, with X's default auto-repeat."""

    def __init__(self):
        need("Xvfb", "xset", "xdotool")
        self.proc = None
        for n in display_numbers():
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            proc = subprocess.Popen(
                ["Xvfb", ":%d" % n, "-screen", "0", "1600x1000x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.env = dict(os.environ, DISPLAY=":%d" % n)
            for _ in range(100):
                if proc.poll() is not None:
                    break
                if subprocess.run(["xset", "q"], env=self.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0:
                    self.proc = proc
                    break
                time.sleep(0.05)
            if self.proc:
                self.number = n
                break
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        if not self.proc:
            raise Skip("no X display could be started (tried %s)" % display_numbers())
        self.x("xset", "r", "on")
        self.x("xset", "r", "rate", "660", "25")

    def x(self, *argv):
        return subprocess.run(list(argv), env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True).stdout

    def screenshot(self, path):
        if shutil.which("import"):
            self.x("import", "-window", "root", path)

    def close(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Keys:
    """The keyboard, through xdotool. `log(what)` hears of every action as it is made."""

    NAMES = {" ": "space", "\n": "Return", "\b": "BackSpace", "\x1b": "Escape", "\t": "Tab"}

    def __init__(self, display, log=None):
        self.display = display
        self.log = log

    def _do(self, action, key):
        self.display.x("xdotool", action, key)
        # Once xdotool is done, X has the event: closer to its time than the start of the call.
        if self.log:
            self.log("%s %s" % (action, key))

    def down(self, key):
        self._do("keydown", key)

    def up(self, key):
        self._do("keyup", key)

    def tap(self, key, ms=60):
        """Presses and releases `key`; returns when the press was asked for (time.monotonic())."""
        asked = time.monotonic()
        self.down(key)
        time.sleep(ms / 1000)
        self.up(key)
        return asked

    def tap_again(self, key, asked, after, ms=60):
        """Taps `key` again, `after` seconds after the tap asked for at `asked`: each xdotool
        call takes about as long to reach X, so the presses come `after` apart."""
        time.sleep(max(0.0, asked + after - time.monotonic()))
        return self.tap(key, ms)

    def type(self, text, ms=50, gap=80):
        for ch in text:
            self.tap(self.NAMES.get(ch, ch), ms)
            time.sleep(gap / 1000)


def cells_of(line):
    """A line of text as the terminal lays it out: wide characters take two cells."""
    cells = []
    for ch in line:
        if ch in "\uffff\n":
            continue
        cells.append(ch)
        if unicodedata.east_asian_width(ch) in "WF":
            cells.append("")
    return cells


class Screen:
    def __init__(self, rows):
        self.rows = rows

    def text(self, row, col=0, width=None):
        if row >= len(self.rows):
            return ""
        cells = self.rows[row][col:] if width is None else self.rows[row][col:col + width]
        return "".join(c if c else "" for c in cells)

    def find(self, glyph, cols=None):
        """Every (row, column) where `glyph` starts, optionally only within columns [a, b)."""
        hits = []
        for r, cells in enumerate(self.rows):
            for c, ch in enumerate(cells):
                if ch == glyph and (cols is None or cols[0] <= c < cols[1]):
                    hits.append((r, c))
        return hits

    def contains(self, s):
        return any(s in "".join(row) for row in self.rows)

    def dump(self):
        return "\n".join("%2d|%s" % (r, "".join(row).rstrip()) for r, row in enumerate(self.rows))


class Terminal:
    """A terminal window running `command` (a shell command line) in `work`."""

    cols, rows = 120, 40

    def __init__(self, display, work, command):
        self.display = display
        self.work = work
        self.window = None
        argv = self.argv(command)
        log = os.path.join(work, "terminal.log")
        # A terminal that fails to come up is given a second and a third chance: on a loaded
        # machine a start now and then loses its race with the display.
        for attempt in range(3):
            self.proc = subprocess.Popen(argv, env=self.environment(), cwd=work,
                                         stdout=subprocess.DEVNULL, stderr=open(log, "w"),
                                         start_new_session=True)
            for _ in range(200):
                ids = display.x("xdotool", "search", "--pid", str(self.proc.pid)).split()
                if ids:
                    self.window = ids[-1]
                    break
                if self.proc.poll() is not None:
                    break
                time.sleep(0.05)
            if self.window:
                break
            self.close()
            time.sleep(0.5)
        if not self.window:
            with open(log, errors="replace") as f:
                why = f.read().strip()[-400:]
            raise Skip("%s did not open a window: %s" % (self.name, why))
        display.x("xdotool", "windowfocus", "--sync", self.window)
        display.x("xdotool", "mousemove", "--window", self.window, "200", "200")
        self.ready()

    def environment(self):
        env = dict(self.display.env, LANG="C.UTF-8", LC_ALL="C.UTF-8")
        for k in ("GAMEBOX_KEYBOARD", "GAMEBOX_AMBIGUOUS_WIDTH", "TMUX"):
            env.pop(k, None)
        return env

    def ready(self):
        pass

    def wait_for(self, text, seconds=5.0):
        """Waits until `text` shows; returns the screen (or None on timeout)."""
        end = time.time() + seconds
        while time.time() < end:
            s = self.screen()
            if s and s.contains(text):
                return s
            time.sleep(0.05)
        return None

    def alive(self):
        return self.proc.poll() is None

    def close(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()


class XTerm(Terminal):
    name = "xterm"

    def argv(self, command):
        need("xterm")
        self.prefix = os.path.join(self.work, "screen-")
        return ["xterm", "-geometry", "%dx%d" % (self.cols, self.rows),
                "-fa", "DejaVu Sans Mono", "-fd", "Noto Sans Mono CJK SC", "-fs", "8",
                "-xrm", "XTerm*printFileImmediate: " + self.prefix,
                "-xrm", "XTerm*printAttributes: 0",
                "-xrm", "XTerm*VT100.translations: #override <Btn3Down>: print-immediate()",
                "-e", "sh", "-c", command]

    @staticmethod
    def version():
        return subprocess.run(["xterm", "-version"], stdout=subprocess.PIPE,
                              text=True).stdout.strip()

    def screen(self):
        for old in glob.glob(self.prefix + "*"):
            os.unlink(old)
        self.display.x("xdotool", "mousedown", "3", "mouseup", "3")
        end = time.time() + 2
        while time.time() < end:
            files = glob.glob(self.prefix + "*")
            if files:
                with open(files[0], encoding="utf-8", errors="replace") as f:
                    lines = f.read().split("\n")
                if len(lines) >= self.rows:
                    os.unlink(files[0])
                    return Screen([cells_of(l) for l in lines[:self.rows]])
            time.sleep(0.003)
        return None


class Kitty(Terminal):
    name = "kitty"

    def argv(self, command):
        need("kitty")
        self.sock = os.path.join(self.work, "kitty.sock")
        return ["kitty", "--config", "NONE", "-o", "allow_remote_control=yes",
                "--listen-on", "unix:" + self.sock,
                "-o", "remember_window_size=no",
                "-o", "initial_window_width=%dc" % (self.cols + 2),
                "-o", "initial_window_height=%dc" % (self.rows + 1),
                "-o", "font_size=8", "-o", "enable_audio_bell=no",
                "-o", "confirm_os_window_close=0",
                "sh", "-c", command]

    def environment(self):
        env = super().environment()
        env["LIBGL_ALWAYS_SOFTWARE"] = "1"
        return env

    @staticmethod
    def version():
        return subprocess.run(["kitty", "--version"], stdout=subprocess.PIPE,
                              text=True).stdout.strip()

    def ready(self):
        for _ in range(100):
            if os.path.exists(self.sock):
                return
            time.sleep(0.05)

    def screen(self):
        msg = {"cmd": "get-text", "version": [0, 26, 5], "no_response": False,
               "payload": {"extent": "screen"}}
        try:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.settimeout(2)
            s.connect(self.sock)
            s.sendall(b"\x1bP@kitty-cmd" + json.dumps(msg).encode() + b"\x1b\\")
            buf = b""
            while not buf.endswith(b"\x1b\\"):
                d = s.recv(1 << 16)
                if not d:
                    break
                buf += d
            s.close()
            reply = json.loads(buf[len(b"\x1bP@kitty-cmd"):-2])
        except (OSError, ValueError):
            return None
        if not reply.get("ok"):
            return None
        return Screen([cells_of(l) for l in reply["data"].split("\n")])


TERMINALS = {"xterm": XTerm, "kitty": Kitty}
