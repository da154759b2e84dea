#!/usr/bin/env bash
# Checks what a built zod-edozuv.exe is: a 32-bit GUI program that imports only Windows'
# own DLLs, carries its version and no manifest. Prints its size and imports.
set -euo pipefail
exe=${1:-build/windows/zod-edozuv.exe}
headers=$(i686-w64-mingw32-objdump -p "$exe")
fail() {
  echo "windows-check-exe: $exe: $*" >&2
  exit 1
}

grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit Windows program"
grep -Eq 'Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI-subsystem program"

# The system's own DLLs; msvcrt.dll is the C library every Windows carries.
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort -u)
for dll in $imports; do
  case $dll in
  KERNEL32.DLL | USER32.DLL | GDI32.DLL | COMDLG32.DLL | MSVCRT.DLL) ;;
  *) fail "imports $dll, which Windows does not carry" ;;
  esac
done

# msvcrt's _stat fails on files past 2 GiB, and a TVQ file may be that large.
grep -Eq '^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+_stat$' <<<"$headers" &&
  fail "imports _stat, which fails on files past 2 GiB"

# Resource types, as objdump prints them in hexadecimal: 0x10 (16) is the version block,
# 0x18 (24) a manifest (there must be none, see README).
types=$(sed -n '/The .rsrc Resource Directory/,$p' <<<"$headers" |
  sed -n 's/^0[0-9a-f]*   Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p')
grep -qx 10 <<<"$types" || fail "no VERSIONINFO"
grep -qx 18 <<<"$types" && fail "a manifest is embedded"
texts=$(strings -el "$exe")
grep -qx 'ZOD Edozuv' <<<"$texts" || fail "the version block does not name the program"
# The version that CMakeLists.txt's project() gives, as the build wrote it into the script.
version=$(sed -n 's/^project(zod_edozuv VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
[ -n "$version" ] || fail "no version in CMakeLists.txt"
grep -qxF "$version" <<<"$texts" || fail "the version block does not give $version"

echo "$exe: $(stat -c %s "$exe") bytes, imports:" $imports
