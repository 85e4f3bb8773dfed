"""Headless chromium and a small client of its DevTools protocol, and a static
server for the page: what the browser plays and the browser figures share.

The page is served from its build folder on a loopback port of its own, as any
static server would serve it (optionally gzip'd, as a web server that compresses
does). Chromium runs headless with a fresh profile and no network of its own
beyond that port; the client speaks to its one page over the page's WebSocket.
"""

from __future__ import annotations

import functools
import gzip
import http.server
import json
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time
import urllib.request
from pathlib import Path
from typing import Any, Callable

try:
    import websocket  # Debian's python3-websocket
except ImportError:  # reported by browser_missing()
    websocket = None

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-default-apps", "--disable-extensions", "--mute-audio", "--hide-scrollbars",
         # Timers and frames run at full speed even when nothing on the page seems to be watched.
         "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
         "--disable-backgrounding-occluded-windows"]

# Types the page's files need (the machine's own table may lack some).
TYPES = {".wasm": "application/wasm", ".woff2": "font/woff2", ".js": "text/javascript", ".mjs": "text/javascript",
         ".json": "application/json", ".html": "text/html; charset=utf-8", ".bmp": "image/bmp", ".png": "image/png",
         ".ico": "image/x-icon", ".svg": "image/svg+xml", ".css": "text/css", ".data": "application/octet-stream"}


class ProtocolError(Exception):
    """Chromium answered a command with an error, or went away."""


class Server:
    """A static server for one folder on 127.0.0.1, in a thread of its own.

    With `compress`, every file is sent gzip'd at level 9 to a browser that
    accepts it, as a compressing web server would; `sent` counts the bytes of
    each file and of its body as sent."""

    def __init__(self, root: Path, compress: bool = False):
        self.root = Path(root)
        self.compress = compress
        self.sent: dict[str, tuple[int, int]] = {}  # path: bytes of the file, bytes of the body sent
        self._gz: dict[Path, bytes] = {}
        server = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES}

            def log_message(self, *args):  # quiet: the plays log what matters
                pass

            def end_headers(self):
                self.send_header("Cache-Control", "no-store")
                super().end_headers()

            def send_head(self):
                path = Path(self.translate_path(self.path))
                if path.is_dir():
                    path = path / "index.html"
                if not (server.compress and path.is_file() and "gzip" in self.headers.get("Accept-Encoding", "")):
                    return super().send_head()
                body = server.gzipped(path)
                self.send_response(200)
                self.send_header("Content-Type", self.guess_type(str(path)))
                self.send_header("Content-Encoding", "gzip")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                server.sent[self.path] = (path.stat().st_size, len(body))
                return _Bytes(body)

        self.httpd = _Quiet(("127.0.0.1", 0), functools.partial(Handler, directory=str(root)))
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    def gzipped(self, path: Path) -> bytes:
        if path not in self._gz:
            self._gz[path] = gzip.compress(path.read_bytes(), compresslevel=9, mtime=0)
        return self._gz[path]

    @property
    def url(self) -> str:
        return f"http://127.0.0.1:{self.port}/"

    def __enter__(self) -> "Server":
        self.thread.start()
        return self

    def __exit__(self, *exc) -> None:
        self.httpd.shutdown()
        self.httpd.server_close()


class _Quiet(http.server.ThreadingHTTPServer):
    """A request the browser gave up on (a navigation away) is no error of the page's."""

    def handle_error(self, request, client_address):
        pass


class _Bytes:
    """A body the request handler copies out like a file."""

    def __init__(self, data: bytes):
        self.data, self.pos = data, 0

    def read(self, n: int = -1) -> bytes:
        end = len(self.data) if n < 0 else self.pos + n
        chunk, self.pos = self.data[self.pos:end], min(end, len(self.data))
        return chunk

    def close(self) -> None:
        pass


class Browser:
    """One headless chromium with a fresh profile, and its DevTools port."""

    def __init__(self, log: Path, size: tuple[int, int] = (1280, 1024), preexec: Callable | None = None):
        exe = shutil.which("chromium")
        if exe is None:
            raise ProtocolError("chromium is missing (see scripts/packages-test.txt)")
        self.profile = tempfile.mkdtemp(prefix="botoron-chromium-")
        self.log = open(log, "wb")
        args = [exe, *FLAGS, f"--user-data-dir={self.profile}", "--remote-debugging-port=0",
                f"--window-size={size[0]},{size[1]}", "about:blank"]
        self.proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
                                     env=env_without_display(), preexec_fn=preexec)
        active = Path(self.profile) / "DevToolsActivePort"
        deadline = time.monotonic() + 30
        while not (active.exists() and len(active.read_text().splitlines()) >= 2):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.close()
                raise ProtocolError(f"chromium did not open its DevTools port (see {log})")
            time.sleep(0.05)
        self.port = int(active.read_text().splitlines()[0])

    def page(self) -> "Page":
        """The browser's one page (its first tab), connected."""
        deadline = time.monotonic() + 10
        while True:
            with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list", timeout=5) as r:
                targets = [t for t in json.load(r) if t.get("type") == "page"]
            if targets:
                return Page(targets[0]["webSocketDebuggerUrl"])
            if time.monotonic() > deadline:
                raise ProtocolError("chromium has no page")
            time.sleep(0.05)

    def version(self) -> str:
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/version", timeout=5) as r:
            return json.load(r).get("Browser", "")

    def running(self) -> bool:
        return self.proc.poll() is None

    def close(self) -> None:
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)


class Page:
    """The DevTools protocol over one page's WebSocket: commands answered in
    order, events kept for whoever asks for them."""

    def __init__(self, url: str):
        self.ws = websocket.create_connection(url, timeout=30, suppress_origin=True,
                                              enable_multithread=True)
        self.next_id = 0
        self.events: list[dict] = []
        self.listeners: list[Callable[[dict], None]] = []

    def call(self, method: str, **params: Any) -> dict:
        self.next_id += 1
        mine = self.next_id
        self.ws.send(json.dumps({"id": mine, "method": method, "params": params}))
        while True:
            msg = self._receive()
            if msg.get("id") == mine:
                if "error" in msg:
                    raise ProtocolError(f"{method}: {msg['error'].get('message')}")
                return msg.get("result", {})

    def _receive(self) -> dict:
        try:
            msg = json.loads(self.ws.recv())
        except (websocket.WebSocketException, OSError) as e:
            raise ProtocolError(f"the page's connection broke: {e}") from e
        if "method" in msg:
            self.events.append(msg)
            for f in self.listeners:
                f(msg)
        return msg

    def pump(self, seconds: float = 0.0) -> None:
        """Takes in the events that came meanwhile, waiting up to `seconds` for one."""
        self.ws.settimeout(max(seconds, 0.001))
        try:
            while True:
                self._receive()
                self.ws.settimeout(0.001)
        except ProtocolError as e:
            if not isinstance(e.__cause__, websocket.WebSocketTimeoutException):
                raise
        finally:
            self.ws.settimeout(30)

    def evaluate(self, expression: str, await_promise: bool = False) -> Any:
        """The value of a JavaScript expression in the page (read, as a debugger would)."""
        r = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=await_promise)
        if "exceptionDetails" in r:
            raise ProtocolError(f"evaluating in the page failed: {describe_exception(r['exceptionDetails'])}")
        return r["result"].get("value")

    def close(self) -> None:
        try:
            self.ws.close()
        except (websocket.WebSocketException, OSError):
            pass


def describe_exception(details: dict) -> str:
    exc = details.get("exception") or {}
    text = exc.get("description") or details.get("text") or "exception"
    where = f" at {details.get('url', '')}:{details.get('lineNumber', 0) + 1}" if details.get("url") else ""
    return re.sub(r"\s+", " ", text)[:400] + where


def browser_missing() -> list[str]:
    missing = [] if shutil.which("chromium") else ["chromium"]
    if websocket is None:
        missing.append("python3-websocket")
    return missing


def env_without_display() -> dict[str, str]:
    return {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
