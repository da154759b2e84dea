#!/usr/bin/env bash
# Thumbnails of an 8192 x 4096 TVQ image (64 MiB) against their floor, interleaved by
# hyperfine in one run: each reader at 256 px on the big image, against three times the
# same reader on a 1 x 1 image plus `cat` of the big file. Readers: gdk-pixbuf-thumbnailer
# through the loader module, and QImageReader with setScaledSize through the Qt plugin
# ("qt-after": the whole picture read and then shrunk, as Qt does for a plugin without
# ScaledSize). Prints medians, minimums, the ratios and each command's peak RSS.
# A benchmark, not a test: CI does not run it.
#   bench/thumbnails.sh [RUNS] [OTHER_MODULE.so]   (builds the release preset first)
# OTHER_MODULE.so, another build of the loader module, is timed beside ours as "pixbuf-other".
set -euo pipefail
RUNS=${1:-15}
OTHER=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh hyperfine python3 time libgdk-pixbuf2.0-bin shared-mime-info
cmake --preset release >/dev/null
cmake --build --preset release --target zod_pixbuf_tvq zod_qt_tvq qt_read >/dev/null
BUILD=$PWD/build/release
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zod-thumbs-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
SOURCE=$PWD

header() { # WIDTH HEIGHT
  python3 -c 'import sys; w, h = int(sys.argv[1]), int(sys.argv[2]); b = bytearray(32)
b[4:6] = w.to_bytes(2, "little"); b[8:10] = h.to_bytes(2, "little"); sys.stdout.buffer.write(b)' "$@"
}
cd "$WORK"
header 8192 4096 >big.tvq
head -c $((8192 * 4096 * 2)) /dev/urandom >>big.tvq
header 1 1 >one.tvq
printf '\x1f\x7c' >>one.tvq

# The build's module, and the other one, each in a loaders cache of its own; the type by a
# MIME database of our own; the settings file in a folder of our own (no saved factor).
pixbuf_cache() { # MODULE CACHE
  cmake -DQUERY_LOADERS="$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0)" \
    -DSYSTEM_MODULEDIR="$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)" \
    -DMODULE="$1" -DOUTPUT="$2" -P "$SOURCE/pixbuf/WriteLoadersCache.cmake"
}
pixbuf_cache "$BUILD/pixbuf/libpixbufloader-tvq.so" "$WORK/ours.cache"
[ -n "$OTHER" ] && pixbuf_cache "$OTHER" "$WORK/other.cache"
mkdir -p share/mime/packages config
cp "$SOURCE/resources/zod-edozuv.xml" share/mime/packages/
update-mime-database share/mime >/dev/null 2>&1
export XDG_DATA_DIRS=$WORK/share:/usr/share XDG_CONFIG_HOME=$WORK/config
export QT_PLUGIN_PATH=$BUILD/qt/plugins QT_QPA_PLATFORM=offscreen

THUMB="env GDK_PIXBUF_MODULE_FILE=$WORK/ours.cache gdk-pixbuf-thumbnailer -s 256"
QT="$BUILD/bench/qt_read"
commands=(
  cat "cat big.tvq"
  pixbuf "$THUMB big.tvq big.png"
  pixbuf-1x1 "$THUMB one.tvq one.png"
  qt "$QT big.tvq 256"
  qt-1x1 "$QT one.tvq 256"
  qt-after "$QT big.tvq 256 after"
)
[ -n "$OTHER" ] && commands+=(pixbuf-other
  "env GDK_PIXBUF_MODULE_FILE=$WORK/other.cache gdk-pixbuf-thumbnailer -s 256 big.tvq big.png")
args=()
for ((i = 0; i < ${#commands[@]}; i += 2)); do
  args+=(-n "${commands[i]}" "${commands[i + 1]}")
done
hyperfine --style basic -N --warmup 2 --runs "$RUNS" --export-json times.json \
  --output=null "${args[@]}" >/dev/null

for ((i = 0; i < ${#commands[@]}; i += 2)); do
  # shellcheck disable=SC2086 # the command's words
  /usr/bin/time -f "${commands[i]} %M" ${commands[i + 1]} >/dev/null 2>>rss.txt
done
python3 - <<'PY'
import json, statistics
runs = {r["command"]: sorted(r["times"]) for r in json.load(open("times.json"))["results"]}
rss = {}
for line in open("rss.txt").read().splitlines():  # skipping whatever else the commands said
    name, _, kib = line.rpartition(" ")
    if kib.isdigit():
        rss[name] = kib
print("%-13s %9s %9s %12s" % ("", "median ms", "min ms", "peak RSS MiB"))
for k, v in runs.items():
    print("%-13s %9.1f %9.1f %12.1f" % (k, 1000 * statistics.median(v), 1000 * v[0],
                                        int(rss.get(k, 0)) / 1024))
for big, one in (("pixbuf", "pixbuf-1x1"), ("qt", "qt-1x1"), ("qt-after", "qt-1x1"),
                 ("pixbuf-other", "pixbuf-1x1")):
    if big not in runs:
        continue
    for name, pick in (("median", statistics.median), ("min", min)):
        floor = 3 * (pick(runs[one]) + pick(runs["cat"]))
        print("%-13s / 3 x (%s + cat)  %-6s %5.2f (target <= 1)" % (big, one, name,
                                                                   pick(runs[big]) / floor))
PY
