#!/usr/bin/env bash
# Builds the web page and runs its tests in headless Chromium, which compare its downloads
# with zod-tvq (ZOD_TVQ, else the dev build's, built first). Arguments go to unittest, e.g.
# -k offline.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" "${WEB_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}"
cmake --preset web >/dev/null
cmake --build --preset web
if [ -z "${ZOD_TVQ:-}" ]; then
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target zod-tvq
  export ZOD_TVQ=$PWD/build/dev/zod-tvq/zod-tvq
fi
# Debian's python3, which python3-selenium is installed for.
/usr/bin/python3 tests/web/test_page.py "$@"
