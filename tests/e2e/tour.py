#!/usr/bin/env python3
"""What a screen reader finds in every scene, held against the model.

Under Xvfb and openbox, with a session bus and an accessibility bus of its own,
the tour program (tour.cpp: the game's desktop front end over the real scenes)
shows each scene a player sees, one at a time, and says after each step what the
model holds: every control, whether it is shown (its own Visible and its
containers'), whether any of it lies in the client area, its caption, text and
picture. The tree that pyatspi reads from the bus must match it:

- each scene's window a frame named by its caption (nothing for the untitled ones);
- in it, the shown controls in TabIndex order, and only those: a label by its
  caption, a button by its caption, a text box with its text, a picture box as
  an image named by the description of its picture (assets/descriptions.txt),
  holding what the picture box holds; no lines, no timers;
- a label or picture outside the client area not showing;
- a message box an alert named by the game's title and described by its prompt.

Then the changes a screen reader must hear of: walls made visible come in and the
start button goes (children-changed), captions set by a handler and a picture
shown in a box are renamed (property-change:accessible-name), a text box's new
text (text-changed).

    tour.py --tour build/tests/e2e/botoron_tour --assets assets --shots build/e2e-shots
"""

from __future__ import annotations

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import traceback
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
import bus
from atspi import ROLES, Node, Reader, find
from xsession import Failure, Session

BOX_TITLE = "ボトロンゲーム2001"
# Every scene the story shows; Form15 is in the catalogue but nothing loads it.
SCENES = [f"Form{i}" for i in range(1, 17) if i != 15]


def descriptions(assets: Path) -> dict[str, str]:
    table = {}
    for line in (assets / "descriptions.txt").read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            name, _, words = line.partition(" ")
            table[name] = words.strip()
    return table


class Expect:
    """The tree the model calls for, from one of the tour's answers."""

    def __init__(self, described: dict[str, str]):
        self.described = described

    def frame(self, scene: dict) -> Node:
        return Node("frame", scene["caption"], states=None, children=self.inside(scene["controls"], None))

    def inside(self, controls: list[dict], container: str | None) -> list[Node]:
        shown = [c for c in controls if c["container"] == container and c["exposed"] and c["kind"] in ROLES]
        shown.sort(key=lambda c: c["tab"])  # stable: the definition's order among equals
        return [self.control(c, controls) for c in shown]

    def control(self, c: dict, controls: list[dict]) -> Node:
        kind = c["kind"]
        name = {"Label": c["caption"], "CommandButton": c["caption"], "TextBox": "",
                "PictureBox": self.described.get(c["picture"], "")}[kind]
        if kind == "PictureBox" and c["picture"] and c["picture"] not in self.described:
            raise Failure(f"{c['picture']} has no description in assets/descriptions.txt")
        # Only the controls the game paints itself say whether they are on screen.
        states = frozenset({"visible", "showing"} if c["onscreen"] else ()) if kind in ("Label", "PictureBox") else None
        return Node(ROLES[kind], name, text=c["text"] if kind == "TextBox" else None, states=states,
                    children=self.inside(controls, c["name"]) if kind == "PictureBox" else [])


def difference(want: Node, got: Node, where: str) -> str | None:
    """Where the tree read from the bus first differs from the one the model calls for."""
    here = f"{where} > {want.role} {want.name!r}"
    if (want.role, want.name) != (got.role, got.name):
        return f"{here}: found {got.role} {got.name!r}"
    if want.text is not None and want.text != got.text:
        return f"{here}: its text is {got.text!r}, not {want.text!r}"
    if want.states is not None and want.states != got.states & {"visible", "showing"}:
        return f"{here}: states {sorted(got.states)}, the model says {sorted(want.states) or 'not on screen'}"
    if len(want.children) != len(got.children):
        return (f"{here}: {len(got.children)} children, the model shows {len(want.children)}: "
                f"{[(c.role, c.name) for c in got.children]} against {[(c.role, c.name) for c in want.children]}")
    for w, g in zip(want.children, got.children):
        d = difference(w, g, here)
        if d:
            return d
    return None


class Tour:
    def __init__(self, s: Session, program: str, described: dict[str, str]):
        self.s = s
        env = dict(s.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.proc = subprocess.Popen([program], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=s._logfile("tour.stderr"), text=True, encoding="utf-8")
        s.proc = self.proc  # so the session ends it, and its waits notice if it dies
        self.expect = Expect(described)
        self.reader = Reader(self.proc.pid)
        self.state: dict = {}

    def step(self, *cmd: str) -> dict:
        assert self.proc.stdin is not None and self.proc.stdout is not None
        self.proc.stdin.write(json.dumps(cmd, ensure_ascii=False) + "\n")
        self.proc.stdin.flush()
        line = self.proc.stdout.readline()
        if not line:
            raise Failure(f"the tour ended at {list(cmd)} (status {self.proc.wait()})")
        self.state = json.loads(line)
        return self.state

    def scene(self, name: str) -> dict:
        return next(sc for sc in self.state["scenes"] if sc["name"] == name)

    def matches(self, what: str, timeout: float = 10) -> list[Node]:
        """Waits until the showing windows on the bus are the model's; returns them."""
        wanted = [self.expect.frame(sc) for sc in self.state["scenes"] if sc["shown"]]
        last = ""

        def same():
            nonlocal last
            got = self.reader.windows()
            frames = [w for w in got if w.role == "frame"]
            alerts = [w for w in got if w.role == "alert"]
            if self.state["box"] is None and alerts:
                last = f"an alert is on the bus with no box open: {alerts[0].show()}"
                return None
            if self.state["box"] is not None:
                if [(a.name, a.description) for a in alerts] != [(BOX_TITLE, self.state["box"])]:
                    last = f"the box {self.state['box']!r} is not the one alert: {[a.show() for a in alerts]}"
                    return None
            if len(frames) != len(wanted):
                last = f"{len(frames)} windows on the bus, the model shows {len(wanted)}"
                return None
            for w, g in zip(wanted, frames):
                d = difference(w, g, what)
                if d:
                    last = d + "\n" + g.show()
                    return None
            return got

        try:
            got = self.reader.wait(same, timeout, what)
        except TimeoutError:
            raise Failure(f"{what}: the bus does not show what the model does:\n{last}") from None
        self.s.log(f"{what}: the bus shows what the model does")
        return got

    def heard(self, what: str, pred, timeout: float = 5) -> None:
        try:
            self.reader.wait(lambda: self.reader.heard(pred), timeout, what)
        except TimeoutError:
            raise Failure(f"no event told of {what}; heard {[e.type for e in self.reader.events][-20:]}") from None


def every_scene(t: Tour) -> None:
    for name in SCENES:
        t.step("show", name)
        if name == "Form1":
            t.step("set", "Form1", "Timer1", "interval", "0")  # no hand-over while it is read
        while t.state["box"] is not None:  # a scene that asks something as it loads
            t.matches(f"{name}'s box {t.state['box']!r}")
            t.step("ok")
        t.matches(name)
        t.step("unload", name)


def changes(t: Tour) -> None:
    # Form1's title, as a new user would check it.
    t.step("show", "Form1")
    t.step("set", "Form1", "Timer1", "interval", "0")
    got = t.matches("Form1")
    if find(got, lambda n: n.role == "label" and n.name == "ボトロンゲーム　　2001") is None:
        raise Failure("Form1's title label does not read ボトロンゲーム　　2001")
    t.step("unload", "Form1")

    # The maze: "開始" shows the walls and the goal, and goes itself.
    t.step("show", "Form3")
    t.matches("Form3 waiting")
    t.reader.events.clear()
    t.step("click", "Form3", "Command1")
    t.matches("Form3 running")
    came = [c for c in t.scene("Form3")["controls"] if c["container"] is None and c["exposed"]
            and c["kind"] in ROLES and c["name"] not in ("Label1",)]
    t.heard("the walls and the goal coming in", lambda e: e.type == "object:children-changed:add" and e.role == "frame")
    t.heard("開始 going", lambda e: e.type == "object:children-changed:remove" and e.role == "frame")
    adds = t.reader.heard(lambda e: e.type == "object:children-changed:add" and e.role == "frame")
    if len(adds) < len(came):
        raise Failure(f"{len(came)} controls came into the maze, {len(adds)} children-changed:add were heard")
    # A wall touched: the box, then a fresh maze.
    t.step("move", "Form3", "Picture1")
    t.matches("the box over the maze")
    t.step("ok")
    t.matches("Form3 rebuilt")
    t.step("unload", "Form3")

    # The draw sets the number buttons' captions.
    t.step("show", "Form12")
    t.matches("Form12")
    t.reader.events.clear()
    t.step("set", "Form12", "Command2", "caption", "1")
    t.step("set", "Form12", "Command3", "caption", "5")
    t.matches("Form12 after the draw")
    for caption in ("1", "5"):
        t.heard(f"the button renamed {caption}", lambda e, c=caption: e.type.startswith(
            "object:property-change:accessible-name") and e.role == "push button" and e.name == c)
    t.step("unload", "Form12")

    # The water level: the display's text, and the bottle shown with the box.
    t.step("show", "Form10")
    t.matches("Form10")
    t.reader.events.clear()
    t.step("set", "Form10", "Text1", "text", "9.9")
    t.heard("the display's new text", lambda e: e.type == "object:text-changed:insert" and e.data == "9.9")
    t.matches("Form10 reading 9.9")
    t.step("click", "Form10", "Command2")
    t.matches("Form10 stopped at 9.9, with its box")
    t.heard("the bottle shown", lambda e: e.type.startswith("object:property-change:accessible-name")
            and e.role == "image" and e.name != "")
    t.step("ok")
    t.matches("Form10 ready for the next start")
    t.step("unload", "Form10")

    # A label's caption set at run time.
    t.step("show", "Form2")
    t.reader.events.clear()
    t.step("set", "Form2", "Label1", "caption", "進入します。")
    t.heard("the label renamed", lambda e: e.type.startswith("object:property-change:accessible-name")
            and e.role == "label" and e.name == "進入します。")
    got = t.matches("Form2 with a new instruction")
    if find(got, lambda n: n.role == "push button" and n.name == "進入！！") is None:
        raise Failure("Form2 has no button 進入！！")
    t.step("unload", "Form2")


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--tour", required=True, help="the tour program (build/tests/e2e/botoron_tour)")
    ap.add_argument("--assets", required=True, help="the assets folder, for the pictures' descriptions")
    ap.add_argument("--shots", required=True, help="folder for the logs and the screen on failure")
    ap.add_argument("--displays", default=os.environ.get("BOTORON_E2E_DISPLAYS", "60-69"),
                    help="X display numbers to choose a free one from (default $BOTORON_E2E_DISPLAYS or 60-69)")
    args = ap.parse_args()
    args.game, args.play = args.tour, "a11y-tour"
    status = bus.relaunch(args)
    if status is not None:
        return status

    outdir = Path(args.shots) / "a11y-tour"
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir(parents=True)
    first, _, last = args.displays.partition("-")
    s = Session(str(Path(args.tour).resolve()), outdir, range(int(first), int(last or first) + 1))

    def ended_from_outside(signum, _frame):
        raise Failure(f"stopped by signal {signum}")

    signal.signal(signal.SIGTERM, ended_from_outside)
    ok = False
    try:
        s.start_x()
        bus.start_accessibility_bus(s.env)
        t = Tour(s, args.tour, descriptions(Path(args.assets)))
        every_scene(t)
        changes(t)
        ok = True
    except Exception as e:  # noqa: BLE001 - every failure is reported the same way
        print(f"FAILED: tour: {e}", file=sys.stderr)
        if not isinstance(e, Failure):
            traceback.print_exc()
        if s.display:
            s.save_screen("failure-screen.png")
    finally:
        s.stop()
    if not ok:
        print(f"logs left in {outdir}", file=sys.stderr)
        return 1
    s.log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
