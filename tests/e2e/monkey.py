#!/usr/bin/env python3
"""The monkey: the real game on its sanitizer build, played by seeded random X input.

For a bounded time it clicks, drags and moves the pointer anywhere in the game's
windows, presses keys, types junk (Latin, Japanese, full-width digits, control
characters), closes, minimizes and restores windows, and waits, all through the
X server (xdotool) as a player would. Whenever the game ends it starts it again.

Random input alone seldom gets past the maze, so some games are first played a
way into the story by the plays' own steps (story.py): to the shop, the maze, the
cans, the dry ice, the water level, the bomb or one of its two endings, chosen at
random; from there the monkey takes over.

It fails on:
- a sanitizer report in the game's error output (AddressSanitizer, LeakSanitizer
  at a normal end, UBSan);
- an end with any status but 0 (the normal end, every window closed or the
  story's own end);
- a wedge: the game running for several seconds with no window on screen, or
  with only minimized ones that do not come back when restored;
- no first window within 30 s of a start.

The same seed gives the same choices (what the game answers with may still
differ in timing). At the end it prints the figures: games, actions, minutes.

    monkey.py --game build-asan/botoron --out build-asan/monkey [--minutes 3] [--seed 1]
"""

from __future__ import annotations

import argparse
import contextlib
import os
import random
import shutil
import signal
import subprocess
import sys
import time
from collections import Counter, deque
from pathlib import Path

sys.dont_write_bytecode = True
import sanitizers
from play import displays
from story import Player
from xsession import BOX_TITLE, Failure, Session, Window, stop_process, tools_missing

WEDGE_S = 6  # no window on screen for this long while the game runs is a wedge
FIRST_WINDOW_S = 30

# Keys a player may press; none of openbox's own bindings that switch desktops or
# start programs (Ctrl+Alt+arrows, Shift+Alt+arrows, the Windows key), which would
# take the windows off screen or leave the game. Alt+F4 is the close below.
KEYS = ["Tab", "shift+Tab", "Return", "KP_Enter", "space", "Escape", "BackSpace", "Delete", "Left", "Right",
        "Up", "Down", "Home", "End", "Page_Up", "Page_Down", "Insert", "F1", "F10", "alt", "alt+Tab",
        "ctrl+a", "ctrl+c", "ctrl+v", "ctrl+x", "ctrl+z", "ctrl+y", "shift+Insert", "Menu", "1", "5", "0"]

# Junk to type, in both scripts: numbers of every shape, full-width digits, blanks,
# control characters (xdotool types Tab, Return and BackSpace for \t, \n and \b).
JUNK = ["1", "5", "10", "30", "-1", "0.5", "1e308", "-1e-400", "0x1F", "&H10", "  12  ", "1,000", "9" * 40,
        "１", "１０", "３０", "５", "－１", "١٢٣", "gomen nasai", "ぽんた", "大森", "ごめんなさい",
        "ボトロン", "ｶﾀｶﾅ", "進入！！", "押せ！", "é ü ß", "\t", "\n", "\b\b\b", "a\tb\nc", " ", "　"]
SCRIPTS = [(0x20, 0x7E), (0x3041, 0x3096), (0x30A1, 0x30FA), (0x4E00, 0x4FFF), (0xFF10, 0xFF19),
           (0xFF01, 0xFF5E), (0xFF61, 0xFF9F)]

ACTIONS = {  # what the monkey does, and how often
    "click": 30, "move": 12, "drag": 4, "right-click": 3, "double-click": 4, "key": 14, "type": 12,
    "close": 5, "minimize": 4, "restore": 4, "frame": 3, "wait": 5,
}


# How far into the story a game is played before the monkey takes over, and how
# often: 0 is the title, left to the monkey from the start.
LEAD_INS = {0: 8, 1: 1, 2: 1, 3: 1, 4: 1, 5: 1, 6: 1, 7: 1, 8: 1}


class QuietSession(Session):
    """The plays' session, keeping none of the lead-ins' screenshots: a run plays hundreds of them."""

    def save(self, name, img):
        return self.outdir / name


def lead_in(p: Player, depth: int, rng: random.Random) -> str:
    """Plays the story to `depth` steps in; says where it stopped."""
    w = p.title()
    if depth >= 2:
        w = p.enter_maze(w)
    if depth >= 3:
        p.start_maze(w, None)
        w = p.through_maze(w)
    if depth >= 4:
        w = p.cans(w)
    if depth >= 5:
        w = p.dry_ice(w)
    if depth >= 6:
        p.water(w)
    if depth >= 7:
        w = p.thrower(rng.choice(("ponta", "omori")))
    if depth >= 8:
        p.bomb(w, hit=rng.random() < 0.5)
        w = p.outcome()
    return w.scene() or "?"


class Monkey:
    def __init__(self, s: Session, rng: random.Random, out: Path):
        self.s = s
        self.rng = rng
        self.out = out
        self.games = 0
        self.actions = 0
        self.done = Counter()
        self.ends = Counter()
        self.recent: deque[str] = deque(maxlen=40)
        self.seen: set[str] = set()
        self.leads: Counter = Counter()

    # ---- the game's lifetime ---------------------------------------------------

    def start(self) -> None:
        self.games += 1
        self.s.outdir = self.out / f"game-{self.games:03d}"
        self.s.outdir.mkdir(parents=True, exist_ok=True)
        self.s.start_game()
        self.s.wait(lambda: self.s.client_ids(), FIRST_WINDOW_S, "the game's first window")
        self.note(f"game {self.games} started")
        depth = self.rng.choices(list(LEAD_INS), weights=list(LEAD_INS.values()))[0]
        if depth:
            try:
                self.note(f"played in to {lead_in(Player(self.s), depth, self.rng)}")
                self.leads[depth] += 1
            except Failure as e:
                # The plays hold the story's steps; here a step that went otherwise only
                # hands over early (the game's end and its report are judged as ever).
                self.note(f"the lead-in to depth {depth} stopped: {e}")
                self.leads["stopped"] += 1

    def ended(self, rc: int | None) -> None:
        """Checks how a game ended: no report, status 0 (None: stopped at the end of the run)."""
        report = sanitizers.report_in(self.s.outdir / "game.stderr")
        if report:
            raise Failure(f"the sanitizers reported in game {self.games}:\n{report}")
        if rc not in (0, None):
            raise Failure(f"game {self.games} ended with status {rc}")
        self.ends["ended" if rc == 0 else "stopped at the end of the run"] += 1
        self.note(f"game {self.games} ended with status {rc}")

    def note(self, what: str) -> None:
        self.recent.append(f"[{time.monotonic() - self.s.t0:8.2f}] {what}")

    # ---- looking ---------------------------------------------------------------

    def windows(self) -> tuple[list[Window], list[Window]]:
        """The game's windows on screen, and its minimized ones."""
        shown, hidden = [], []
        for w in self.s.windows(viewable_only=False):
            (hidden if "_NET_WM_STATE_HIDDEN" in w.states or not w.viewable else shown).append(w)
            self.seen.add(w.scene() or ("message box" if w.title == BOX_TITLE else repr(w.title)))
        return shown, hidden

    # ---- doing -----------------------------------------------------------------

    def point(self, w: Window) -> tuple[int, int]:
        """A point of a window's client area, now and then a few pixels beyond its edge."""
        m = 4 if self.rng.random() < 0.1 else 0
        return (w.x + self.rng.randint(-m, w.w - 1 + m), w.y + self.rng.randint(-m, w.h - 1 + m))

    def junk(self) -> str:
        if self.rng.random() < 0.5:
            return self.rng.choice(JUNK)
        out = []
        for _ in range(self.rng.randint(1, 24)):
            lo, hi = self.rng.choice(SCRIPTS)
            out.append(chr(self.rng.randint(lo, hi)))
        return "".join(out)

    def act(self, shown: list[Window], hidden: list[Window]) -> None:
        rng, s = self.rng, self.s
        kind = rng.choices(list(ACTIONS), weights=list(ACTIONS.values()))[0]
        if not shown and hidden:
            kind = "restore"  # with every window minimized, a player brings one back
        if kind == "restore" and not hidden:
            kind = "minimize"
        if kind != "restore" and kind != "wait" and not shown:
            return
        w = rng.choice(shown) if shown else None
        args: list[str]
        if kind == "click":
            x, y = self.point(w)
            args = ["mousemove", str(x), str(y), "click", "--delay", "0", "1"]
        elif kind == "double-click":
            x, y = self.point(w)
            args = ["mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "60", "1"]
        elif kind == "right-click":
            x, y = self.point(w)
            args = ["mousemove", str(x), str(y), "click", "--delay", "0", "3"]
        elif kind in ("move", "drag"):
            pts = [self.point(w) for _ in range(rng.randint(2, 6))]
            args = ["mousemove", str(pts[0][0]), str(pts[0][1])] + (["mousedown", "1"] if kind == "drag" else [])
            for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
                n = max(1, int(max(abs(x1 - x0), abs(y1 - y0)) / rng.choice((2, 4, 8, 40))))
                for i in range(1, n + 1):
                    args += ["mousemove", str(x0 + (x1 - x0) * i // n), str(y0 + (y1 - y0) * i // n),
                             "sleep", "0.003"]
            args += ["mouseup", "1"] if kind == "drag" else []
        elif kind == "key":
            args = ["key", "--clearmodifiers", "--delay", "20"] + [rng.choice(KEYS) for _ in range(rng.randint(1, 4))]
        elif kind == "type":
            x, y = self.point(w)
            text = self.junk()
            kind = f"type {text!r}"
            args = (["mousemove", str(x), str(y), "click", "--delay", "0", "1"] if rng.random() < 0.5 else []) + \
                ["type", "--delay", str(rng.choice((4, 12, 30))), "--", text]
        elif kind == "close":
            args = ["windowactivate", hex(w.id), "sleep", "0.1", "key", "--clearmodifiers", "alt+F4"]
            kind = f"close {w.title!r}"
        elif kind == "frame":
            # A click on the title bar: its buttons (minimize, maximize, close) or the title.
            left, right, top, _ = w.frame
            x0, y0, x1, _ = w.frame_box()
            args = ["mousemove", str(rng.randint(x0 + 2, x1 - 3)), str(y0 + max(top // 2, 1)),
                    "click", "--delay", "0", "1"]
        elif kind == "minimize":
            args = ["windowminimize", hex(w.id)]
            kind = f"minimize {w.title!r}"
        elif kind == "restore":
            h = rng.choice(hidden)
            args = ["windowactivate", hex(h.id)]
            kind = f"restore {h.title!r}"
        else:  # wait: the game's timers fall due
            pause = rng.choice((0.3, 1, 2, 3.5))
            kind = f"wait {pause} s"
            args = ["sleep", str(pause)]
        self.actions += 1
        if self.actions % 200 == 0:  # now and then what the player sees, to look at afterwards
            with contextlib.suppress(Exception):
                s.grab().save(self.out / f"screen-{self.actions:05d}.png")
        self.done[kind.split(" ")[0]] += 1
        self.note(f"{kind} ({w.title if w else '-'!r})")
        # A window gone meanwhile makes xdotool fail: the player missed, nothing more.
        with contextlib.suppress(Failure, subprocess.TimeoutExpired):
            s.xdotool(*args)
        time.sleep(rng.choice((0, 0.02, 0.1)))

    def run(self, seconds: float) -> None:
        deadline = time.monotonic() + seconds
        self.start()
        bare_since: float | None = None
        while time.monotonic() < deadline:
            rc = self.s.proc.poll()
            if rc is not None:
                self.ended(rc)
                self.start()
                bare_since = None
                continue
            shown, hidden = self.windows()
            if shown:
                bare_since = None
            else:
                bare_since = bare_since or time.monotonic()
                if time.monotonic() - bare_since > WEDGE_S:
                    if self.s.proc.poll() is not None:
                        continue  # it ended meanwhile: judged above
                    raise Failure(f"game {self.games} has run {WEDGE_S} s with no window on screen "
                                  f"({len(hidden)} minimized or unmapped: {[w.title for w in hidden]})")
            self.act(shown, hidden)
        self.ended(sanitizers.end_game(self.s))


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--game", required=True, help="the sanitizer build of the program (build-asan/botoron)")
    ap.add_argument("--out", required=True, help="folder for the logs, one subfolder a game")
    ap.add_argument("--minutes", type=float, default=float(os.environ.get("BOTORON_MONKEY_MINUTES", "3")),
                    help="how long to play (default $BOTORON_MONKEY_MINUTES or 3)")
    ap.add_argument("--seed", type=int, default=int(os.environ.get("BOTORON_MONKEY_SEED", "1")),
                    help="the random sequence (default $BOTORON_MONKEY_SEED or 1)")
    ap.add_argument("--displays", default=os.environ.get("BOTORON_E2E_DISPLAYS", "60-69"))
    args = ap.parse_args()
    missing = tools_missing()
    if missing:
        print(f"missing tools: {', '.join(missing)} (see scripts/packages-test.txt)", file=sys.stderr)
        return 1
    out = Path(args.out)
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    game = str(Path(args.game).resolve())
    s = QuietSession(game, out, displays(args.displays))

    def ended_from_outside(signum, _frame):
        raise Failure(f"stopped by signal {signum}")

    signal.signal(signal.SIGTERM, ended_from_outside)
    signal.signal(signal.SIGINT, ended_from_outside)
    m = Monkey(s, random.Random(args.seed), out)
    started = time.monotonic()
    ok = False
    try:
        sanitizers.expect_sanitized(game)
        s.start_x()
        sanitizers.sanitizer_env(s.env)
        m.run(args.minutes * 60)
        ok = True
    except Exception as e:  # noqa: BLE001 - every failure is reported the same way
        print(f"FAILED: the monkey, seed {args.seed}: {e}", file=sys.stderr)
        print("the last actions:\n  " + "\n  ".join(m.recent), file=sys.stderr)
        if s.display:
            with contextlib.suppress(Exception):
                s.save_screen("failure-screen.png")
        if s.proc is not None and s.proc.poll() is None:
            stop_process(s.proc)
        err = s.outdir / "game.stderr"
        if err.exists() and err.stat().st_size:
            print(f"--- {err}:\n{err.read_text(errors='replace')[-6000:]}", file=sys.stderr)
        print(f"logs left in {s.outdir}", file=sys.stderr)
    finally:
        s.stop()
    minutes = (time.monotonic() - started) / 60
    print(f"monkey, seed {args.seed}: {m.games} games, {m.actions} actions in {minutes:.1f} minutes; "
          f"ends: {dict(m.ends)}; actions: {dict(sorted(m.done.items()))}; "
          f"games played in first, by depth: {dict(sorted(m.leads.items(), key=str))}")
    print(f"windows seen: {', '.join(sorted(m.seen, key=lambda n: (len(n), n)))}")
    if ok:
        print("monkey: no sanitizer report, no crash, no wedge")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
