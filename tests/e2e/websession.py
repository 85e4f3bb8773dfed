"""A real browser session for the end-to-end plays: headless chromium and the page.

The page is served from its build folder (cdp.Server) and opened in a headless
chromium of its own (cdp.Browser). Input goes through the browser's own input
path, as from a mouse and a keyboard: the DevTools protocol's pointer moves,
presses and releases, key presses and text insertion. Windows are read from the
page the way the X11 plays read xwininfo: each scene's element, its caption and
its client rectangle, each message box; nothing is clicked, set or called in
the page. What the player sees comes from the browser's screenshots.

A scene's window is told by its caption (and the untitled scenes by their
client sizes), exactly as under X11; the scene the page says it is must agree,
or the play fails on the spot.
"""

from __future__ import annotations

import base64
import io
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, TypeVar

from PIL import Image

import cdp
import xsession
from xsession import BOX_TITLE, Failure

T = TypeVar("T")
VIEWPORT = (1280, 1024)
TWIPS_PER_PIXEL = 15


@dataclass
class Window(xsession.Window):
    name: str = ""       # the scene the page says the element shows; "" for a message box
    state: str = ""      # normal, minimized or maximized
    close_box: tuple[float, float, float, float] = (0, 0, 0, 0)  # the close box, page coordinates
    prompt: str = ""     # a message box's prompt
    buttons: tuple[str, ...] = ()
    role: str = ""


# The windows as the page lays them out: read only.
LOOK = "[...document.querySelectorAll('.form, .msgbox')]"
DESCRIBE = r"""function () {
  const rect = e => { if (!e) return null; const b = e.getBoundingClientRect(); return [b.left, b.top, b.width, b.height]; };
  const shown = e => !!e && e.checkVisibility({visibilityProperty: true});
  return this.map(e => {
    const box = e.classList.contains('msgbox');
    const caption = e.querySelector('.caption');
    const client = box ? null : e.querySelector('.client');
    const o = e.getBoundingClientRect();
    let inner = rect(client);
    if (box) {  // a box's client area: inside its border, below its caption
      const top = caption ? caption.getBoundingClientRect().bottom : o.top + e.clientTop;
      inner = [o.left + e.clientLeft, top, e.clientWidth, o.top + e.clientTop + e.clientHeight - top];
    }
    return {
      box, scene: e.dataset.scene || '', state: e.dataset.state || '',
      caption: caption ? caption.textContent : null,
      outer: rect(e), client: inner, close: rect(e.querySelector('.close')),
      shown: shown(e), clientShown: shown(client),
      role: e.getAttribute('role') || '',
      prompt: box ? (e.querySelector('.prompt')?.textContent ?? '') : '',
      buttons: box ? [...e.querySelectorAll('button')].map(b => b.textContent.trim()) : [],
    };
  });
}"""
GAME = "document.documentElement?.dataset.game || ''"


class WebSession(xsession.Shots):
    """One static server, one headless chromium and the page in it."""

    what = "page"  # what save_screen saves, for the log

    def __init__(self, page_dir: Path, outdir: Path, compress: bool = False):
        self.page_dir = Path(page_dir)
        self.compress = compress
        self.outdir = outdir
        self.server: cdp.Server | None = None
        self.browser: cdp.Browser | None = None
        self.page: cdp.Page | None = None
        self.proc = None  # no program of its own: the page is the game
        self.shot_no = 0
        self.t0 = time.monotonic()
        self.pointer = (0, 0)
        self.last_click = (0.0, (-99, -99), 0)  # time, place and count of the last click
        self.errors: list[str] = []
        self.page_log = None
        self.on_scene: Callable[[Window], None] | None = None  # told of every scene window waited for

    # ---- lifecycle ----------------------------------------------------------

    def log(self, msg: str) -> None:
        print(f"[{time.monotonic() - self.t0:7.3f}] {msg}", flush=True)

    def start(self) -> None:
        if not (self.page_dir / "index.html").is_file():
            raise Failure(f"no page in {self.page_dir}: build it first (scripts/web --build-only)")
        self.server = cdp.Server(self.page_dir, self.compress).__enter__()
        self.browser = cdp.Browser(self.outdir / "chromium.log", VIEWPORT, preexec=xsession.child_setup)
        self.log(f"{self.browser.version()} on DevTools port {self.browser.port}; page served at {self.server.url}")
        self.page = self.browser.page()
        self.page_log = open(self.outdir / "page.log", "w", encoding="utf-8")
        self.page.listeners.append(self._page_event)
        for method in ("Page.enable", "Runtime.enable", "Network.enable"):
            self.page.call(method)
        # A desktop-sized page at one device pixel per CSS pixel, in a browser window that has the focus.
        self.page.call("Emulation.setDeviceMetricsOverride", width=VIEWPORT[0], height=VIEWPORT[1],
                       deviceScaleFactor=1, mobile=False)
        self.page.call("Emulation.setFocusEmulationEnabled", enabled=True)
        self.open()

    def open(self) -> None:
        assert self.page is not None and self.server is not None
        self.page.call("Page.navigate", url=self.server.url)
        self.log(f"opened {self.server.url}")

    def _page_event(self, msg: dict) -> None:
        method, params = msg["method"], msg.get("params", {})
        if method == "Runtime.exceptionThrown":
            text = cdp.describe_exception(params.get("exceptionDetails", {}))
            self.errors.append(text)
            self.page_log.write(f"uncaught: {text}\n")
        elif method == "Runtime.consoleAPICalled":
            args = " ".join(str(a.get("value", a.get("description", ""))) for a in params.get("args", []))
            self.page_log.write(f"console.{params.get('type')}: {args}\n")
        self.page_log.flush()

    def stop(self) -> None:
        if self.page is not None:
            self.page.close()
        if self.browser is not None:
            self.browser.close()
        if self.server is not None:
            self.server.__exit__()
        if self.page_log is not None:
            self.page_log.close()

    def game(self) -> str:
        assert self.page is not None
        return self.page.evaluate(GAME)

    def wait_exit(self, timeout: float = 10) -> int:
        """Waits for the page to say the game is over and to offer another; 0 then."""
        try:
            self.wait(lambda: self.game() == "ended", timeout, "the page to say the game is over", ended_ok=True)
        except Failure as e:
            raise Failure(f"the program did not end within {timeout} s") from e
        self.wait(self.again_offered, 5, "the page to offer to play again", ended_ok=True)
        self.log("the page says the game is over and offers another")
        return 0

    def again_offered(self) -> tuple[float, float, float, float] | None:
        """Where the page's "play again" is, once it is shown."""
        assert self.page is not None
        return self.page.evaluate(
            "(() => { const a = document.getElementById('again'); if (!a || !a.checkVisibility()) return null;"
            " const b = a.getBoundingClientRect(); return b.width > 0 ? [b.left, b.top, b.width, b.height] : null; })()")

    def running(self) -> bool:
        return self.browser is not None and self.browser.running() and self.game() != "ended"

    # ---- waiting ------------------------------------------------------------

    def wait(self, cond: Callable[[], T], timeout: float, what: str, every: float = 0.03,
             ended_ok: bool = False) -> T:
        """Polls `cond` until it returns something true; fails after `timeout` seconds,
        at once if the page throws, and once the game is over if it still does not hold."""
        deadline = time.monotonic() + timeout
        while True:
            value = cond()
            if value:
                return value
            self.check_page()
            if not ended_ok and self.game() == "ended":
                value = cond()
                if value:
                    return value
                raise Failure(f"the game ended while waiting for {what}")
            if time.monotonic() > deadline:
                raise Failure(f"timed out after {timeout} s waiting for {what}")
            assert self.page is not None
            self.page.pump(every)

    def check_page(self) -> None:
        if self.browser is not None and not self.browser.running():
            raise Failure(f"chromium ended (status {self.browser.proc.returncode})")
        if self.errors:
            raise Failure(f"the page threw: {self.errors[0]}")

    # ---- the page's windows -------------------------------------------------

    def windows(self, viewable_only: bool = True) -> list[Window]:
        """Every window on the page, in document order. A minimized scene is not
        viewable (its client area is not shown), as under X11."""
        assert self.page is not None
        page = self.page
        found = page.call("Runtime.evaluate", expression=LOOK, objectGroup="look")["result"]
        try:
            infos = page.call("Runtime.callFunctionOn", objectId=found["objectId"], functionDeclaration=DESCRIBE,
                              returnByValue=True)["result"]["value"]
            props = page.call("Runtime.getProperties", objectId=found["objectId"], ownProperties=True)["result"]
            ids = {int(p["name"]): page.call("DOM.describeNode", objectId=p["value"]["objectId"])["node"]["backendNodeId"]
                   for p in props if p["name"].isdigit()}
        finally:
            page.call("Runtime.releaseObjectGroup", objectGroup="look")
        out = []
        for i, info in enumerate(infos):
            w = self._window(ids[i], info)
            if w is not None and (w.viewable or not viewable_only):
                out.append(w)
        return out

    def _window(self, wid: int, info: dict) -> Window | None:
        if not info["shown"] or info["outer"] is None:
            return None
        ox, oy, ow, oh = info["outer"]
        viewable = info["box"] or (info["clientShown"] and info["client"] is not None and info["client"][2] > 0)
        cx, cy, cw, ch = info["client"] if viewable else (ox, oy, 0, 0)
        x, y, w, h = round(cx), round(cy), round(cw), round(ch)
        frame = (x - round(ox), round(ox + ow) - x - w, y - round(oy), round(oy + oh) - y - h)
        win = Window(wid, info["caption"] if info["caption"] is not None else "", x, y, w, h, viewable, frame,
                     frozenset({info["state"]}) if info["state"] else frozenset(),
                     "" if info["box"] else info["scene"], info["state"], tuple(info["close"] or (0, 0, 0, 0)),
                     info["prompt"], tuple(info["buttons"]), info["role"])
        if info["box"]:
            if win.title != BOX_TITLE or win.role != "alertdialog" or win.buttons != ("OK",):
                raise Failure(f"a message box is captioned {win.title!r} with role {win.role!r} and buttons "
                              f"{list(win.buttons)}, not {BOX_TITLE!r}, alertdialog and one OK")
        elif viewable and win.scene() != win.name:
            raise Failure(f"the window of {win.name} is captioned {win.title!r} with a client area of {w}x{h}: "
                          f"a player would take it for {win.scene() or 'no scene'}")
        return win

    def scenes(self) -> dict[str, Window]:
        return {s: w for w in self.windows() if (s := w.scene()) is not None}

    def boxes(self) -> list[Window]:
        return [w for w in self.windows() if w.title == BOX_TITLE]

    def wait_scene(self, name: str | tuple[str, ...], timeout: float = 10, other_than: int | None = None) -> Window:
        """The window of a scene, or of whichever of several scenes comes."""
        names = (name,) if isinstance(name, str) else name

        def found():
            scenes = self.scenes()
            w = next((scenes[n] for n in names if n in scenes), None)
            return w if w is not None and w.id != other_than else None

        w = self.wait(found, timeout, f"the window of {' or '.join(names)}")
        self.log(f"{w.scene()} is on the page: client {w.w}x{w.h} at +{w.x}+{w.y} ({w.state})")
        if self.on_scene is not None:
            self.on_scene(w)
        return w

    def wait_gone(self, win: Window, timeout: float = 10) -> None:
        self.wait(lambda: all(w.id != win.id for w in self.windows()), timeout,
                  f"the window of {win.scene() or win.title!r} to go", ended_ok=True)

    def wait_box(self, timeout: float = 10) -> Window:
        box = self.wait(lambda: (self.boxes() or [None])[0], timeout, "a message box")
        self.log(f"message box on the page ({box.w}x{box.h}): {box.prompt!r}")
        return box

    # ---- screen -------------------------------------------------------------

    def capture(self, box: tuple[int, int, int, int] | None = None) -> Image.Image:
        """A screenshot of the page, or of a rectangle (x0, y0, x1, y1) of it, in CSS pixels."""
        assert self.page is not None
        x0, y0, x1, y1 = box or (0, 0, *VIEWPORT)
        x0, y0 = max(x0, 0), max(y0, 0)
        x1, y1 = min(x1, VIEWPORT[0]), min(y1, VIEWPORT[1])
        if x1 <= x0 or y1 <= y0:
            raise Failure(f"nothing of {box} is on the page")
        r = self.page.call("Page.captureScreenshot", format="png",
                           clip={"x": x0, "y": y0, "width": x1 - x0, "height": y1 - y0, "scale": 1})
        return Image.open(io.BytesIO(base64.b64decode(r["data"]))).convert("RGB")

    def grab(self, win: Window | None = None) -> Image.Image:
        """The whole page, or one window's client area."""
        if win is None:
            return self.capture()
        return self.capture((win.x, win.y, win.x + win.w, win.y + win.h))

    def client(self, win: Window, screen: Image.Image | None = None) -> Image.Image:
        if screen is None:
            return self.grab(win)
        return screen.crop((win.x, win.y, win.x + win.w, win.y + win.h))

    def grab_frame(self, win: Window) -> tuple[Image.Image, Image.Image]:
        """The window with its frame, and its client area cut from the same shot."""
        x0, y0, x1, y1 = win.frame_box()
        x0, y0 = max(x0, 0), max(y0, 0)
        framed = self.capture((x0, y0, x1, y1))
        left, top = win.x - x0, win.y - y0
        return framed, framed.crop((left, top, left + win.w, top + win.h))

    # ---- input --------------------------------------------------------------

    def _mouse(self, kind: str, x: int, y: int, **extra) -> None:
        assert self.page is not None
        self.page.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, **extra)

    def move_to(self, x: float, y: float) -> None:
        """Moves the pointer to a point of the page."""
        self.pointer = (round(x), round(y))
        self._mouse("mouseMoved", *self.pointer, button="none", buttons=0)

    def move(self, win: Window, x: float, y: float) -> None:
        """Moves the pointer to a pixel of a window's client area."""
        self.move_to(win.x + round(x), win.y + round(y))

    def move_tw(self, win: Window, x_tw: float, y_tw: float) -> None:
        self.move(win, x_tw / TWIPS_PER_PIXEL, y_tw / TWIPS_PER_PIXEL)

    def click(self) -> None:
        """A left click where the pointer is. A second click soon after at the same
        place is the second of a double click, as a mouse's would be."""
        now = time.monotonic()
        at, where, count = self.last_click
        count = 2 if count == 1 and now - at < 0.5 and where == self.pointer else 1
        self.last_click = (now, self.pointer, count)
        self._mouse("mousePressed", *self.pointer, button="left", buttons=1, clickCount=count)
        self._mouse("mouseReleased", *self.pointer, button="left", buttons=0, clickCount=count)

    def click_at(self, x: float, y: float) -> None:
        self.move_to(x, y)
        self.click()

    def click_tw(self, win: Window, x_tw: float, y_tw: float) -> None:
        """Moves the pointer to a point of the client area given in twips and clicks there."""
        self.click_at(win.x + int(x_tw / TWIPS_PER_PIXEL), win.y + int(y_tw / TWIPS_PER_PIXEL))

    def click_centre(self, win: Window, left: float, top: float, width: float, height: float) -> None:
        self.click_tw(win, left + width / 2, top + height / 2)

    def click_repeat(self, count: int, delay: float) -> None:
        """`count` clicks where the pointer is, `delay` seconds apart."""
        for _ in range(count):
            self.click()
            time.sleep(delay)

    def walk(self, win: Window, points: list[tuple[float, float]], step: float = 3, pause: float = 0.004) -> None:
        """Moves the pointer along straight segments between pixel points, in small steps."""
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            n = max(1, int(max(abs(x1 - x0), abs(y1 - y0)) / step))
            for i in range(1, n + 1):
                self.move(win, x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n)
                time.sleep(pause)

    def drag(self, start: tuple[float, float], end: tuple[float, float], steps: int = 10) -> None:
        """Presses the left button at `start`, moves to `end` and lets go there."""
        self.move_to(*start)
        self._mouse("mousePressed", *self.pointer, button="left", buttons=1, clickCount=1)
        (x0, y0), (x1, y1) = start, end
        for i in range(1, steps + 1):
            self.pointer = (round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps))
            self._mouse("mouseMoved", *self.pointer, button="left", buttons=1)
            time.sleep(0.01)
        self._mouse("mouseReleased", *self.pointer, button="left", buttons=0, clickCount=1)
        self.last_click = (0.0, (-99, -99), 0)

    KEYS = {"Return": ("Enter", "Enter", 13, "\r"), "Escape": ("Escape", "Escape", 27, "")}

    def key(self, name: str) -> None:
        """Presses and releases one key: Return or Escape."""
        assert self.page is not None
        key, code, vk, text = self.KEYS[name]
        self.page.call("Input.dispatchKeyEvent", type="keyDown", key=key, code=code, windowsVirtualKeyCode=vk,
                       nativeVirtualKeyCode=vk, text=text, unmodifiedText=text)
        self.page.call("Input.dispatchKeyEvent", type="keyUp", key=key, code=code, windowsVirtualKeyCode=vk,
                       nativeVirtualKeyCode=vk)

    def type_text(self, text: str, delay: float = 0.03) -> None:
        """Types text as a keyboard does, one key a character; what no key of a
        US keyboard gives is committed as an input method would."""
        assert self.page is not None
        for ch in text:
            if " " <= ch <= "~":
                vk = ord(ch.upper()) if ch.isalnum() else (32 if ch == " " else 0)
                code = f"Key{ch.upper()}" if ch.isalpha() else f"Digit{ch}" if ch.isdigit() else (
                    "Space" if ch == " " else "")
                self.page.call("Input.dispatchKeyEvent", type="keyDown", key=ch, code=code, text=ch,
                               unmodifiedText=ch, windowsVirtualKeyCode=vk)
                self.page.call("Input.dispatchKeyEvent", type="keyUp", key=ch, code=code, windowsVirtualKeyCode=vk)
            else:
                self.page.call("Input.insertText", text=ch)
            time.sleep(delay)

    def close_box(self, box: Window) -> None:
        """Presses Return (the box's OK is its default) and waits for the box to go."""
        self.key("Return")
        try:
            self.wait_gone(box, 3)
        except Failure as e:
            raise Failure(f"Return did not close the message box {box.prompt!r}") from e

    def close_window(self, win: Window) -> None:
        """Closes a window as a player does: a click on its close box."""
        x, y, w, h = win.close_box
        if w <= 0 or h <= 0:
            raise Failure(f"the window of {win.scene()} has no close box")
        self.click_at(x + w / 2, y + h / 2)
        self.wait_gone(win, 5)


def tools_missing() -> list[str]:
    return cdp.browser_missing()
