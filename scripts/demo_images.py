#!/usr/bin/env python3
"""Writes the example game's images (small PNG files and their sprite sheets) into
examples/demo/data/demo/. Run it again after changing a picture here."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "examples", "demo", "data", "demo")


def png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a), each 0..255."""
    rows = b""
    for y in range(height):
        rows += b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) +
                chunk(b"IEND", b""))


def clamp(v):
    return max(0, min(255, int(v)))


def gem(frame):
    """A diamond whose facets catch the light at another angle in each of four frames."""
    def pixel(x, y):
        cx, cy = x - 15.5, y - 15.5
        if abs(cx) + abs(cy) > 14:
            return (0, 0, 0, 0)
        light = 0.6 + 0.4 * math.cos(math.atan2(cy, cx) - frame * math.pi / 2)
        return (clamp(80 + 150 * light), clamp(40 + 60 * light), clamp(160 + 95 * light), 255)
    return pixel


def sheet_of_gems(path):
    frames = [gem(i) for i in range(4)]
    png(path, 128, 32, lambda x, y: frames[x // 32](x % 32, y))


def flag(x, y):
    stripe = (y // 8) % 2
    return (200, 40, 60, 255) if stripe else (250, 240, 230, 255)


def water(x, y):
    wave = math.sin(x / 5.0 + y / 3.0)
    return (clamp(30 + 20 * wave), clamp(110 + 40 * wave), clamp(200 + 40 * wave), 255)


def star(x, y):
    cx, cy = x - 15.5, y - 15.5
    r = math.hypot(cx, cy)
    spikes = 9 + 5 * math.cos(5 * math.atan2(cy, cx))
    if r > spikes:
        return (0, 0, 0, 0)
    return (255, clamp(200 + 55 * (1 - r / 14)), 80, 255)


def panel(x, y):
    edge = x < 3 or y < 3 or x > 92 or y > 60
    return (230, 220, 180, 255) if edge else (60, 70, 90, 230)


def bubble(x, y):
    """A rounded box with a light rim: nine 16 x 16 patches of a 48 x 48 image."""
    dx = max(12 - x, 0, x - 35)
    dy = max(12 - y, 0, y - 35)
    d = math.hypot(dx, dy)
    if d > 12:
        return (0, 0, 0, 0)
    if d > 9 or (dx == 0 and (y < 3 or y > 44)) or (dy == 0 and (x < 3 or x > 44)):
        return (240, 230, 200, 255)
    return (40, 60, 110, 235)


def main():
    os.makedirs(OUT, exist_ok=True)
    sheet_of_gems(os.path.join(OUT, "gems.png"))
    with open(os.path.join(OUT, "gems.txt"), "w") as f:
        for i in range(4):
            f.write("gem%d %d 0 32 32 16 16\n" % (i + 1, i * 32))
    png(os.path.join(OUT, "flag.png"), 64, 40, flag)
    png(os.path.join(OUT, "water.png"), 128, 32, water)
    png(os.path.join(OUT, "star.png"), 32, 32, star)
    png(os.path.join(OUT, "panel.png"), 96, 64, panel)
    png(os.path.join(OUT, "bubble.png"), 48, 48, bubble)
    with open(os.path.join(OUT, "bubble.txt"), "w") as f:
        for row, v in enumerate("tmb"):
            for column, h in enumerate("lmr"):
                f.write("%s%s %d %d 16 16 0 0\n" % (h, v, column * 16, row * 16))
        f.write("area 0 0 48 48 24 24\n")


if __name__ == "__main__":
    main()
