#!/usr/bin/env bash
# The Debian packages on this machine: builds them (release preset) and runs lintian,
# installs them with apt, checks each part from the system with no environment of ours,
# upgrades them to a next version, then purges them and checks that nothing of theirs is
# left, not even in the system's caches. Needs apt and root (or sudo without a password);
# purges on failure too, so the machine is left as it was found.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/usage.sh "$@"

skip() { echo "skipped: the Debian package test ($1)"; exit 0; }
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v apt-get >/dev/null && command -v dpkg-query >/dev/null || skip "no apt-get here"
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "needs root, or sudo without a password"
  SUDO=(sudo)
fi
PACKAGES=(zod-edozuv zod-tvq gdk-pixbuf-loader-tvq qt5-image-formats-plugin-tvq)
installed() { dpkg-query -W -f='${db:Status-Abbrev}\n' "$1" 2>/dev/null | grep -q '^.[^n]'; }
for pkg in "${PACKAGES[@]}"; do
  installed "$pkg" && skip "$pkg is installed here, and the test would remove it"
done

source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" "${DEB_TEST_PACKAGES[@]}"
out=build/release/packages
rm -f "$out"/*.deb
cmake --preset release >/dev/null
cmake --build --preset release --target qt_read
cmake --build --preset release --target deb
debs=("$PWD/$out"/*_"$(dpkg --print-architecture)".deb)
[ ${#debs[@]} -eq ${#PACKAGES[@]} ] || fail "expected ${#PACKAGES[@]} packages in $out, found ${#debs[@]}"
ls -l "${debs[@]}"
tmp=$(mktemp -d)
pulled=()
cleanup() {
  local rc=$?
  set +e
  local present=()
  for pkg in "${PACKAGES[@]}"; do installed "$pkg" && present+=("$pkg"); done
  if [ ${#present[@]} -gt 0 ]; then
    apt_get purge "${present[@]}"
  fi
  # What apt installed for them alone; dpkg refuses to remove what something else needs.
  [ ${#pulled[@]} -gt 0 ] && "${SUDO[@]}" dpkg --purge "${pulled[@]}"
  rm -rf "$tmp"
  exit $rc
}
trap cleanup EXIT
# lintian leaves its caches of ELF facts in TMPDIR.
TMPDIR=$tmp lintian --fail-on error,warning "${debs[@]}" || fail "lintian: see above"

# Every check runs as a user would: PATH and a home of its own, nothing else.
sys() { env -i PATH=/usr/bin:/bin HOME="$tmp/home" "$@"; }
mkdir -p "$tmp/home"
sample=$PWD/assets/plasma.tvq
qt_read=$PWD/build/release/bench/qt_read
mime_type() { sys xdg-mime query filetype "$sample"; }
# dpkg may be told to leave manual pages out (minimal container images).
man_pages=1
grep -qs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/* && man_pages=0

# The caches are the system's, made by its triggers: a package that shipped one would
# replace the system's and take it away again when purged.
mapfile -t paths < <(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done |
  awk '{print substr($6, 2)}' | sed 's,/$,,' | sort -u)
! printf '%s\n' "${paths[@]}" | grep -E '\.cache$|/share/mime/' | grep -v /mime/packages ||
  fail "a package ships a cache (above)"

# Before: nothing on the system knows TVQ files, so what passes later is the packages' work.
! sys "$qt_read" "$sample" 0 2>/dev/null || fail "Qt reads TVQ files before the install"
! sys gdk-pixbuf-thumbnailer -s 64 "$sample" "$tmp/before.png" 2>/dev/null ||
  fail "gdk-pixbuf reads TVQ files before the install"
[ "$(mime_type)" != image/x-tvq ] || fail "image/x-tvq is known before the install"

works() {  # $1: the packages' version; the programs are always the build's
  local packaged=$1
  [ "$(sys zod-edozuv --version)" = "zod-edozuv $version" ] || fail "zod-edozuv --version"
  sys zod-tvq convert --level 5 -q -o "$tmp/system.bmp" "$sample" || fail "zod-tvq convert"
  build/release/zod-tvq/zod-tvq convert --level 5 -q --force -o "$tmp/built.bmp" "$sample"
  cmp -s "$tmp/system.bmp" "$tmp/built.bmp" || fail "zod-tvq convert: not the built tool's picture"
  rm "$tmp/system.bmp"
  if [ $man_pages = 1 ]; then
    [ "$(sys man -w zod-tvq)" = /usr/share/man/man1/zod-tvq.1.gz ] || fail "man -w zod-tvq"
  fi
  grep -q libpixbufloader-tvq.so /usr/lib/*/gdk-pixbuf-2.0/2.10.0/loaders.cache ||
    fail "the system's loaders cache does not list the module"
  rm -f "$tmp/thumb.png"
  sys gdk-pixbuf-thumbnailer -s 64 "$sample" "$tmp/thumb.png" || fail "gdk-pixbuf-thumbnailer"
  [ "$(head -c 4 "$tmp/thumb.png" | tail -c 3)" = PNG ] || fail "the thumbnail is no PNG file"
  sys "$qt_read" "$sample" 0 || fail "QImageReader with the system's plugin folder"
  [ "$(mime_type)" = image/x-tvq ] || fail "xdg-mime query filetype: $(mime_type)"
  [ "$(sys xdg-mime query default image/x-tvq)" = zod-edozuv.desktop ] ||
    fail "the launcher is not the default for image/x-tvq"
  for pkg in "${PACKAGES[@]}"; do
    [ "$(dpkg-query -W -f='${Version}' "$pkg")" = "$packaged" ] || fail "$pkg is not at $packaged"
    dpkg --verify "$pkg" || fail "dpkg --verify $pkg"
  done
  echo "ok: the packages at $packaged work from the system"
}

# apt-get install or purge; its long output only when it fails.
apt_get() {
  echo "apt-get $1 ${*:2}"
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$1" -y -q \
    -o DPkg::Lock::Timeout=300 "${@:2}" >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log"; return 1; }
}
# What apt will newly install besides the packages (an upgrade shows its old version in
# brackets), so that only that is removed again.
mapfile -t pulled < <(apt-get install -s -q "${debs[@]}" 2>/dev/null |
  awk '/^Inst / && $3 !~ /^\[/ {print $2}' | grep -vxF -f <(printf '%s\n' "${PACKAGES[@]}") || true)
[ ${#pulled[@]} -eq 0 ] || echo "apt also installs: ${pulled[*]}"
version=$(dpkg-deb -f "${debs[0]}" Version)
apt_get install "${debs[@]}"
works "$version"

# The next version: the same build packaged again under a higher number.
next=${version%.*}.$((${version##*.} + 1))
cpack --config build/release/CPackDeb.cmake -B "$tmp/staging" \
  -D CPACK_PACKAGE_VERSION="$next" -D CPACK_OUTPUT_FILE_PREFIX="$tmp/next" >/dev/null
apt_get install "$tmp"/next/*.deb
zcat /usr/share/doc/zod-edozuv/changelog.gz | grep -q "($next)" || fail "the changelog of $next"
works "$next"

# Purged, nothing of theirs is left: no file, no folder only they used, no cache entry.
apt_get purge "${PACKAGES[@]}"
for pkg in "${PACKAGES[@]}"; do ! installed "$pkg" || fail "$pkg is not purged"; done
for path in "${paths[@]}"; do
  [ -n "$path" ] && [ -e "$path" ] || continue
  [ -d "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1 || fail "$path is left"
done
loaders=$(cat /usr/lib/*/gdk-pixbuf-2.0/2.10.0/loaders.cache)
grep -q '^"/.*\.so"$' <<<"$loaders" && ! grep -q libpixbufloader-tvq <<<"$loaders" ||
  fail "the loaders cache is gone or still lists the module"
! grep -qs x-tvq /usr/share/mime/globs2 || fail "the MIME database still knows image/x-tvq"
! grep -qs zod-edozuv /usr/share/applications/mimeinfo.cache ||
  fail "the launcher cache still lists zod-edozuv"
! sys "$qt_read" "$sample" 0 2>/dev/null || fail "Qt still reads TVQ files"
! sys man -w zod-tvq >/dev/null 2>&1 || fail "man still finds zod-tvq"
echo "ok: upgraded to $next and purged, nothing left"
