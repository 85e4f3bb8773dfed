"""A session bus of the play's own, and for the input method an ordinary user.

The accessibility bus (at-spi2-core) and the input method (ibus) both live on a
session D-Bus. Each play that needs one gets its own from dbus-run-session, so
plays running side by side never share a bus, and nothing of it outlives the play.

Mozc, the Japanese engine behind the input method, will not work for root: its
server refuses to start, and every key then goes through unconverted. Run as
root, a play that types through it runs as the user `nobody` instead, from a copy
of the game, of these scripts and of the pictures in a folder that user can read;
its screenshots are copied back where they were asked for.
"""

from __future__ import annotations

import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

INSIDE = "BOTORON_E2E_OWN_BUS"


def relaunch(args, unprivileged: bool = False) -> int | None:
    """Runs this script again inside a session bus of its own and returns its status;
    None when this already is that run. `args` are the play's parsed arguments
    (game, shots, assets, displays, play)."""
    if os.environ.get(INSIDE):
        return None
    script = Path(sys.argv[0]).resolve()
    env = dict(os.environ, **{INSIDE: "1"})
    if not (unprivileged and os.geteuid() == 0):
        return subprocess.call(["dbus-run-session", "--", sys.executable, str(script), *sys.argv[1:]], env=env)

    user = pwd.getpwnam("nobody")
    with tempfile.TemporaryDirectory(prefix="botoron-e2e-user-") as tmp:
        root = Path(tmp)
        root.chmod(0o755)
        shutil.copytree(script.parent, root / "e2e", ignore=shutil.ignore_patterns("__pycache__"))
        game = root / Path(args.game).name
        shutil.copy2(args.game, game)
        assets = root / "assets"
        assets.mkdir()
        for picture in Path(args.assets).glob("*.bmp"):
            shutil.copy2(picture, assets)
        home = root / "home"
        home.mkdir()
        shots = root / "shots"
        for path in [root, *root.rglob("*")]:
            os.chown(path, user.pw_uid, user.pw_gid)
        env.update(HOME=str(home), XDG_CACHE_HOME=str(home / ".cache"), XDG_CONFIG_HOME=str(home / ".config"),
                   XDG_DATA_HOME=str(home / ".local/share"))
        env.pop("XDG_RUNTIME_DIR", None)
        status = subprocess.call(
            ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups", "--",
             "dbus-run-session", "--", "/usr/bin/python3", str(root / "e2e" / script.name),
             "--game", str(game), "--assets", str(assets), "--shots", str(shots),
             "--displays", args.displays, args.play],
            env=env, cwd=root)
        end_started_with(str(root))
        wanted = Path(args.shots) / args.play
        shutil.rmtree(wanted, ignore_errors=True)
        if (shots / args.play).exists():
            shutil.copytree(shots / args.play, wanted)
            print(f"screenshots and logs copied to {wanted}", file=sys.stderr if status else sys.stdout)
        return status


def end_started_with(mark: str) -> None:
    """Ends every process whose environment names `mark` (a folder made for one play),
    by its id: the engine's server detaches from whoever started it."""
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            if mark.encode() in (entry / "environ").read_bytes():
                found.append(int(entry.name))
        except OSError:
            continue
    for pid in found:
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + 3
    while found and time.monotonic() < deadline:
        found = [pid for pid in found if Path(f"/proc/{pid}").exists() and not _zombie(pid)]
        time.sleep(0.05)
    for pid in found:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def _zombie(pid: int) -> bool:
    try:
        return Path(f"/proc/{pid}/stat").read_text().split(") ", 1)[1].startswith("Z")
    except (OSError, IndexError):
        return True


def start_accessibility_bus(env: dict[str, str]) -> None:
    """Has the session bus start the accessibility bus now. Qt looks for it once, as
    the program starts, and does not wait for it to appear later."""
    r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.a11y.Bus.GetAddress"], env=env, capture_output=True, timeout=20)
    if r.returncode != 0 or b"unix:" not in r.stdout:
        raise RuntimeError(f"the accessibility bus did not start: {r.stderr.decode(errors='replace').strip()}")
