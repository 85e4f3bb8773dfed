#!/usr/bin/env python3
"""End-to-end plays of the game's page in a real browser: headless chromium.

Each play serves the built page on a loopback port of its own, opens it in a
fresh headless chromium (websession.py) and plays the story the way the X11
and Wayland plays do (story.py): windows found by their captions, the pointer
moved and clicked and keys pressed through the browser's input path, what the
player sees read from screenshots. On top of the story it checks what the page
itself promises:

- the page goes from loading to running, and at the end says the game is over
  and offers another game, which starts from the title again;
- the title shows before any gesture with the page asking for a click to hear
  its beeps; the first click takes that away;
- the maze's companion window starts as a small bar, the trash-can search fills
  the page;
- a window can be dragged by its caption bar and plays on where it was put;
- a message box has the game's caption, a prompt and one OK, and Return closes it;
- every shown scene leaves its mark in the page's performance timeline, and the
  title its first drawing;
- the page throws no uncaught error.

    web.py --page build-web/page --shots build/e2e-web-shots PLAY

PLAY is one of: title, maze, wall, story, caught.
"""

from __future__ import annotations

import argparse
import shutil
import signal
import sys
import traceback
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
import story
from story import FORM3_START, Player, centre, expect_exit
from websession import Failure, WebSession, Window, tools_missing

TOP = Path(__file__).resolve().parents[2]

# Where each scene's client area opens, in twips of the page (the scenes' design
# positions); the trash-can search fills the page instead.
DESIGN = {"Form1": (4440, 2235), "Form2": (4065, 1860), "Form3": (4260, 2040), "Form6": (4620, 2415),
          "Form7": (4995, 2970), "Form8": (4995, 2790), "Form9": (3510, 3525), "Form10": (4440, 2235),
          "Form11": (4995, 2040), "Form12": (5925, 2790), "Form13": (5730, 2415), "Form14": (5370, 2790),
          "Form16": (4935, 2190)}


class WebPlayer(Player):
    """The story's steps, with what the page promises checked on the way."""

    s: WebSession

    def __init__(self, s: WebSession):
        super().__init__(s)
        s.on_scene = self.placed

    def placed(self, w: Window) -> None:
        """A scene opens at its design position, 15 twips to a CSS pixel."""
        want = DESIGN.get(w.scene())
        if want is not None and (w.x, w.y) != (story.px(want[0]), story.px(want[1])):
            raise Failure(f"{w.scene()} opened at +{w.x}+{w.y}, not at its design position "
                          f"+{story.px(want[0])}+{story.px(want[1])}")

    def title(self) -> Window:
        s = self.s
        s.wait(lambda: s.game() in ("loading", "running"), 20, "the page to start the game", ended_ok=True)
        if not self.sound_hint():
            raise Failure("the page does not ask for a click to hear the title's beeps")
        f2 = super().title()
        if not self.sound_hint():
            raise Failure("the page stopped asking for a click before any gesture")
        if s.game() != "running":
            raise Failure(f"the page says the game is {s.game()!r} with the shop open, not 'running'")
        marks = s.page.evaluate("performance.getEntriesByType('mark').map(m => [m.name, m.startTime])")
        names = [m[0] for m in marks]
        for want in ("botoron:title", "botoron:shown:Form1", "botoron:shown:Form2"):
            if want not in names:
                raise Failure(f"the page's timeline has no mark {want!r}: {names}")
        at = dict(marks)
        s.log(f"the title was drawn {at['botoron:title']:.0f} ms after navigation; the shop shown "
              f"{at['botoron:shown:Form2'] - at['botoron:shown:Form1']:.0f} ms after the title")
        return f2

    def sound_hint(self) -> bool:
        return bool(self.s.page.evaluate(
            "(() => { const h = document.getElementById('sound-hint'); return !!h && h.checkVisibility(); })()"))

    def enter_maze(self, f2: Window) -> Window:
        f3 = super().enter_maze(f2)
        s = self.s
        if self.sound_hint():
            raise Failure("the page still asks for a click after the first one")
        form4 = next(w for w in s.windows(viewable_only=False) if w.title == "Form4")
        if form4.state != "minimized" or form4.viewable:
            raise Failure(f"the maze's companion window is {form4.state!r}, not a small bar")
        x0, y0, x1, y1 = form4.frame_box()
        s.log(f"Form4 is a bar of {x1 - x0}x{y1 - y0} at +{x0}+{y0}")
        return f3

    def cans(self, f5: Window) -> Window:
        """The trash-can search fills the page."""
        x0, y0, x1, y1 = f5.frame_box()
        vw, vh = self.s.page.evaluate("[innerWidth, innerHeight]")
        if f5.state != "maximized" or x0 > 0 or y0 > 0 or x1 < vw or y1 < vh:
            raise Failure(f"Form5 is {f5.state!r} at {x0},{y0} to {x1},{y1} on a {vw}x{vh} page: not filling it")
        return super().cans(f5)

    def again(self) -> None:
        """Another game from the page's offer: the title, then the shop, once more."""
        s = self.s
        x, y, w, h = s.again_offered()
        s.click_at(x + w / 2, y + h / 2)
        f1 = s.wait_scene("Form1", 20)
        s.shot("again-title-Form1", f1)
        s.wait_scene("Form2", 10)
        if s.game() != "running":
            raise Failure(f"the page says {s.game()!r} in the second game")


def drag_caption(p: WebPlayer, win: Window, by: tuple[int, int]) -> Window:
    """Drags a window by its caption bar; it must follow the pointer exactly."""
    s = p.s
    x0, y0, x1, _ = win.frame_box()
    grip = ((x0 + x1) // 2 - 20, (y0 + win.y) // 2)  # on the caption bar, clear of the close box
    s.drag(grip, (grip[0] + by[0], grip[1] + by[1]))
    moved = s.wait(lambda: next((w for w in s.windows() if w.id == win.id and (w.x, w.y) != (win.x, win.y)), None),
                   3, f"the window of {win.scene()} to follow the drag")
    if (moved.x - win.x, moved.y - win.y) != by or moved.size != win.size:
        raise Failure(f"dragged by {by}, the window of {win.scene()} moved by {(moved.x - win.x, moved.y - win.y)} "
                      f"and is {moved.w}x{moved.h}")
    return moved


# ---- the plays -----------------------------------------------------------------

def play_title(p: WebPlayer) -> None:
    """The title in red Japanese type, then the shop after about 3 s. No input
    at all: the title and its beeps come before any gesture. Nothing timed
    but the hand-over, with the X11 play's slack."""
    p.title()


def play_maze(p: WebPlayer) -> None:
    """The shop dragged by its caption bar, "進入！！" clicked where it went; the
    maze played along the free way to the goal; the trash cans fill the page and
    the right one is found. Nothing is timed."""
    s = p.s
    f2 = drag_caption(p, p.title(), (60, 40))
    s.shot("shop-dragged", f2)
    f3 = p.enter_maze(f2)
    s.shot("maze-Form3", f3, ready=p.walls_hidden)
    p.start_maze(f3, "maze-walls")
    f5 = p.through_maze(f3)
    p.cans(f5)


def play_story(p: WebPlayer) -> None:
    """The whole story to the song and the end of the program: the page says the
    game is over. Timed by the story like the X11 story play (the dry ice, the
    stopwatch, the bomb), with the same slack."""
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
    p.s.save("screen-game-over", p.s.grab())


def play_caught(p: WebPlayer) -> None:
    """Found three times, the fourth "開始" calls the police; the station's demand
    accepted; a few words typed into the letter and "ok": the game is over. Then
    the page's offer of another game starts from the title. Nothing is timed."""
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
    p.caught_route(f6)
    expect_exit(s)
    s.save("screen-game-over", s.grab())
    p.again()


PLAYS = {"title": play_title, "maze": play_maze, "wall": story.play_wall, "story": play_story, "caught": play_caught}


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--page", default=str(TOP / "build-web" / "page"), help="the built page's folder")
    ap.add_argument("--shots", required=True, help="folder for the screenshots; each play gets its own")
    ap.add_argument("--assets", default=str(story.ASSETS), help="the pictures the screen is compared with")
    ap.add_argument("play", choices=sorted(PLAYS))
    args = ap.parse_args()
    story.ASSETS = Path(args.assets)

    missing = tools_missing()
    if missing:
        print(f"missing tools: {', '.join(missing)} (see scripts/packages-test.txt)", file=sys.stderr)
        return 1
    outdir = Path(args.shots) / args.play
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir(parents=True)

    s = WebSession(Path(args.page), outdir)

    def ended_from_outside(signum, _frame):
        raise Failure(f"stopped by signal {signum}")

    signal.signal(signal.SIGTERM, ended_from_outside)
    signal.signal(signal.SIGINT, ended_from_outside)
    ok = False
    try:
        s.start()
        PLAYS[args.play](WebPlayer(s))
        s.check_page()
        ok = True
    except Exception as e:  # noqa: BLE001 - every failure is reported the same way
        print(f"FAILED: {args.play}: {e}", file=sys.stderr)
        if not isinstance(e, Failure):
            traceback.print_exc()
        if s.page is not None:
            try:
                print("windows on the page: " + ", ".join(
                    f"{w.name or w.title!r} {w.w}x{w.h}+{w.x}+{w.y} {w.state}" for w in s.windows(False)),
                    file=sys.stderr)
            except Exception:  # noqa: BLE001
                pass
            s.save_screen("failure-screen.png")
    finally:
        s.stop()
    if not ok:
        print(f"screenshots and logs left in {outdir}", file=sys.stderr)
        f = outdir / "page.log"
        if f.exists() and f.stat().st_size:
            print(f"--- {f}:\n{f.read_text(errors='replace')[-4000:]}", file=sys.stderr)
        return 1
    s.log(f"passed; screenshots in {outdir}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
