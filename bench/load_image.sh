#!/bin/sh
# LoadImageA on files whose headers describe far less than the file holds, or whose few
# bytes decode to a gigabyte: wall time and peak resident memory of each load, median and
# minimum of a few runs. Usage: bench/load_image.sh [LOAD_IMAGE_BINARY] [RUNS]
set -eu
binary=${1:-build/release/bench/load_image}
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]

def bmp(width, height, bpp, pixels, palette=b"", compression=0):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression,
                       len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + pixels

row24 = (13 * 3 + 3) // 4 * 4
with open(f"{work}/padded24.bmp", "wb") as f:
    f.write(bmp(13, 7, 24, bytes(range(row24)) * 7))
rle = bytes([4, 1, 0, 0, 4, 2, 0, 1])  # two rows of one run each, then the end
grey = b"".join(bytes([i, i, i, 0]) for i in range(256))
with open(f"{work}/padded_rle8.bmp", "wb") as f:
    f.write(bmp(4, 2, 8, rle, grey, compression=1))
for width in (65504, 65535):
    stride = (width + 31) // 32 * 4
    head = bmp(width, 4096, 1, b"", b"\0\0\0\0\xff\xff\xff\0")
    size = len(head) + stride * 4096
    head = head[:2] + struct.pack("<I", size) + head[6:34] + struct.pack("<I", stride * 4096) + head[38:]
    with open(f"{work}/mono{width}.bmp", "wb") as f:
        f.write(head)
        f.write(b"\x55" * (stride * 4096))
PY
truncate -s 1G "$work/padded24.bmp" "$work/padded_rle8.bmp"

printf '%-18s %10s %10s %12s %12s  %s\n' file "median s" "min s" "median MiB" "min MiB" result
for file in padded24 padded_rle8 mono65504 mono65535; do
    : >"$work/times"
    i=0
    while [ $i -lt "$runs" ]; do
        /usr/bin/time -f '%e %M' -o "$work/one" "$binary" "$work/$file.bmp" >"$work/result" || true
        cat "$work/one" >>"$work/times"
        i=$((i + 1))
    done
    python3 - "$file" "$work/times" "$(cut -d' ' -f1 "$work/result")" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[2]) if line[0].isdigit()]
secs = [float(r[0]) for r in rows]
mb = [int(r[1]) / 1024 for r in rows]
print(f"{sys.argv[1]:<18} {statistics.median(secs):10.2f} {min(secs):10.2f} "
      f"{statistics.median(mb):12.1f} {min(mb):12.1f}  {sys.argv[3]}")
PY
done
