#!/usr/bin/env bash
# The web page's budgets (bench/web_budgets.py) on a fresh build of the site. RUNS: $1, else 5.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${WEB_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}"
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
/usr/bin/python3 bench/web_budgets.py "${1:-5}"
