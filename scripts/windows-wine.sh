#!/usr/bin/env bash
# Runs a Windows program under Wine: windows-wine.sh program.exe [arguments...]
# ctest uses it as the cross-compiling emulator. A 64-bit program goes to Wine's 64-bit
# loader directly; a 32-bit one to `wine`, which needs a kernel that runs 32-bit code.
# WINEPREFIX should name a throwaway prefix; the test stage makes one per run.
set -euo pipefail
program=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/zod-edozuv-wine-$(id -u)}

# The machine field of the PE header: 8664 is x86-64, 14c is i386.
pe_offset=$(od -An -tu4 -j60 -N4 "$program" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$program" | tr -d ' ')
if [ "$machine" = 8664 ] && [ -x /usr/lib/wine/wine64 ]; then
  exec /usr/lib/wine/wine64 "$program" "$@"
fi
exec wine "$program" "$@"
