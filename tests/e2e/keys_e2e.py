#!/usr/bin/env python3
"""The keys in a real terminal: keys_e2e.py xterm|kitty GAMEBOX

The real program in xterm or kitty under Xvfb, typed into with X's keyboard (auto-repeat on at
its defaults), the screen read from outside as the terminal shows it (realterm.py says how).
Two runs of the program:

- the launcher, "12", Backspace, Enter: the echo is "12" then "1" at (5, 5) and choice 1 starts
  the snake game; at its cover "1" echoes at (51, 27) and Enter sets the snake off (its head
  moves right); Escape ends it and the launcher comes back; 3 starts the killer game, and after
  the vote for seat 2 and its Enter the tally waits at its "pause" until a key is pressed;
  Ctrl-C then ends the program with code 130.
- the parkour game: ↑ alone, then ↑ and ↑ again 0.25 s later, which must lift the head at
  least two rows higher; then → held 1.2 s, ↑ tapped, → held 2 s more: the head, pushed right
  of column 14 by then, stays there the whole time after the tap; space pauses it and Ctrl-C
  ends it with code 130.

Both runs are recorded (--record). Each recording then replays to the very screen the terminal
showed before the Ctrl-C (a screen that had stood still, so nothing was drawn after it was
read): headless (build/replay_screen, which prints the screen a replay ends on), in stream mode
(no divergence, the final screen's check included), and watched in the same terminal at
--speed 4. GAMEBOX_E2E_KEEP=DIR keeps the recordings and those screens there (the test data
in tests/console/record/data/ were made so).

Exits 0 when every check holds, 1 on the first that does not, 77 (skipped) when there is no
display, terminal or xdotool to be had. GAMEBOX_E2E_SHOTS=DIR keeps screenshots of the main
moments there.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import realterm as rt  # noqa: E402


class Failed(Exception):
    pass


def check(ok, what, screen=None):
    if not ok:
        raise Failed(what + ("\n--- screen:\n" + screen.dump() if screen else ""))


def head(screen):
    """The parkour player's head: a ● with the body's ━ just left of it, on its row (in the
    air) or the row below (standing). Monsters' ● have no such body."""
    if not screen:
        return None
    for r, c in screen.find("●", (0, 60)):
        if r >= 20 or r + 1 >= len(screen.rows):
            continue
        if "━" in screen.rows[r][max(0, c - 4):c] or "━" in screen.rows[r + 1][max(0, c - 4):c]:
            return (r, c)
    return None


def track(term, seconds, every=0.02):
    """The head's place, looked at every `every` s for `seconds`: [(time, (row, col))]."""
    samples = []
    t0 = time.time()
    while time.time() - t0 < seconds:
        h = head(term.screen())
        if h:
            samples.append((time.time() - t0, h))
        time.sleep(every)
    return samples


def wait_standing(term, seconds=4):
    end = time.time() + seconds
    while time.time() < end:
        h = head(term.screen())
        if h and h[0] == 17:
            time.sleep(0.3)
            return
        time.sleep(0.05)
    raise Failed("the player did not stand on the upper level again")


def settle(term, still=2.5, seconds=20):
    """The screen once it has stood still for `still` seconds (longer than any of the games'
    sleeps: the program is waiting for a key)."""
    end = time.time() + seconds
    last, since = None, time.time()
    while time.time() < end:
        s = term.screen()
        rows = s.rows if s else None
        if rows != last:
            last, since = rows, time.time()
        elif rows is not None and time.time() - since >= still:
            return s
        time.sleep(0.1)
    raise Failed("the screen never stood still", term.screen())


def columns(cells):
    """A terminal row as columns: a glyph that takes two columns in the game's layout is the
    glyph and an empty column, whether the terminal drew it wide or narrow with a blank after."""
    out = []
    k = 0
    while k < len(cells):
        c = cells[k]
        if c and ord(c[0]) >= 0x80:
            out += [c, ""]
            k += 1
            if k < len(cells) and cells[k] in ("", " "):
                k += 1
            continue
        out.append(c if c else " ")
        k += 1
    while out and out[-1] in ("", " "):
        out.pop()
    return out


def model_columns(row):
    out = []
    for ch in row:
        out += [ch, ""] if ord(ch) >= 0x80 else [ch]
    while out and out[-1] in ("", " "):
        out.pop()
    return out


def compare(model_rows, screen, what):
    """The game's screen (rows as replay_screen prints them) against what a terminal shows."""
    for r, row in enumerate(model_rows):
        want = model_columns(row)
        got = columns(screen.rows[r]) if r < len(screen.rows) else []
        check(got == want, "%s: row %d differs:\n  game     %r\n  terminal %r"
              % (what, r, "".join(want), "".join(got)), screen)


def exit_code(work, seconds=3):
    path = os.path.join(work, "rc")
    end = time.time() + seconds
    while time.time() < end:
        if os.path.exists(path):
            with open(path) as f:
                rc = f.read().strip()
            if rc:
                return int(rc)
        time.sleep(0.05)
    return None


class Run:
    def __init__(self, display, kind, work, program, probe_after=True):
        self.display = display
        self.kind = kind
        self.work = work
        self.final = None  # the screen before the Ctrl-C
        self.shots = os.environ.get("GAMEBOX_E2E_SHOTS")
        # The shell outlives a Ctrl-C that the terminal turns into SIGINT, to tell the code;
        # then the logger asks the terminal what keyboard flags the program left in force.
        keylog = os.path.join(os.path.dirname(program.split()[0]), "keylog")
        after = "%s -q -t 0.5 after" % keylog if os.path.exists(keylog) and probe_after else "true"
        cmd = "trap : INT; %s; echo $? > rc; %s; sleep %d" % (program, after,
                                                                2 if probe_after else 5)
        self.term = rt.TERMINALS[kind](display, work, cmd)
        self.keys = rt.Keys(display)

    def shot(self, name):
        if self.shots:
            os.makedirs(self.shots, exist_ok=True)
            self.display.screenshot(os.path.join(self.shots, "%s-%s.png" % (self.kind, name)))

    def ctrl_c(self):
        self.keys.tap("ctrl+c")
        rc = exit_code(self.work)
        check(rc == 130, "Ctrl-C: exit code %s, expected 130" % rc)
        # The keyboard protocol is popped: kitty reports no flags left (xterm knows none).
        path = os.path.join(self.work, "after")
        reads = ""
        end = time.time() + 3
        while time.time() < end and not re.search(r"\\x1b\[\?[0-9;]*c", reads):
            if os.path.exists(path):
                with open(path) as f:
                    reads = f.read()
            time.sleep(0.05)
        if not reads:
            return  # no logger built next to the program
        flags = re.findall(r"\\x1b\[\?([0-9]*)u", reads)
        if self.kind == "kitty":
            check(flags == ["0"], "keyboard flags left after the program: %r" % reads)
        else:
            check(flags == [], "a flags answer from %s: %r" % (self.kind, reads))

    def close(self):
        self.term.close()


def menus(run):
    term, keys = run.term, run.keys
    s = term.wait_for("1.贪吃蛇", 8)
    check(s, "no launcher menu", term.screen())
    keys.type("12")
    time.sleep(0.3)
    s = term.screen()
    check(s.text(5, 5, 3) == "12 ", "launcher echo of 12 at (5, 5): %r" % s.text(5, 0, 10), s)
    keys.type("\b")
    time.sleep(0.3)
    s = term.screen()
    check(s.text(5, 5, 2) == "1 ", "launcher echo after Backspace: %r" % s.text(5, 0, 10), s)
    run.shot("launcher-12-backspace")
    keys.type("\n")
    s = term.wait_for("长虫竞逐", 5)
    check(s, "12, Backspace, Enter did not choose the snake game", term.screen())

    keys.type("1")
    time.sleep(0.3)
    s = term.screen()
    check(s.text(27, 51, 1) == "1", "cover echo of 1 at (51, 27): %r" % s.text(27, 29, 30), s)
    run.shot("snake-cover")
    keys.type("\n")
    s = term.wait_for("头", 5)
    check(s, "no snake after 1 Enter", term.screen())
    c1 = s.find("头")
    time.sleep(1.3)
    s = term.screen()
    c2 = s.find("头")
    check(c1 and c2 and c2[0][1] > c1[0][1], "the snake did not set off: %s -> %s" % (c1, c2), s)
    run.shot("snake-moving")
    keys.type("\x1b")
    s = term.wait_for("1.贪吃蛇  2.跑酷  3.狼人杀", 10)
    check(s, "the launcher did not come back after the snake game", term.screen())

    keys.type("3\n")
    check(term.wait_for("2.查看游戏规则", 5), "no killer menu", term.screen())
    keys.type("1")
    check(term.wait_for("15人场", 5), "no table choice", term.screen())
    keys.type("1")
    s = term.wait_for("你选择投几号", 15)
    check(s, "no vote", term.screen())
    keys.type("2\n")
    s = term.wait_for("请按任意键继续", 5)
    check(s and s.contains("投票情况"), "no tally with its pause after the vote", term.screen())
    time.sleep(1.5)
    s = term.screen()
    check(s.contains("请按任意键继续") and s.contains("投票情况") and not s.contains("第2晚"),
          "the tally did not wait at its pause", s)
    run.shot("killer-tally-pause")
    keys.type(" ")
    check(term.wait_for("第2晚", 5), "a key did not end the pause", term.screen())
    run.final = settle(term)
    run.ctrl_c()


def parkour(run):
    term, keys = run.term, run.keys
    check(term.wait_for("1.贪吃蛇", 8), "no launcher menu", term.screen())
    keys.type("2\n")
    check(term.wait_for("=" * 60, 8), "no parkour field", term.screen())
    time.sleep(0.8)
    wait_standing(term)

    keys.tap("Up", 60)
    single = track(term, 1.5)
    check(single, "the player's head was not found", term.screen())
    top1 = min(h[0] for _, h in single)
    wait_standing(term)
    keys.tap_again("Up", keys.tap("Up", 60), 0.25)
    double = track(term, 1.7)
    run.shot("parkour-double-jump")
    top2 = min(h[0] for _, h in double) if double else 99
    print("%s: highest head row %d after one ↑, %d after ↑ ↑" % (run.kind, top1, top2))
    check(top2 <= top1 - 2, "the second ↑ did not lift the head two rows: rows %d and %d"
          % (top1, top2), term.screen())
    wait_standing(term)

    keys.down("Right")
    before = track(term, 1.2)
    keys.tap("Up", 80)
    after = track(term, 2.0)
    run.shot("parkour-hold-right")
    keys.up("Right")
    # The push takes the head right of column 14 within the first second (on its way it may
    # dip back a column, as the game's movement does); from the tap on it must stay there.
    check(before and before[-1][1][1] > 14, "holding → did not push the head right of column 14:"
          " %s" % [h for _, h in before])
    check(len(after) >= 20, "too few looks at the screen: %d" % len(after))
    cols = [h[1] for _, h in after]
    print("%s: head columns while → is held after the ↑: %d..%d (%d looks)"
          % (run.kind, min(cols), max(cols), len(cols)))
    check(min(cols) > 14, "the head came back to column %d while → was held: %s"
          % (min(cols), [(round(t, 2), h) for t, h in after]), term.screen())
    wait_standing(term)
    keys.type(" ")
    check(term.wait_for("请按任意键继续", 3), "space did not pause", term.screen())
    run.final = settle(term)
    run.ctrl_c()


def replays(display, kind, work, program, name, rec, final):
    """The recording of a run replayed headless, in stream mode and in the terminal: each must
    end on the screen the terminal showed before the run's Ctrl-C."""
    check(final is not None, "%s: no screen kept before the Ctrl-C" % name)
    tool = os.path.join(os.path.dirname(program), "replay_screen")
    check(os.path.exists(tool), "no %s next to the program" % tool)
    p = subprocess.run([tool, rec], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    check(p.returncode == 0, "%s: replay_screen exit code %d: %s" % (name, p.returncode, p.stderr))
    rows = p.stdout.split("\n")[:-1]
    check(len(rows) >= 30, "%s: replay_screen printed %d rows" % (name, len(rows)))
    compare(rows, final, "%s headless" % name)

    p = subprocess.run([program, "--replay", rec], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                       env=dict(os.environ, TERM="dumb"))
    check(p.returncode == 0, "%s: stream replay exit code %d: %s" % (name, p.returncode, p.stderr))

    run = Run(display, kind, work, "%s --replay %s --speed 4" % (program, rec), False)
    try:
        rc = exit_code(work, 60)
        check(rc == 0, "%s: replay in %s: exit code %s" % (name, kind, rc), run.term.screen())
        compare(rows, run.term.screen(), "%s watched in %s" % (name, kind))
    finally:
        run.close()
        for left in ("rc", "after"):
            if os.path.exists(os.path.join(work, left)):
                os.unlink(os.path.join(work, left))

    keep = os.environ.get("GAMEBOX_E2E_KEEP")
    if keep:
        os.makedirs(keep, exist_ok=True)
        shutil.copy(rec, os.path.join(keep, "%s-%s.rec" % (kind, name)))
        with open(os.path.join(keep, "%s-%s.screen" % (kind, name)), "w") as f:
            f.write("\n".join(rows) + "\n")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in rt.TERMINALS:
        print("usage: keys_e2e.py xterm|kitty GAMEBOX", file=sys.stderr)
        return 2
    kind, program = sys.argv[1], os.path.abspath(sys.argv[2])
    display = None
    work = tempfile.mkdtemp(prefix="gamebox-keys-")
    try:
        display = rt.Display()
        for name, scenario, seed in (("menus", menus, 1), ("parkour", parkour, 4)):
            rec = os.path.join(work, name + ".rec")
            run = Run(display, kind, work, "%s --seed %d --record %s" % (program, seed, rec))
            try:
                scenario(run)
            finally:
                run.close()
                for left in ("rc", "after"):
                    if os.path.exists(os.path.join(work, left)):
                        os.unlink(os.path.join(work, left))
            print("%s: %s ok" % (kind, name))
            replays(display, kind, work, program, name, rec, run.final)
            print("%s: %s replayed to the same screen" % (kind, name))
    except rt.Skip as e:
        print("SKIP: %s" % e)
        return rt.SKIP
    except Failed as e:
        print("FAIL (%s): %s" % (kind, e))
        return 1
    finally:
        if display:
            display.close()
        shutil.rmtree(work, ignore_errors=True)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
