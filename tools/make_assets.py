#!/usr/bin/env python3
"""Makes ZOD Edozuv's own pictures: the window icon and mouse cursor, the desktop icons,
the intro picture and the sample TVQ images.

    python3 tools/make_assets.py           # (re)write the files below
    python3 tools/make_assets.py --check   # exit 1 if a committed file differs

Writes resources/tvq_big.ico, resources/tvq_cursor.cur, resources/icons/<N>.png (the
desktop icon at N x N pixels, scaled from the one 32 x 32 drawing), assets/intro.bmp, assets/colorbars.tvq, assets/gradient.tvq and assets/plasma.tvq.
Standard library only, and deterministic: the outputs are committed and re-running the
tool reproduces them byte for byte.
"""

import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# --- 256-colour icons -------------------------------------------------------------------

# A fixed palette: the 6 x 6 x 6 colour cube, then a 40-step grey ramp.
PALETTE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE += [(round(i * 255 / 39),) * 3 for i in range(40)]
assert len(PALETTE) == 256


def nearest(rgb):
    r, g, b = rgb
    return min(
        range(256),
        key=lambda i: (PALETTE[i][0] - r) ** 2 + (PALETTE[i][1] - g) ** 2 + (PALETTE[i][2] - b) ** 2,
    )


def icon_image(pixels):
    """One 32 x 32 8-bit image as stored in .ico/.cur: header, palette, XOR and AND masks.

    pixels: 32 rows of 32 (r, g, b) tuples, or None where transparent; top row first."""
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 8, 0, 32 * 32 + 4 * 32, 0, 0, 0, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bottom-up
        xor += bytes(0 if p is None else nearest(p) for p in row)
        bits = 0
        for x, p in enumerate(row):
            if p is None:
                bits |= 0x80000000 >> x
        mask += struct.pack(">I", bits)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(pixels, cursor_hot=None):
    """A one-image .ico, or a .cur when cursor_hot = (x, y)."""
    image = icon_image(pixels)
    kind = 1 if cursor_hot is None else 2
    directory = struct.pack("<HHH", 0, kind, 1)
    if cursor_hot is None:
        fields = (1, 8)  # planes, bits per pixel
    else:
        fields = cursor_hot  # a cursor's entry holds its hot spot there instead
    directory += struct.pack("<BBBBHHII", 32, 32, 0, 0, fields[0], fields[1], len(image), 22)
    return directory + image


def draw_icon():
    """Three channel bars of rising height, red, green and blue, on a dark rounded tile,
    with a light arrow above them: colour channels being amplified."""
    px = [[None] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            # Rounded square tile, corner radius 5.
            cx = min(max(x, 5), 26)
            cy = min(max(y, 5), 26)
            if (x - cx) ** 2 + (y - cy) ** 2 > 25 + 5:
                continue
            edge = x in (0, 31) or y in (0, 31) or (x - cx) ** 2 + (y - cy) ** 2 > 16 + 5
            t = y / 31
            px[y][x] = (90, 90, 150) if edge else (int(10 + 20 * t), int(10 + 20 * t), int(60 + 40 * t))
    bars = [((255, 40, 40), 5, 12), ((40, 230, 60), 13, 17), ((60, 110, 255), 21, 22)]
    for colour, left, height in bars:
        for y in range(27 - height, 27):
            shade = 0.55 + 0.45 * (27 - y) / height
            for x in range(left, left + 6):
                lit = 1.15 if x == left else (0.8 if x == left + 5 else 1.0)
                px[y][x] = tuple(min(255, int(c * shade * lit)) for c in colour)
    # Baseline under the bars.
    for x in range(4, 28):
        px[27][x] = (200, 200, 210)
    # Rising arrow from lower left to upper right, over the bars' tops.
    for i in range(18):
        x, y = 6 + i, 14 - i * 10 // 17
        for dy in (0, 1):
            px[y + dy][x] = (255, 240, 150)
    for x, y in ((21, 3), (22, 3), (23, 3), (24, 3), (24, 4), (24, 5), (24, 6), (23, 4), (22, 5)):
        px[y][x] = (255, 240, 150)
    return px


CURSOR_HOT = (17, 16)


def draw_cursor():
    """A crosshair: a ring and four arms around a single centre pixel at the hot spot,
    white with a black outline so it shows on any image."""
    hx, hy = CURSOR_HOT
    shape = set()
    for y in range(32):
        for x in range(32):
            dx, dy = x - hx, y - hy
            d2 = dx * dx + dy * dy
            ring = 64 <= d2 <= 90
            arms = (dx == 0 and 3 <= abs(dy) <= 14) or (dy == 0 and 3 <= abs(dx) <= 14)
            if ring or arms or (dx == 0 and dy == 0):
                shape.add((x, y))
    px = [[None] * 32 for _ in range(32)]
    for x, y in shape:
        for ox in (-1, 0, 1):
            for oy in (-1, 0, 1):
                if 0 <= x + ox < 32 and 0 <= y + oy < 32 and px[y + oy][x + ox] is None:
                    px[y + oy][x + ox] = (0, 0, 0)
    for x, y in shape:
        px[y][x] = (255, 255, 255)
    # Keep the centre readable: the outline around the centre dot stays, the gap is clear.
    return px


# --- PNG --------------------------------------------------------------------------------


def png_file(pixels):
    """RGBA PNG with stored (uncompressed) deflate blocks, so the bytes never depend on
    the zlib in use. pixels: rows of (r, g, b), (r, g, b, a) or None (transparent)."""
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes((0, 0, 0, 0)) if p is None else bytes((tuple(p) + (255,))[:4])
    data = bytearray(b"\x78\x01")
    for start in range(0, len(raw), 65535):
        block = raw[start : start + 65535]
        last = 1 if start + 65535 >= len(raw) else 0
        data += struct.pack("<BHH", last, len(block), len(block) ^ 0xFFFF) + block
    data += struct.pack(">I", zlib.adler32(bytes(raw)))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", bytes(data)) + chunk(b"IEND", b"")


ICON_SIZES = (16, 32, 48, 64, 128, 256)


def scaled(pixels, size):
    """The drawing resampled to size x size: each output pixel averages a 4 x 4 grid of
    samples, weighted by alpha, so whole-number enlargements stay crisp and reductions
    blend. Integer arithmetic only, for the same bytes everywhere."""
    source = len(pixels)
    out = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for sy in range(4):
                for sx in range(4):
                    p = pixels[(y * 4 + sy) * source // (size * 4)][(x * 4 + sx) * source // (size * 4)]
                    if p is not None:
                        r, g, b, a = r + p[0], g + p[1], b + p[2], a + 1
            row.append(None if a == 0 else (r // a, g // a, b // a, a * 255 // 16))
        out.append(row)
    return out


# --- Intro picture ----------------------------------------------------------------------

GLYPHS = {
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
}


def intro_bmp():
    """Three additive colour discs (red, green, blue, overlapping into yellow, cyan,
    magenta and white) beside the block-letter title and five rising level bars, on a
    deep blue gradient."""
    w, h = 400, 240
    img = [[None] * w for _ in range(h)]
    for y in range(h):
        t = y / (h - 1)
        for x in range(w):
            img[y][x] = [int(8 + 22 * t), int(10 + 4 * t), int(40 + 20 * t - 10 * x / w)]

    # Additive discs, 3 x 3 supersampled at the edges.
    discs = [((110.0, 92.0), (255, 0, 0)), ((86.0, 134.0), (0, 255, 0)), ((134.0, 134.0), (0, 0, 255))]
    radius = 52.0
    for y in range(20, 210):
        for x in range(20, 200):
            add = [0.0, 0.0, 0.0]
            for (cx, cy), colour in discs:
                inside = 0
                for sy in range(3):
                    for sx in range(3):
                        dx = x + (sx + 0.5) / 3 - cx
                        dy = y + (sy + 0.5) / 3 - cy
                        if dx * dx + dy * dy <= radius * radius:
                            inside += 1
                for c in range(3):
                    add[c] += colour[c] * inside / 9 * 0.92
            if any(add):
                for c in range(3):
                    img[y][x][c] = min(255, int(img[y][x][c] + add[c]))

    def text(word, left, top, scale, gap, colour_at):
        for i, letter in enumerate(word):
            x0 = left + i * (5 * scale + gap)
            for layer in (0, 1):  # a dark shadow first, then the letter
                off = 3 if layer == 0 else 0
                for gy, line in enumerate(GLYPHS[letter]):
                    for gx, cell in enumerate(line):
                        if cell != "#":
                            continue
                        for y in range(top + gy * scale + off, top + (gy + 1) * scale + off):
                            for x in range(x0 + gx * scale + off, x0 + (gx + 1) * scale + off):
                                if layer == 0:
                                    img[y][x] = [v // 3 for v in img[y][x]]
                                else:
                                    img[y][x] = list(colour_at(x, y))

    def gold(_x, y):
        t = (y - 40) / 56
        return (255, int(235 - 70 * t), int(140 - 110 * t))

    def silver(_x, y):
        t = (y - 118) / 28
        return (int(235 - 40 * t), int(240 - 30 * t), 255)

    text("ZOD", 226, 40, 8, 8, gold)
    text("EDOZUV", 225, 118, 4, 4, silver)

    # Five rising level bars, each a mix of the channels.
    levels = [(255, 60, 60), (255, 200, 40), (60, 230, 80), (60, 200, 255), (150, 110, 255)]
    for i, colour in enumerate(levels):
        left = 226 + i * 28
        tall = 12 + i * 7
        for y in range(206 - tall, 206):
            shade = 0.5 + 0.5 * (206 - y) / tall
            for x in range(left, left + 20):
                img[y][x] = [int(c * shade) for c in colour]
    for x in range(222, 362):
        img[207][x] = [180, 180, 200]

    stride = w * 3
    pixels = bytearray()
    for row in reversed(img):  # bottom-up, blue green red
        for r, g, b in row:
            pixels += bytes((b, g, r))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, stride * h, 0, 0, 0, 0)
    return header + info + bytes(pixels)


# --- TVQ samples ------------------------------------------------------------------------


def tvq(width, height, channel_at):
    """channel_at(x, y) gives five-bit (r, g, b); bit 5 of each word stays 0."""
    out = bytearray(32)
    struct.pack_into("<H", out, 4, width)
    struct.pack_into("<H", out, 8, height)
    for y in range(height):
        for x in range(width):
            r, g, b = channel_at(x, y)
            assert 0 <= r <= 31 and 0 <= g <= 31 and 0 <= b <= 31
            out += struct.pack("<H", r << 11 | g << 6 | b)
    return bytes(out)


def colorbars(x, y):
    """Eight full-scale bars over ramps of each channel and of grey."""
    if y < 160:
        bars = [(31, 31, 31), (31, 31, 0), (0, 31, 31), (0, 31, 0),
                (31, 0, 31), (31, 0, 0), (0, 0, 31), (0, 0, 0)]
        return bars[x // 40]
    step = x // 10  # 32 steps of 10 pixels
    band = (y - 160) // 20
    return [(step, 0, 0), (0, step, 0), (0, 0, step), (step, step, step)][band]


def gradient(x, y):
    return (x // 8, y // 8, 31 - (x + y) // 16)


def plasma(x, y):
    v = (math.sin(x / 23.0) + math.sin(y / 17.0) + math.sin((x + y) / 29.0)
         + math.sin(math.hypot(x - 320, y - 200) / 19.0))
    a = v * math.pi / 2
    return tuple(int(round(15.5 + 15.5 * math.sin(a + k * 2.0944))) for k in range(3))


def outputs():
    return {
        "resources/tvq_big.ico": icon_file(draw_icon()),
        "resources/tvq_cursor.cur": icon_file(draw_cursor(), CURSOR_HOT),
        **{f"resources/icons/{n}.png": png_file(scaled(draw_icon(), n)) for n in ICON_SIZES},
        "assets/intro.bmp": intro_bmp(),
        "assets/colorbars.tvq": tvq(320, 240, colorbars),
        "assets/gradient.tvq": tvq(256, 256, gradient),
        "assets/plasma.tvq": tvq(640, 400, plasma),
    }


def main():
    check = sys.argv[1:] == ["--check"]
    if sys.argv[1:] and not check:
        sys.exit(__doc__)
    stale = []
    for name, data in outputs().items():
        path = os.path.join(ROOT, name)
        if check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(name)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        sys.exit("out of date: " + ", ".join(stale))


if __name__ == "__main__":
    main()
