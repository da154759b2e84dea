#!/usr/bin/env bash
# Builds and runs every test.
#   scripts/test.sh            everything: the Linux tests, the web page, fuzzing, the
#                              Debian packages, the Windows stage
#   scripts/test.sh --quick    the Linux tests of the dev build alone (ctest), for a local loop
#   ZOD_SKIP_WINDOWS=1 scripts/test.sh    all but the Windows stage
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
quick=0
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
# Everything temporary goes under a folder of the run's own; at the end, however it ends,
# nothing may be left: no file there, no process started under it, no user made for it.
TMPDIR=$(mktemp -d "${TMPDIR:-/tmp}/zod-test.XXXXXX")
export TMPDIR
chmod 711 "$TMPDIR" # the Windows stage's other user reaches its own folder inside
# Outside a desktop session nothing gives a runtime folder; Qt would make one in TMPDIR.
runtime=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=$(mktemp -d "${TMPDIR%/*}/zod-runtime.XXXXXX")
  export XDG_RUNTIME_DIR=$runtime
fi
finish() {
  local status=$?
  trap '' INT TERM HUP # a second signal must not cut the check short
  scripts/check-leftovers.sh "$TMPDIR" || status=1
  rm -rf "$TMPDIR" $runtime
  exit $status
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
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
