#!/usr/bin/env bash
# The Windows stage: scripts/windows-build.sh, then scripts/windows-run.sh (which says what
# each path runs). Arguments go to the run step.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
scripts/windows-build.sh
exec scripts/windows-run.sh "$@"
