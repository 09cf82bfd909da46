#!/usr/bin/env python3
"""Draws the client's icon (a gold-rimmed violet shield with a V) into a multi-size .ico.

Usage: make_icon.py OUT.ico
Pure standard library; 4x4 supersampling for soft edges. Sizes 16, 24, 32, 48 as 32-bit DIBs.
"""
import struct
import sys


def shield_inside(x, y):
    """Shield outline in unit coordinates (0..1): flat top, curved sides, point at the bottom."""
    if y < 0.08 or y > 0.96:
        return False
    if y < 0.55:
        half = 0.40
    else:
        t = (y - 0.55) / 0.41
        half = 0.40 * (1 - t * t) ** 0.5 if t < 1 else 0
    return abs(x - 0.5) <= half


def v_inside(x, y):
    """A bold V inside the shield."""
    if y < 0.24 or y > 0.78:
        return False
    t = (y - 0.24) / 0.54
    centre_off = 0.24 * (1 - t)
    for cx in (0.5 - centre_off, 0.5 + centre_off):
        if abs(x - cx) < 0.075:
            return True
    return False


def sample(x, y):
    if not shield_inside(x, y):
        return (0, 0, 0, 0)
    # gold rim: inside the shield but not inside a slightly smaller one
    inner = shield_inside(0.5 + (x - 0.5) / 0.84, 0.52 + (y - 0.52) / 0.86)
    if not inner:
        g = 1 - 0.35 * y
        return (int(235 * g), int(190 * g), int(70 * g), 255)
    if v_inside(x, y):
        return (250, 244, 228, 255)
    # violet body with a light from the top left
    light = max(0.0, 1.0 - ((x - 0.3) ** 2 + (y - 0.2) ** 2) * 1.6)
    r = int(70 + 90 * light)
    g = int(30 + 60 * light)
    b = int(120 + 110 * light)
    return (r, g, b, 255)


def render(size, ss=4):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    c = sample((px + (sx + 0.5) / ss) / size, (py + (sy + 0.5) / ss) / size)
                    a = c[3]
                    acc[0] += c[0] * a
                    acc[1] += c[1] * a
                    acc[2] += c[2] * a
                    acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if acc[3]:
                rgb = [int(acc[i] / acc[3]) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], int(round(a))))
        rows.append(row)
    return rows


def dib(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def main():
    sizes = [16, 24, 32, 48]
    images = [dib(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
