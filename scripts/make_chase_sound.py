#!/usr/bin/env python3
"""Writes examples/assets/catch.wav, the sound the chase example plays when
the dart catches the pointer: a bright 0.2 s ping (880 Hz with a fifth
above it, fading exponentially), 16-bit mono PCM at 48 kHz. Its first
sample is its loudest, so a capture shows exactly where it starts.

    python3 scripts/make_chase_sound.py [OUTPUT]
"""
import math
import os
import struct
import sys

RATE = 48000
SECONDS = 0.2


def samples():
    count = int(RATE * SECONDS)
    for i in range(count):
        t = i / RATE
        envelope = math.exp(-t * 18.0) * (1.0 - i / count)
        tone = 0.7 * math.cos(2 * math.pi * 880 * t) + 0.3 * math.cos(2 * math.pi * 1320 * t)
        yield int(round(0.5 * envelope * tone * 32767))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples", "assets", "catch.wav")
    data = b"".join(struct.pack("<h", s) for s in samples())
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(data))
    with open(out + ".tmp", "wb") as f:
        f.write(header + data)
    os.replace(out + ".tmp", out)


if __name__ == "__main__":
    main()
