#!/usr/bin/env python3
"""Makes the fuzz targets' seed inputs and the BMP accept/refuse corpus.

    python3 tools/make_fuzz_seeds.py OUT           # seeds for every target
    python3 tools/make_fuzz_seeds.py --bmp OUT     # the BMP corpus alone (for the tests)

Writes OUT/<target>/ for each fuzz target, and the BMP corpus as OUT/load_image/*.bmp
(files too large to fuzz go to OUT/bmp_large/) with OUT/bmp_expected.txt, one line per
file: its path under OUT, what Windows' LoadImageA does with it and what ours does
(accept or refuse), and the width and height an accepted file has. Where the two differ
the reason is given after a '#'. Standard library only, and deterministic.
"""

import os
import struct
import zlib
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

W, H = 3, 2  # odd width: every form but 32 bits pads its rows


def palette(count, core=False):
    entry = "<BBB" if core else "<BBBx"
    return b"".join(struct.pack(entry, i * 37 & 255, 255 - i * 15 & 255, i * 16 + 1 & 255)
                    for i in range(count))


def rows_of(bpp, width, height):
    """Pixel rows with every pixel's bytes set and the padding zero."""
    stride = (width * bpp + 31) // 32 * 4
    used = (width * bpp + 7) // 8
    return b"".join(bytes((x * 29 + y * 71 + 5) & 255 for x in range(used)) +
                    bytes(stride - used) for y in range(height))


def bmp(bpp=24, width=W, height=H, header=40, compression=0, colours=None, used=None,
        masks=b"", pixels=None, size_image=None, offset=None):
    """A BMP file; every field can be set wrong on purpose."""
    core = header == 12
    if colours is None:
        colours = 1 << bpp if bpp <= 8 else 0
    if pixels is None:
        pixels = rows_of(bpp, abs(width), abs(height))
    if core:
        info = struct.pack("<IHHHH", 12, width & 0xFFFF, height & 0xFFFF, 1, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", header & 0xFFFFFFFF, width, height, 1, bpp,
                           compression, len(pixels) if size_image is None else size_image,
                           2835, 2835, 0 if used is None else used, 0)
        if 40 < header <= 124:
            info = (info + masks).ljust(header, b"\0")
        elif header == 40:
            info += masks
    table = palette(colours, core)
    start = 14 + len(info) + len(table) if offset is None else offset
    head = b"BM" + struct.pack("<IHHI", start + len(pixels), 0, 0, start)
    return head + info + table + pixels


RLE8 = bytes.fromhex("01030104010500000100010101020001")
RLE4 = bytes.fromhex("01330144015500000100011101220001")
V5_ARGB = struct.pack("<IIII", 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
GOOD24 = bmp()

# name, bytes, what Windows' LoadImageA (as Wine has it) and ours do, and why they
# differ. Accepted files are W x H unless the name says otherwise ("name:width:height").
BAD_BITS = ("Wine makes a bitmap of a bit count or compression no encoder writes; we refuse "
            "it, so such a file shows nothing instead of Wine's guess")
SHORT = ("Wine reads past what the file holds; we refuse a file that stops short, so a "
         "truncated download shows nothing instead of a partly made-up picture")
NO_PIXELS = "Wine gives a 1 x 1 bitmap for an image with no pixels; we refuse it"
BMPS = [
    ("rgb1", bmp(1), "accept", "accept"),
    ("rgb4", bmp(4), "accept", "accept"),
    ("rgb8", bmp(8), "accept", "accept"),
    ("rgb8_few_colours", bmp(8, colours=7, used=7), "accept", "accept"),
    ("rgb16_555", bmp(16), "accept", "accept"),
    ("rgb24", GOOD24, "accept", "accept"),
    ("rgb32", bmp(32), "accept", "accept"),
    ("rle8", bmp(8, compression=1, pixels=RLE8), "accept", "accept"),
    ("rle4", bmp(4, compression=2, pixels=RLE4), "accept", "accept"),
    ("bitfields555", bmp(16, compression=3, masks=struct.pack("<III", 0x7C00, 0x3E0, 0x1F)),
     "accept", "accept"),
    ("bitfields565", bmp(16, compression=3, masks=struct.pack("<III", 0xF800, 0x7E0, 0x1F)),
     "accept", "accept"),
    ("v5_argb32", bmp(32, header=124, compression=3, masks=V5_ARGB), "accept", "accept"),
    ("os2_1", bmp(1, header=12), "accept", "accept"),
    ("os2_4", bmp(4, header=12), "accept", "accept"),
    ("os2_8", bmp(8, header=12), "accept", "accept"),
    ("os2_24", bmp(24, header=12), "accept", "accept"),
    ("v4_24", bmp(24, header=108), "accept", "accept"),
    ("v5_8", bmp(8, header=124), "accept", "accept"),
    ("topdown24", bmp(24, height=-H), "accept", "accept"),
    ("topdown8", bmp(8, height=-H), "accept", "accept"),
    ("wide:65535:1", bmp(1, width=65535, height=1), "accept", "accept"),
    # Bad bit counts.
    ("bpp0", bmp(0, colours=0), "accept", "refuse", BAD_BITS),
    ("bpp2", bmp(2), "accept", "refuse", BAD_BITS),
    ("bpp7", bmp(7, colours=0), "accept", "refuse", BAD_BITS),
    ("bpp64", bmp(64), "accept", "refuse", BAD_BITS),
    ("rle8_at_4bpp", bmp(4, compression=1, pixels=RLE8), "accept", "refuse", BAD_BITS),
    # Bad header sizes; the last is one that asked the decoder for 4 GiB.
    ("header0", bmp(header=0), "refuse", "refuse"),
    ("header13", bmp(header=13), "refuse", "refuse"),
    ("header16", bmp(header=16), "refuse", "refuse"),
    ("header39", bmp(header=39), "refuse", "refuse"),
    ("header_huge", bmp(header=0xFE000028), "refuse", "refuse"),
    # Bad sizes.
    ("width0:1:1", bmp(width=0), "accept", "refuse", NO_PIXELS),
    ("height0:1:1", bmp(height=0), "accept", "refuse", NO_PIXELS),
    ("width_negative", bmp(width=-3), "accept", "refuse",
     "Wine takes a negative width as its size; no encoder writes one and we refuse it"),
    ("width65536", bmp(1, width=65536, height=1), "refuse", "refuse"),
    # Oversized palettes; the first asked the decoder for 4 GiB.
    ("used_huge", bmp(8, used=0xFFFFFFFF), "accept", "refuse",
     "Wine ignores a colour count beyond the bit count's; we refuse it, as Windows does"),
    ("used_beyond_file", bmp(24, used=1000), "accept", "refuse", SHORT),
    # Truncations.
    ("empty", b"", "refuse", "refuse"),
    ("magic_only", b"BM", "refuse", "refuse"),
    ("file_header_only", GOOD24[:14], "refuse", "refuse"),
    ("headers_only", GOOD24[:54], "accept", "refuse", SHORT),
    ("rgb24_short_1", GOOD24[:-1], "accept", "refuse", SHORT),
    ("rgb8_palette_cut", bmp(8)[:14 + 40 + 100], "accept", "refuse", SHORT),
    ("offset_past_end", bmp(offset=4096), "accept", "refuse", SHORT),
    # RLE data that overruns: its declared size, a row, the image.
    ("rle8_size_past_end", bmp(8, compression=1, pixels=RLE8, size_image=4096),
     "accept", "refuse", SHORT),
    ("rle8_run_past_row", bmp(8, compression=1, pixels=bytes.fromhex("0a0100000a020001")),
     "accept", "accept"),
    ("rle8_delta_past_image", bmp(8, compression=1, pixels=bytes.fromhex("0002ffff0001")),
     "accept", "accept"),
    ("rle8_no_end", bmp(8, compression=1, pixels=bytes.fromhex("03010000")), "accept",
     "accept"),
    # A few bytes of runs claiming 16384 x 16384 pixels.
    ("rle4_huge:16384:16384",
     bmp(4, 16384, 16384, compression=2, pixels=bytes.fromhex("0000") * 8 + b"\0\1"),
     "refuse", "refuse"),
    ("rle8_huge:16384:16384",
     bmp(8, 16384, 16384, compression=1, pixels=bytes.fromhex("ff07") * 500 + b"\0\1"),
     "refuse", "refuse"),
]

# Too large to fuzz: written sparse. An OS/2 file whose 1-bit rows would take 512 MiB.
LARGE_BMPS = [
    ("os2_huge", bmp(1, 65535, 65535, header=12, pixels=b""), 14 + 12 + 6 + 8192 * 65535,
     "refuse", "refuse"),
]

TVQS = {
    "two_by_one": struct.pack("<4xh2xh22x", 2, 1) + struct.pack("<HH", 0xF800, 0x07C0),
    "height0": struct.pack("<4xh2xh22x", 3, 0) + struct.pack("<HHH", 1, 2, 3),
    "lone_byte": struct.pack("<4xh2xh22x", 4, 4) + b"\x1f",
    "negative": struct.pack("<4xh2xh22x", -32768, 5) + b"\xff\xff",
    "huge_claim": struct.pack("<4xh2xh22x", 32767, 32767),
    "short_header": b"\0\0\0\0\x02\0\0\0\x02",
    "factor8": struct.pack("<i", 8) + struct.pack("<h2xh22x", 5, 5) +
    b"".join(struct.pack("<H", i * 2617 & 0xFFFF) for i in range(30)),
}

def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, colour=2, depth=8, interlace=0, before=b"", after=b"", split=1):
    """A PNG less its signature (picture_png gives it); rows of `colour`'s channel count."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
              (0, 1, 1, 2)] if interlace else [(0, 0, 1, 1)]
    raw = b""
    for x0, y0, dx, dy in passes:  # each pass a picture of its own, rows with a filter byte
        columns, rows = (width - x0 + dx - 1) // dx, (height - y0 + dy - 1) // dy
        row = (columns * channels * depth + 7) // 8
        raw += b"".join(bytes([y % 5]) + bytes((x * 31 + y * 7) & 255 for x in range(row))
                        for y in range(rows if columns else 0))
    data = zlib.compress(raw)
    step = (len(data) + split - 1) // split
    idats = b"".join(png_chunk(b"IDAT", data[i:i + step]) for i in range(0, len(data), step))
    head = png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))
    return head + before + idats + after + png_chunk(b"IEND", b"")


PNGS = {
    "rgb": png(3, 2),
    "interlaced_rgba": png(9, 9, colour=6, interlace=1),
    "palette_trns": png(4, 4, colour=3, before=png_chunk(b"PLTE", bytes(range(12))) +
                        png_chunk(b"tRNS", b"\x80\x00")),
    "grey16": png(3, 3, colour=0, depth=16, split=3),
    "grey1_interlaced": png(11, 5, colour=0, depth=1, interlace=1),
    "metadata": png(2, 2, before=png_chunk(b"zTXt", b"k\0\0" + zlib.compress(b"z" * 5000)) +
                    png_chunk(b"iCCP", b"icc\0\0" + zlib.compress(b"p" * 300)) +
                    png_chunk(b"tEXt", b"k\0text") + png_chunk(b"eXIf", b"MM\0*\0\0\0\x08"),
                    after=png_chunk(b"iTXt", b"k\0\0\0\0\0text")),
}


def lzw_literals(pixels, code_size=8):
    """GIF image data whose codes are all literals, a clear code before every 250."""
    codes = []
    for i, p in enumerate(pixels):
        codes += [1 << code_size] if i % 250 == 0 else []
        codes.append(p)
    codes.append((1 << code_size) + 1)
    bits, count, data = 0, 0, bytearray()
    for code in codes:
        bits |= code << count
        count += code_size + 1
        while count >= 8:
            data.append(bits & 255)
            bits >>= 8
            count -= 8
    data += bytes([bits]) if count else b""
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    return bytes([code_size]) + blocks + b"\0"


def tiff(width, height):
    """An uncompressed 8-bit grey TIFF."""
    tags = [(256, width), (257, height), (258, 8), (259, 1), (262, 1), (273, 8 + 2 + 9 * 12 + 4),
            (277, 1), (278, height), (279, width * height)]
    ifd = struct.pack("<H", len(tags)) + b"".join(struct.pack("<HHII", t, 4, 1, v)
                                                  for t, v in tags) + b"\0\0\0\0"
    return b"II*\0" + struct.pack("<I", 8) + ifd + bytes(range(width * height))


# A baseline 8 x 8 grey JPEG: one Huffman code of one bit each for "no change" and "end".
JPEG = (b"\xff\xd8" + b"\xff\xdb\x00\x43\x00" + b"\x01" * 64 +
        b"\xff\xc0\x00\x0b\x08\x00\x08\x00\x08\x01\x01\x11\x00" +
        b"".join(b"\xff\xc4\x00\x14" + bytes([table]) + b"\x01" + bytes(16) for table in (0, 0x10)) +
        b"\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00" + b"\x3f" + b"\xff\xd9")

PICTURES = {
    "gif": b"GIF89a" + struct.pack("<HHBBB", 4, 3, 0xF7, 0, 0) + bytes(range(256)) * 3 +
    b"," + struct.pack("<HHHHB", 0, 0, 4, 3, 0) + lzw_literals(range(12)) + b";",
    "bmp": bmp(),
    "ppm": b"P6\n3 2\n255\n" + bytes(range(18)),
    "pgm_ascii": b"P2\n3 2\n9\n0 1 2\n3 4 9\n",
    "pbm": b"P4\n9 2\n\xa5\x80\x5a\x00",
    "tga": struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 3, 2, 24, 0x20) + bytes(range(18)),
    "tiff": tiff(3, 2),
    "jpeg": JPEG,
    "xpm": b'/* XPM */\nstatic char *x[] = {\n"2 1 1 1",\n". c #ff0000",\n".."\n};\n',
    "svg": b'<svg xmlns="http://www.w3.org/2000/svg" width="3" height="2"/>',
}

SETTINGS = ["3", "8\nmore text", " \t-17", "+42", "-2147483648", "2147483647", "2147483648",
            "99999999999999999999", "", "abc", "- 5", "0x10", "007"]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def write_bmp_corpus(out):
    lines = []
    for entry in BMPS:
        name, data, windows, ours = entry[:4]
        base, *size = name.split(":")
        width, height = size if size else (W, H)
        write(os.path.join(out, "load_image", base + ".bmp"), data)
        reason = " # " + entry[4] if len(entry) > 4 else ""
        lines.append(f"load_image/{base}.bmp {windows} {ours} {width} {height}{reason}")
    for name, data, length, windows, ours in LARGE_BMPS:
        path = os.path.join(out, "bmp_large", name + ".bmp")
        write(path, data)
        with open(path, "r+b") as f:
            f.truncate(length)  # sparse: the rows are all zeros
        lines.append(f"bmp_large/{name}.bmp {windows} {ours} 0 0")
    write(os.path.join(out, "bmp_expected.txt"), ("\n".join(lines) + "\n").encode())


def main():
    args = sys.argv[1:]
    bmp_only = args[:1] == ["--bmp"]
    if bmp_only:
        args = args[1:]
    if len(args) != 1:
        sys.exit(__doc__)
    out = args[0]
    write_bmp_corpus(out)
    if bmp_only:
        return
    for name, data in PNGS.items():
        write(os.path.join(out, "picture_png", name), data)
    for name, data in PICTURES.items():
        write(os.path.join(out, "picture_pixbuf", name), data)
    for target in ("tvq_draw", "converter", "pixbuf_loader", "qt_handler"):
        for name, data in TVQS.items():
            write(os.path.join(out, target, name + ".tvq"), data)
    for i, text in enumerate(SETTINGS):
        write(os.path.join(out, "settings", f"{i:02}.ini"), text.encode())


if __name__ == "__main__":
    main()
