#!/usr/bin/python3
"""Checks the exported pictures are the ones the scenes expect.

Run from anywhere:  /usr/bin/python3 assets/check_assets.py
Each check prints only when it fails; the last line counts passes and failures.
"""
import hashlib
import pathlib
import struct
import sys

from PIL import Image

ASSETS = pathlib.Path(__file__).resolve().parent
ICON = "Form1.ico"
# Pictures that are deliberately one image under several names.
SAME = [
    ["Form5.Picture1.bmp", "Form5.Picture2.bmp", "Form5.Picture3.bmp", "Form5.Picture4.bmp", "Form5.Picture5.bmp"],
    ["Form11.Picture5.bmp", "Form11.Picture.bmp"],
]

passed = 0
failures = []


def check(name, ok, why=""):
    global passed
    if ok:
        passed += 1
    else:
        failures.append(f"FAIL {name}: {why}")
        print(failures[-1])


def listed():
    table = {}
    for line in (ASSETS / "list.txt").read_text().splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            name, w, h = line.split()
            table[name] = (int(w), int(h))
    return table


# ---- colour tests -------------------------------------------------------

def red(p):       # the vending machine's and the roof light's red
    return p[0] > 170 and p[1] < 70 and p[2] < 70


def water(p):     # bottle water, light or dark
    return p[2] > 200 and p[0] < 130 and p[2] - p[0] > 90


def blueish(p):   # the station's walls
    return p[2] > 140 and p[2] > p[0] + 80 and p[2] > p[1] + 40


def dark(p):
    return max(p) < 60


def white(p):
    return min(p) >= 250


def near(target, tol=40):
    return lambda p: all(abs(a - b) <= tol for a, b in zip(p, target))


def share(img, box, test):
    """Fraction of pixels in box (x0, y0, x1, y1; ends exclusive) passing test."""
    x0, y0, x1, y1 = box
    px = img.load()
    hits = sum(1 for y in range(y0, y1) for x in range(x0, x1) if test(px[x, y]))
    return hits / ((x1 - x0) * (y1 - y0))


def count(img, box, test):
    x0, y0, x1, y1 = box
    return round(share(img, box, test) * (x1 - x0) * (y1 - y0))


# ---- format -------------------------------------------------------------

def check_bmp(name, size):
    path = ASSETS / name
    if not path.is_file():
        check(name, False, "missing")
        return None
    data = path.read_bytes()
    magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    hsize, w, h, planes, bpp, compression = struct.unpack_from("<IiiHHI", data, 14)
    stride = (w * 3 + 3) // 4 * 4
    problems = []
    if magic != b"BM" or file_size != len(data):
        problems.append("not a whole BMP file")
    if hsize != 40:
        problems.append(f"info header of {hsize} bytes, not BITMAPINFOHEADER")
    if (w, abs(h)) != size:
        problems.append(f"{w}x{abs(h)}, wanted {size[0]}x{size[1]}")
    if planes != 1 or bpp != 24:
        problems.append(f"{bpp} bits per pixel, wanted 24")
    if compression != 0:
        problems.append(f"compression {compression}, wanted BI_RGB")
    if offset + stride * abs(h) > len(data):
        problems.append("pixel data cut short")
    check(f"{name} is a 24-bit uncompressed BMP of its size", not problems, "; ".join(problems))
    if problems:
        return None
    img = Image.open(path)
    img.load()
    return img.convert("RGB")


def read_icon():
    data = (ASSETS / ICON).read_bytes()
    reserved, kind, n = struct.unpack_from("<HHH", data, 0)
    check("icon is one image", (reserved, kind, n) == (0, 1, 1), f"directory says type {kind}, {n} images")
    w, h, colours, _, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6)
    check("icon entry is 32x32 at 8 bits", (w, h, colours, bits) == (32, 32, 0, 8),
          f"entry says {w}x{h}, {colours} colours, {bits} bits")
    check("icon entry covers the file", offset + length == len(data), f"{offset}+{length} != {len(data)}")
    hsize, bw, bh, bplanes, bbits, comp, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, offset)
    check("icon bitmap is 32x32, 8 bits, 256-colour palette, uncompressed",
          (hsize, bw, bh, bplanes, bbits, comp) == (40, 32, 64, 1, 8, 0) and used in (0, 256),
          f"header {hsize}, {bw}x{bh}, {bbits} bits, compression {comp}, {used} colours")
    pal_at = offset + hsize
    palette = [tuple(data[pal_at + 4 * i: pal_at + 4 * i + 3]) for i in range(256)]
    xor_at = pal_at + 256 * 4
    and_at = xor_at + 32 * 32
    check("icon holds colour bits and mask", and_at + 32 * 4 == len(data), "wrong length for image plus mask")
    indices = data[xor_at:and_at]
    opaque = [[False] * 32 for _ in range(32)]
    for row in range(32):                       # stored bottom row first
        bits = int.from_bytes(data[and_at + row * 4: and_at + row * 4 + 4], "big")
        for x in range(32):
            opaque[31 - row][x] = not (bits >> (31 - x)) & 1
    return palette, indices, opaque


def icon_checks():
    palette, indices, opaque = read_icon()
    check("every icon colour pixel is black", all(palette[i] == (0, 0, 0) for i in indices),
          "some pixel maps to a non-black palette entry")
    ink = sum(map(sum, opaque))
    check("icon mask neither empty nor full", 0 < ink < 32 * 32, f"{ink} of 1024 pixels opaque")
    # An upright bottle: left-right symmetric, ink from the burst at the top
    # down to the base at the bottom.
    mirrored = sum(opaque[y][x] == opaque[y][31 - x] for y in range(32) for x in range(32))
    check("icon shape is upright and symmetric", mirrored >= 1000, f"only {mirrored}/1024 pixels mirror")
    check("icon has burst lines above and a base below",
          any(any(r) for r in opaque[:4]) and any(any(r) for r in opaque[26:]), "top or bottom rows empty")


# The desktop's icon, every size the menu, the dock and software centres ask for.
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def luma(p):
    return (p[0] * 299 + p[1] * 587 + p[2] * 114) // 1000


def desktop_icon_checks():
    for size in ICON_SIZES:
        name = f"icon/{size}x{size}.png"
        path = ASSETS / name
        if not path.is_file():
            check(name, False, "missing")
            continue
        img = Image.open(path)
        check(f"{name} is {size}x{size} RGBA", (img.size, img.mode) == ((size, size), "RGBA"), f"{img.size} {img.mode}")
        img = img.convert("RGBA")
        px = img.load()
        solid = [[px[x, y][3] >= 128 for x in range(size)] for y in range(size)]
        corners = [solid[0][0], solid[0][-1], solid[-1][0], solid[-1][-1]]
        check(f"{name} is a shape on a clear ground", not any(corners), "a corner is opaque")
        ink = sum(1 for y in range(size) for x in range(size) if solid[y][x] and luma(px[x, y]) < 64)
        check(f"{name} is drawn in dark ink", ink >= size, f"{ink} dark pixels")
        # On a dark panel black ink at the edge of the shape would vanish: wherever the
        # shape meets the clear ground it is light.
        rim = [luma(px[x, y]) for y in range(size) for x in range(size) if solid[y][x] and any(
            not (0 <= x + dx < size and 0 <= y + dy < size) or not solid[y + dy][x + dx]
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))]
        check(f"{name} has a light outline all round", rim and min(rim) >= 128,
              f"darkest edge pixel {min(rim, default=None)}")
        # The burst rises above the bottle: ink in the top quarter and in the bottom quarter.
        rows_with_ink = [y for y in range(size) for x in range(size) if solid[y][x] and luma(px[x, y]) < 64]
        check(f"{name} has the burst above and the base below",
              rows_with_ink and min(rows_with_ink) < size // 4 and max(rows_with_ink) >= size * 3 // 4,
              "no ink near the top or the bottom")


# ---- what each picture shows -------------------------------------------

# Colour samples a few pixels square: (picture, what, box, test, least share).
# Boxes follow the drawings in assets/src/.
def person_box(w, h, cx, cy, r=2):
    """Where a point of the standing-person drawing lands in a portrait."""
    s = (h - 12) / 182
    x, y = round(w / 2 + cx * s), round(6 + cy * s)
    return (x - r, y - r, x + r + 1, y + r + 1)


SKIN, TAN = (246, 209, 174), (168, 107, 60)
TROUSERS, BLACK = (140, 140, 140), (17, 17, 17)
PORTRAITS = {  # name: size, face, top, shoes
    "Form11.Picture2.bmp": ((123, 196), SKIN, (47, 111, 214), BLACK),
    "Form11.Picture3.bmp": ((113, 191), TAN, (34, 34, 34), (143, 211, 245)),
    "Form11.Picture4.bmp": ((88, 188), SKIN, (217, 48, 42), BLACK),
    "Form11.Picture5.bmp": ((95, 171), SKIN, (31, 47, 122), BLACK),
}

SAMPLES = [
    ("Form2.Picture1.bmp", "red sign band along the top", (80, 9, 310, 41), red, 0.6),
    ("Form2.Picture1.bmp", "black lettering on the sign", (100, 9, 290, 41), dark, 0.08),
    ("Form2.Picture1.bmp", "pale-cyan glass front", (100, 120, 140, 150), near((200, 241, 246), 10), 0.9),
    ("Form2.Picture1.bmp", "black door frame", (162, 92, 165, 200), dark, 0.9),
    ("Form5.Picture1.bmp", "red machine body", (165, 0, 297, 174), red, 0.2),
    ("Form5.Picture1.bmp", "grey mesh on the basket", (20, 60, 140, 150), near((111, 111, 111), 12), 0.1),
    ("Form6.Picture1.bmp", "red light on the roof", (100, 0, 150, 42), red, 0.15),
    ("Form6.Picture1.bmp", "white doors", (66, 66, 184, 91), white, 0.6),
    ("Form6.Picture1.bmp", "lettering on the doors", (90, 66, 160, 91), dark, 0.1),
    ("Form6.Picture1.bmp", "black lower body", (20, 90, 220, 98), dark, 0.6),
    ("Form7.Picture1.bmp", "blue ground", (0, 205, 100, 225), near((47, 111, 214), 5), 1.0),
    ("Form7.Picture1.bmp", "hammer head up at the upper left", (39, 35, 44, 40), dark, 1.0),
    ("Form7.Picture1.bmp", "nothing yet on the block", (152, 122, 158, 128), near((47, 111, 214), 5), 1.0),
    ("Form7.Picture2.bmp", "hammer head down on the block", (152, 122, 158, 148), dark, 1.0),
    ("Form7.Picture2.bmp", "upper left empty once it swings", (39, 35, 44, 40), near((47, 111, 214), 5), 1.0),
    ("Form7.Picture1.bmp", "white block", (170, 180, 196, 198), white, 1.0),
    ("Form7.Picture2.bmp", "white block", (170, 180, 196, 198), white, 0.95),
    ("Form8.Picture1.bmp", "blue building", (0, 0, 346, 303), blueish, 0.4),
    ("Form8.Picture1.bmp", "name plate lettering", (111, 40, 235, 66), dark, 0.08),
    ("Form10.Picture1.bmp", "water in the lower half", (18, 106, 76, 160), water, 0.9),
    ("Form10.Picture3.bmp", "water all through the bottle", (30, 92, 88, 160), water, 0.9),
    ("Form10.Picture3.bmp", "water all through the neck", (53, 26, 65, 40), water, 0.9),
    ("Form10.Picture3.bmp", "spray over the neck", (0, 0, 118, 24), water, 0.05),
    ("Form10.Picture2.bmp", "shallow water at the bottom", (20, 166, 70, 174), water, 0.8),
    ("Form14.Picture1.bmp", "grey double door", (175, 130, 200, 165), near((160, 160, 160), 10), 0.9),
    ("Form14.Picture1.bmp", "sign board with lettering", (153, 37, 263, 63), near((122, 74, 36), 10), 0.5),
    ("Form14.Picture1.bmp", "flowers before the window", (26, 124, 122, 144), lambda p: red(p) or near((253, 216, 53))(p), 0.08),
    ("Form14.Picture1.bmp", "man in a dark suit at the right", (320, 80, 375, 125), near((45, 58, 90), 12), 0.4),
]
for name, (size, face, top, shoes) in PORTRAITS.items():
    w, h = size
    SAMPLES += [
        (name, "face", person_box(w, h, -12, 33, 1), near(face), 1.0),
        (name, "top", person_box(w, h, -12, 85), near(top), 1.0),
        (name, "grey trousers", person_box(w, h, -14, 140), near(TROUSERS), 1.0),
        (name, "shoes", person_box(w, h, -20, 173), near(shoes), 1.0),
    ]

# Places that must stay empty: (picture, why, box, test, most share).
EMPTY = [
    ("Form5.Picture1.bmp", "no machine red over the basket side", (0, 0, 165, 174), red, 0.0),
    ("Form5.Picture1.bmp", "no machine red past its right side", (297, 0, 310, 174), red, 0.0),
    ("Form5.Picture1.bmp", "basket whole left of the machine", (150, 0, 165, 174), lambda p: not white(p), 0.0),
    ("Form5.Picture1.bmp", "basket starts at column 8", (0, 0, 8, 174), lambda p: not white(p), 0.0),
    ("Form10.Picture1.bmp", "no water in the upper half", (18, 74, 76, 84), water, 0.0),
    ("Form10.Picture1.bmp", "nothing below the shown 193 rows", (0, 193, 94, 201), lambda p: not white(p), 0.0),
    ("Form10.Picture2.bmp", "no water above the shallow layer", (16, 70, 74, 150), water, 0.0),
    ("Form2.Picture1.bmp", "nothing in the cropped right edge", (385, 0, 394, 201), lambda p: not white(p), 0.0),
    ("Form2.Picture1.bmp", "nothing in the cropped bottom edge", (0, 206, 394, 216), lambda p: not white(p), 0.0),
]


def content_checks(images):
    for name, what, box, test, least in SAMPLES:
        if name in images:
            got = share(images[name], box, test)
            check(f"{name} shows {what}", got >= least, f"{got:.0%} of {box} matches, wanted at least {least:.0%}")
    for name, what, box, test, most in EMPTY:
        if name in images:
            got = count(images[name], box, test)
            check(f"{name}: {what}", got <= most, f"{got} stray pixels in {box}")


def sameness_checks(images):
    digest = {n: hashlib.sha256(im.tobytes()).hexdigest() for n, im in images.items()}
    for group in SAME:
        present = [n for n in group if n in digest]
        check(f"{' = '.join(group)} are one image", len({digest[n] for n in present}) == 1,
              "their pixels differ")
    # Anything else that is pixel-identical is a copy under the wrong name.
    allowed = {n: i for i, g in enumerate(SAME) for n in g}
    by_digest = {}
    for n, d in digest.items():
        by_digest.setdefault(d, []).append(n)
    for names in by_digest.values():
        groups = {allowed.get(n, n) for n in names}
        check(f"{', '.join(sorted(names))} are distinct pictures", len(groups) == 1,
              "identical pixels under names meant for different pictures")


def description_checks(table):
    """Each description beside the pictures names a picture that is listed, once."""
    seen = set()
    for line in (ASSETS / "descriptions.txt").read_text(encoding="utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        name, _, words = line.partition(" ")
        check(f"description of {name}", f"{name}.bmp" in table and name not in seen and words.strip() != "",
              "names no listed picture, repeats one, or says nothing")
        seen.add(name)


def main():
    table = listed()
    images = {}
    for name, size in table.items():
        if name == ICON:
            continue
        img = check_bmp(name, size)
        if img is not None:
            images[name] = img
    check("icon is listed at 32x32", table.get(ICON) == (32, 32), f"list.txt says {table.get(ICON)}")
    if (ASSETS / ICON).is_file():
        icon_checks()
    else:
        check(ICON, False, "missing")
    desktop_icon_checks()
    sameness_checks(images)
    content_checks(images)
    description_checks(table)
    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
