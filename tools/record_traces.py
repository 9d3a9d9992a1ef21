#!/usr/bin/env python3
"""Records what real terminals send for the key scenarios the input tests replay.

    tools/record_traces.py KEYLOG [--out DIR] [--terminal T]... [--scenario S]...

KEYLOG is the logger built with the program (build/keylog); DIR defaults to
tests/console/input/traces/. For every terminal (xterm, kitty, tmux: tmux 3.3a inside xterm;
all three unless some are named) and scenario (all unless some are named), the terminal runs `keylog` set up as the game box sets the terminal up (kitty with
the keyboard protocol flags the program pushes), and the scenario is typed with xdotool under
Xvfb, X's auto-repeat on at its defaults. The trace keeps what the terminal sent, with the time
each read arrived, and the typed actions on the same time line ("# @<ms> keydown Up"). The
traces README says how to read them.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import realterm as rt  # noqa: E402

# The flags the program pushes (src/console/input/protocol.hpp).
KITTY_FLAGS = 31


def jump(k):
    k.tap("Up", 60)


def double_jump(k):
    k.tap_again("Up", k.tap("Up", 60), 0.25)


def hold_right(k):
    k.down("Right")
    time.sleep(1.5)
    k.up("Right")


def hold_right_tap_up(k):
    k.down("Right")
    time.sleep(1.2)
    k.tap("Up", 80)
    time.sleep(2.0)
    k.up("Right")


def launcher_choice(k):
    k.type("12\b\n")


def snake_start(k):
    k.type("1\n")


def killer_vote(k):
    k.type("2\n")
    time.sleep(1.5)
    k.type(" ")


def typed_text(k):
    # Shift, Caps Lock and a tab in a number read, as a player might type them.
    k.tap("shift+a")
    k.tap("Caps_Lock")
    k.type("a1")
    k.tap("Caps_Lock")
    k.type("\t7\n")


SCENARIOS = [
    ("jump", "up tapped once", jump),
    ("double-jump", "up tapped, and again 0.25 s later", double_jump),
    ("hold-right", "right held 1.5 s", hold_right),
    ("hold-right-tap-up", "right held 1.2 s, up tapped, right held 2 s more", hold_right_tap_up),
    ("launcher-choice", "1 2 Backspace Enter", launcher_choice),
    ("snake-start", "1 Enter", snake_start),
    ("killer-vote", "2 Enter, then space 1.5 s later", killer_vote),
    ("typed-text", "Shift+a, Caps Lock on, a 1, Caps Lock off, Tab 7 Enter", typed_text),
]


def record(display, terminal, keylog, name, scenario, outdir):
    work = tempfile.mkdtemp(prefix="gamebox-trace-")
    raw = os.path.join(work, "raw")
    flags = KITTY_FLAGS if terminal == "kitty" else 0
    log = "%s %s-t 8 %s" % (keylog, "-f %d " % flags if flags else "", raw)
    tmux = ["tmux", "-L", "gamebox-trace-%d" % os.getpid()]
    if terminal == "tmux":
        command = "%s -f /dev/null new-session -x 120 -y 40 '%s'" % (" ".join(tmux), log)
        term = rt.XTerm(display, work, command)
    else:
        term = rt.TERMINALS[terminal](display, work, log)
    try:
        for _ in range(200):
            if os.path.exists(raw) and os.path.getsize(raw) > 0:
                break
            time.sleep(0.02)
        with open(raw) as f:
            t0 = int(f.readline().split(":")[1])
        time.sleep(0.3)
        actions = []
        keys = rt.Keys(display, log=lambda what: actions.append(
            (int(time.monotonic() * 1000) - t0, what)))
        scenario(keys)
        time.sleep(0.8)
    finally:
        term.close()
        if terminal == "tmux":
            subprocess.run(tmux + ["kill-server"], stderr=subprocess.DEVNULL)
    with open(raw) as f:
        reads = [l.rstrip("\n") for l in f if l.strip() and not l.startswith("#")]
    if terminal == "tmux":
        version = "tmux %s in %s" % (
            subprocess.run(["tmux", "-V"], stdout=subprocess.PIPE, text=True).stdout.split()[-1],
            rt.XTerm.version())
    else:
        version = rt.TERMINALS[terminal].version()
    lines = ["# gamebox key trace",
             "# terminal: %s" % version,
             "# flags: %d" % flags,
             "# scenario: %s" % dict((n, d) for n, d, _ in SCENARIOS)[name],
             "# X auto-repeat: 660 ms delay, 25 per second"]
    lines += ["# @%d %s" % a for a in actions]
    lines += reads
    path = os.path.join(outdir, "%s-%s.trace" % (terminal, name))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("%s: %d reads, %d actions" % (path, len(reads), len(actions)))


def main():
    ap = argparse.ArgumentParser(description="Records key traces in real terminals.")
    ap.add_argument("keylog")
    ap.add_argument("--out", default=os.path.join(ROOT, "tests", "console", "input", "traces"))
    ap.add_argument("--terminal", action="append", choices=["xterm", "kitty", "tmux"])
    ap.add_argument("--scenario", action="append", choices=[n for n, _, _ in SCENARIOS])
    args = ap.parse_args()
    keylog = os.path.abspath(args.keylog)
    display = rt.Display()
    try:
        for terminal in args.terminal or ["xterm", "kitty", "tmux"]:
            for name, _, scenario in SCENARIOS:
                if not args.scenario or name in args.scenario:
                    record(display, terminal, keylog, name, scenario, args.out)
    finally:
        display.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
