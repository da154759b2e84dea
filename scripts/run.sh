#!/usr/bin/env bash
# Builds the program and starts it in the demo folder; arguments go to the program (a FILE to show).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
# The program is a window on an X display. Without one there is nothing to see, so say so
# before building anything (under Xvfb it would wait forever for a user).
if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no X display (DISPLAY is not set). Start it from a desktop session, or point" >&2
  echo "DISPLAY at an X server, e.g.: Xvfb :1 & DISPLAY=:1 scripts/run.sh" >&2
  exit 1
fi
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}"
# Configured once; later builds re-run CMake themselves when a CMake file changes.
[ -f build/release/CMakeCache.txt ] || cmake --preset release
cmake --build --preset release --target zod-edozuv
cd assets
exec ../build/release/zod-edozuv "$@"
