#!/usr/bin/env python3
"""End-to-end plays of the real game with a Japanese input method and a screen
reader's view of it: the plays of play.py, under Xvfb and openbox, each with a
session bus and an accessibility bus of its own (bus.py).

im-letter  Caught in the maze, the letter of apology is typed through ibus and
           mozc: romaji "gomennasai", converted and committed. The pre-edit shows
           in the box while the box's text (as the accessibility bus reads it) is
           still empty, the candidate window opens beside the box, and the
           committed Japanese is the box's text; "ok" ends the program with 0.
im-water   The story to the water level, where full-width "１０" is typed through
           the input method into the stopwatch's display, and "ストップ" judges
           it: the model reads full-width digits as the number, so it is just
           right ("ちょうどいいぞ！ok", the half-full bottle) and the thrower
           choice follows.
a11y-game  What a screen reader finds in the real game: the title label, the
           shop's instruction and button, the untitled maze window, the walls
           coming in at "開始" and the box's prompt when a wall is touched.

    assistive.py --game build/botoron --assets assets --shots build/e2e-shots PLAY

The input method plays need ibus, ibus-mozc and dbus-run-session; run as root
they play as the user nobody (mozc does not work for root). Timed steps are those
of play.py (the dry ice on the way to the water level); typing is not timed.
"""

from __future__ import annotations

import contextlib
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
import bus
import play
import story
from atspi import Node, Reader, find
from story import FORM9_OK, FORM9_TEXT, FORM10_BOTTLE, FORM10_STOP, Player, centre, dark_pixels, rect_px
from xsession import BOX_TITLE, Failure, Session, Window, child_setup, stop_process

FORM10_DISPLAY = (2160, 3600, 1095, 270)   # Text1, the stopwatch's display
# "gomennasai" as mozc converts it; either writing is the apology.
APOLOGIES = ("ごめんなさい", "御免なさい")
# Mozc's own settings for ibus: switched on from the start, not in direct input.
MOZC_IBUS_CONFIG = """engines {
  name : "mozc-jp"
  longname : "Mozc"
  layout : "default"
  layout_variant : ""
  layout_option : ""
  rank : 80
}
active_on_launch: True
"""


# ---- the desktop services around the game ------------------------------------

@contextlib.contextmanager
def services(s: Session, play_name: str):
    """The accessibility bus for every play; ibus with mozc for the typing ones."""
    bus.start_accessibility_bus(s.env)
    s.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    if not play_name.startswith("im-"):
        yield
        return
    config = Path(s.env["XDG_CONFIG_HOME"])
    (config / "mozc").mkdir(parents=True, exist_ok=True)
    (config / "mozc" / "ibus_config.textproto").write_text(MOZC_IBUS_CONFIG)
    mark = f"BOTORON_E2E_IME={config}"
    env = dict(s.env, BOTORON_E2E_IME=str(config))
    daemon = subprocess.Popen(["ibus-daemon", "--replace", "--single", "--panel=disable", "--emoji-extension=disable"],
                              env=env, stdout=s._logfile("ibus.log"), stderr=subprocess.STDOUT, preexec_fn=child_setup)
    try:
        # The engine for every input context, once the daemon answers. (Asked to
        # switch, `ibus engine` reports failure until the engine has started.)
        said = ""

        def engine_is_mozc() -> bool:
            nonlocal said
            subprocess.run(["ibus", "engine", "mozc-jp"], env=env, capture_output=True, timeout=20)
            r = subprocess.run(["ibus", "engine"], env=env, capture_output=True, timeout=20)
            said = (r.stdout + r.stderr).decode("utf-8", "replace").strip()
            return said == "mozc-jp"

        try:
            s.wait(engine_is_mozc, 20, "ibus to take mozc as its engine", every=0.2)
        except Failure as e:
            raise Failure(f"{e}; ibus says its engine is {said!r}") from None
        s.log("ibus is running with mozc")
        s.env["QT_IM_MODULE"] = "ibus"
        yield
    finally:
        stop_process(daemon)
        bus.end_started_with(mark)  # the engine and mozc's server, which outlive the daemon


def viewable(s: Session) -> dict[int, tuple[int, int, int, int]]:
    """Every window on the root that is mapped now, with its rectangle on the screen."""
    out = {}
    listing = s._run("xwininfo", "-root", "-children").stdout.decode("utf-8", "replace")
    for line in listing.splitlines():
        word = line.strip().split(" ", 1)[0]
        if not word.startswith("0x"):
            continue
        info = s._run("xwininfo", "-id", word).stdout.decode("utf-8", "replace")
        g = dict(l.strip().split(":", 1) for l in info.splitlines() if ":" in l and not l.startswith("xwininfo"))
        if g.get("Map State", "").strip() == "IsViewable":
            out[int(word, 16)] = (int(g["Absolute upper-left X"]), int(g["Absolute upper-left Y"]),
                                  int(g["Width"]), int(g["Height"]))
    return out


def on_screen(win: Window, r) -> tuple[int, int, int, int]:
    """A control's rectangle (twips, client coordinates) on the screen."""
    x0, y0, x1, y1 = rect_px(r)
    return (win.x + x0, win.y + y0, win.x + x1, win.y + y1)


def save_region(s: Session, name: str, boxes: list[tuple[int, int, int, int]]) -> None:
    """Saves the part of the screen that holds all the given boxes (x0, y0, x1, y1)."""
    x0 = max(min(b[0] for b in boxes) - 8, 0)
    y0 = max(min(b[1] for b in boxes) - 8, 0)
    x1 = max(b[2] for b in boxes) + 8
    y1 = max(b[3] for b in boxes) + 8
    s.shot_no += 1
    path = s.outdir / f"{s.shot_no:02d}-{name}.png"
    s.grab().crop((x0, y0, x1, y1)).save(path)
    s.log(f"saved {path.name}")


def frame_of(r: Reader, name: str) -> Node | None:
    return next((w for w in r.windows() if w.role == "frame" and w.name == name), None)


def text_of(r: Reader, scene: str) -> str | None:
    """The text of a scene's first text box as the accessibility bus reads it."""
    f = frame_of(r, scene)
    box = next((c for c in f.children if c.role == "text"), None) if f else None
    return box.text if box else None


def candidate_beside(s: Session, before: dict, box: tuple[int, int, int, int]):
    """A window that opened since `before` and stands against the box's lower edge,
    starting under it: the input method's candidates."""
    for wid, (x, y, w, h) in viewable(s).items():
        if wid in before or w < 10 or h < 10:
            continue
        if box[0] - 16 <= x <= box[2] and box[1] <= y <= box[3] + 24:
            return (x, y, x + w, y + h)
    return None


def type_through_ime(p: Player, r: Reader, win: Window, scene: str, r_box, keys: str,
                     candidates: bool = True) -> tuple[int, int, int, int] | None:
    """Types romaji or digits into the text box that has the focus (the scene's first);
    checks the pre-edit is drawn in the box while its text stays as it was and, where
    mozc offers any (it offers none for digits), that the candidate window opens
    beside it. Returns where the candidates are, for the screenshot."""
    s = p.s
    box = on_screen(win, r_box)
    before = viewable(s)
    was = text_of(r, scene)
    ink = dark_pixels(s.client(win), rect_px(r_box))
    s.xdotool("type", "--delay", "60", keys)
    s.wait(lambda: dark_pixels(s.client(win), rect_px(r_box)) != ink, 5, "the pre-edit to show in the box")
    time.sleep(0.3)  # the last key's pre-edit; nothing is committed without a key
    now = text_of(r, scene)
    if now not in ("", was):
        raise Failure(f"{keys!r} went straight into the box as {now!r}: the input method does not compose "
                      "(mozc in direct input?)")
    s.log(f"pre-edit in the box; its text is still {now!r}")
    if not candidates:
        return None
    return s.wait(lambda: candidate_beside(s, before, box), 5, "the candidate window beside the box")


# ---- the plays -----------------------------------------------------------------

def play_im_letter(p: Player) -> None:
    """The letter typed in romaji, converted, committed; "ok" ends the program."""
    s = p.s
    f9 = p.to_letter(play.caught_in_maze(p))
    r = Reader(s.proc.pid)
    s.click_tw(f9, *centre(FORM9_TEXT))
    s.wait(lambda: text_of(r, "Form9") == "", 5, "the empty letter on the accessibility bus")
    candidates = type_through_ime(p, r, f9, "Form9", FORM9_TEXT, "gomennasai")
    save_region(s, "letter-pre-edit", [f9.frame_box(), candidates])
    s.xdotool("key", "space")   # convert
    s.xdotool("key", "Return")  # commit
    letter = r.wait(lambda: text_of(r, "Form9") in APOLOGIES and text_of(r, "Form9"), 5,
                    f"the letter to read one of {APOLOGIES}")
    s.log(f"the letter reads {letter!r}")
    s.shot("letter-committed", f9, ready=lambda c: dark_pixels(c, rect_px(FORM9_TEXT)) > 60)
    s.click_tw(f9, *centre(FORM9_OK))
    story.expect_exit(s)


def play_im_water(p: Player) -> None:
    """Full-width "１０" typed into the water level's display, then "ストップ"."""
    s = p.s
    f3 = p.enter_maze(p.title())
    p.start_maze(f3, None)
    f10 = p.dry_ice(p.cans(p.through_maze(f3)))
    r = Reader(s.proc.pid)
    s.click_tw(f10, *centre(FORM10_DISPLAY))
    s.xdotool("key", "ctrl+a")  # the "0" goes as the composition starts
    type_through_ime(p, r, f10, "", FORM10_DISPLAY, "10", candidates=False)
    s.shot("water-pre-edit", f10)
    s.xdotool("key", "Return")  # commit as composed: full-width digits
    r.wait(lambda: text_of(r, "") == "１０", 5, "the display to read １０")
    s.shot("water-typed", f10)
    s.click_tw(f10, *centre(FORM10_STOP))
    b = s.wait_box()
    # The model reads "１０" as 10: just right.
    prompt = r.wait(lambda: next((w.description for w in r.windows() if w.role == "alert"), None), 5,
                    "the box on the accessibility bus")
    if prompt != "ちょうどいいぞ！ok":
        raise Failure(f"the stop on １０ said {prompt!r}, not ちょうどいいぞ！ok")
    c = s.shot("water-just-right", f10)
    story.expect_picture(c, "Form10.Picture1", FORM10_BOTTLE, "the bottle view")
    s.shot("box-water-just-right", b)
    s.close_box(b)
    s.wait_gone(f10, 5)
    p.box("thrower-question")
    s.wait_scene("Form11", 10)


def play_a11y_game(p: Player) -> None:
    """The first scenes as a screen reader finds them."""
    s = p.s
    s.wait_scene("Form1", 20)
    r = Reader(s.proc.pid)
    title = r.wait(lambda: frame_of(r, "Form1"), 3, "Form1 on the accessibility bus")
    if find([title], lambda n: n.role == "label" and n.name == "ボトロンゲーム　　2001") is None:
        raise Failure(f"Form1 has no label ボトロンゲーム　　2001:\n{title.show()}")
    f2 = s.wait_scene("Form2", 10)
    shop = r.wait(lambda: frame_of(r, "Form2"), 5, "Form2 on the accessibility bus")
    kinds = [(c.role, c.name) for c in shop.children]
    if kinds[-1] != ("push button", "進入！！") or not any(
            role == "label" and name.startswith("ドライアイスを手にいれるのには") for role, name in kinds):
        raise Failure(f"Form2 does not read as its instruction and 進入！！:\n{shop.show()}")
    s.log(f"Form2 reads: {kinds}")
    f3 = p.enter_maze(f2)
    maze = r.wait(lambda: frame_of(r, ""), 5, "the untitled maze on the accessibility bus")
    if [c.name for c in maze.children if c.role == "push button"] != ["開始"] or any(
            c.role == "image" for c in maze.children):
        raise Failure(f"the waiting maze shows more than its instruction and 開始:\n{maze.show()}")
    if frame_of(r, "Form4") is None:
        raise Failure("Form4, minimized, is not on the accessibility bus")
    p.start_maze(f3, None)
    r.wait(lambda: (m := frame_of(r, "")) and sum(c.role == "image" for c in m.children) == 9
           and not any(c.role == "push button" for c in m.children)
           and any(c.name == "ゴール" for c in m.children), 5, "the walls and the goal, and 開始 gone")
    p.touch_wall(f3)
    b = s.wait_box()
    alert = r.wait(lambda: next((w for w in r.windows() if w.role == "alert"), None), 5, "the box on the bus")
    if (alert.name, alert.description) != (BOX_TITLE, "見つかりました"):
        raise Failure(f"the box reads {alert.name!r} / {alert.description!r}")
    s.shot("box-maze-found", b)
    s.close_box(b)
    p.fresh_maze(f3, None)
    r.wait(lambda: (m := frame_of(r, "")) and [c.name for c in m.children if c.role == "push button"] == ["開始"],
           5, "the rebuilt maze with 開始 on the bus")


PLAYS = {"im-letter": play_im_letter, "im-water": play_im_water, "a11y-game": play_a11y_game}


def relaunch(args):
    return bus.relaunch(args, unprivileged=args.play.startswith("im-"))


if __name__ == "__main__":
    sys.exit(play.main(PLAYS, __doc__, relaunch, services))
