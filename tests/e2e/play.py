#!/usr/bin/env python3
"""End-to-end plays of the real game under a real X server.

Each play starts its own Xvfb, openbox and build/botoron, then plays the way a
person does: it finds windows by their titles (the three untitled scenes by
their client sizes), moves the pointer, clicks and types through the X server
with xdotool, and reads what it needs from window titles, geometry and the
pixels of screenshots. It never looks inside the program.

Every wait is on a condition with a time-out. The only timed steps are the ones
the story itself times: the 5 s of the dry ice, the 10 s stopwatch of the water
level and the 0.5 s of the bomb throw; each says how much slack it has.

    play.py --game build/botoron --assets assets --shots build/e2e-shots PLAY

PLAY is one of: title, args, close, maze, wall, story, caught, cafe.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import shutil
import signal
import sys
import traceback
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
import story
from story import FORM3_START, Player, centre, expect_exit, near
from xsession import Failure, Session, Window, tools_missing

# ---- the plays -----------------------------------------------------------------

def play_title(p: Player) -> None:
    """The title scene: Form1 (312x213) for about 3 s, then the shop Form2.

    Slack: the hand-over may come 2.0 to 4.5 s after Form1 is first seen (the
    timer starts at the load, a moment before the window maps); no input is timed."""
    p.title()


def play_close(p: Player) -> None:
    """Closing the last window ends the program with status 0.

    Nothing is timed: Alt+F4 is pressed again if the window is still there 2 s
    later, and the program has 10 s to end."""
    f2 = p.title()
    p.s.close_window(f2)
    expect_exit(p.s)


def toolkit_options(outdir: Path) -> list[str]:
    """What the toolkit would take from a command line: a style sheet that paints
    every widget green, a platform that does not exist and a right-to-left layout."""
    sheet = outdir / "green.qss"
    sheet.write_text("* { background-color: #00ff00; color: #00ff00; }\n")
    return ["-stylesheet", str(sheet), "-platform", "nosuchplatform", "-reverse"]


def play_args(p: Player) -> None:
    """Started with the toolkit's own options on its command line, the game plays
    as without: the title, the shop unpainted by the style sheet, and a close that
    ends it with status 0. Nothing is timed."""
    f2 = p.title()
    c = p.s.client(f2)
    green = sum(1 for q in c.getdata() if near(q, (0, 255, 0), 40))
    if green:
        raise Failure(f"{green} pixels of Form2 are painted by the style sheet on the command line")
    p.s.close_window(f2)
    expect_exit(p.s)


def play_maze(p: Player) -> None:
    """The maze played along the free way to the goal; then the cans come.

    Nothing is timed: the pointer keeps to the middle of 15-pixel corridors (7
    pixels in the final channel), 3 pixels a step, so it is 3 to 7 pixels clear
    of every wall whatever the speed."""
    f3 = p.enter_maze(p.title())
    p.s.shot("maze-Form3", f3, ready=p.walls_hidden)
    p.start_maze(f3, "maze-walls")
    f5 = p.through_maze(f3)
    p.s.shot("cans-Form5", f5)


def play_story(p: Player) -> None:
    """The whole story to the success ending; the song's button ends the program.

    Timed by the story, each with its slack: the dry ice (50 presses sent in
    about 1.6 s, where 31 within 5 s win: 19 presses and over 3 s), the
    stopwatch (the stop aimed at the middle of the 100 ms that read "10": 50 ms
    either side, and three chances), the bomb (the "1" read and pressed some
    30 ms after "スタート", where 500 ms are allowed)."""
    f3 = p.enter_maze(p.title())
    p.s.shot("maze-Form3", f3, ready=p.walls_hidden)
    p.start_maze(f3, "maze-walls")
    f5 = p.through_maze(f3)
    f7 = p.cans(f5)
    f10 = p.dry_ice(f7)
    p.water(f10)
    f12 = p.thrower()
    p.bomb(f12)
    p.success()
    expect_exit(p.s)


def play_cafe(p: Player) -> None:
    """The story to the bomb, the "5" pressed: the café, the police and the letter.

    Timed like the story play for the dry ice and the stopwatch; the wrong
    number is pressed at once, so the 0.5 s limit does not matter."""
    f3 = p.enter_maze(p.title())
    p.start_maze(f3, "maze-walls")
    f5 = p.through_maze(f3)
    f7 = p.cans(f5)
    f10 = p.dry_ice(f7)
    p.water(f10)
    f12 = p.thrower("omori")
    p.bomb(f12, hit=False)
    p.caught_route(p.cafe())
    expect_exit(p.s)


def caught_in_maze(p: Player) -> Window:
    """Found three times, the fourth "開始" calls the police: the police car, Form6."""
    s = p.s
    f3 = p.enter_maze(p.title())
    for attempt in (1, 2, 3):
        p.start_maze(f3, "maze-walls" if attempt == 1 else None)
        p.touch_wall(f3)
        p.box(f"maze-found-{attempt}")
        f3 = p.fresh_maze(f3, "maze-rebuilt" if attempt == 1 else None)
    s.click_tw(f3, *centre(FORM3_START))
    f6 = s.wait_scene("Form6", 10)
    s.wait_gone(f3, 5)
    return f6


def play_caught(p: Player) -> None:
    """Found three times, the fourth "開始" calls the police; a few characters typed
    into the letter and "ok" end the program with status 0. Nothing is timed."""
    p.caught_route(caught_in_maze(p))
    expect_exit(p.s)


PLAYS = {"title": play_title, "args": play_args, "close": play_close, "maze": play_maze, "wall": story.play_wall,
         "story": play_story, "caught": play_caught, "cafe": play_cafe}


def displays(span: str) -> range:
    first, _, last = span.partition("-")
    return range(int(first), int(last or first) + 1)


def main(plays=None, description: str | None = None, relaunch=None, around_game=None) -> int:
    """Runs one play, chosen on the command line from `plays` (these plays by default).

    Plays kept in other files pass hooks: `relaunch(args)` may run the whole play
    again in another setting and return its status (None: go on here), and
    `around_game(session, play)` gives a context to hold while the game runs, entered
    after the X server has started and before the game does."""
    plays = PLAYS if plays is None else plays
    ap = argparse.ArgumentParser(description=description or __doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--game", required=True, help="the program to play (build/botoron)")
    ap.add_argument("--shots", required=True, help="folder for the screenshots; each play gets its own")
    ap.add_argument("--assets", default=str(story.ASSETS), help="the pictures the screen is compared with")
    ap.add_argument("--displays", default=os.environ.get("BOTORON_E2E_DISPLAYS", "60-69"),
                    help="X display numbers to choose a free one from (default $BOTORON_E2E_DISPLAYS or 60-69)")
    ap.add_argument("play", choices=sorted(plays))
    args = ap.parse_args()
    story.ASSETS = Path(args.assets)
    if relaunch is not None:
        status = relaunch(args)
        if status is not None:
            return status

    missing = tools_missing()
    if missing:
        print(f"missing tools: {', '.join(missing)} (see scripts/packages-test.txt)", file=sys.stderr)
        return 1
    outdir = Path(args.shots) / args.play
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir(parents=True, exist_ok=True)  # a play run as another user may keep its folder

    s = Session(str(Path(args.game).resolve()), outdir, displays(args.displays))
    # CTest's time-out and Ctrl+C end the play the same way as a failure: the X
    # server, openbox and the game go with it.
    def ended_from_outside(signum, _frame):
        raise Failure(f"stopped by signal {signum}")

    signal.signal(signal.SIGTERM, ended_from_outside)
    signal.signal(signal.SIGINT, ended_from_outside)
    ok = False
    try:
        with contextlib.ExitStack() as held:
            s.start_x()
            if around_game is not None:
                held.enter_context(around_game(s, args.play))
            s.start_game(toolkit_options(outdir) if args.play == "args" else None)
            plays[args.play](Player(s))
            ok = True
    except Exception as e:  # noqa: BLE001 - every failure is reported the same way
        print(f"FAILED: {args.play}: {e}", file=sys.stderr)
        if not isinstance(e, Failure):
            traceback.print_exc()
        if s.display:
            try:
                print("windows on screen: " + ", ".join(f"{w.title!r} {w.w}x{w.h}" for w in s.windows()),
                      file=sys.stderr)
            except Exception:  # noqa: BLE001
                pass
            s.save_screen("failure-screen.png")
    finally:
        s.stop()
    if not ok:
        print(f"screenshots and logs left in {outdir}", file=sys.stderr)
        for name in ("game.stdout", "game.stderr"):
            f = outdir / name
            if f.exists() and f.stat().st_size:
                print(f"--- {f}:\n{f.read_text(errors='replace')}", file=sys.stderr)
        return 1
    s.log(f"passed; screenshots in {outdir}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
