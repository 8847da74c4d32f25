#!/bin/sh
# check_package.sh BUILD: builds the Debian package of BUILD into a
# temporary folder (as ./build.sh package does into BUILD) and inspects it
# with dpkg-deb, without installing it.
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shared_checks.sh"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; fail "cpack"; }
deb=$out/vexlade_${VEXL_PACKAGE_VERSION}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") made: $(ls "$out")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = vexlade ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$VEXL_PACKAGE_VERSION" ] || fail "Version: $(field Version)"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
dpkg-deb --info "$deb" | grep -q "^  vexlade plays text-mode demos" || fail "no long description"
# Computed from the binaries: every library they link, under the names of
# the release built on (FFmpeg's carry their soname's number, libpng16-16t64
# Debian 13's time_t suffix).
depends=$(field Depends)
for library in libc6 'libstdc\+\+6' liblzo2-2 libpng16-16 libsdl2-2.0-0 libsndfile1 \
               libavcodec libavformat libswscale libswresample; do
  echo "$depends" | grep -Eq "(^|, )$library[0-9]*(t64)? \(>= " || fail "Depends lacks $library: $depends"
done

# The files of an install under /usr, owned by root, programs executable
# and stripped.
contents=$(dpkg-deb --contents "$deb")
echo "$contents" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort >"$out/files"
expected_files | diff -u - "$out/files" >&2 || fail "package files differ from the expected ones (+ unexpected)"
echo "$contents" | awk '$2 != "root/root" { exit 1 }' || fail "files not owned by root"
echo "$contents" | grep -q "^-rwxr-xr-x .* \./usr/$VEXL_BINDIR/vexlade$" || fail "vexlade not executable"

unpacked=$out/root
mkdir "$unpacked"
dpkg-deb --extract "$deb" "$unpacked"
file -b "$unpacked/usr/$VEXL_BINDIR/vexl" | grep -q ", stripped" || fail "vexl not stripped"
check_desktop_entry "$unpacked/usr/$VEXL_DATADIR/applications/vexlade.desktop" /usr
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $depends"
