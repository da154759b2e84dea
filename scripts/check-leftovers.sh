#!/usr/bin/env bash
# Checks that a test run left nothing behind: DIR (the run's TMPDIR) is empty, no process
# started under it still runs (each carries TMPDIR=DIR or a folder inside it in its
# environment), and the read-only tests' user is gone. Says what it finds.
# Usage: scripts/check-leftovers.sh DIR
set -uo pipefail
dir=$1
faults=0
left=$(ls -A "$dir")
if [ -n "$left" ]; then
  echo "left behind in $dir:" $left >&2
  faults=1
fi

# This check and the scripts that called it carry TMPDIR too.
ancestors=" "
pid=$$
while [ "$pid" -gt 1 ]; do
  ancestors+="$pid "
  pid=$(ps -o ppid= -p "$pid" | tr -d ' ')
done
for environ in /proc/[0-9]*/environ; do
  pid=${environ#/proc/}
  pid=${pid%/environ}
  [[ $ancestors == *" $pid "* ]] && continue
  while IFS= read -r -d '' variable; do
    if [ "$variable" = "TMPDIR=$dir" ] || [[ $variable == "TMPDIR=$dir/"* ]]; then
      echo "still running: $(ps -o pid=,user=,args= -p "$pid")" >&2
      faults=1
    fi
  done 2>/dev/null <"$environ"
done 2>/dev/null

if id zod-e2e >/dev/null 2>&1; then
  echo "the user zod-e2e, made for the read-only tests, remains" >&2
  faults=1
fi
exit $faults
