"""A real X session for the end-to-end plays: Xvfb, openbox and the game.

Everything here talks to the X server from outside the program: windows are
found by their titles and client sizes (xprop, xwininfo), input is sent through
the X server (xdotool, which uses XTEST), and what the player sees is read from
screenshots (ImageMagick's `import`). Nothing reaches inside the game.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import io
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Iterable, TypeVar

from PIL import Image

TWIPS_PER_PIXEL = 15
BOX_TITLE = "ボトロンゲーム2001"
SCREEN = (1280, 1024)

# The three scenes without a caption carry a single blank as their title; they
# are told apart by their client sizes in pixels.
UNTITLED = {"Form3": (397, 447), "Form10": (396, 325), "Form12": (406, 110)}

T = TypeVar("T")


class Failure(Exception):
    """A play did not see what it expected."""


def px(twips: float) -> int:
    """Twips to the pixel the program places them at (15 twips a pixel, rounded)."""
    return int(twips / TWIPS_PER_PIXEL + 0.5)


@dataclass
class Window:
    id: int
    title: str
    x: int  # client area, root coordinates
    y: int
    w: int
    h: int
    viewable: bool
    frame: tuple[int, int, int, int] = (0, 0, 0, 0)  # left, right, top, bottom
    states: frozenset[str] = field(default_factory=frozenset)

    @property
    def size(self) -> tuple[int, int]:
        return (self.w, self.h)

    def frame_box(self) -> tuple[int, int, int, int]:
        left, right, top, bottom = self.frame
        return (self.x - left, self.y - top, self.x + self.w + right, self.y + self.h + bottom)

    def scene(self) -> str | None:
        """The scene this window shows, judged from the title and size alone."""
        if self.title == BOX_TITLE:
            return None
        if self.title.strip() == "":
            for name, size in UNTITLED.items():
                if self.size == size:
                    return name
            return None
        return self.title if self.title.startswith("Form") else None


def _unquote(s: str) -> str:
    """Decodes xprop's quoted string (octal escapes for bytes it will not print)."""
    s = s.strip()
    if len(s) >= 2 and s[0] == '"' and s[-1] == '"':
        s = s[1:-1]
    out = bytearray()
    i = 0
    raw = s.encode("utf-8", "surrogateescape")
    while i < len(raw):
        c = raw[i]
        if c == 0x5C and i + 1 < len(raw):  # backslash
            nxt = raw[i + 1 : i + 4]
            if len(nxt) == 3 and all(0x30 <= b <= 0x37 for b in nxt):
                out.append(int(nxt.decode(), 8))
                i += 4
                continue
            out.append(raw[i + 1])
            i += 2
            continue
        out.append(c)
        i += 1
    return out.decode("utf-8", "replace")


class Shots:
    """The numbered screenshots of a play, for any session that can grab the
    screen, wait and log (X11, Wayland, the browser)."""

    what = "screen"  # what save_screen saves, for the log

    def framed_and_client(self, win: Window | None) -> tuple[Image.Image, Image.Image]:
        """The window with its frame, and its client area, from one shot."""
        return self.grab_frame(win) if win is not None else (self.grab(),) * 2

    def shot(self, name: str, win: Window | None = None,
             ready: Callable[[Image.Image], bool] | None = None, timeout: float = 5) -> Image.Image:
        """Saves what the player sees of `win` (with its frame) as NN-name.png.

        Waits until the client area is painted: `ready` holds for it, or, without
        a `ready`, two screenshots in a row agree and show more than a few colours.
        Returns the client area."""
        last: Image.Image | None = None

        def painted():
            nonlocal last
            framed, cl = self.framed_and_client(win)
            if ready is not None:
                ok = ready(cl)
            else:
                ok = last is not None and cl.tobytes() == last.tobytes() and colours(cl) > 4
            last = cl
            return (framed, cl) if ok else None

        framed, cl = self.wait(painted, timeout, f"{name} to be drawn", every=0.05)
        self.save(name, framed)
        return cl

    def save(self, name: str, img: Image.Image) -> Path:
        """Saves a picture as the next numbered shot of the play."""
        self.shot_no += 1
        path = self.outdir / f"{self.shot_no:02d}-{name}.png"
        img.save(path)
        self.log(f"saved {path.name}")
        return path

    def save_screen(self, name: str) -> Path:
        path = self.outdir / name
        try:
            self.grab().save(path)
        except Exception as e:  # noqa: BLE001 - best effort on the way out
            self.log(f"could not save the {self.what}: {e}")
        return path


class Session(Shots):
    """One X server with a window manager and one run of the game in it."""

    def __init__(self, game: str, outdir: Path, displays: Iterable[int]):
        self.game = game
        self.outdir = outdir
        self.displays = list(displays)
        self.xvfb: subprocess.Popen | None = None
        self.wm: subprocess.Popen | None = None
        self.proc: subprocess.Popen | None = None
        self.display = ""
        self.env: dict[str, str] = {}
        self.shot_no = 0
        self.log_files: list = []
        self.t0 = time.monotonic()
        self.xlib: XScreen | None = None
        self.tmp = ""

    # ---- lifecycle ----------------------------------------------------------

    def log(self, msg: str) -> None:
        print(f"[{time.monotonic() - self.t0:7.3f}] {msg}", flush=True)

    def _logfile(self, name: str):
        f = open(self.outdir / name, "wb")
        self.log_files.append(f)
        return f

    def start_x(self) -> None:
        self.tmp = tempfile.mkdtemp(prefix="botoron-e2e-")
        runtime = Path(self.tmp) / "runtime"
        runtime.mkdir(mode=0o700)
        xdg = Path(self.tmp) / "xdg-config"  # so no openbox or Qt settings of this machine's user apply
        xdg.mkdir()
        for n in self.displays:
            if _display_taken(n):
                continue
            rfd, wfd = os.pipe()
            log = self._logfile(f"xvfb-{n}.log")
            proc = subprocess.Popen(
                ["Xvfb", f":{n}", "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp",
                 "-noreset", "-displayfd", str(wfd)],
                stdout=log, stderr=subprocess.STDOUT, pass_fds=(wfd,), preexec_fn=child_setup)
            os.close(wfd)
            got = b""
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline and proc.poll() is None and not got.endswith(b"\n"):
                ready, _, _ = select.select([rfd], [], [], 0.1)
                if ready:
                    chunk = os.read(rfd, 64)
                    if not chunk:
                        break
                    got += chunk
            os.close(rfd)
            if got.strip() == str(n).encode() and proc.poll() is None:
                self.xvfb = proc
                self.display = f":{n}"
                break
            stop_process(proc)
        if self.xvfb is None:
            raise Failure(f"no free X display among :{self.displays[0]}..:{self.displays[-1]}")
        self.env = dict(os.environ)
        for k in ("WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_QPA_PLATFORM",
                  "QT_FONT_DPI", "XAUTHORITY"):
            self.env.pop(k, None)
        self.env.update(DISPLAY=self.display, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=str(runtime),
                        XDG_CONFIG_HOME=str(xdg), LC_ALL="C.UTF-8", QT_AUTO_SCREEN_SCALE_FACTOR="0")
        self.log(f"Xvfb on {self.display}")
        self.xlib = XScreen.open(self.display)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdout=self._logfile("openbox.log"),
                                   stderr=subprocess.STDOUT, preexec_fn=child_setup)
        self.wait(lambda: "window id" in self.xprop_root("_NET_SUPPORTING_WM_CHECK"), 15, "openbox to manage the screen")
        self.log("openbox is running")

    def start_game(self, args: list[str] | None = None) -> None:
        self.proc = subprocess.Popen([self.game, *(args or [])], env=self.env, stdin=subprocess.DEVNULL,
                                     stdout=self._logfile("game.stdout"), stderr=self._logfile("game.stderr"),
                                     preexec_fn=child_setup)
        self.log(f"started {' '.join([self.game, *(args or [])])} (pid {self.proc.pid})")

    def stop(self) -> None:
        if self.xlib is not None:
            self.xlib.close()
            self.xlib = None
        for p in (self.proc, self.wm, self.xvfb):
            if p is not None:
                stop_process(p)
        for f in self.log_files:
            f.close()
        if self.tmp:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def wait_exit(self, timeout: float = 10) -> int:
        assert self.proc is not None
        try:
            rc = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired as e:
            raise Failure(f"the program did not end within {timeout} s") from e
        self.log(f"the program ended with status {rc}")
        return rc

    def running(self) -> bool:
        return self.proc is not None and self.proc.poll() is None

    # ---- waiting ------------------------------------------------------------

    def wait(self, cond: Callable[[], T], timeout: float, what: str, every: float = 0.03) -> T:
        """Polls `cond` until it returns something true; fails after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            value = cond()
            if value:
                return value
            if self.proc is not None and self.proc.poll() is not None:
                # The program is gone: nothing will change any more.
                value = cond()
                if value:
                    return value
                raise Failure(f"the program ended (status {self.proc.returncode}) while waiting for {what}")
            if time.monotonic() > deadline:
                raise Failure(f"timed out after {timeout} s waiting for {what}")
            time.sleep(every)

    # ---- X queries ----------------------------------------------------------

    def _run(self, *args: str, timeout: float = 10) -> subprocess.CompletedProcess:
        return subprocess.run(args, env=self.env, capture_output=True, timeout=timeout)

    def xprop_root(self, prop: str) -> str:
        return self._run("xprop", "-root", "-notype", prop).stdout.decode("utf-8", "replace")

    def client_ids(self) -> list[int]:
        out = self.xprop_root("_NET_CLIENT_LIST")
        if "#" not in out:
            return []
        return [int(w.strip(), 16) for w in out.split("#", 1)[1].split(",") if w.strip()]

    def info(self, wid: int) -> Window | None:
        geo = self._run("xwininfo", "-id", hex(wid))
        props = self._run("xprop", "-id", hex(wid), "-notype", "_NET_WM_NAME", "_NET_FRAME_EXTENTS", "_NET_WM_STATE")
        if geo.returncode != 0 or props.returncode != 0:
            return None  # gone meanwhile
        g: dict[str, str] = {}
        for line in geo.stdout.decode("utf-8", "replace").splitlines():
            if ":" in line:
                k, v = line.split(":", 1)
                g[k.strip()] = v.strip()
        title, frame, states = "", (0, 0, 0, 0), frozenset()
        for line in props.stdout.decode("utf-8", "replace").splitlines():
            if line.startswith("_NET_WM_NAME") and "=" in line:
                title = _unquote(line.split("=", 1)[1])
            elif line.startswith("_NET_FRAME_EXTENTS") and "=" in line:
                vals = [int(v) for v in line.split("=", 1)[1].split(",")]
                if len(vals) == 4:
                    frame = (vals[0], vals[1], vals[2], vals[3])
            elif line.startswith("_NET_WM_STATE") and "=" in line:
                states = frozenset(s.strip() for s in line.split("=", 1)[1].split(",") if s.strip())
        try:
            return Window(wid, title, int(g["Absolute upper-left X"]), int(g["Absolute upper-left Y"]),
                          int(g["Width"]), int(g["Height"]), g.get("Map State") == "IsViewable", frame, states)
        except (KeyError, ValueError):
            return None

    def windows(self, viewable_only: bool = True) -> list[Window]:
        out = []
        for wid in self.client_ids():
            w = self.info(wid)
            if w is not None and (w.viewable or not viewable_only):
                out.append(w)
        return out

    def scenes(self) -> dict[str, Window]:
        return {s: w for w in self.windows() if (s := w.scene()) is not None}

    def boxes(self) -> list[Window]:
        return [w for w in self.windows() if w.title == BOX_TITLE]

    def active_id(self) -> int:
        out = self.xprop_root("_NET_ACTIVE_WINDOW")
        try:
            return int(out.split("#", 1)[1].split(",")[0].strip(), 16)
        except (IndexError, ValueError):
            return 0

    def wait_scene(self, name: str | tuple[str, ...], timeout: float = 10, other_than: int | None = None) -> Window:
        """The window of a scene, or of whichever of several scenes comes."""
        names = (name,) if isinstance(name, str) else name

        def found():
            scenes = self.scenes()
            w = next((scenes[n] for n in names if n in scenes), None)
            return w if w is not None and w.id != other_than else None

        w = self.wait(found, timeout, f"the window of {' or '.join(names)}")
        self.log(f"{w.scene()} is on screen: client {w.w}x{w.h} at +{w.x}+{w.y}")
        return w

    def wait_gone(self, win: Window, timeout: float = 10) -> None:
        self.wait(lambda: all(w.id != win.id for w in self.windows()), timeout,
                  f"the window of {win.scene() or win.title!r} to go")

    def wait_box(self, timeout: float = 10) -> Window:
        box = self.wait(lambda: (self.boxes() or [None])[0], timeout, "a message box")
        self.log(f"message box on screen ({box.w}x{box.h})")
        return box

    # ---- screen -------------------------------------------------------------

    def grab(self, win: Window | None = None) -> Image.Image:
        """A screenshot of the whole screen, or of one window's client area.

        Read straight from the X server with XGetImage (a few milliseconds), or,
        where libX11 cannot be loaded, with ImageMagick's `import`."""
        box = (win.x, win.y, win.w, win.h) if win else (0, 0, SCREEN[0], SCREEN[1])
        if self.xlib is not None:
            return self.xlib.grab(*box)
        args = ["import", "-window", "root", "-depth", "8"]
        if win:
            args += ["-crop", f"{win.w}x{win.h}+{win.x}+{win.y}", "+repage"]
        r = self._run(*args, "png:-")
        if r.returncode != 0 or not r.stdout:
            raise Failure(f"screenshot failed: {r.stderr.decode('utf-8', 'replace').strip()}")
        return Image.open(io.BytesIO(r.stdout)).convert("RGB")

    def client(self, win: Window, screen: Image.Image | None = None) -> Image.Image:
        """The client area of a window, cut from a screenshot of the whole screen."""
        if screen is None:
            return self.grab(win)
        return screen.crop((win.x, win.y, win.x + win.w, win.y + win.h))

    def framed_and_client(self, win: Window | None) -> tuple[Image.Image, Image.Image]:
        """One shot of the whole screen: the window with its frame cut from it (within
        the screen), and its client area."""
        screen = self.grab()
        if win is None:
            return screen, screen
        left, top, right, bottom = win.frame_box()
        framed = screen.crop((max(left, 0), max(top, 0), min(right, SCREEN[0]), min(bottom, SCREEN[1])))
        return framed, self.client(win, screen)

    def grab_frame(self, win: Window) -> tuple[Image.Image, Image.Image]:
        """The window with its frame, and its client area cut from the same shot."""
        x0, y0, x1, y1 = win.frame_box()
        framed = self.grab(Window(0, "", x0, y0, x1 - x0, y1 - y0, True))
        left, _, top, _ = win.frame
        return framed, framed.crop((left, top, left + win.w, top + win.h))

    # ---- input --------------------------------------------------------------

    def xdotool(self, *args: str) -> None:
        r = self._run("xdotool", *args, timeout=60)
        if r.returncode != 0:
            raise Failure(f"xdotool {' '.join(args)} failed: {r.stderr.decode('utf-8', 'replace').strip()}")

    def click(self) -> None:
        """A left click where the pointer is (xdotool's own 100 ms wait after a click left out)."""
        self.xdotool("click", "--delay", "0", "1")

    def click_repeat(self, count: int, delay: float) -> None:
        """`count` clicks where the pointer is, `delay` seconds apart."""
        self.xdotool("click", "--repeat", str(count), "--delay", str(round(delay * 1000)), "1")

    def type_text(self, text: str, delay: float = 0.03) -> None:
        self.xdotool("type", "--delay", str(round(delay * 1000)), "--", text)

    def move(self, win: Window, x: float, y: float) -> None:
        """Moves the pointer to a pixel of a window's client area."""
        self.xdotool("mousemove", str(win.x + round(x)), str(win.y + round(y)))

    def move_tw(self, win: Window, x_tw: float, y_tw: float) -> None:
        self.move(win, x_tw / TWIPS_PER_PIXEL, y_tw / TWIPS_PER_PIXEL)

    def click_tw(self, win: Window, x_tw: float, y_tw: float) -> None:
        """Moves the pointer to a point of the client area given in twips and clicks there."""
        self.xdotool("mousemove", str(win.x + int(x_tw / TWIPS_PER_PIXEL)), str(win.y + int(y_tw / TWIPS_PER_PIXEL)),
                     "click", "--delay", "0", "1")

    def click_centre(self, win: Window, left: float, top: float, width: float, height: float) -> None:
        """Clicks the middle of a control's rectangle (twips, client coordinates)."""
        self.click_tw(win, left + width / 2, top + height / 2)

    def walk(self, win: Window, points: list[tuple[float, float]], step: float = 3, pause: float = 0.004) -> None:
        """Moves the pointer along straight segments between pixel points, in small steps."""
        args: list[str] = []
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            n = max(1, int(max(abs(x1 - x0), abs(y1 - y0)) / step))
            for i in range(1, n + 1):
                x = x0 + (x1 - x0) * i / n
                y = y0 + (y1 - y0) * i / n
                args += ["mousemove", str(win.x + round(x)), str(win.y + round(y)), "sleep", str(pause)]
        self.xdotool(*args)

    def close_box(self, box: Window) -> None:
        """Presses Return in a message box (its OK button is the default) and waits for it to go."""
        for attempt in range(3):
            if self.active_id() != box.id:
                self.xdotool("windowactivate", hex(box.id))
                try:
                    self.wait(lambda: self.active_id() == box.id, 2, "the message box to get the focus")
                except Failure:
                    if attempt == 2:
                        raise
            self.xdotool("key", "--clearmodifiers", "Return")
            try:
                self.wait_gone(box, 3)
                return
            except Failure:
                if attempt == 2:
                    raise
                self.log("the box is still there; pressing Return again")

    def close_window(self, win: Window) -> None:
        """Closes a window as a player does: Alt+F4, which openbox turns into a close request.

        The keys go to the focused window, so the window is made the active one
        first; if it is still there 2 s later (the press fell into a moment of
        changing focus), the keys are pressed again, up to three times."""
        for attempt in range(3):
            if self.active_id() != win.id:
                self.xdotool("windowactivate", hex(win.id))
                self.wait(lambda: self.active_id() == win.id, 3, "the window to get the focus")
            self.xdotool("key", "--clearmodifiers", "alt+F4")
            try:
                self.wait_gone(win, 2)
                return
            except Failure:
                if attempt == 2:
                    raise
                self.log(f"the window is still there; pressing Alt+F4 again (active: {hex(self.active_id())})")


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


_X_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_ignore_x_errors = _X_ERROR_HANDLER(lambda display, event: 0)


class XScreen:
    """Reads the screen's pixels with XGetImage, as xwd or `import` would, only faster."""

    def __init__(self, lib, display):
        self.lib = lib
        self.display = display
        self.root = lib.XDefaultRootWindow(display)

    @classmethod
    def open(cls, name: str) -> "XScreen | None":
        path = ctypes.util.find_library("X11")
        if path is None:
            return None
        lib = ctypes.CDLL(path)
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XGetImage.restype = ctypes.POINTER(_XImage)
        lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        lib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        lib.XSetErrorHandler(_ignore_x_errors)
        display = lib.XOpenDisplay(name.encode())
        if not display:
            return None
        return cls(lib, display)

    def grab(self, x: int, y: int, w: int, h: int) -> Image.Image:
        x0, y0 = max(x, 0), max(y, 0)
        x1, y1 = min(x + w, SCREEN[0]), min(y + h, SCREEN[1])
        if x1 <= x0 or y1 <= y0:
            raise Failure(f"nothing of {w}x{h}+{x}+{y} is on the screen")
        img = self.lib.XGetImage(self.display, self.root, x0, y0, x1 - x0, y1 - y0, 0xFFFFFFFF, 2)  # ZPixmap
        if not img:
            raise Failure("XGetImage failed")
        try:
            im = img.contents
            if im.bits_per_pixel != 32:
                raise Failure(f"unexpected screen format: {im.bits_per_pixel} bits a pixel")
            data = ctypes.string_at(im.data, im.bytes_per_line * im.height)
            pic = Image.frombuffer("RGB", (im.width, im.height), data, "raw", "BGRX", im.bytes_per_line, 1)
        finally:
            self.lib.XDestroyImage(img)
        if (x0, y0, x1, y1) == (x, y, x + w, y + h):
            return pic.copy()
        full = Image.new("RGB", (w, h))
        full.paste(pic, (x0 - x, y0 - y))
        return full

    def close(self) -> None:
        self.lib.XCloseDisplay(self.display)


def _display_taken(n: int) -> bool:
    """Whether a live X server holds display n (a lock left by a dead one does not count:
    Xvfb itself clears such a stale lock)."""
    try:
        pid = int(Path(f"/tmp/.X{n}-lock").read_text().strip())
    except (OSError, ValueError):
        return Path(f"/tmp/.X{n}-lock").exists()
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def child_setup() -> None:
    """In each child: a process group of its own (so it and its children can be ended
    together), and an end of its own when the driver dies, whatever kills it."""
    os.setsid()
    libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def stop_process(p: subprocess.Popen) -> None:
    """Ends one process this driver started (and its own children), by its id."""
    if p.poll() is not None:
        return
    try:
        os.killpg(p.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    try:
        p.wait(timeout=5)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        p.wait(timeout=5)


def colours(img: Image.Image) -> int:
    return len(img.getcolors(maxcolors=1 << 16) or range(1 << 16))


def tools_missing() -> list[str]:
    return [t for t in ("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import") if shutil.which(t) is None]
