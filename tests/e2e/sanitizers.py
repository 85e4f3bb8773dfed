#!/usr/bin/env python3
"""The end-to-end plays of the real game, on its address and undefined-behaviour
sanitizer build (build-asan/botoron).

Each play runs as in play.py; the game gets the sanitizers' options, and when the
play is done the game is ended as a player ends it (every window closed) so that
LeakSanitizer looks at it too. The play fails on any sanitizer report in the
game's error output, and on any end other than status 0. The monkey (monkey.py)
shares the options, the reading of reports and the ending.

    sanitizers.py --game build-asan/botoron --assets assets --shots build-asan/e2e-asan-shots PLAY
"""

from __future__ import annotations

import contextlib
import re
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True
import play
from xsession import BOX_TITLE, Failure, Session, stop_process

HERE = Path(__file__).resolve().parent
SUPPRESSIONS = HERE / "lsan-system.supp"

# strict_string_checks stays off here, unlike in the other sanitizer tests: under X,
# xkbcommon hands strndup a counted name with no terminating NUL, which strndup never
# reads past, but the strict check reads to a NUL and reports it.
ASAN_OPTIONS = "detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1"
UBSAN_OPTIONS = "print_stacktrace=1:halt_on_error=1"

# The first line of every report of AddressSanitizer, LeakSanitizer and UBSan.
REPORT = re.compile(r"^==\d+==ERROR: \w+Sanitizer|^\S+:\d+:\d+: runtime error: |^SUMMARY: \w+Sanitizer",
                    re.MULTILINE)


def sanitizer_env(env: dict[str, str]) -> None:
    """The sanitizers' options for the game, with the system libraries' leaks suppressed."""
    env["ASAN_OPTIONS"] = ASAN_OPTIONS
    env["UBSAN_OPTIONS"] = UBSAN_OPTIONS
    env["LSAN_OPTIONS"] = f"suppressions={SUPPRESSIONS}:print_suppressions=0"


def expect_sanitized(game: str) -> None:
    """A plain build would pass every check here without checking anything."""
    if b"__asan_init" not in Path(game).read_bytes():
        raise Failure(f"{game} is not built with AddressSanitizer (cmake --preset asan builds it)")


def report_in(log: Path) -> str | None:
    """The sanitizer report in a game's error output (its first 60 lines), if any."""
    if not log.exists():
        return None
    text = log.read_text(errors="replace")
    m = REPORT.search(text)
    if m is None:
        return None
    start = text.rfind("\n", 0, m.start()) + 1
    return "\n".join(text[start:].splitlines()[:60])


def end_game(s: Session, timeout: float = 20) -> int | None:
    """Ends the game as a player does: Return in each message box, Alt+F4 on each window,
    until it ends by itself (its status), or stops it after `timeout` seconds (None)."""
    assert s.proc is not None
    deadline = time.monotonic() + timeout
    while s.proc.poll() is None and time.monotonic() < deadline:
        wins = s.windows(viewable_only=False)
        if not wins:
            time.sleep(0.1)
            continue
        boxes = [w for w in wins if w.title == BOX_TITLE]
        w = boxes[0] if boxes else wins[0]
        with contextlib.suppress(Failure, OSError):
            s.xdotool("windowactivate", hex(w.id))
            time.sleep(0.1)
            s.xdotool("key", "--clearmodifiers", "Return" if boxes else "alt+F4")
        time.sleep(0.2)
    if s.proc.poll() is None:
        s.log(f"the game did not end within {timeout} s of closing its windows; stopping it")
        stop_process(s.proc)
        return None
    rc = s.proc.wait()
    s.log(f"the game ended with status {rc}")
    return rc


@contextlib.contextmanager
def sanitized(s: Session, _play: str):
    """Around one play: the options in, and afterwards the game's end and its report."""
    expect_sanitized(s.game)
    sanitizer_env(s.env)
    failed = False
    try:
        yield
    except BaseException:
        failed = True
        raise
    finally:
        rc = s.proc.poll() if s.proc is not None else None
        if s.proc is not None and rc is None:
            rc = end_game(s)
        # A report explains a failed play better than what the play saw.
        report = report_in(s.outdir / "game.stderr")
        if report:
            raise Failure(f"the sanitizers reported:\n{report}")
        if not failed and rc not in (0, None):
            raise Failure(f"the game ended with status {rc}")

if __name__ == "__main__":
    sys.exit(play.main(description=__doc__, around_game=sanitized))
