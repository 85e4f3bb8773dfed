"""A real Wayland session for the end-to-end plays: sway, wayvnc and the game.

Sway runs with its headless backend and software renderer on a runtime folder
of its own; the game is a native Wayland client of it (QT_QPA_PLATFORM=wayland,
and sway is started without XWayland, so nothing can fall back to X11). Input
goes through the compositor's own input path: wayvnc turns the RFB pointer and
key events of a small client here into a virtual pointer and keyboard, so the
game gets real wl_pointer and wl_keyboard events. Windows are found by their
title and app_id in `swaymsg -t get_tree`, which also gives their geometry and
focus; the compositor places them, so nothing is found by a position. What the
player sees comes from `grim`.

Sway refuses to run as root. Run as root (as CI does), the compositor, wayvnc,
grim and the game all run as `nobody` through setpriv, with a temporary HOME
and runtime folder; no account is created.
"""

from __future__ import annotations

import io
import json
import os
import pwd
import shutil
import socket
import struct
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Iterable, TypeVar

from PIL import Image

import xsession
from xsession import BOX_TITLE, Failure, child_setup, stop_process

T = TypeVar("T")

# The output the plays use, in logical pixels; a scaled output has scale times as
# many device pixels.
SCREEN = (1280, 1024)


@dataclass
class Window(xsession.Window):
    app_id: str = ""
    shell: str = ""  # "xdg_shell" for a native Wayland window, "xwayland" for an X11 one
    focused: bool = False
    pid: int = 0


class RFB:
    """The input half of an RFB 3.8 client: pointer and key events, nothing drawn.

    The client never asks for the framebuffer, so the server has nothing to send
    after the handshake but the odd bell or clipboard message, which is drained."""

    RETURN = 0xFF0D
    ALT = 0xFFE9
    F4 = 0xFFC1

    def __init__(self, port: int, timeout: float = 5):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        version = self._read(12)
        if not version.startswith(b"RFB 003."):
            raise Failure(f"not an RFB server on port {port}: {version!r}")
        self.sock.sendall(b"RFB 003.008\n")
        count = self._read(1)[0]
        if count == 0:
            reason = self._read(struct.unpack(">I", self._read(4))[0])
            raise Failure(f"the RFB server refused the connection: {reason.decode(errors='replace')}")
        types = self._read(count)
        if 1 not in types:  # None
            raise Failure(f"the RFB server wants authentication (security types {list(types)})")
        self.sock.sendall(b"\x01")
        if struct.unpack(">I", self._read(4))[0] != 0:
            raise Failure("the RFB server refused the security type None")
        self.sock.sendall(b"\x01")  # ClientInit: share the desktop
        width, height = struct.unpack(">HH", self._read(4))
        self._read(16)  # pixel format
        self._read(struct.unpack(">I", self._read(4))[0])  # desktop name
        self.size = (width, height)
        self.buttons = 0
        self.pos = (0, 0)
        self.sock.setblocking(False)

    def _read(self, n: int) -> bytes:
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise Failure("the RFB server closed the connection")
            data += chunk
        return data

    def _send(self, data: bytes) -> None:
        try:
            while self.sock.recv(4096):
                pass
        except BlockingIOError:
            pass
        self.sock.setblocking(True)
        try:
            self.sock.sendall(data)
        finally:
            self.sock.setblocking(False)

    @staticmethod
    def pointer_event(buttons: int, x: int, y: int) -> bytes:
        return struct.pack(">BBHH", 5, buttons, max(x, 0), max(y, 0))

    @staticmethod
    def key_event(keysym: int, down: bool) -> bytes:
        return struct.pack(">BBxxI", 4, 1 if down else 0, keysym)

    def move(self, x: int, y: int) -> None:
        self.pos = (x, y)
        self._send(self.pointer_event(self.buttons, x, y))

    def click(self, x: int | None = None, y: int | None = None) -> None:
        """A left click, press and release in one write."""
        if x is not None and y is not None:
            self.pos = (x, y)
        px, py = self.pos
        self._send(self.pointer_event(self.buttons, px, py) + self.pointer_event(self.buttons | 1, px, py)
                   + self.pointer_event(self.buttons, px, py))

    def keys(self, *keysyms: int) -> None:
        """Presses the keys in order and releases them in reverse: a chord, or a single key."""
        self._send(b"".join(self.key_event(k, True) for k in keysyms)
                   + b"".join(self.key_event(k, False) for k in reversed(keysyms)))

    def type(self, text: str, delay: float) -> None:
        for ch in text:
            self.keys(ord(ch))
            time.sleep(delay)

    def batch(self, data: bytes) -> None:
        """Events made with pointer_event and key_event, sent in one write: the
        compositor passes them on together, as one breath of the player's."""
        self._send(data)

    def close(self) -> None:
        self.sock.close()


class WaylandSession(xsession.Shots):
    """One sway with wayvnc, and one run of the game in it."""

    def __init__(self, game: str, outdir: Path, ports: Iterable[int], scale: float = 1):
        self.game = game
        self.outdir = outdir
        self.ports = list(ports)
        self.scale = scale
        self.screen = SCREEN  # the output in logical pixels
        self.sway: subprocess.Popen | None = None
        self.vnc: subprocess.Popen | None = None
        self.proc: subprocess.Popen | None = None
        self.rfb: RFB | None = None
        self.env: dict[str, str] = {}
        self.ipc = ""
        self.display = ""
        self.tmp = ""
        self.user: tuple[int, int] | None = None  # the account everything runs as, when run as root
        self.shot_no = 0
        self.log_files: list = []
        self.t0 = time.monotonic()

    # ---- lifecycle ----------------------------------------------------------

    def log(self, msg: str) -> None:
        print(f"[{time.monotonic() - self.t0:7.3f}] {msg}", flush=True)

    def _logfile(self, name: str):
        f = open(self.outdir / name, "wb")
        self.log_files.append(f)
        return f

    def _as_user(self, args: list[str]) -> list[str]:
        if self.user is None:
            return args
        uid, gid = self.user
        # The parent-death signal is set again after the change of account, which clears it.
        return ["setpriv", f"--reuid={uid}", f"--regid={gid}", "--clear-groups", "--pdeathsig=KILL", *args]

    def _popen(self, args: list[str], log: str, env: dict[str, str] | None = None) -> subprocess.Popen:
        return subprocess.Popen(self._as_user(args), env=env or self.env, stdin=subprocess.DEVNULL,
                                stdout=self._logfile(log), stderr=subprocess.STDOUT, preexec_fn=child_setup)

    def start_compositor(self) -> None:
        self.tmp = tempfile.mkdtemp(prefix="botoron-wl-")
        top = Path(self.tmp)
        runtime, home = top / "runtime", top / "home"
        runtime.mkdir(mode=0o700)
        home.mkdir()
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            self.user = (nobody.pw_uid, nobody.pw_gid)
            for p in (top, runtime, home):
                os.chown(p, *self.user)
            # The game as a file of the account that runs it: the build tree may lie
            # where that account cannot reach.
            game = top / "botoron"
            shutil.copy2(self.game, game)
            os.chown(game, *self.user)
            self.game = str(game)
        _blank_cursors(home / ".icons" / "blank" / "cursors")
        config = top / "sway.conf"
        width, height = (round(SCREEN[0] * self.scale), round(SCREEN[1] * self.scale))
        config.write_text(
            f"output HEADLESS-1 resolution {width}x{height} position 0 0 scale {self.scale}\n"
            "xwayland disable\n"
            # Every window floats, as on a desktop: at its own size, placed by the compositor.
            'for_window [app_id=".*"] floating enable\n'
            # Alt+F4 closes the focused window, as the X11 plays' window manager does.
            "bindsym Mod1+F4 kill\n"
            # The pointer stays out of the screenshots, as under X11: every cursor,
            # the compositor's and the game's, is see-through.
            "seat * xcursor_theme blank 24\n")
        os.chmod(config, 0o644)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM", "QT_SCALE_FACTOR",
                                 "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI", "SWAYSOCK", "I3SOCK", "DBUS_SESSION_BUS_ADDRESS")}
        self.env.update(XDG_RUNTIME_DIR=str(runtime), HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"),
                        XCURSOR_PATH=str(home / ".icons"), XCURSOR_THEME="blank", XCURSOR_SIZE="24",
                        LC_ALL="C.UTF-8", WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                        WLR_LIBINPUT_NO_DEVICES="1")
        self.sway = self._popen(["sway", "--config", str(config)], "sway.log")

        def ready():
            ipc = sorted(runtime.glob("sway-ipc.*.sock"))
            sockets = sorted(p.name for p in runtime.glob("wayland-*") if not p.name.endswith(".lock"))
            if not ipc or not sockets:
                return None
            self.ipc, self.display = str(ipc[0]), sockets[0]
            return self._swaymsg("-t", "get_outputs", check=False)

        outputs = self.wait(ready, 15, "sway to start", every=0.05, proc=self.sway)
        self.env["WAYLAND_DISPLAY"] = self.display
        self.log(f"sway is running on {self.display}: "
                 + ", ".join(f"{o['name']} {o['rect']['width']}x{o['rect']['height']} scale {o['scale']}"
                             for o in outputs))
        self._start_vnc()

    def _start_vnc(self) -> None:
        for port in self.ports:
            if not _port_free(port):
                continue
            self.vnc = self._popen(["wayvnc", "127.0.0.1", str(port)], f"wayvnc-{port}.log")

            def connect():
                try:
                    return RFB(port)
                except OSError:
                    return None

            try:
                self.rfb = self.wait(connect, 10, f"wayvnc on port {port}", every=0.05, proc=self.vnc)
            except Failure:
                stop_process(self.vnc)
                self.vnc = None
                continue
            self.log(f"wayvnc on port {port}: {self.rfb.size[0]}x{self.rfb.size[1]}")
            return
        raise Failure(f"no free port for wayvnc among {self.ports[0]}..{self.ports[-1]}")

    def start_game(self, extra_env: dict[str, str] | None = None) -> None:
        env = dict(self.env, QT_QPA_PLATFORM="wayland", **(extra_env or {}))
        for k in ("WLR_BACKENDS", "WLR_RENDERER", "WLR_LIBINPUT_NO_DEVICES"):
            env.pop(k, None)
        self.proc = self._popen([self.game], "game.stderr", env)
        self.log(f"started {self.game} (pid {self.proc.pid})")

    def stop(self) -> None:
        if self.rfb is not None:
            self.rfb.close()
            self.rfb = None
        for p in (self.proc, self.vnc, self.sway):
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

    def wait(self, cond: Callable[[], T], timeout: float, what: str, every: float = 0.03,
             proc: subprocess.Popen | None = None) -> T:
        """Polls `cond` until it returns something true; fails after `timeout` seconds."""
        proc = proc or self.proc
        deadline = time.monotonic() + timeout
        while True:
            value = cond()
            if value:
                return value
            if proc is not None and proc.poll() is not None:
                value = cond()
                if value:
                    return value
                raise Failure(f"{Path(proc.args[-1]).name} ended (status {proc.returncode}) while waiting for {what}")
            if time.monotonic() > deadline:
                raise Failure(f"timed out after {timeout} s waiting for {what}")
            time.sleep(every)

    # ---- the compositor's view --------------------------------------------------

    def _run(self, args: list[str], timeout: float = 10) -> subprocess.CompletedProcess:
        return subprocess.run(self._as_user(args), env=self.env, capture_output=True, timeout=timeout)

    def _swaymsg(self, *args: str, check: bool = True):
        r = self._run(["swaymsg", "--socket", self.ipc, "--raw", *args])
        if r.returncode != 0:
            if check:
                raise Failure(f"swaymsg {' '.join(args)} failed: {(r.stdout + r.stderr).decode(errors='replace').strip()}")
            return None
        return json.loads(r.stdout)

    def command(self, cmd: str) -> None:
        """A sway command, as a player's key binding would run it."""
        result = self._swaymsg(cmd)
        if not all(r.get("success") for r in result):
            raise Failure(f"sway refused {cmd!r}: {result}")

    def output(self) -> dict:
        return self._swaymsg("-t", "get_outputs")[0]

    def set_scale(self, scale: float) -> None:
        """Scales the output anew, as a player does in the display settings; its
        device pixels stay, so the screen grows or shrinks in logical pixels."""
        out = self.output()
        self.command(f"output {out['name']} scale {scale}")
        rect = self.wait(lambda: (o := self.output())["scale"] == scale and o["rect"], 5, f"the output at scale {scale}")
        self.scale, self.screen = scale, (rect["width"], rect["height"])
        self.log(f"the output is at scale {scale}: {rect['width']}x{rect['height']} logical pixels")

    def windows(self, viewable_only: bool = True) -> list[Window]:
        """Every application window in the compositor's tree, lowest first."""
        found: list[Window] = []

        def walk(node: dict) -> None:
            if node.get("pid") and node.get("type") in ("con", "floating_con"):
                rect, inner, deco = node["rect"], node["window_rect"], node["deco_rect"]
                x, y = rect["x"] + inner["x"], rect["y"] + inner["y"]
                w, h = inner["width"], inner["height"]
                top = y - deco["y"] if deco["height"] else y - rect["y"]
                frame = (x - rect["x"], rect["x"] + rect["width"] - x - w, top, rect["y"] + rect["height"] - y - h)
                found.append(Window(node["id"], node.get("name") or "", x, y, w, h, bool(node.get("visible")), frame,
                                    frozenset({"fullscreen"} if node.get("fullscreen_mode") else set()),
                                    node.get("app_id") or "", node.get("shell") or "", bool(node.get("focused")),
                                    node["pid"]))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(self._swaymsg("-t", "get_tree"))
        return [w for w in found if w.viewable or not viewable_only]

    def scenes(self) -> dict[str, Window]:
        return {s: w for w in self.windows() if (s := w.scene()) is not None}

    def boxes(self) -> list[Window]:
        return [w for w in self.windows() if w.title == BOX_TITLE]

    def focused(self) -> Window | None:
        return next((w for w in self.windows() if w.focused), None)

    def settled(self, find: Callable[[list[Window]], Window | None]) -> Callable[[], Window | None]:
        """A condition for `wait`: the window that `find` picks from the tree, once it
        has its title bar and stands where it stood at the last look. Sway maps a
        window first without its bar, and adds the bar, moving the window down, when
        the client has answered the new size or 200 ms have passed."""
        last: list[Window | None] = [None]

        def look():
            w = find(self.windows(viewable_only=False))
            before, last[0] = last[0], w
            if w is None or before is None or w.frame[2] <= w.frame[3]:
                return None
            return w if (w.id, w.x, w.y, w.w, w.h) == (before.id, before.x, before.y, before.w, before.h) else None

        return look

    def wait_scene(self, name: str | tuple[str, ...], timeout: float = 10, other_than: int | None = None) -> Window:
        """The window of a scene, or of whichever of several scenes comes, once settled."""
        names = (name,) if isinstance(name, str) else name

        def find(ws: list[Window]) -> Window | None:
            return next((w for w in ws if w.viewable and w.scene() in names and w.id != other_than), None)

        w = self.wait(self.settled(find), timeout, f"the window of {' or '.join(names)}")
        self.log(f"{w.scene()} is on screen: client {w.w}x{w.h} at +{w.x}+{w.y}")
        return w

    def wait_gone(self, win: Window, timeout: float = 10) -> None:
        self.wait(lambda: all(w.id != win.id for w in self.windows()), timeout,
                  f"the window of {win.scene() or win.title!r} to go")

    def wait_box(self, timeout: float = 10) -> Window:
        box = self.wait(self.settled(lambda ws: next((w for w in ws if w.viewable and w.title == BOX_TITLE), None)),
                        timeout, "a message box")
        self.log(f"message box on screen ({box.w}x{box.h})")
        return box

    def wait_focus(self, win: Window, timeout: float = 5) -> None:
        self.wait(lambda: (f := self.focused()) is not None and f.id == win.id, timeout,
                  f"the keyboard focus in the window of {win.scene() or win.title!r}")

    # ---- screen -------------------------------------------------------------

    def grab_device(self, box: tuple[int, int, int, int] | None = None) -> Image.Image:
        """A screenshot in device pixels, of the output or of a logical rectangle (x, y, w, h)."""
        args = ["grim", "-t", "ppm"]
        if box is not None:
            x0, y0 = max(box[0], 0), max(box[1], 0)
            x1, y1 = min(box[0] + box[2], self.screen[0]), min(box[1] + box[3], self.screen[1])
            if x1 <= x0 or y1 <= y0:
                raise Failure(f"nothing of {box[2]}x{box[3]}+{box[0]}+{box[1]} is on the screen")
            args += ["-g", f"{x0},{y0} {x1 - x0}x{y1 - y0}"]
        r = self._run(args + ["-"])
        if r.returncode != 0 or not r.stdout:
            raise Failure(f"grim failed: {r.stderr.decode('utf-8', 'replace').strip()}")
        return Image.open(io.BytesIO(r.stdout)).convert("RGB")

    def grab(self, win: Window | None = None) -> Image.Image:
        """What the player sees of the screen, or of one window's client area, one
        picture pixel per logical pixel (the plays run at scale 1)."""
        if win is None:
            return self.grab_device()
        return self.grab_device((win.x, win.y, win.w, win.h))

    def grab_frame(self, win: Window) -> tuple[Image.Image, Image.Image]:
        """The window with its frame, and its client area cut from the same shot."""
        x0, y0, x1, y1 = win.frame_box()
        x0, y0 = max(x0, 0), max(y0, 0)  # what lies beyond the screen's edge is not seen
        framed = self.grab_device((x0, y0, x1 - x0, y1 - y0))
        left, top = win.x - x0, win.y - y0
        return framed, framed.crop((left, top, left + win.w, top + win.h))

    def client(self, win: Window, screen: Image.Image | None = None) -> Image.Image:
        if screen is None:
            return self.grab(win)
        return screen.crop((win.x, win.y, win.x + win.w, win.y + win.h))

    # ---- input --------------------------------------------------------------

    def _device(self, x: float, y: float) -> tuple[int, int]:
        """A layout point as the RFB client's coordinates: device pixels of the output."""
        return (int(x * self.scale), int(y * self.scale))

    def click(self) -> None:
        assert self.rfb is not None
        self.rfb.click()

    def move(self, win: Window, x: float, y: float) -> None:
        """Moves the pointer to a pixel of a window's client area."""
        assert self.rfb is not None
        self.rfb.move(*self._device(win.x + round(x), win.y + round(y)))

    def move_tw(self, win: Window, x_tw: float, y_tw: float) -> None:
        self.move(win, x_tw / 15, y_tw / 15)

    def click_tw(self, win: Window, x_tw: float, y_tw: float) -> None:
        """Moves the pointer to a point of the client area given in twips and clicks there."""
        assert self.rfb is not None
        x, y = self._device(win.x + int(x_tw / 15), win.y + int(y_tw / 15))
        # The move goes first on its own, so the press lands on a surface that already has the pointer.
        self.rfb.move(x, y)
        time.sleep(0.02)
        self.rfb.click(x, y)

    def click_centre(self, win: Window, left: float, top: float, width: float, height: float) -> None:
        self.click_tw(win, left + width / 2, top + height / 2)

    def click_repeat(self, count: int, delay: float) -> None:
        """`count` clicks where the pointer is, `delay` seconds apart."""
        for _ in range(count):
            self.click()
            time.sleep(delay)

    def walk(self, win: Window, points: list[tuple[float, float]], step: float = 3, pause: float = 0.004) -> None:
        """Moves the pointer along straight segments between pixel points, in small steps."""
        assert self.rfb is not None
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            n = max(1, int(max(abs(x1 - x0), abs(y1 - y0)) / step))
            for i in range(1, n + 1):
                self.move(win, x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n)
                time.sleep(pause)

    def key(self, *keysyms: int) -> None:
        assert self.rfb is not None
        self.rfb.keys(*keysyms)

    def type_text(self, text: str, delay: float = 0.03) -> None:
        assert self.rfb is not None
        self.rfb.type(text, delay)

    def focused_box(self, timeout: float = 3) -> Window:
        """The message box, once it holds the keyboard focus (the game may have shown
        it anew to bring it back in front)."""
        return self.wait(self.settled(lambda ws: next((w for w in ws if w.title == BOX_TITLE and w.focused), None)),
                         timeout, "the message box to hold the keyboard focus")

    def close_box(self, box: Window) -> None:
        """Presses Return in the message box, which has the keyboard focus, and waits for it to go."""
        box = self.focused_box()
        self.key(RFB.RETURN)
        self.wait_gone(box, 5)

    def close_window(self, win: Window) -> None:
        """Closes a window as a player does: Alt+F4, which sway turns into a close request."""
        self.wait_focus(win, 3)
        self.key(RFB.ALT, RFB.F4)
        self.wait_gone(win, 5)


# The cursor names that sway and Qt look up.
CURSOR_NAMES = ("default left_ptr arrow top_left_arrow left_arrow text xterm ibeam pointer hand hand1 hand2 "
                "pointing_hand grab grabbing openhand closedhand move fleur all-scroll size_all wait watch progress "
                "left_ptr_watch crosshair cross not-allowed forbidden crossed_circle no-drop help question_arrow "
                "whats_this n-resize s-resize e-resize w-resize ne-resize nw-resize se-resize sw-resize ns-resize "
                "ew-resize nesw-resize nwse-resize row-resize col-resize size_ver size_hor size_bdiag size_fdiag "
                "top_side bottom_side left_side right_side top_left_corner top_right_corner bottom_left_corner "
                "bottom_right_corner sb_v_double_arrow sb_h_double_arrow split_v split_h up_arrow").split()


def _blank_cursors(folder: Path) -> None:
    """An Xcursor theme whose every cursor is a single see-through pixel."""
    folder.mkdir(parents=True)
    size = 24
    image = struct.pack("<IIIIIIIII", 36, 0xFFFD0002, size, 1, 1, 1, 0, 0, 0) + b"\0\0\0\0"
    data = struct.pack("<4sIII", b"Xcur", 16, 0x10000, 1) + struct.pack("<III", 0xFFFD0002, size, 16 + 12) + image
    (folder / CURSOR_NAMES[0]).write_bytes(data)
    for name in CURSOR_NAMES[1:]:
        (folder / name).symlink_to(CURSOR_NAMES[0])
    (folder.parent / "index.theme").write_text("[Icon Theme]\nName=blank\n")


def _port_free(port: int) -> bool:
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
    return True


def tools_missing() -> list[str]:
    return [t for t in ("sway", "swaymsg", "wayvnc", "grim", "setpriv") if shutil.which(t) is None]
