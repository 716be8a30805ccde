#!/usr/bin/env python3
"""Writes the main dialog's pictures (bitmap resources 111-113) as 24-bit BMPs beside this script.

Plain shapes and gradients in the program's colours; run again after changing them and commit the
files it writes."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write_bmp(name, width, height, pixel):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    head = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(head + info + data)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


NAVY, TEAL, SKY, WHITE = (16, 32, 72), (24, 120, 140), (150, 200, 230), (240, 244, 248)


def banner(x, y):
    # A dark-to-teal band with a light wing-like chevron at the left.
    base = mix(NAVY, TEAL, x / 223.0)
    cx, cy = 28, 15
    d = abs(y - cy) * 1.6 - (x - cx)
    if 0 <= d <= 5 and x < 52:
        return mix(WHITE, SKY, d / 5.0)
    if y in (0, 29):
        return SKY
    return base


def emblem(inner, outer):
    def pixel(x, y):
        r = math.hypot(x - 11.5, y - 11.5)
        if r > 11.5:
            return (212, 208, 200)  # dialog face
        return mix(inner, outer, r / 11.5)
    return pixel


write_bmp("Banner.bmp", 224, 30, banner)
write_bmp("Emblem1.bmp", 24, 24, emblem(SKY, NAVY))
write_bmp("Emblem2.bmp", 24, 24, emblem(WHITE, TEAL))
