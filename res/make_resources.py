#!/usr/bin/env python3
"""Draws the program's icons and its alert sound and writes them, with a resource script that
names them, into the folder given as the only argument:

  icon_<n>.ico   one icon per resource number (16, 32 and 48 pixels, 32-bit with alpha)
  alert.wav      a short two-tone chime, 22050 Hz, 16-bit mono
  tv_media.rc    the ICON and SOUND resources for windres

Everything is computed here: shapes, colours and glyphs."""
import math
import os
import struct
import sys

# Glyphs on a 7x7 grid, '#' set.
GLYPHS = {
    "shield": ["#######", "#.....#", "#.#.#.#", "#..#..#", ".#...#.", "..#.#..", "...#..."],
    "home": ["...#...", "..###..", ".#####.", "#######", ".##.##.", ".##.##.", ".#####."],
    "scan": [".###...", "#...#..", "#...#..", "#...#..", ".###...", "....##.", ".....##"],
    "proc": ["#######", "#.....#", "#######", "#.#.#.#", "#.....#", "#.###.#", "#######"],
    "chip": [".#.#.#.", "#######", ".#...#.", "##.#.##", ".#...#.", "#######", ".#.#.#."],
    "start": ["..#....", "..##...", "..###..", "..####.", "..###..", "..##...", "..#...."],
    "bho": ["..###..", ".#...#.", "#..#..#", "#.###.#", "#..#..#", ".#...#.", "..###.."],
    "port": ["#.....#", "##...##", "#.#.#.#", "#..#..#", "#.....#", "#.....#", "#.....#"],
    "service": ["..#.#..", ".#####.", "##...##", ".#.#.#.", "##...##", ".#####.", "..#.#.."],
    "tools": ["##...##", "###.###", ".#####.", "..###..", ".#####.", "###.###", "##...##"],
    "check": [".......", "......#", ".....##", "#...##.", "##.##..", ".###...", "..#...."],
    "dot": [".......", "..###..", ".#####.", ".#####.", ".#####.", "..###..", "......."],
    "query": ["..###..", ".#...#.", ".....#.", "....#..", "...#...", ".......", "...#..."],
    "bang": ["...#...", "...#...", "...#...", "...#...", "...#...", ".......", "...#..."],
    "cross": ["#.....#", ".#...#.", "..#.#..", "...#...", "..#.#..", ".#...#.", "#.....#"],
    "junk": ["..###..", "#######", ".#...#.", ".#.#.#.", ".#.#.#.", ".#.#.#.", "..###.."],
    "reg": ["###.###", "#.#.#.#", "###.###", ".......", "###.###", "#.#.#.#", "###.###"],
    "wipe": ["....###", "...###.", "..###..", ".###...", "###....", ".#.....", "#......"],
    "report": ["#####..", "#...##.", "#.....#", "#.###.#", "#.....#", "#.###.#", "#######"],
    "info": ["...#...", ".......", "..##...", "...#...", "...#...", "...#...", "..###.."],
    "gear": ["...#...", ".#.#.#.", "..###..", "###.###", "..###..", ".#.#.#.", "...#..."],
}

# number: (shape, colour (r, g, b), glyph)
ICONS = {
    1: ("shield", (30, 96, 180), "check"),
    2: ("shield", (30, 96, 180), "check"),
    10: ("square", (64, 128, 200), "home"),
    11: ("square", (40, 150, 90), "scan"),
    12: ("square", (70, 90, 170), "proc"),
    13: ("square", (110, 80, 160), "chip"),
    14: ("square", (200, 130, 30), "start"),
    15: ("square", (30, 140, 160), "bho"),
    16: ("square", (90, 110, 130), "port"),
    17: ("square", (150, 100, 60), "service"),
    18: ("square", (100, 100, 100), "tools"),
    30: ("circle", (150, 150, 150), "dot"),
    31: ("circle", (40, 160, 70), "check"),
    32: ("circle", (70, 120, 200), "query"),
    33: ("circle", (230, 140, 20), "bang"),
    34: ("circle", (200, 40, 40), "cross"),
    40: ("square", (200, 130, 30), "start"),
    41: ("square", (70, 90, 170), "proc"),
    42: ("square", (120, 140, 60), "junk"),
    43: ("square", (30, 140, 160), "reg"),
    44: ("square", (150, 100, 60), "service"),
    45: ("square", (190, 60, 60), "wipe"),
    46: ("square", (80, 120, 150), "report"),
    50: ("circle", (60, 110, 190), "info"),
    51: ("circle", (100, 100, 110), "gear"),
    60: ("shield", (30, 96, 180), "check"),
}


def inside(shape, x, y):
    """Whether point (x, y) in 0..1 lies inside the shape."""
    if shape == "circle":
        return (x - 0.5) ** 2 + (y - 0.5) ** 2 <= 0.235
    if shape == "square":
        r, m = 0.16, 0.04
        lo, hi = m + r, 1 - m - r
        dx = max(lo - x, 0, x - hi)
        dy = max(lo - y, 0, y - hi)
        return dx * dx + dy * dy <= r * r
    # shield: flat top, sides, pointed bottom
    if y < 0.06 or y > 0.96 or x < 0.1 or x > 0.9:
        return False
    if y <= 0.55:
        return True
    half = 0.4 * (1 - ((y - 0.55) / 0.41) ** 1.6)
    return abs(x - 0.5) <= half


def draw(size, shape, colour, glyph):
    """Rows of (b, g, r, a) pixels, top row first."""
    sub = 4
    rows = []
    grid = GLYPHS[glyph]
    g0, g1 = 0.24, 0.76  # glyph box
    for py in range(size):
        row = []
        for px in range(size):
            cover = 0
            for sy in range(sub):
                for sx in range(sub):
                    if inside(shape, (px + (sx + 0.5) / sub) / size, (py + (sy + 0.5) / sub) / size):
                        cover += 1
            a = cover / (sub * sub)
            y = (py + 0.5) / size
            shade = 1.18 - 0.36 * y  # light from above
            r, g, b = (min(255, int(c * shade)) for c in colour)
            x = (px + 0.5) / size
            if g0 <= x < g1 and g0 <= y < g1:
                gx = int((x - g0) / (g1 - g0) * 7)
                gy = int((y - g0) / (g1 - g0) * 7)
                if grid[gy][gx] == "#":
                    r, g, b = 255, 255, 255
            # a darker rim
            edge = 0
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                if not inside(shape, (px + 0.5 + dx) / size, (py + 0.5 + dy) / size):
                    edge = 1
            if edge and a > 0:
                r, g, b = (int(c * 0.65) for c in (r, g, b))
            row.append((b, g, r, int(round(a * 255))))
        rows.append(row)
    return rows


def icon_image(size, shape):
    rows = draw(size, *shape)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes(p for px in row for p in px) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def write_ico(path, shape, sizes=(16, 32, 48)):
    images = [icon_image(s, shape) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def write_wav(path):
    rate = 22050
    samples = []
    for freq, ms in ((880.0, 110), (0, 25), (1318.5, 160)):
        n = rate * ms // 1000
        for i in range(n):
            env = min(1.0, i / 200) * min(1.0, (n - i) / 600)
            v = math.sin(2 * math.pi * freq * i / rate) if freq else 0.0
            samples.append(int(12000 * env * v))
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = ["// Generated by res/make_resources.py: the program's icons and alert sound."]
    for number, shape in sorted(ICONS.items()):
        name = os.path.join(out, "icon_%d.ico" % number)
        write_ico(name, shape)
        if number != 1:  # number 1 is the program icon of tolvexa.rc
            lines.append('%d ICON "%s"' % (number, name.replace("\\", "/")))
    wav = os.path.join(out, "alert.wav")
    write_wav(wav)
    lines.append('104 SOUND "%s"' % wav.replace("\\", "/"))
    with open(os.path.join(out, "tv_media.rc"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
