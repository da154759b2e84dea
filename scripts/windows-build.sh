#!/usr/bin/env bash
# The Windows stage's build: what ships, and what the tests run.
#   build/windows           the 32-bit viewer, zod-tvq.exe, both thumbnail DLLs, the
#                           installer and the zip (built on every kernel; checked as files)
#   build/windows-tests     32-bit path: the 32-bit programs with their unit tests
#   build/windows-x64-tests the 64-bit twins with their unit tests and the thumbnail probe;
#                           on the 64-bit path also a twin installer and zip holding them
# The path (scripts/wine.sh): 32 where this kernel runs 32-bit code, else 64;
# ZOD_WINDOWS_BITS=64 forces 64.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
source scripts/packages.sh
scripts/ensure-packages.sh "${WINDOWS_TEST_PACKAGES[@]}"
source scripts/wine.sh
bits=$(zod_windows_bits)

cmake --preset windows
cmake --build --preset windows --target all installer portable-zip
cmake --preset windows-x64-tests
if [ "$bits" = 64 ]; then
  echo "note: the 64-bit path: Wine runs the 64-bit twins"
  cmake --build --preset windows-x64-tests --target all installer portable-zip
else
  # The 64-bit thumbnail DLL (64-bit Explorer) is tested on this path too.
  cmake --build --preset windows-x64-tests --target thumbnails_windows_tests thumbnail_probe
  cmake --preset windows-tests
  cmake --build --preset windows-tests
fi
