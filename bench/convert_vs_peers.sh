#!/usr/bin/env bash
# zod-tvq against the I/O floor (dd bs=1M of a file as big as the BMP, with and without
# fsync) and against FFmpeg, on an 8192 x 4096 TVQ image; then its encoder (PNG -> TVQ)
# against ImageMagick (PNG -> RGB565 BMP) and FFmpeg (PNG -> raw RGB565), the nearest they
# can do, and against its own PNG conversion of the same picture. Each set is interleaved
# by hyperfine; every run writes a fresh file. Prints medians, minimums, ratios and
# zod-tvq's peak RSS.
# A benchmark, not a test: CI does not run it.
#   bench/convert_vs_peers.sh [RUNS]    (builds the release preset first)
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-15}
scripts/ensure-packages.sh ffmpeg imagemagick hyperfine python3 time
cmake --preset release >/dev/null && cmake --build --preset release --target zod-tvq >/dev/null
ZOD=$PWD/build/release/zod-tvq/zod-tvq
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zod-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# Smooth gradients with film-like noise: neither trivially compressible nor random.
ffmpeg -loglevel error -f lavfi -i "gradients=s=8192x4096:n=5:seed=1" -vf "noise=alls=8:allf=t" \
  -frames:v 1 -pix_fmt rgb565le -f rawvideo -y body.raw
python3 -c 'import sys; h = bytearray(32); h[4:6] = (8192).to_bytes(2, "little")
h[8:10] = (4096).to_bytes(2, "little"); sys.stdout.buffer.write(h)' >image.tvq
cat body.raw >>image.tvq
head -c $((54 + 8192 * 4096 * 3)) /dev/urandom >floor.bin

FF="ffmpeg -loglevel error -f rawvideo -pix_fmt rgb565le -s 8192x4096 -i body.raw"
hyperfine --style basic -N --warmup 2 --runs "$RUNS" --export-json times.json \
  --prepare "rm -f copy.bin image.bmp image.png ff.bmp ff.png" \
  -n dd "dd if=floor.bin of=copy.bin bs=1M status=none" \
  -n dd-fsync "dd if=floor.bin of=copy.bin bs=1M conv=fsync status=none" \
  -n zod-bmp "$ZOD convert image.tvq" \
  -n zod-bmp-nosync "$ZOD convert --no-sync image.tvq" \
  -n ffmpeg-bmp "$FF -pix_fmt bgr24 -y ff.bmp" \
  -n zod-png "$ZOD convert --to png image.tvq" \
  -n ffmpeg-png "$FF -pix_fmt rgb24 -y ff.png" >/dev/null

# The encoder's input: the same picture as an ordinary PNG (FFmpeg's default compression).
$FF -pix_fmt rgb24 -y picture.png
hyperfine --style basic -N --warmup 2 --runs "$RUNS" --export-json encode.json \
  --prepare "rm -f enc.tvq image.png im.bmp ff.raw" \
  -n zod-encode "$ZOD encode -o enc.tvq picture.png" \
  -n zod-encode-nosync "$ZOD encode --no-sync -o enc.tvq picture.png" \
  -n zod-encode-dither "$ZOD encode --no-sync --dither -o enc.tvq picture.png" \
  -n imagemagick-565 "convert picture.png -define bmp:subtype=RGB565 im.bmp" \
  -n ffmpeg-565 "ffmpeg -loglevel error -i picture.png -pix_fmt rgb565le -f rawvideo -y ff.raw" \
  -n zod-png-same "$ZOD convert --no-sync --to png image.tvq" >/dev/null

python3 - <<'PY'
import json, statistics
runs = {r["command"]: sorted(r["times"])
        for f in ("times.json", "encode.json") for r in json.load(open(f))["results"]}
med = {k: statistics.median(v) for k, v in runs.items()}
low = {k: v[0] for k, v in runs.items()}
print("%-15s %9s %9s" % ("", "median ms", "min ms"))
for k in runs:
    print("%-15s %9.1f %9.1f" % (k, 1000 * med[k], 1000 * low[k]))
for a, b in (("zod-bmp", "dd-fsync"), ("zod-bmp", "dd"), ("zod-bmp-nosync", "dd"),
             ("ffmpeg-bmp", "zod-bmp"), ("ffmpeg-bmp", "zod-bmp-nosync"), ("zod-png", "zod-bmp"), ("ffmpeg-png", "zod-png"),
             ("imagemagick-565", "zod-encode"), ("ffmpeg-565", "zod-encode"),
             ("imagemagick-565", "zod-encode-nosync"), ("ffmpeg-565", "zod-encode-nosync"),
             ("zod-encode-nosync", "zod-png-same"), ("zod-encode-dither", "zod-encode-nosync")):
    print("%-32s median %5.2f   min %5.2f" % (a + " / " + b, med[a] / med[b], low[a] / low[b]))
PY
for fmt in bmp png; do
  /usr/bin/time -f "zod-tvq $fmt peak RSS: %M KiB" "$ZOD" convert --force --to $fmt image.tvq
done
/usr/bin/time -f "zod-tvq encode peak RSS: %M KiB" "$ZOD" encode --force -o enc.tvq picture.png
/usr/bin/time -f "zod-tvq encode --dither peak RSS: %M KiB" "$ZOD" encode --force --dither -o enc.tvq picture.png
/usr/bin/time -f "ImageMagick RGB565 peak RSS: %M KiB" convert picture.png -define bmp:subtype=RGB565 im.bmp
/usr/bin/time -f "FFmpeg RGB565 peak RSS: %M KiB" ffmpeg -loglevel error -i picture.png -pix_fmt rgb565le -f rawvideo -y ff.raw
stat -c "%n %s bytes" image.png ff.png picture.png
