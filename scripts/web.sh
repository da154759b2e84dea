#!/usr/bin/env bash
# Builds the web page and serves it on 127.0.0.1 until Ctrl+C (PORT: the port, 8000 unless
# set). Any static file server can serve build/web/site/ instead.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
source scripts/packages.sh
scripts/ensure-packages.sh "${WEB_PACKAGES[@]}"
cmake --preset web >/dev/null
cmake --build --preset web
port=${PORT:-8000}
echo "The page is at http://127.0.0.1:$port/ (Ctrl+C stops the server)"
exec python3 -m http.server --bind 127.0.0.1 --directory build/web/site "$port"
