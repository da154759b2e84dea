#!/usr/bin/env bash
# Times the Windows installer under Wine: a silent per-user install and a silent uninstall,
# each until every program of the prefix has ended (wineserver -w), against the floor of
# one trivial Wine program (cmd /c exit) in the same prefix. A benchmark, not a test: it
# prints medians, minimums and ratios and fails on nothing but errors.
# Usage: bench/installer_times.sh [rounds]   (after --target installer of the windows preset)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
setup=$(ls build/windows/packages/zod-edozuv-*-setup.exe)

WINEPREFIX=$(mktemp -d /tmp/zod-installer-bench-XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wine wineboot -i >/dev/null 2>&1
wineserver -w
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
  floor+=("$(seconds wine cmd /c exit)")
  install+=("$(seconds wine "$setup" /S)")
  [ -f "$uninstaller" ] || { echo "installer_times: no uninstaller after the install" >&2; exit 1; }
  uninstall+=("$(seconds wine "$uninstaller" /S)")
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
