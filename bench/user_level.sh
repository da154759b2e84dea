#!/usr/bin/env bash
# Measures what users feel, on a 1920 x 1080 Xvfb, each against its floor in the same run:
#   1. a Level change with a 1920 x 1062 TVQ on view, until the view is redrawn,
#      against one XPutImage of the same pixels;
#   2. the same with an 8000 x 8000 24-bit BMP on view, against case 1, and the peak RSS
#      against the decoded size (4 bytes a pixel);
#   3. start until the intro is on screen, against a trivial FLTK window's.
# A benchmark, not a test: it prints figures and ratios and fails on nothing but errors.
# Usage: bench/user_level.sh [rounds]
#   ZOD_PROGRAM=path times another build of the viewer; ZOD_KEEP=1 keeps the work folder.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-15}
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" "${GUI_TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release --target zod-edozuv screen_probe fltk_window >/dev/null
build=$PWD/build/release
program=$(realpath "${ZOD_PROGRAM:-$build/zod-edozuv}")
probe=$build/bench/screen_probe

work=$(mktemp -d /tmp/zod-user-level-XXXXXX)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "${ZOD_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -br >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$XDG_CONFIG_HOME/zod-edozuv" "$HOME/.local/share" "$work/run"
echo 3 > "$XDG_CONFIG_HOME/zod-edozuv/RARURI.ini" # without it the first start shows a message
cp assets/intro.bmp "$work/run/"

python3 - "$work" <<'EOF'
import os, struct, sys
work = sys.argv[1]
w, h = 1920, 1062
with open(f"{work}/VIEW.TVQ", "wb") as f:
    f.write(struct.pack("<4xhxxh22x", w, h) + os.urandom(2 * w * h))
w = h = 8000
row = bytes((x * 7 + y) & 255 for y in range(3) for x in range(w))[: 3 * w]
with open(f"{work}/big.bmp", "wb") as f:
    f.write(b"BM" + struct.pack("<IHHIIiiHHIIiiII", 54 + 3 * w * h, 0, 0, 54, 40, w, h, 1, 24,
                                0, 3 * w * h, 2835, 2835, 0, 0))
    for y in range(h):
        f.write(row[y % 3:] + row[: y % 3])
EOF

start_program() {
  (cd "$work/run" && exec "$program" 2>>"$work/program.log") &
  app_pid=$!
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --class zod-edozuv 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  xdotool mousemove 1019 763
  sleep 0.5
}

stop_program() {
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
}

# Waits until the program has used no CPU for half a second.
wait_idle() {
  local before=-1 now
  for _ in $(seq 120); do
    now=$(awk '{print $14 + $15}' "/proc/$app_pid/stat")
    [ "$now" = "$before" ] && return
    before=$now
    sleep 0.5
  done
}

# Import > TVQ File or BMP File ($1: t or b) and type the file's full path into the chooser.
open_file() {
  xdotool key --delay 80 alt+i "$1"
  sleep 1.5
  xdotool key ctrl+a
  xdotool type --delay 10 "$2"
  xdotool key Return
  sleep 1
  wait_idle
}

ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }

echo "program: $program"
read -r _ floor floor_min _ < <("$probe" putimage "$rounds")

echo "Level changes with the TVQ on view" >&2
start_program
open_file t "$work/VIEW.TVQ"
read -r _ tvq tvq_min tvq_cpu < <("$probe" level "$window" "$app_pid" "$rounds")
stop_program

echo "Level changes with the BMP on view" >&2
start_program
open_file b "$work/big.bmp"
read -r _ bmp bmp_min bmp_cpu < <("$probe" level "$window" "$app_pid" "$rounds")
peak_kb=$(awk '/VmHWM/ {print $2}' "/proc/$app_pid/status")
stop_program

echo "Start-up" >&2
{
  read -r _ floor_start floor_start_min floor_start_cpu
  read -r _ start start_min start_cpu
} < <(cd "$work/run" && "$probe" startup 950 540 "$rounds" "$build/bench/fltk_window" "$program")

decoded_mb=$((8000 * 8000 * 4 / 1048576))
printf '%-32s %9s %9s %9s %9s %8s\n' "milliseconds" median min cpu floor ratio
printf '%-32s %9s %9s %9s %9s %8s\n' "XPutImage of the view (floor)" "$floor" "$floor_min" - - -
printf '%-32s %9s %9s %9s %9s %8s\n' "Level change, TVQ 1920x1062" "$tvq" "$tvq_min" "$tvq_cpu" \
  "$floor" "$(ratio "$tvq" "$floor")"
printf '%-32s %9s %9s %9s %9s %8s\n' "Level change, BMP 8000x8000" "$bmp" "$bmp_min" "$bmp_cpu" \
  "$tvq" "$(ratio "$bmp" "$tvq")"
printf '%-32s %9s %9s %9s %9s %8s\n' "Trivial FLTK window (floor)" "$floor_start" \
  "$floor_start_min" "$floor_start_cpu" - -
printf '%-32s %9s %9s %9s %9s %8s\n' "Start until the intro shows" "$start" "$start_min" \
  "$start_cpu" "$floor_start" "$(ratio "$start" "$floor_start")"
printf 'Peak RSS with the BMP on view: %d MB, %s x the decoded %d MB\n' $((peak_kb / 1024)) \
  "$(ratio "$peak_kb" $((decoded_mb * 1024)))" "$decoded_mb"
echo "cpu: the program's CPU time per change or start, as the kernel counts it (10 ms ticks)"
