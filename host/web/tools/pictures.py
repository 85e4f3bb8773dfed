#!/usr/bin/env python3
"""Converts the game's pictures (24-bit BMP files listed in assets/list.txt) to PNG
for the page, pixel for pixel, one file per distinct image, and writes which file
each picture asset is drawn from."""
import argparse
import hashlib
import json
import os
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        sys.exit(f"{path}: {bits} bits per pixel, compression {compression}; the game's pictures are 24-bit")
    top_down = height < 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        src = y if top_down else height - 1 - y
        row = data[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3] = row[2::3]
        rgb[1::3] = row[1::3]
        rgb[2::3] = row[0::3]
        rows.append(bytes(rgb))
    return width, height, rows


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filtered(row, prev, kind):
    out = bytearray(len(row))
    for i, x in enumerate(row):
        a = row[i - 3] if i >= 3 else 0
        b = prev[i]
        c = prev[i - 3] if i >= 3 else 0
        pred = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
        out[i] = (x - pred) & 0xFF
    return bytes(out)


def png(width, height, rows):
    raw = bytearray()
    prev = bytes(width * 3)
    for row in rows:
        # Each row with the filter that leaves the smallest sum, as encoders commonly pick.
        best = min((filtered(row, prev, k) for k in range(5)),
                   key=lambda f: sum(v if v < 128 else 256 - v for v in f))
        raw.append([filtered(row, prev, k) for k in range(5)].index(best))
        raw += best
        prev = row

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--list", required=True)
    ap.add_argument("--out", required=True, help="the page's folder")
    ap.add_argument("--manifest", required=True)
    args = ap.parse_args()
    assets = os.path.dirname(os.path.abspath(args.list))
    os.makedirs(os.path.join(args.out, "pictures"), exist_ok=True)
    made = {}
    for line in open(args.list, encoding="utf-8"):
        line = line.split("#", 1)[0].split()
        if not line or not line[0].endswith(".bmp"):
            continue
        name, want_w, want_h = line[0], int(line[1]), int(line[2])
        width, height, rows = read_bmp(os.path.join(assets, name))
        if (width, height) != (want_w, want_h):
            sys.exit(f"{name}: {width} x {height}, the list says {want_w} x {want_h}")
        digest = hashlib.sha256(b"".join(rows) + struct.pack("<II", width, height)).hexdigest()[:12]
        file = f"pictures/{digest}.png"
        if not os.path.exists(os.path.join(args.out, file)):
            with open(os.path.join(args.out, file), "wb") as f:
                f.write(png(width, height, rows))
        made[name] = file
    with open(args.manifest, "w", encoding="utf-8") as f:
        json.dump(made, f, indent=1, sort_keys=True)


if __name__ == "__main__":
    main()
