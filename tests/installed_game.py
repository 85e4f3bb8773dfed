#!/usr/bin/python3
"""Starts an installed game the way the menu does and checks the desktop knows it.

Usage: installed_game.py ROOT ENTRY
  ROOT   holds usr/ as the package installs it ("/" for this system)
  ENTRY  the package's menu entry, the file name in usr/share/applications/

The menu entry's Exec runs with the package's games folder on PATH, under Xvfb and
openbox on a free display from $BOTORON_E2E_DISPLAYS (default 60-69). The title
window "Form1" must come up, and its WM_CLASS class must be the entry's id and its
StartupWMClass, which is how a dock ties the window to the entry and its icon.
"""
import configparser
import os
import shlex
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent / "e2e"))
from xsession import Failure, Session  # noqa: E402


def main() -> int:
    root = Path(sys.argv[1]).resolve()
    path = root / "usr/share/applications" / sys.argv[2]
    app_id = path.name.removesuffix(".desktop")
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    if not parser.read(path, encoding="utf-8"):
        print(f"no menu entry {path}", file=sys.stderr)
        return 1
    entry = parser["Desktop Entry"]
    command = shlex.split(entry["Exec"])
    icon = root / f"usr/share/icons/hicolor/scalable/apps/{entry['Icon']}.svg"
    if not icon.is_file():
        print(f"the entry's icon {entry['Icon']} is not installed", file=sys.stderr)
        return 1

    first, _, last = os.environ.get("BOTORON_E2E_DISPLAYS", "60-69").partition("-")
    with tempfile.TemporaryDirectory(prefix="botoron-installed-") as out:
        s = Session(command[0], Path(out), range(int(first), int(last or first) + 1))
        try:
            s.start_x()
            s.env["PATH"] = f"{root}/usr/games:{root}/usr/bin:{s.env.get('PATH', '/usr/bin:/bin')}"
            s.env["PULSE_SERVER"] = "unix:/nonexistent/botoron-no-sound-server"
            s.start_game()
            title = s.wait_scene("Form1", timeout=20)
            prop = subprocess.run(["xprop", "-id", hex(title.id), "WM_CLASS"], env=s.env,
                                  capture_output=True, text=True, check=True).stdout
            classes = [c.strip().strip('"') for c in prop.split("=", 1)[1].split(",")]
            s.log(f"WM_CLASS {classes}")
            if classes[-1] != app_id or entry.get("StartupWMClass") != app_id:
                raise Failure(f"WM_CLASS {classes}, StartupWMClass {entry.get('StartupWMClass')}, id {app_id}")
        except Failure as e:
            print(f"FAILED: {e}", file=sys.stderr)
            for name in ("game.stdout", "game.stderr"):
                f = Path(out) / name
                if f.exists() and f.stat().st_size:
                    print(f"--- {name}:\n{f.read_text(errors='replace')}", file=sys.stderr)
            return 1
        finally:
            s.stop()
    print(f"{command[0]} from {path.name}: Form1 on screen, WM_CLASS class {app_id}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
