#!/usr/bin/env bash
# Builds and runs every test.
#   scripts/test.sh            everything: the Linux tests, the web page, fuzzing, the
#                              Debian packages, the Windows stage
#   scripts/test.sh --quick    the Linux tests of the dev build alone (ctest), for a local loop
#   ZOD_SKIP_WINDOWS=1 scripts/test.sh    all but the Windows stage
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  -h | --help) sed -n '2,6s/^# \{0,1\}//p' "$0"; exit 0 ;;
  *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}"
# Before configuring: the GUI tests are only set up when Xvfb and xdotool exist.
scripts/ensure-packages.sh "${GUI_TEST_PACKAGES[@]}"
cmake --preset dev
cmake --build --preset dev
ctest --preset dev
if [ "$quick" = 1 ]; then
  echo "note: --quick: the web page, fuzzing, the Debian packages and the Windows stage were skipped"
  exit 0
fi
# The web page in headless Chromium, against the dev build's zod-tvq.
scripts/web-test.sh
# Every fuzz target for a short run; scripts/fuzz.sh with more seconds for a campaign.
scripts/fuzz.sh 20
# The Debian packages (release preset): lintian, then installed, upgraded and purged.
scripts/deb-test.sh
# The Windows program: cross-compiled with mingw-w64, tested under Wine. ZOD_SKIP_WINDOWS=1
# leaves it out, for a quick local loop.
if [ "${ZOD_SKIP_WINDOWS:-}" = 1 ]; then
  echo "note: ZOD_SKIP_WINDOWS=1: the Windows stage was skipped"
else
  scripts/windows-test.sh
fi
