#!/usr/bin/env bash
# The Windows stage's tests, after scripts/windows-build.sh. Runs every step, then fails
# if any failed, naming each:
#   files      what ships, checked as files (scripts/windows-check-files.sh)
#   units      the Windows unit tests under Wine (formats, converter, thumbnail DLL)
#   e2e        the viewer driven under Wine in Xvfb, as a person would
#   installer  the installer: install, upgrade and uninstall, in a prefix of its own
# On the 32-bit path (scripts/wine.sh) Wine runs the 32-bit programs that ship, and the
# 64-bit thumbnail DLL's tests too; on the 64-bit path, the 64-bit twins and a twin
# installer holding them. Each Wine step has a throwaway prefix, one Xvfb serves them all;
# all are removed at the end, however it ends.
#
#   scripts/windows-run.sh                 every step
#   scripts/windows-run.sh STEP [ARGS...]  one step; ARGS go to its ctest or unittest, e.g.
#   scripts/windows-run.sh e2e ViewerTest.test_first_start
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
source scripts/wine.sh
started=$SECONDS
bits=$(zod_windows_bits)
only=${1:-}
case $only in
  "" | files | units | e2e | installer) ;;
  *) echo "usage: scripts/windows-run.sh [files|units|e2e|installer [ARGS...]]" >&2; exit 2 ;;
esac
[ $# -gt 0 ] && shift
if [ "$bits" = 32 ]; then
  tests=build/windows-tests packages=build/windows/packages exe=build/windows/zod-edozuv.exe
else
  tests=build/windows-x64-tests packages=build/windows-x64-tests/packages
  exe=build/windows-x64-tests/zod-edozuv.exe
fi
echo "Windows stage, $bits-bit path: Wine runs the $bits-bit programs"

zod_temp_dir windows
# What a failing scenario shows (screenshots, its files) is kept here for a look.
export ZOD_FAILURE_DIR=$PWD/build/windows-failures
rm -rf "$ZOD_FAILURE_DIR"

failed=()
# errexit does not reach inside a step: each command returns its own status.
step() {
  local name=$1
  shift
  [ -z "$only" ] || [ "$only" = "$name" ] || return 0
  echo "=== $name"
  if "$@"; then
    echo "=== $name: passed"
  else
    echo "=== $name: FAILED"
    failed+=("$name")
  fi
}

# As root every file is writable: the read-only cases run as an ordinary user made for
# the run, whose processes end with it.
remove_user() {
  local uid
  uid=$(id -u "$1") || return 0
  pkill -KILL -U "$uid" || true
  for _ in $(seq 50); do pgrep -U "$uid" >/dev/null || break; sleep 0.1; done
  userdel --remove "$1" 2>/dev/null
  rm -rf "/tmp/.wine-$uid"
}
if [ "$(id -u)" = 0 ] && [[ -z $only || $only == e2e ]]; then
  export ZOD_E2E_USER=zod-e2e
  id "$ZOD_E2E_USER" >/dev/null 2>&1 || useradd --create-home --shell /bin/sh "$ZOD_E2E_USER"
  zod_at_exit remove_user "$ZOD_E2E_USER"
fi

zod_x_server
step files scripts/windows-check-files.sh

# One prefix and one server for the unit tests and the viewer.
zod_wine_prefix tests --persistent
units() {
  local status=0
  ctest --preset "${tests#build/}" "$@" || status=1
  if [ "$bits" = 32 ]; then
    ctest --preset windows-x64-tests -R thumbnails "$@" || status=1
  fi
  return $status
}
step units units "$@"
# Debian's own Python, which has python3-xlib, whatever else is first on PATH.
step e2e /usr/bin/python3 tests/windows/e2e_test.py "$exe" assets/intro.bmp "$@"

# The installer's prefix starts fresh: its registry is compared before and after.
installer() {
  zod_wine_prefix installer || return
  # The probe asks for thumbnails as Explorer would, so it has the system's width.
  local probe=windows-x64-tests
  [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || probe=windows-tests
  ZOD_THUMBNAIL_PROBE=$PWD/build/$probe/tests/windows/thumbnail_probe.exe \
    /usr/bin/python3 tests/windows/installer_test.py "$packages" "$@"
}
step installer installer "$@"

if [ ${#failed[@]} -gt 0 ]; then
  echo "Windows stage FAILED after $((SECONDS - started)) s: ${failed[*]}" >&2
  exit 1
fi
echo "Windows stage passed in $((SECONDS - started)) s ($bits-bit path)"
