#!/usr/bin/env python3
"""End-to-end plays of the real game as a native Wayland client of sway.

Each play starts its own headless sway, wayvnc and the game (wsession.py), and
plays the story the way the X11 plays do (story.py), through the compositor's
own input path: a virtual pointer and keyboard. On top of the story it checks
what differs on Wayland, where the compositor, not the program, places windows
and decides about focus and window states:

- every window is a native Wayland window (xdg_shell, never XWayland) with the
  desktop id of the game's menu entry as its app_id;
- after "進入！！" the keyboard focus is in the maze and the companion window
  does not lie over it, so Enter presses "開始" and the pointer finds the walls,
  also in every rebuilt maze;
- a message box has the game's title, takes the focus, keeps input from the
  scene beneath (a click there does nothing) and opens over that scene;
- the untitled scenes have an empty title, not the program's name;
- the trash-can search fills the screen;
- closing the last window ends the program;
- on a scaled output every picture pixel is a sharp square of device pixels.

    wayland.py --game build/botoron --shots build/e2e-wayland-shots PLAY

PLAY is one of: story, caught, density.
"""

from __future__ import annotations

import argparse
import os
import shutil
import signal
import sys
import time
import traceback
from pathlib import Path

from PIL import Image

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
import story
from story import (FORM2_ENTER, FORM2_PICTURE, FORM3_START, FORM8_ACCEPT, FORM8_PICTURE, Player, centre,
                   dark_pixels, expect_exit, inner_px, picture_shown, rect_px)
from wsession import RFB, Failure, WaylandSession, Window, tools_missing
from xsession import BOX_TITLE

TOP = Path(__file__).resolve().parents[2]
FORM8_REFUSE = (3840, 4680, 615, 375)        # "やだ"
REFUSED = "なに？こうしてやる！"


def desktop_id(data: Path) -> str:
    """The game's desktop id: the name of its menu entry, which its windows must carry as app_id."""
    entries = sorted(data.glob("*.desktop"))
    if len(entries) != 1:
        raise Failure(f"expected one menu entry in {data}, found {[e.name for e in entries]}")
    return entries[0].name[: -len(".desktop")]


class WaylandPlayer(Player):
    """The story's steps, with what a Wayland desktop adds checked on the way."""

    def __init__(self, s: WaylandSession, app_id: str):
        super().__init__(s)
        self.app_id = app_id
        self.checked: set[int] = set()

    # ---- every window ------------------------------------------------------------

    def native(self) -> None:
        """Every window on screen is the game's own, native Wayland, with its desktop id."""
        for w in self.s.windows(viewable_only=False):
            if w.id in self.checked:
                continue
            if w.shell != "xdg_shell":
                raise Failure(f"the window {w.title!r} is not a native Wayland window (shell {w.shell!r})")
            if w.app_id != self.app_id:
                raise Failure(f"the window {w.title!r} has app_id {w.app_id!r}, not {self.app_id!r}")
            if w.pid != self.s.proc.pid:
                raise Failure(f"a window {w.title!r} of another program (pid {w.pid}) is on screen")
            self.checked.add(w.id)

    def box(self, name: str, timeout: float = 10, over: Window | None = None) -> None:
        """A message box: the game's title, the focus, over the scene that opened it; closed with Return."""
        s = self.s
        b = s.wait_box(timeout)
        self.native()
        s.wait_focus(b, 3)
        if over is not None:
            self.expect_over(b, over)
        s.shot(f"box-{name}", b, ready=lambda c: dark_pixels(c, (0, 0, c.width, c.height)) > 30)
        s.close_box(b)

    def expect_over(self, box: Window, scene: Window) -> None:
        """The box's centre lies over the scene's client area."""
        cx, cy = box.x + box.w / 2, box.y + box.h / 2
        if not (scene.x <= cx < scene.x + scene.w and scene.y <= cy < scene.y + scene.h):
            raise Failure(f"the box at +{box.x}+{box.y} ({box.w}x{box.h}) is not over {scene.scene()} "
                          f"at +{scene.x}+{scene.y} ({scene.w}x{scene.h})")

    # ---- the maze and its companion ----------------------------------------------

    def maze_in_front(self, other_than: int | None = None) -> Window:
        """Waits until the maze holds the keyboard focus with its companion open and
        not over it, and returns the maze's window as it is then."""
        s = self.s

        def find(ws: list[Window]) -> Window | None:
            maze = next((w for w in ws if w.scene() == "Form3" and w.id != other_than), None)
            companion = next((w for w in ws if w.title == "Form4"), None)
            if maze is None or companion is None or not maze.focused:
                return None
            if overlap(maze, companion) and ws.index(companion) > ws.index(maze):
                return None  # the companion lies on top of the maze
            return maze

        f3 = s.wait(s.settled(find), 5, "the maze to hold the focus, its companion out of its way")
        self.native()
        s.log(f"the maze has the focus: client {f3.w}x{f3.h} at +{f3.x}+{f3.y}")
        return f3

    def enter_maze(self, f2: Window) -> Window:
        s = self.s
        s.click_tw(f2, *centre(FORM2_ENTER))
        s.wait_gone(f2, 5)
        return self.maze_in_front()

    def start_maze(self, f3: Window, shot: str | None, key: bool = False) -> None:
        """"開始", clicked or (with `key`) pressed with Enter where the focus is."""
        s = self.s
        if not key:
            super().start_maze(f3, shot)
            return
        s.key(RFB.RETURN)
        s.wait(lambda: self.walls_shown(s.client(f3)), 5, "Enter in the maze to show the walls and the goal")
        if shot:
            s.shot(shot, f3, ready=self.walls_shown)

    def fresh_maze(self, old: Window, shot: str | None) -> Window:
        s = self.s
        f3 = self.maze_in_front(other_than=old.id)
        s.wait(lambda: self.walls_hidden(s.client(f3)), 5, "the rebuilt maze with its walls hidden")
        if shot:
            s.shot(shot, f3, ready=self.walls_hidden)
        return f3

    # ---- the scenes that differ -------------------------------------------------

    def cans(self, f5: Window) -> Window:
        """The trash-can search fills the screen, as a maximized window does."""
        out = self.s.output()["rect"]
        if f5.w < out["width"] - 8 or f5.h < out["height"] - 64:
            raise Failure(f"Form5 is {f5.w}x{f5.h} on a {out['width']}x{out['height']} screen: not maximized")
        return super().cans(f5)

    def scolding(self, f8: Window, boxes: int = 3) -> None:
        """"やだ": the refusal's box, then the scolding box again each time it is closed;
        a click on the station while a box is open does nothing; "わかりました"
        pressed between two boxes leads on."""
        s = self.s
        s.shot("police-station-Form8", f8,
               ready=lambda c: picture_shown(c, "Form8.Picture1", inner_px(FORM8_PICTURE)) > 0.99)
        s.click_tw(f8, *centre(FORM8_REFUSE))
        self.box("station-refused", over=f8)
        for n in range(1, boxes + 1):
            b = s.wait_box()
            self.native()
            s.wait_focus(b, 3)
            self.expect_over(b, f8)
            if n == 1:
                s.shot("box-station-scolding", b, ready=lambda c: dark_pixels(c, (0, 0, c.width, c.height)) > 30)
                # The box keeps the station from input: "わかりました" under the pointer does nothing.
                s.click_tw(f8, *centre(FORM8_ACCEPT))
                time.sleep(0.3)
                if s.scenes().get("Form9") is not None or s.scenes().get("Form8") is None:
                    raise Failure("a click on the station went through its open box")
                # Sway gives the clicked station the keyboard and raises it over the
                # box; the box must come back in front of it, with the keyboard.
                b = s.wait(s.settled(lambda ws: boxes_in_front(ws, f8)), 5,
                           "the box back in front of the station with the keyboard")
            s.close_box(b)
        # Between two boxes: Return closes the open one, and the click, sent in
        # the same breath, lands on "わかりました" before the next tick opens another.
        for attempt in range(1, 11):
            b = s.wait_box()
            s.wait_focus(b, 3)
            s.move_tw(f8, *centre(FORM8_ACCEPT))
            time.sleep(0.05)
            s.rfb.batch(RFB._key(RFB.RETURN, True) + RFB._key(RFB.RETURN, False)
                        + RFB._pointer(1, *s.rfb.pos) + RFB._pointer(0, *s.rfb.pos))
            try:
                s.wait(lambda: s.scenes().get("Form9"), 1.5, "the letter")
                s.log(f"accepted between two scolding boxes at attempt {attempt}")
                return
            except Failure:
                continue
        raise Failure("the station never took the acceptance between two scolding boxes")


def boxes_in_front(ws: list[Window], scene: Window) -> Window | None:
    """The message box, if it holds the focus and lies above the scene."""
    box = next((w for w in ws if w.title == BOX_TITLE), None)
    below = next((w for w in ws if w.id == scene.id), None)
    if box is None or not box.focused or (below is not None and ws.index(below) > ws.index(box)):
        return None
    return box


def overlap(a: Window, b: Window) -> bool:
    ax0, ay0, ax1, ay1 = a.frame_box()
    bx0, by0, bx1, by1 = b.frame_box()
    return ax0 < bx1 and bx0 < ax1 and ay0 < by1 and by0 < ay1


# ---- the plays -----------------------------------------------------------------

def play_story(p: WaylandPlayer) -> None:
    """The whole story to the song and the end, "開始" pressed with Enter.

    Timed like the X11 story play (the dry ice, the stopwatch, the bomb), with
    the same slack; grim reads the bomb's buttons in some 25 ms a look."""
    f2 = p.title()
    p.native()
    f3 = p.enter_maze(f2)
    p.s.shot("maze-Form3", f3, ready=p.walls_hidden)
    p.start_maze(f3, "maze-walls", key=True)
    f5 = p.through_maze(f3)
    f7 = p.cans(f5)
    f10 = p.dry_ice(f7)
    p.water(f10)
    f12 = p.thrower()
    p.bomb(f12)
    p.success()
    expect_exit(p.s)


def play_caught(p: WaylandPlayer) -> None:
    """Found three times, each box over the maze and each rebuilt maze in front
    with the focus; the fourth "開始" calls the police; the station refused and
    its scolding boxes; the letter typed and "ok". Nothing is timed but the
    acceptance between two scolding boxes, which is tried again if a box came first."""
    s = p.s
    f3 = p.enter_maze(p.title())
    for attempt in (1, 2, 3):
        p.start_maze(f3, "maze-walls" if attempt == 1 else None, key=attempt == 2)
        p.touch_wall(f3)
        p.box(f"maze-found-{attempt}", over=f3)
        f3 = p.fresh_maze(f3, "maze-rebuilt" if attempt == 1 else None)
    s.click_tw(f3, *centre(FORM3_START))
    f6 = s.wait_scene("Form6", 10)
    s.wait_gone(f3, 5)
    c = s.shot("police-car-Form6", f6)
    s.click_tw(f6, *centre(story.FORM6_ON))
    f8 = s.wait_scene("Form8", 10)
    s.wait_gone(f6, 5)
    p.scolding(f8)
    f9 = s.wait_scene("Form9", 10)
    s.wait_gone(f8, 5)
    p.native()
    s.shot("letter-Form9", f9, ready=lambda c: dark_pixels(c, (0, 8, 40, 25)) > 20)
    s.click_tw(f9, *centre(story.FORM9_TEXT))
    before = dark_pixels(s.client(f9), rect_px(story.FORM9_TEXT))
    s.type_text("gomen nasai")
    s.shot("letter-typed", f9, ready=lambda c: dark_pixels(c, rect_px(story.FORM9_TEXT)) > before + 60)
    s.click_tw(f9, *centre(story.FORM9_OK))
    expect_exit(s)


PLAYS = {"story": play_story, "caught": play_caught}


def span(text: str) -> range:
    first, _, last = text.partition("-")
    return range(int(first), int(last or first) + 1)


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--game", required=True, help="the program to play (build/botoron)")
    ap.add_argument("--shots", required=True, help="folder for the screenshots; each play gets its own")
    ap.add_argument("--assets", default=str(story.ASSETS), help="the pictures the screen is compared with")
    ap.add_argument("--data", default=str(TOP / "data"), help="the folder of the game's menu entry")
    ap.add_argument("--ports", default=os.environ.get("BOTORON_E2E_VNC_PORTS", "5950-5959"),
                    help="loopback ports to choose a free one from for wayvnc "
                         "(default $BOTORON_E2E_VNC_PORTS or 5950-5959)")
    ap.add_argument("play", choices=sorted(PLAYS))
    args = ap.parse_args()
    story.ASSETS = Path(args.assets)

    missing = tools_missing()
    if missing:
        print(f"missing tools: {', '.join(missing)} (see scripts/packages.txt)", file=sys.stderr)
        return 1
    outdir = Path(args.shots) / args.play
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir(parents=True)

    s = WaylandSession(str(Path(args.game).resolve()), outdir, span(args.ports))

    def ended_from_outside(signum, _frame):
        raise Failure(f"stopped by signal {signum}")

    signal.signal(signal.SIGTERM, ended_from_outside)
    signal.signal(signal.SIGINT, ended_from_outside)
    ok = False
    try:
        app_id = desktop_id(Path(args.data))
        s.start_compositor()
        s.start_game()
        PLAYS[args.play](WaylandPlayer(s, app_id))
        ok = True
    except Exception as e:  # noqa: BLE001 - every failure is reported the same way
        print(f"FAILED: {args.play}: {e}", file=sys.stderr)
        if not isinstance(e, Failure):
            traceback.print_exc()
        if s.ipc:
            try:
                print("windows on screen: " + ", ".join(
                    f"{w.title!r} {w.w}x{w.h}+{w.x}+{w.y}{' focused' if w.focused else ''}" for w in s.windows()),
                    file=sys.stderr)
            except Exception:  # noqa: BLE001
                pass
            s.save_screen("failure-screen.png")
    finally:
        s.stop()
    if not ok:
        print(f"screenshots and logs left in {outdir}", file=sys.stderr)
        f = outdir / "game.stderr"
        if f.exists() and f.stat().st_size:
            print(f"--- {f}:\n{f.read_text(errors='replace')}", file=sys.stderr)
        return 1
    s.log(f"passed; screenshots in {outdir}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
