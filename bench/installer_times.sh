#!/usr/bin/env bash
# Times the Windows installer under Wine: a silent per-user install and a silent uninstall,
# each until every program of the prefix has ended (wineserver -w), against the floor of
# one trivial Wine program (cmd /c exit) in the same prefix. A benchmark, not a test: it
# prints medians, minimums and ratios and fails on nothing but errors.
# Usage: bench/installer_times.sh [rounds]   (after scripts/windows-build.sh)
# Where Wine runs no 32-bit programs, it times the 64-bit twin installer.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
source scripts/wine.sh
packages=build/windows/packages
[ "$(zod_windows_bits)" = 32 ] || packages=build/windows-x64-tests/packages
setup=$(ls $packages/zod-edozuv-*-setup.exe)

zod_temp_dir installer-bench
zod_wine_prefix bench
uninstaller="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/ZOD Edozuv/uninstall.exe"

# Seconds that a command and every Wine program it leaves behind take.
seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1
  wineserver -w
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.3f", b - a}'
}
floor=() install=() uninstall=()
for _ in $(seq "$rounds"); do
  floor+=("$(seconds scripts/wine.sh cmd /c exit)")
  install+=("$(seconds scripts/wine.sh "$setup" /S)")
  [ -f "$uninstaller" ] || { echo "installer_times: no uninstaller after the install" >&2; exit 1; }
  uninstall+=("$(seconds scripts/wine.sh "$uninstaller" /S)")
done
stats() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {printf "%.2f %.2f", v[int((NR+1)/2)], v[1]}'; }
read -r floor_median floor_min <<<"$(stats "${floor[@]}")"
for name in install uninstall; do
  declare -n values=$name
  read -r median min <<<"$(stats "${values[@]}")"
  printf '%-9s median %5.2f s, minimum %5.2f s: %.1f x a trivial Wine program (%.2f s)\n' \
    "$name" "$median" "$min" "$(awk -v a="$median" -v b="$floor_median" 'BEGIN {print a / b}')" "$floor_median"
done
echo "($rounds rounds; setup $(stat -c %s "$setup") bytes)"
