#!/usr/bin/env python3
"""Makes the page's fonts: for each face the scenes name, its first installed
stand-in, cut down to the glyphs of the game's own texts, as WOFF2. Writes which
file holds which family, with the face's ascent and descent, so that the page can
set a label's lines at the pitch the desktop sets them."""
import argparse
import ast
import json
import os
import re
import subprocess
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# A C++ string literal, its escapes included; raw and character literals do not occur.
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')


def literals(path):
    text = open(path, encoding="utf-8").read()
    text = re.sub(r"//[^\n]*", "", text)
    for m in LITERAL.finditer(text):
        try:
            yield ast.literal_eval('"' + m.group(1) + '"')
        except (SyntaxError, ValueError):
            yield m.group(1)


def font_file(family):
    out = subprocess.run(["fc-list", f":family={family}", "file"], capture_output=True, text=True,
                         check=False).stdout
    files = sorted(line.strip().rstrip(":") for line in out.splitlines() if line.strip())
    return files[0] if files else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--facts", required=True, help="JSON from the facts tool")
    ap.add_argument("--out", required=True, help="the page's folder")
    ap.add_argument("--manifest", required=True)
    ap.add_argument("sources", nargs="*", help="files whose string literals the game shows")
    args = ap.parse_args()
    facts = json.load(open(args.facts, encoding="utf-8"))
    chars = set(chr(c) for c in range(0x20, 0x7F))  # what a player types most, digits first
    for t in facts["texts"]:
        chars.update(t)
    for src in args.sources:
        for t in literals(src):
            chars.update(t)
    chars = {c for c in chars if c.isprintable() or c == "\u3000"}
    os.makedirs(os.path.join(args.out, "fonts"), exist_ok=True)
    made = {}
    for face, stand_ins in facts["faces"].items():
        for family in stand_ins:
            path = font_file(family)
            if path is None:
                continue
            if family not in made:
                font = TTFont(path)
                upem = font["head"].unitsPerEm
                hhea = font["hhea"]
                options = subset.Options()
                options.flavor = "woff2"
                options.hinting = False
                options.desubroutinize = True
                options.name_IDs = [1, 2]
                options.notdef_outline = True
                sub = subset.Subsetter(options)
                sub.populate(text="".join(sorted(chars)))
                sub.subset(font)
                name = "fonts/" + re.sub(r"[^A-Za-z0-9]+", "", family) + ".woff2"
                font.flavor = "woff2"
                font.save(os.path.join(args.out, name))
                missing = sorted(c for c in chars if ord(c) not in TTFont(path).getBestCmap())
                if missing:
                    print(f"{family}: no glyph for {''.join(missing)!r}; the browser falls back for them",
                          file=sys.stderr)
                made[family] = {"file": name, "ascent": hhea.ascent / upem, "descent": -hhea.descent / upem}
            break
        else:
            sys.exit(f"none of the stand-ins for {face} is installed: {', '.join(stand_ins)}")
    with open(args.manifest, "w", encoding="utf-8") as f:
        json.dump(made, f, indent=1, ensure_ascii=False, sort_keys=True)


if __name__ == "__main__":
    main()
