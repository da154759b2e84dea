#!/usr/bin/env bash
# Wine for the Windows stage, in one place.
#
# Run: scripts/wine.sh PROGRAM [ARGUMENTS...] runs PROGRAM under the Wine loader of its
# width: a 64-bit .exe goes to Wine's 64-bit loader, a 32-bit one to `wine`, and a
# program named without a path (wineboot, reg, cmd) to the loader of the stage's path.
# ctest uses it as the cross-compiling emulator.
#
# Sourced: zod_windows_bits, zod_at_exit, zod_temp_dir, zod_wine_prefix and zod_x_server.
#
# The path: Wine runs 32-bit programs only where the kernel runs 32-bit code. Where it
# does, the stage tests the 32-bit programs that ship; where it does not, or when
# ZOD_WINDOWS_BITS=64, their 64-bit twins built from the same sources.

# 32 or 64: the width of the programs this machine's Wine runs for the stage.
zod_windows_bits() {
  case ${ZOD_WINDOWS_BITS:-} in
  64) echo 64 ;;
  32 | "")
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
      echo 32
    elif [ -z "${ZOD_WINDOWS_BITS:-}" ]; then
      echo 64
    else
      echo "ZOD_WINDOWS_BITS=32, but this kernel runs no 32-bit code" >&2
      return 1
    fi
    ;;
  *)
    echo "ZOD_WINDOWS_BITS is 32 or 64, not '$ZOD_WINDOWS_BITS'" >&2
    return 1
    ;;
  esac
}

# The loader of a width: `wine` also starts 64-bit programs, where it can start at all.
zod_wine_loader() {
  if [ "$1" = 64 ]; then echo /usr/lib/wine/wine64; else echo wine; fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/zod-edozuv-wine-$(id -u)}
  bits=${ZOD_WINDOWS_BITS:-}
  if [ -f "$1" ]; then
    # The machine field of the PE header: 8664 is x86-64, 14c is i386.
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')" = 8664 ] && bits=64 || bits=32
  elif [ -z "$bits" ]; then
    bits=$(zod_windows_bits)
  fi
  exec "$(zod_wine_loader "$bits")" "$@"
fi

# --- sourced ----------------------------------------------------------------------------

# Commands run when the script ends, however it ends (last registered, first run). An
# interrupt ends it too, through the EXIT trap.
zod_cleanups=()
zod_at_exit() {
  zod_cleanups+=("$(printf '%q ' "$@")")
}
zod_run_cleanups() {
  local i
  trap '' INT TERM HUP # a second signal must not cut the cleanup short
  for ((i = ${#zod_cleanups[@]} - 1; i >= 0; i--)); do
    eval "${zod_cleanups[i]}" || true
  done
  zod_cleanups=()
}
trap zod_run_cleanups EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# A folder of its own for everything temporary, exported as TMPDIR (Wine's servers put
# their sockets there too); removed at exit. Open to other users' own folders inside it.
zod_temp_dir() {
  TMPDIR=$(mktemp -d "${TMPDIR:-/tmp}/zod-$1.XXXXXX")
  export TMPDIR
  chmod 711 "$TMPDIR"
  zod_at_exit rm -rf "$TMPDIR"
}

# Kills a prefix's programs and server, then removes it.
zod_wine_prefix_remove() {
  WINEPREFIX=$1 wineserver -k 2>/dev/null || true
  rm -rf "$1"
}

# A fresh prefix NAME under TMPDIR, made ready and exported as WINEPREFIX, with the path
# as ZOD_WINDOWS_BITS; removed at exit. With --persistent, one server serves every program
# until the end, with Wine's own helper programs started: else each program that needs
# them would start them, holding its output open (ctest waits for that).
zod_wine_prefix() {
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zod-$1.XXXXXX")
  ZOD_WINDOWS_BITS=$(zod_windows_bits)
  # winemenubuilder would copy shortcuts and associations into the desktop's menus.
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d" ZOD_WINDOWS_BITS
  zod_at_exit zod_wine_prefix_remove "$WINEPREFIX"
  [ "${2:-}" != --persistent ] || wineserver -p >/dev/null 2>&1
  "$(zod_wine_loader "$ZOD_WINDOWS_BITS")" wineboot -i >/dev/null 2>&1
  [ "${2:-}" = --persistent ] || wineserver -w
}

# Ends a background process of the script's (if it has not ended) and waits for it.
zod_stop() {
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# An Xvfb screen of its own for the rest of the script, exported as DISPLAY; stopped at
# exit. Any local user may connect: the unprivileged tests run as another user.
zod_x_server() {
  local number pid
  number=$(mktemp "${TMPDIR:-/tmp}/zod-display.XXXXXX")
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  pid=$!
  zod_at_exit zod_stop "$pid"
  zod_at_exit rm -f "$number"
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    sleep 0.1
  done
  [ -s "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$(cat "$number")
}
