#!/usr/bin/env bash
# The Windows downloads under Wine: installs, upgrades and uninstalls the installer that
# `--target installer portable-zip` made, in a throwaway prefix of its own, and checks the
# zip. scripts/windows-test.sh runs it inside its X server; DISPLAY must name one.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=${1:-build/windows/packages}

# NSIS installers are 32-bit programs, which Wine runs only where the kernel does.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "skipped: installer tests (NSIS installers are 32-bit programs; this kernel runs no 32-bit code)"
  exit 0
fi

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zod-installer-wine.XXXXXX")
# winemenubuilder would copy the shortcut and the association into the desktop's menus.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wine wineboot -i >/dev/null 2>&1
wineserver -w

# The probe asks for thumbnails as Explorer would, so it has the system's width.
compiler=i686-w64-mingw32-g++-posix
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && compiler=x86_64-w64-mingw32-g++-posix
probe=$WINEPREFIX/thumbnail_probe.exe
"$compiler" -std=c++17 -O1 -Wall -Wextra -Werror -static -o "$probe" \
  tests/windows/thumbnail_probe.cpp -lole32 -lshlwapi -luuid -lgdi32

/usr/bin/python3 tests/windows/installer_test.py "$packages" "$probe"
