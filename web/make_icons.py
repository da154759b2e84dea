#!/usr/bin/env python3
"""The page's icons from the program's 256-pixel icon: the same pixels, and twice their size
for the 512 pixels an installed web app asks for, compressed, since the committed icon is
stored uncompressed.

    make_icons.py ICON.png OUTPUT_FOLDER
"""
import struct
import sys
import zlib


def chunks(data):
    at = 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at : at + 8])
        yield kind, data[at + 8 : at + 8 + length]
        at += 12 + length


def read_rgba(path):
    with open(path, "rb") as f:
        data = f.read()
    parts = dict(chunks(data))
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", parts[b"IHDR"])
    if (depth, colour, interlace) != (8, 6, 0):
        sys.exit(f"{path}: expected an 8-bit RGBA PNG, not interlaced")
    raw = zlib.decompress(b"".join(body for kind, body in chunks(data) if kind == b"IDAT"))
    stride = 4 * width + 1
    if any(raw[y * stride] for y in range(height)):
        sys.exit(f"{path}: expected rows without a filter")
    return width, [raw[y * stride + 1 : (y + 1) * stride] for y in range(height)]


def png(width, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + row for row in rows)
    ihdr = struct.pack(">IIBBBBB", width, len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def doubled(width, rows):
    out = []
    for row in rows:
        wide = b"".join(row[4 * x : 4 * x + 4] * 2 for x in range(width))
        out += [wide, wide]
    return 2 * width, out


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    width, rows = read_rgba(sys.argv[1])
    for size, (w, r) in ((width, (width, rows)), (2 * width, doubled(width, rows))):
        with open(f"{sys.argv[2]}/icon-{size}.png", "wb") as f:
            f.write(png(w, r))


if __name__ == "__main__":
    main()
