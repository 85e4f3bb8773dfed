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
import re
import shutil
import signal
import sys
import time
import traceback
from pathlib import Path

from PIL import Image

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
import story
from story import (FORM2_ENTER, FORM2_PICTURE, FORM3_START, FORM8_ACCEPT, Player, centre, dark_pixels, expect_exit,
                   inner_px, rect_px)
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
            if w.title != BOX_TITLE and not re.fullmatch(r"Form\d+| ?", w.title):
                # The untitled scenes must keep an empty bar, not get the program's name.
                raise Failure(f"a window of the game is titled {w.title!r}")
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
        s.wait_box(timeout)
        b = s.focused_box()
        self.native()
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
        s.click_tw(f8, *centre(FORM8_REFUSE))
        self.box("station-refused", over=f8)
        for n in range(1, boxes + 1):
            s.wait_box()
            b = s.focused_box()
            self.native()
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
                s.save("screen-box-back-over-station", s.grab())
            s.close_box(b)
        # Between two boxes: Return closes the open one, and the click, sent in
        # the same breath, lands on "わかりました" before the next tick opens another.
        for attempt in range(1, 11):
            s.wait_box()
            s.focused_box()
            s.move_tw(f8, *centre(FORM8_ACCEPT))
            time.sleep(0.05)
            s.rfb.batch(RFB.key_event(RFB.RETURN, True) + RFB.key_event(RFB.RETURN, False)
                        + RFB.pointer_event(1, *s.rfb.pos) + RFB.pointer_event(0, *s.rfb.pos))
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
    f8 = p.police(f6)
    p.scolding(f8)
    p.write_letter(p.letter(f8))
    p.native()
    expect_exit(s)
    # Each box was its scene's dialog, which a compositor that places dialogs over
    # their parent (sway does not) uses: the maze's findings, the station's boxes.
    parents = box_parents(s.outdir / "game.stderr")
    s.log(f"the boxes' parents, by title: {parents}")
    if parents[:3] != [" "] * 3 or not parents[3:] or set(parents[3:]) != {"Form8"}:
        raise Failure(f"the boxes were not the dialogs of the scenes that opened them: parents {parents}")


def box_parents(log: Path) -> list[str | None]:
    """From the game's Wayland protocol log: for each message box, in order, the
    title of the window it was made the dialog of (None: none). The log itself is
    cut down to the game's own messages afterwards."""
    toplevels: dict[str, dict[str, str]] = {}
    parents: list[str | None] = []
    kept: list[str] = []
    new = re.compile(r"-> xdg_surface@\d+\.get_toplevel\(new id (xdg_toplevel@\d+)\)")
    call = re.compile(r"-> (xdg_toplevel@\d+)\.(set_parent|set_title|destroy)\((.*)\)$")
    for line in log.read_text(encoding="utf-8", errors="replace").splitlines():
        if not line.startswith("["):
            kept.append(line)
        elif m := new.search(line):
            toplevels[m.group(1)] = {}
        elif m := call.search(line):
            t = toplevels.setdefault(m.group(1), {})
            if m.group(2) == "set_parent":
                t["parent"] = m.group(3)
            elif m.group(2) == "set_title":
                t["title"] = m.group(3)[1:-1]
                if t["title"] == BOX_TITLE:
                    parent = toplevels.get(t.get("parent", ""), {})
                    parents.append(parent.get("title"))
    log.write_text("".join(f"{k}\n" for k in kept), encoding="utf-8")
    return parents


def blocks_with_detail(img: Image.Image, box: tuple[int, int, int, int]) -> float:
    """Of the 2 x 2 blocks of device pixels in `box` (logical pixels at scale 2) on
    the edges of ink, the share whose four pixels differ: 0 for text drawn at scale
    1 and doubled, whose edges all fall between blocks; well above it for text drawn
    at the device's density."""
    x0, y0, x1, y1 = box
    grey = img.convert("L").load()

    def block(x: int, y: int) -> tuple[int, ...]:
        return (grey[2 * x, 2 * y], grey[2 * x + 1, 2 * y], grey[2 * x, 2 * y + 1], grey[2 * x + 1, 2 * y + 1])

    edges = detailed = 0
    for y in range(y0, y1 - 1):
        for x in range(x0, x1 - 1):
            here = block(x, y)
            if min(here) >= 160:
                continue  # no ink
            uniform = len(set(here)) == 1
            if uniform and block(x + 1, y) == here and block(x, y + 1) == here:
                continue  # inside a stroke
            edges += 1
            detailed += not uniform
    return detailed / edges if edges else 0.0


def doubled_picture(img: Image.Image, asset: str, box: tuple[int, int, int, int]) -> float:
    """How much of a picture box's inside, at scale 2, shows every picture pixel as a
    sharp 2 x 2 square of its own colour (0 to 1)."""
    x0, y0, x1, y1 = box
    pic = Image.open(story.ASSETS / f"{asset}.bmp").convert("RGB")
    w, h = min(pic.width, x1 - x0), min(pic.height, y1 - y0)
    want = pic.crop((0, 0, w, h)).resize((2 * w, 2 * h), Image.NEAREST).tobytes()
    seen = img.crop((2 * x0, 2 * y0, 2 * (x0 + w), 2 * (y0 + h))).tobytes()
    same = sum(1 for i in range(0, len(seen), 3) if all(abs(seen[i + k] - want[i + k]) <= 8 for k in range(3)))
    return same / (4 * w * h)


def play_density(p: WaylandPlayer) -> None:
    """A high-density output: at scale 2 every picture pixel is a sharp 2 x 2 square
    and the captions are drawn at the device's density, not doubled. The output
    then goes to scale 1.5 as a player would set it, and what the player gets is
    measured. Then the last window is closed with Alt+F4 and the program ends.
    Nothing is timed."""
    s = p.s
    f1 = s.wait_scene("Form1", 20)
    p.native()
    title = (24, 24, 257, 105)  # the title's label, where its red caption is

    def title_drawn(img: Image.Image) -> bool:
        return img.size == (2 * f1.w, 2 * f1.h) and sum(
            1 for q in img.crop((48, 48, 514, 210)).getdata() if q[0] > 200 and q[1] < 80) > 2000

    img = s.wait(lambda: (i := s.grab_device((f1.x, f1.y, f1.w, f1.h))) and title_drawn(i) and i, 5,
                 "the title drawn at scale 2")
    s.save("scale2-title-Form1", img)
    detail = blocks_with_detail(img, title)
    s.log(f"scale 2: {detail:.0%} of the title's inked 2x2 blocks have detail of their own")
    if detail < 0.2:
        raise Failure(f"the title is drawn at scale 1 and doubled ({detail:.0%} of its blocks have detail)")

    f2 = s.wait_scene("Form2", 10)
    picture = inner_px(FORM2_PICTURE)
    img = s.wait(lambda: (i := s.grab_device((f2.x, f2.y, f2.w, f2.h))) and doubled_picture(
        i, "Form2.Picture1", picture) > 0.99 and i, 5, "the shop's picture as sharp 2x2 squares")
    s.save("scale2-shop-Form2", img)
    caption = rect_px(FORM2_ENTER)
    detail = blocks_with_detail(img, (caption[0] + 4, caption[1] + 4, caption[2] - 4, caption[3] - 4))
    s.log(f"scale 2: every picture pixel a 2x2 square; {detail:.0%} of the button caption's blocks have detail")
    if detail < 0.2:
        raise Failure(f"the button's caption is drawn at scale 1 and doubled ({detail:.0%} of its blocks have detail)")

    # At 1.5: Qt 6.4 knows only whole scales, and sway 1.7 tells a client on a 1.5
    # output to draw at 2, then scales its windows down by 0.75 with its own filter.
    # The game can do no better than to draw at 2 (it does): a picture pixel spans
    # 1.5 device pixels, and its edges are soft.
    s.set_scale(1.5)
    f2 = s.wait_scene("Form2", 10)
    size = (round(1.5 * f2.w), round(1.5 * f2.h))
    if f2.size != (394, 315):
        raise Failure(f"at scale 1.5 Form2's client area is {f2.w}x{f2.h} logical pixels, not 394x315")
    seen = s.wait(lambda: (i := s.grab_device((f2.x, f2.y, f2.w, f2.h))).size == size and i, 5,
                  "the shop at scale 1.5")
    s.save("scale1.5-shop-Form2", seen)
    flat, soft = scaled_picture(seen, "Form2.Picture1", picture, 1.5)
    s.log(f"scale 1.5: {flat:.1%} of the picture's flat inner pixels keep their exact colour; "
          f"{soft:.1%} of its device pixels are blends of two picture pixels")
    if flat < 0.99:
        raise Failure(f"at scale 1.5 only {flat:.1%} of the picture's flat inner pixels keep their colour")

    s.close_window(f2)
    expect_exit(s)


def scaled_picture(img: Image.Image, asset: str, box: tuple[int, int, int, int], scale: float) -> tuple[float, float]:
    """For a picture box's inside on a fractionally scaled output: the share of the
    picture's pixels inside flat areas (a 5 x 5 patch of one colour) shown in their
    exact colour, and the share of device pixels whose colour is none of the
    picture's own (blends along edges)."""
    x0, y0, x1, y1 = box
    pic = Image.open(story.ASSETS / f"{asset}.bmp").convert("RGB")
    w, h = min(pic.width, x1 - x0), min(pic.height, y1 - y0)
    src, dev = pic.load(), img.load()
    flat = kept = 0
    for y in range(2, h - 2, 3):
        for x in range(2, w - 2, 3):
            c = src[x, y]
            if any(src[x + dx, y + dy] != c for dx in range(-2, 3) for dy in range(-2, 3)):
                continue
            flat += 1
            d = dev[int(scale * (x0 + x + 0.5)), int(scale * (y0 + y + 0.5))]
            kept += all(abs(d[k] - c[k]) <= 8 for k in range(3))
    palette = set(pic.crop((0, 0, w, h)).getdata())
    region = img.crop((round(scale * x0), round(scale * y0), int(scale * (x0 + w)), int(scale * (y0 + h))))
    blends = sum(n for n, c in region.getcolors(1 << 20) if c not in palette)
    return (kept / flat if flat else 0.0), blends / (region.width * region.height)


PLAYS = {"story": play_story, "caught": play_caught, "density": play_density}
SCALES = {"density": 2}


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
        print(f"missing tools: {', '.join(missing)} (see scripts/packages-test.txt)", file=sys.stderr)
        return 1
    outdir = Path(args.shots) / args.play
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir(parents=True)

    s = WaylandSession(str(Path(args.game).resolve()), outdir, span(args.ports), SCALES.get(args.play, 1))

    def ended_from_outside(signum, _frame):
        raise Failure(f"stopped by signal {signum}")

    signal.signal(signal.SIGTERM, ended_from_outside)
    signal.signal(signal.SIGINT, ended_from_outside)
    ok = False
    try:
        app_id = desktop_id(Path(args.data))
        s.start_compositor()
        # The caught play keeps the game's Wayland protocol log, to read which
        # window each box was the dialog of.
        s.start_game({"WAYLAND_DEBUG": "client"} if args.play == "caught" else None)
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
