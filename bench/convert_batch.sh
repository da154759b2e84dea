#!/usr/bin/env bash
# zod-tvq on one command line of many small files: N and 2N 1 x 1 TVQ files converted into
# a folder, against cp of the same files (the floor: one open, read and write each). The
# cost per file must not grow with the batch, so t(2N) / t(N) should stay near 2 and the
# ratio to cp near its value at N. Interleaved by hyperfine, in $TMPDIR (tmpfs is best:
# a disk's noise would hide the program). Prints medians, minimums and the ratios.
# A benchmark, not a test: CI does not run it.
#   bench/convert_batch.sh [N] [RUNS]    (builds the release preset first)
#   ZOD=/path/to/zod-tvq bench/convert_batch.sh    (that program instead, built by nobody)
set -euo pipefail
cd "$(dirname "$0")/.."
N=${1:-20000}
RUNS=${2:-7}
scripts/ensure-packages.sh hyperfine python3
if [ -z "${ZOD:-}" ]; then
  cmake --preset release >/dev/null && cmake --build --preset release --target zod-tvq >/dev/null
  ZOD=$PWD/build/release/zod-tvq/zod-tvq
fi
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zod-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

python3 - "$N" <<'PY'
import os, sys
n = int(sys.argv[1])
tvq = bytearray(34)
tvq[4] = tvq[8] = 1  # 1 x 1, one grey pixel
tvq[32:34] = (0x4210).to_bytes(2, "little")
for folder in ("a", "b"):  # distinct names: the outputs share a folder
    os.mkdir(folder)
    for i in range(n):
        with open(f"{folder}/{folder}{i}.tvq", "wb") as f:
            f.write(tvq)
PY

# Through sh, which expands the names: one argument may hold only 128 KiB.
hyperfine --style basic -N --warmup 1 --runs "$RUNS" --export-json batch.json \
  --prepare "sh -c 'rm -rf out && mkdir out'" \
  -n "zod-N" "sh -c '\"$ZOD\" convert --no-sync -o out/ a/*.tvq'" \
  -n "zod-2N" "sh -c '\"$ZOD\" convert --no-sync -o out/ a/*.tvq b/*.tvq'" \
  -n "cp-N" "sh -c 'cp a/*.tvq out/'" \
  -n "cp-2N" "sh -c 'cp a/*.tvq b/*.tvq out/'" >/dev/null

python3 - "$N" <<'PY'
import json, statistics, sys
runs = {r["command"]: sorted(r["times"]) for r in json.load(open("batch.json"))["results"]}
med = {k: statistics.median(v) for k, v in runs.items()}
low = {k: v[0] for k, v in runs.items()}
print("N = %s files" % sys.argv[1])
print("%-8s %9s %9s" % ("", "median ms", "min ms"))
for k in runs:
    print("%-8s %9.1f %9.1f" % (k, 1000 * med[k], 1000 * low[k]))
for a, b in (("zod-2N", "zod-N"), ("cp-2N", "cp-N"), ("zod-N", "cp-N"), ("zod-2N", "cp-2N")):
    print("%-16s median %5.2f   min %5.2f" % (a + " / " + b, med[a] / med[b], low[a] / low[b]))
PY
