#!/usr/bin/env bash
# Builds the program and starts it in the demo folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}"
cmake --preset release
cmake --build --preset release
cd assets
exec ../build/release/zod-edozuv "$@"
