#!/usr/bin/env python3
"""Writes examples/assets/chaser.png, the sprite of the chase example: a
32 x 32 dart pointing right (+x, the direction of angle 0), amber with a
darker rim and a white eye, on a clear background. Alpha is 0 or 255 only,
so every visible pixel is one of three exact colours.

    python3 scripts/make_chase_sprite.py [OUTPUT]
"""
import os
import struct
import sys
import zlib

SIZE = 32
BODY = (255, 196, 0, 255)
RIM = (190, 80, 0, 255)
EYE = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)


def inside(x, y):
    """The dart: tip at the right middle, two barbs at the left corners, a notch between them."""
    if x < 2 or x > 30:
        return False
    half = (30 - x) * 14 / 28  # the dart narrows towards the tip
    notch = max(0.0, 8 - (x - 2) * 8 / 8)  # a V cut into the tail
    d = abs(y - 16)
    return d <= half and d >= notch


def pixel(i, j):
    x, y = i + 0.5, j + 0.5
    if not inside(x, y):
        return CLEAR
    if (x - 20) ** 2 + (y - 16) ** 2 <= 6.25:
        return EYE
    near_edge = any(not inside(x + dx, y + dy) for dx, dy in ((1.5, 0), (-1.5, 0), (0, 1.5), (0, -1.5)))
    return RIM if near_edge else BODY


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples", "assets", "chaser.png")
    rows = [[pixel(i, j) for i in range(SIZE)] for j in range(SIZE)]
    with open(out, "wb") as f:
        f.write(png(SIZE, SIZE, rows))


if __name__ == "__main__":
    main()
