#!/usr/bin/env bash
# Checks what ships as files, on any kernel: the 32-bit viewer, zod-tvq.exe, both
# thumbnail DLLs, the installer and the zip in BUILD (default build/windows). Prints each
# file's size and imports, and every fault found, then fails if there was any.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"
build=${1:-build/windows}
faults=0
fail() {
  echo "windows-check-files: $*" >&2
  faults=$((faults + 1))
}

# The DLLs a program may import: Windows' own, which every Windows carries; msvcrt.dll is
# the system's C library.
ALLOWED_DLLS=(KERNEL32.DLL USER32.DLL GDI32.DLL COMDLG32.DLL ADVAPI32.DLL SHELL32.DLL SHLWAPI.DLL
              OLE32.DLL OLEAUT32.DLL MSVCRT.DLL)

# FILE FORMAT [SUBSYSTEM]: the objdump format (pei-i386, pei-x86-64) and subsystem (2 GUI,
# 3 console). Leaves objdump's answer in $headers.
check_file() {
  headers=$(x86_64-w64-mingw32-objdump -p "$1" 2>&1) || { fail "$1: $headers"; return 1; }
  grep -q "file format $2\$" <<<"$headers" || fail "$1: not $2"
  [ -z "${3:-}" ] || grep -Eq "Subsystem[[:space:]]+0000000$3" <<<"$headers" ||
    fail "$1: not of subsystem $3"
}

# A program or DLL of ours: also what it imports.
check_program() {
  check_file "$@" || return
  local imports dll
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort -u)
  for dll in $imports; do
    [[ " ${ALLOWED_DLLS[*]} " == *" $dll "* ]] ||
      fail "$1 imports $dll, which Windows does not carry"
  done
  echo "$1: $(stat -c %s "$1") bytes, imports:" $imports
}

# A thumbnail DLL exports the four entry points COM and regsvr32 call, and nothing else.
check_thumbnails() {
  check_program "$1" "$2" || return
  local exports
  exports=$(sed -n 's/^[[:space:]]*\[ *[0-9]*\] \([A-Za-z_][A-Za-z0-9_@]*\)$/\1/p' <<<"$headers" |
    sort | tr '\n' ' ')
  [ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
    fail "$1 exports: $exports"
}

exe=$build/zod-edozuv.exe
check_program "$exe" pei-i386 2 || exit 1
# msvcrt's _stat fails on files past 2 GiB, and a TVQ file may be that large.
grep -Eq '^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+_stat$' <<<"$headers" &&
  fail "$exe imports _stat, which fails on files past 2 GiB"
# Resource types, as objdump prints them in hexadecimal: 0x10 (16) is the version block,
# 0x18 (24) a manifest (there must be none: see README).
types=$(sed -n '/The .rsrc Resource Directory/,$p' <<<"$headers" |
  sed -n 's/^0[0-9a-f]*   Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p')
grep -qx 10 <<<"$types" || fail "$exe: no VERSIONINFO"
grep -qx 18 <<<"$types" && fail "$exe: a manifest is embedded"
texts=$(strings -el "$exe")
grep -qx 'ZOD Edozuv' <<<"$texts" || fail "$exe: the version block does not name the program"
version=$(sed -n 's/^project(zod_edozuv VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
grep -qxF "$version" <<<"$texts" || fail "$exe: the version block does not give $version"

check_program "$build/zod-tvq.exe" pei-i386 3
check_thumbnails "$build/zod-tvq-thumbnails.dll" pei-i386
check_thumbnails "$build/x64/zod-tvq-thumbnails.dll" pei-x86-64

# The installer: a 32-bit program that holds what the zip holds, compressed at least as
# well; less than a third of the zip would mean files are missing.
setup=$build/packages/zod-edozuv-$version-setup.exe
zip=$build/packages/zod-edozuv-$version-windows.zip
if check_file "$setup" pei-i386 2 && [ -f "$zip" ]; then
  size=$(stat -c %s "$setup") zip_size=$(stat -c %s "$zip")
  [ $((size * 3)) -ge "$zip_size" ] && [ "$size" -le "$zip_size" ] ||
    fail "$setup: $size bytes, against the zip's $zip_size"
  echo "$setup: $size bytes (the zip: $zip_size)"
fi
/usr/bin/python3 tests/windows/installer_test.py "$build/packages" -q ZipTest ||
  fail "$zip: its contents"

[ $faults = 0 ] || { echo "windows-check-files: $faults faults" >&2; exit 1; }
