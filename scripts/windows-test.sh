#!/usr/bin/env bash
# The Windows stage of the tests: builds zod-edozuv.exe, zod-tvq.exe and the thumbnail DLL
# with mingw-w64 and checks what they are, then runs the Windows unit tests, the thumbnail
# DLL's test and the end-to-end test of the real program under Wine in Xvfb, with a
# throwaway Wine prefix made for this run. The 64-bit DLL (64-bit Explorer) is tested too.
# Last, the installer and the zip (scripts/windows-installer-test.sh, in a prefix of their
# own).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

if [ "${1:-}" = --under-x ]; then
  # Second half, inside Xvfb: $2 is the preset whose build Wine runs; $3, when given,
  # the 64-bit preset whose thumbnail DLL is tested as well.
  preset=$2
  wine=wine
  [ "$preset" = windows-x64-tests ] && wine=/usr/lib/wine/wine64
  wineserver -p >/dev/null 2>&1 # one server for every program of the run
  # Wine's helper processes start here and live as long as the server, holding whatever
  # output they were given: /dev/null, so that no pipe of ctest's stays open.
  "$wine" wineboot -i >/dev/null 2>&1
  echo "Wine prefix ready after $((SECONDS - started)) s"
  ctest --preset "$preset"
  if [ -n "${3:-}" ]; then
    ctest --preset "$3" -R thumbnails
  fi
  # The .exe as it ships where Wine can run it; else its 64-bit twin.
  exe=build/windows/zod-edozuv.exe
  [ "$preset" = windows-x64-tests ] && exe=build/windows-x64-tests/zod-edozuv.exe
  # Debian's own Python, which has python3-xlib, whatever else is first on PATH.
  /usr/bin/python3 tests/windows/e2e_test.py "$exe" assets/intro.bmp
  scripts/windows-installer-test.sh
  exit
fi

source scripts/packages.sh
scripts/ensure-packages.sh "${WINDOWS_TEST_PACKAGES[@]}"

# What a program or DLL imports: only Windows' own DLLs, msvcrt.dll being the C library
# every Windows carries.
check_imports() {
  local imports
  imports=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    tr 'a-z' 'A-Z' | sort -u)
  for dll in $imports; do
    case $dll in
    KERNEL32.DLL | ADVAPI32.DLL | GDI32.DLL | SHELL32.DLL | SHLWAPI.DLL | OLE32.DLL | \
      OLEAUT32.DLL | MSVCRT.DLL) ;;
    *)
      echo "windows-test: $1 imports $dll, which Windows does not carry" >&2
      exit 1
      ;;
    esac
  done
  echo "$1: $(stat -c %s "$1") bytes, imports:" $imports
}

# A thumbnail DLL exports the four entry points COM and regsvr32 call, and nothing else.
check_dll() {
  local exports
  exports=$(x86_64-w64-mingw32-objdump -p "$1" |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] \([A-Za-z_][A-Za-z0-9_@]*\)$/\1/p' | sort | tr '\n' ' ')
  if [ "$exports" != "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ]; then
    echo "windows-test: $1 exports: $exports" >&2
    exit 1
  fi
  check_imports "$1"
}

# The programs as they ship: the 32-bit build, and the 64-bit thumbnail DLL.
cmake --preset windows
cmake --build --preset windows
scripts/windows-check-exe.sh build/windows/zod-edozuv.exe
grep -Eq 'Subsystem[[:space:]]+00000003' <<<"$(x86_64-w64-mingw32-objdump -p build/windows/zod-tvq.exe)" ||
  { echo "windows-test: zod-tvq.exe is not a console program" >&2; exit 1; }
check_imports build/windows/zod-tvq.exe
check_dll build/windows/zod-tvq-thumbnails.dll
cmake --preset windows-x64
cmake --build --preset windows-x64 --target zod-tvq-thumbnails
check_dll build/windows-x64/zod-tvq-thumbnails.dll
# The downloads, which the last step installs and uninstalls under Wine.
cmake --build --preset windows --target installer portable-zip

# Wine runs 32-bit programs only where the kernel runs 32-bit code. Where it does not (a
# kernel without ia32 emulation), the same sources are tested as a 64-bit build.
# The 64-bit DLL's test runs either way.
also=""
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  preset=windows-tests
  also=windows-x64-tests
  cmake --preset "$also"
  cmake --build --preset "$also" --target thumbnails_windows_tests
else
  echo "note: this kernel runs no 32-bit code; Wine runs the 64-bit build of the same sources"
  preset=windows-x64-tests
fi
cmake --preset "$preset"
cmake --build --preset "$preset"

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zod-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --under-x "$preset" $also
echo "Windows stage passed in $((SECONDS - started)) s"
