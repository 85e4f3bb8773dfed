"""The game's page measured in headless chromium, for bench/run.

  title      navigation start to the title's first drawing (the page's
             "botoron:title" mark), cache off, a fresh navigation each run
  bytes      what a compressing server sends (gzip -9) for everything the page
             fetches from its opening to the shop, and for every file of the page
  stopwatch  "スタート" clicked with real input to the display reading "10", in
             the page's own clock: the click's event time and the moment the
             display is set, both from performance.now()

Run by bench/run under Debian's Python (its PIL and websocket modules), it
prints one "name value" line a reading:

  /usr/bin/python3 bench/browser.py --page build-web/page [--runs N] [--smoke]

The stopwatch is reached by playing the story's steps in the browser
(tests/e2e/story.py over websession.py); each visit to the water level gives
three readings: after each "10" the watch is stopped late on purpose, its box
closed with Return and the watch started again, and the third miss ends the visit.
"""

from __future__ import annotations

import argparse
import gzip
import math
import sys
import tempfile
import time
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(TOP / "tests" / "e2e"))
sys.dont_write_bytecode = True

import story  # noqa: E402
from story import FORM10_START, FORM10_STOP, Player, centre, dark_pixels, rect_px  # noqa: E402
from websession import Failure, WebSession  # noqa: E402

VERSION = ""  # the browser's, once measured

# Measurement only: stamps the presses and every text the display is given, with
# the page's clock. The display is a text box; its value is set, not its markup,
# so the setter of this one element is wrapped (and calls through unchanged); a
# MutationObserver also catches a display that is rewritten as markup.
WATCH = r"""(() => {
  const form = [...document.querySelectorAll('.form')].find(f => f.dataset.scene === 'Form10' && f.checkVisibility());
  const input = form.querySelector('[data-control="Text1"]');
  const w = window.botoronBenchWatch = {ups: [], texts: []};
  document.addEventListener('pointerup', e => w.ups.push(e.timeStamp), true);
  const seen = v => w.texts.push([String(v), performance.now()]);
  const own = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, 'value');
  Object.defineProperty(input, 'value', {configurable: true, get() { return own.get.call(this); },
                                         set(v) { own.set.call(this, v); seen(v); }});
  new MutationObserver(() => seen(input.value ?? input.textContent)).observe(
      input, {attributes: true, attributeFilter: ['value'], characterData: true, childList: true, subtree: true});
  return input.tagName;
})()"""


def title_and_bytes(page_dir: Path, runs: int, out: Path) -> dict[str, list[float]]:
    f: dict[str, list[float]] = {"web_title_ms": [], "web_fetched_gzip_kb": [], "web_fetched_raw_kb": [],
                                 "web_fetched_wire_kb": []}
    s = WebSession(page_dir, out, compress=True)
    try:
        s.start()
        global VERSION
        VERSION = s.browser.version()
        page = s.page
        page.call("Network.setCacheDisabled", cacheDisabled=True)
        s.wait(lambda: s.scenes().get("Form2"), 20, "the shop (a first opening, not counted)")
        for run in range(runs):
            page.call("Page.navigate", url="about:blank")
            s.server.sent.clear()
            page.events.clear()
            s.open()
            at = s.wait(lambda: page.evaluate(
                "(() => { const m = performance.getEntriesByName('botoron:title'); return m.length && m[0].startTime; })()"),
                20, "the title's first drawing")
            f["web_title_ms"].append(at)
            if run > 0:
                continue
            # What the page fetches from its opening to the shop, once.
            s.wait(lambda: s.scenes().get("Form2"), 10, "the shop")
            page.pump(0.5)
            raw = sum(r for r, _ in s.server.sent.values())
            body = sum(b for _, b in s.server.sent.values())
            wire = sum(e["params"].get("encodedDataLength", 0) for e in page.events
                       if e["method"] == "Network.loadingFinished")
            f["web_fetched_raw_kb"].append(raw / 1024)
            f["web_fetched_gzip_kb"].append(body / 1024)
            f["web_fetched_wire_kb"].append(wire / 1024)
            f["web_fetched_files"] = [float(len(s.server.sent))]
        s.check_page()
    finally:
        s.stop()
    files = [p for p in page_dir.rglob("*") if p.is_file()]
    f["web_all_raw_kb"] = [sum(p.stat().st_size for p in files) / 1024]
    f["web_all_gzip_kb"] = [sum(len(gzip.compress(p.read_bytes(), 9, mtime=0)) for p in files) / 1024]
    f["web_all_files"] = [float(len(files))]
    return f


def stopwatch(page_dir: Path, readings: int, reading: str, out: Path) -> list[float]:
    """`readings` times: "スタート" clicked, then the time until the display reads `reading`."""
    errors: list[float] = []
    ideal = float(reading) * 1000
    for visit in range(math.ceil(readings / 3)):
        s = WebSession(page_dir, out / f"visit-{visit + 1}")
        s.outdir.mkdir(parents=True, exist_ok=True)
        try:
            s.start()
            p = Player(s)
            f3 = p.enter_maze(p.title())
            p.start_maze(f3, None)
            f10 = p.dry_ice(p.cans(p.through_maze(f3)))
            if s.page.evaluate(WATCH) != "INPUT":
                raise Failure("the stopwatch's display is not a text box")
            for chance in (1, 2, 3):
                if len(errors) == readings:
                    break
                s.wait(lambda: dark_pixels(s.client(f10), rect_px(FORM10_START)) > 20, 5, "スタート")
                s.page.evaluate("botoronBenchWatch.ups.length = 0; botoronBenchWatch.texts.length = 0")
                s.move_tw(f10, *centre(FORM10_START))
                s.click()
                s.move_tw(f10, *centre(FORM10_STOP))
                # Past the reading, so the stop misses on purpose and the watch can start again.
                after = f"{float(reading) + 0.1:g}"
                w = s.wait(lambda: (w := s.page.evaluate("botoronBenchWatch")) and any(t == after for t, _ in w["texts"])
                           and w, float(reading) + 5, f"the display to pass {reading}", every=0.05)
                s.click()
                up = w["ups"][0]
                at = next(t for v, t in w["texts"] if v == reading)
                errors.append(at - up - ideal)
                s.close_box(s.wait_box())
        finally:
            s.stop()
    return errors


def measure(page_dir: Path, runs: int, smoke: bool) -> dict[str, list[float]]:
    story.ASSETS = TOP / "assets"
    with tempfile.TemporaryDirectory(prefix="botoron-bench-web-") as tmp:
        out = Path(tmp)
        quiet = open(out / "log", "w")
        stdout, sys.stdout = sys.stdout, quiet  # the plays' running commentary
        try:
            t0 = time.monotonic()
            f = title_and_bytes(page_dir, runs, out)
            reading = "1" if smoke else "10"
            f["web_stopwatch_err"] = stopwatch(page_dir, 1 if smoke else runs, reading, out)
            f["web_seconds"] = [time.monotonic() - t0]
        except Exception:
            quiet.flush()
            sys.stdout = stdout
            print((out / "log").read_text()[-3000:], file=sys.stderr)
            raise
        finally:
            sys.stdout = stdout
            quiet.close()
        f["web_reading"] = [float(reading)]
    return f


def main() -> None:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--page", type=Path, required=True, help="the built page's folder")
    ap.add_argument("--runs", type=int, default=7, help="repetitions of each figure")
    ap.add_argument("--smoke", action="store_true", help="one reading of the stopwatch, to 1")
    opt = ap.parse_args()
    f = measure(opt.page, opt.runs, opt.smoke)
    print(f"browser is {VERSION}")
    for name, values in f.items():
        for v in values:
            print(f"{name} {v}")


if __name__ == "__main__":
    main()
