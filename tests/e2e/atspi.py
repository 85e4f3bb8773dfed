"""What a screen reader finds of the game: its tree on the accessibility bus, read
with pyatspi as Orca would read it, and the events that tell of changes.

pyatspi is imported only when a reader is made: it needs the session bus that the
play runs in (bus.py), which does not exist before.
"""

from __future__ import annotations

import time
from dataclasses import dataclass, field
from typing import Callable, TypeVar

T = TypeVar("T")

# What each kind of control is to a screen reader.
ROLES = {"Label": "label", "CommandButton": "push button", "TextBox": "text", "PictureBox": "image"}


@dataclass
class Node:
    role: str
    name: str
    description: str = ""
    text: str | None = None      # a text box's text
    states: frozenset[str] | None = frozenset()  # in an expected tree, None: any
    children: list["Node"] = field(default_factory=list)

    def show(self, depth: int = 0) -> str:
        text = f" text={self.text!r}" if self.text is not None else ""
        desc = f" description={self.description!r}" if self.description else ""
        line = f"{'  ' * depth}{self.role} {self.name!r}{desc}{text} [{' '.join(sorted(self.states or ()))}]"
        return "\n".join([line, *(c.show(depth + 1) for c in self.children)])


@dataclass
class Event:
    type: str
    role: str
    name: str
    detail: int
    data: str | None


class Reader:
    """The tree and the events of one program, found by its process id."""

    # As a screen reader listens: Qt sends a child's going only to those who also
    # listen for changes of state.
    EVENTS = ("object:children-changed", "object:property-change:accessible-name",
              "object:property-change:accessible-description", "object:text-changed",
              "object:state-changed:showing")

    def __init__(self, pid: int):
        import pyatspi
        from gi.repository import GLib

        self.pyatspi = pyatspi
        self.context = GLib.MainContext.default()
        self.pid = pid
        self.events: list[Event] = []
        self._listener = self._heard  # pyatspi keys listeners by the callable
        pyatspi.Registry.registerEventListener(self._listener, *self.EVENTS)

    def close(self) -> None:
        self.pyatspi.Registry.deregisterEventListener(self._listener, *self.EVENTS)

    def _heard(self, ev) -> None:
        if getattr(ev.host_application, "get_process_id", lambda: None)() not in (self.pid, None):
            return
        try:
            role, name = ev.source.getRoleName(), ev.source.name or ""
        except Exception:  # noqa: BLE001 - the source may be gone already
            role, name = "", ""
        data = ev.any_data if isinstance(ev.any_data, str) else None
        self.events.append(Event(ev.type, role, name, ev.detail1, data))

    def pump(self, seconds: float = 0.0) -> None:
        """Lets pyatspi take in what the bus has delivered (events, cache updates)."""
        end = time.monotonic() + seconds
        while True:
            while self.context.iteration(False):
                pass
            if time.monotonic() >= end:
                return
            time.sleep(0.02)

    def app(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            try:
                if a is not None and a.get_process_id() == self.pid:
                    return a
            except Exception:  # noqa: BLE001 - an application that left meanwhile
                continue
        return None

    def node(self, acc) -> Node:
        p = self.pyatspi
        states = acc.getState()
        names = frozenset(name for state, name in ((p.STATE_VISIBLE, "visible"), (p.STATE_SHOWING, "showing"),
                                                   (p.STATE_FOCUSED, "focused")) if states.contains(state))
        role = acc.getRoleName()
        text = None
        if role == "text":
            t = acc.queryText()
            text = t.getText(0, t.characterCount)
        kids = [acc.getChildAtIndex(i) for i in range(acc.childCount)]
        return Node(role, acc.name or "", acc.description or "", text, names,
                    [self.node(k) for k in kids if k is not None])

    def windows(self) -> list[Node]:
        """The program's windows that are on the screen (frames and alerts), as nodes."""
        self.pump()
        a = self.app()
        if a is None:
            return []
        out = []
        for i in range(a.childCount):
            w = a.getChildAtIndex(i)
            if w is not None and w.getState().contains(self.pyatspi.STATE_SHOWING):
                out.append(self.node(w))
        return out

    def wait(self, cond: Callable[[], T], timeout: float, what: str) -> T:
        """Polls `cond` (pumping the bus) until it returns something true."""
        deadline = time.monotonic() + timeout
        while True:
            self.pump()
            try:
                value = cond()
            except Exception:  # noqa: BLE001 - an object that went away while read
                value = None
            if value:
                return value
            if time.monotonic() > deadline:
                raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
            time.sleep(0.05)

    def heard(self, pred: Callable[[Event], bool]) -> list[Event]:
        self.pump()
        return [e for e in self.events if pred(e)]


def find(nodes: list[Node], pred: Callable[[Node], bool]) -> Node | None:
    """The first node, depth first, that `pred` accepts."""
    for n in nodes:
        if pred(n):
            return n
        hit = find(n.children, pred)
        if hit is not None:
            return hit
    return None
