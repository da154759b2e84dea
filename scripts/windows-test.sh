#!/usr/bin/env bash
# The Windows stage of the tests: builds zod-edozuv.exe with mingw-w64 and checks what it
# is, then runs the Windows unit tests and the end-to-end test of the real program under
# Wine in Xvfb, with a throwaway Wine prefix made for this run, and last the installer and
# the zip (scripts/windows-installer-test.sh, in a prefix of their own).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

if [ "${1:-}" = --under-x ]; then
  # Second half, inside Xvfb: $2 is the preset whose build Wine runs.
  preset=$2
  wine=wine
  [ "$preset" = windows-x64-tests ] && wine=/usr/lib/wine/wine64
  wineserver -p >/dev/null 2>&1 # one server for every program of the run
  # Wine's helper processes start here and live as long as the server, holding whatever
  # output they were given: /dev/null, so that no pipe of ctest's stays open.
  "$wine" wineboot -i >/dev/null 2>&1
  echo "Wine prefix ready after $((SECONDS - started)) s"
  ctest --preset "$preset"
  # The .exe as it ships where Wine can run it; else its 64-bit twin.
  exe=build/windows/zod-edozuv.exe
  [ "$preset" = windows-x64-tests ] && exe=build/windows-x64-tests/zod-edozuv.exe
  # Debian's own Python, which has python3-xlib, whatever else is first on PATH.
  /usr/bin/python3 tests/windows/e2e_test.py "$exe" assets/intro.bmp
  scripts/windows-installer-test.sh
  exit
fi

source scripts/packages.sh
scripts/ensure-packages.sh "${WINDOWS_TEST_PACKAGES[@]}"

# The program as it ships.
cmake --preset windows
cmake --build --preset windows
scripts/windows-check-exe.sh build/windows/zod-edozuv.exe
# The downloads, which the last step installs and uninstalls under Wine.
cmake --build --preset windows --target installer portable-zip

# Wine runs 32-bit programs only where the kernel runs 32-bit code. Where it does not (a
# kernel without ia32 emulation), the same sources are tested as a 64-bit build.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  preset=windows-tests
else
  echo "note: this kernel runs no 32-bit code; Wine runs the 64-bit build of the same sources"
  scripts/ensure-packages.sh g++-mingw-w64-x86-64-posix
  preset=windows-x64-tests
fi
cmake --preset "$preset"
cmake --build --preset "$preset"

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zod-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --under-x "$preset"
echo "Windows stage passed in $((SECONDS - started)) s"
