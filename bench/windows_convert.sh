#!/usr/bin/env bash
# zod-tvq.exe under Wine against the Linux build of the same sources, in the same run:
# convert of an 8192 x 4096 TVQ file (64 MiB) to BMP and to PNG, rounds interleaved.
# The Linux build is the floor; Wine adds its own start-up and system-call costs, so each
# build's start-up alone (--version) is timed too and the conversions are also given
# without it.
# A benchmark, not a test: it prints medians, minimums and ratios and fails only on errors.
# Usage: bench/windows_convert.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset release >/dev/null
cmake --build --preset release --target zod-tvq >/dev/null
source scripts/wine.sh
# The program that ships where Wine runs 32-bit programs, else its 64-bit twin.
preset=windows
[ "$(zod_windows_bits)" = 32 ] || preset=windows-x64
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target zod-tvq >/dev/null
linux=$PWD/build/release/zod-tvq/zod-tvq
windows=$PWD/build/$preset/zod-tvq.exe

zod_temp_dir windows-convert
work=$TMPDIR
zod_wine_prefix bench --persistent # one server for every run, as in a desktop session

python3 - "$work/big.tvq" <<'PY'
import struct, sys, random
width, height = 8192, 4096
random.seed(5)
row = bytes(random.getrandbits(8) for _ in range(2 * width))
with open(sys.argv[1], "wb") as out:
    out.write(b"\0" * 4 + struct.pack("<h", width) + b"\0\0" + struct.pack("<h", height) + b"\0" * 22)
    for y in range(height):
        out.write(row[2 * (y % 97):] + row[:2 * (y % 97)])
PY

millis() { date +%s%N | cut -c1-13; }
declare -A times
for round in $(seq "$rounds"); do
  for build in linux windows; do
    if [ $build = linux ]; then
      command=("$linux")
    else
      command=(scripts/wine.sh "$windows")
    fi
    start=$(millis)
    "${command[@]}" --version >/dev/null
    times[$build-start]+="$(($(millis) - start)) "
  done
  for format in bmp png; do
    for build in linux windows; do
      if [ $build = linux ]; then
        command=("$linux")
      else
        command=(scripts/wine.sh "$windows")
      fi
      rm -f "$work/big.$format"
      start=$(millis)
      "${command[@]}" convert --factor 3 --to $format --no-sync "$work/big.tvq" >/dev/null
      times[$build-$format]+="$(($(millis) - start)) "
    done
  done
done

stats() { # median and minimum of the numbers given
  sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)], v[1]}'
}
read -r ls lsmin < <(tr ' ' '\n' <<<"${times[linux-start]}" | grep . | stats)
read -r ws wsmin < <(tr ' ' '\n' <<<"${times[windows-start]}" | grep . | stats)
echo "start-up (--version): Linux median $ls ms (min $lsmin), Wine median $ws ms (min $wsmin)"
for format in bmp png; do
  read -r lm lmin < <(tr ' ' '\n' <<<"${times[linux-$format]}" | grep . | stats)
  read -r wm wmin < <(tr ' ' '\n' <<<"${times[windows-$format]}" | grep . | stats)
  echo "convert 8192x4096 to $format: Linux median $lm ms (min $lmin), Wine median $wm ms" \
    "(min $wmin); Wine/Linux $(awk -v a="$wm" -v b="$lm" 'BEGIN{printf "%.2f", a/b}')x;" \
    "without start-up $(awk -v a="$wm" -v b="$ws" -v c="$lm" -v d="$ls" \
      'BEGIN{printf "%.2f", (a - b) / (c - d)}')x"
done
