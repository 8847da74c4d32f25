#!/bin/sh
# check_package.sh BUILD: packs BUILD into a temporary folder (as
# ./build.sh package does into BUILD) and inspects the two packages without
# installing them: their files and fields, Depends against this system's
# library packages (no FFmpeg for the player), lintian, the metainfo, and
# that they carry no build path or build date and come out the same again.
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/shared_checks.sh"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
pack() {
  mkdir -p "$1"
  cpack --config "$build/CPackConfig.cmake" -B "$1" >"$1/log" 2>&1 || { cat "$1/log" >&2; fail "cpack"; }
}
pack "$out/first"
# The packages of the libraries PROGRAM links, as this system names them.
library_packages() {
  for soname in $(objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }'); do
    file=$(readlink -f "$(ldd "$1" | awk -v so="$soname" '$1 == so { print $3 }')")
    { dpkg -S "$file" || dpkg -S "${file#/usr}"; } 2>/dev/null | sed 's/:.*//' | head -n 1  # merged /usr
  done | sort -u
}
for package in vexlade:player:games:$VEXL_GAMESDIR/vexlade vexl:tools:video:$VEXL_BINDIR/vexl; do
  IFS=: read -r name component section program <<END
$package
END
  deb=$out/first/${name}_${VEXL_PACKAGE_VERSION}_$(dpkg --print-architecture).deb
  [ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$out/first")"
  dpkg-deb --extract "$deb" "$out/$name"
  info=$(dpkg-deb --info "$deb")
  for field in "Package: $name" "Version: $VEXL_PACKAGE_VERSION" "Section: $section" "Homepage: https://" \
               "Maintainer: The vexlade team <"; do
    echo "$info" | grep -q "^ $field" || fail "$name lacks '$field'"
  done
  echo "$info" | grep -q "^  $name [a-z]" || fail "$name: no long description"
  contents=$(dpkg-deb --contents "$deb")
  echo "$contents" | awk '$2 != "root/root" { exit 1 }' || fail "$name: files not owned by root"
  echo "$contents" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort >"$out/files"
  expected_files $component | diff -u - "$out/files" >&2 || fail "$name: files differ from the expected ones (+ unexpected)"
  echo "$contents" | grep -q "^-rwxr-xr-x .* \./usr/$program$" || fail "$program not executable"
  file -b "$out/$name/usr/$program" | grep -q ", stripped" || fail "$program not stripped"
  depends=$(dpkg-deb --field "$deb" Depends)
  for library in $(library_packages "$out/$name/usr/$program"); do
    echo "$depends" | grep -q "\(^\|, \)$library (>= " || fail "$name Depends lacks $library: $depends"
  done
  echo "$name: $(stat -c %s "$deb") bytes, Installed-Size $(dpkg-deb --field "$deb" Installed-Size) KiB; Depends: $depends"
done
ffmpeg=$(library_packages "$out/vexl/usr/$VEXL_BINDIR/vexl" | grep -E '^lib(av|sw)') || fail "vexl links no FFmpeg library"
for library in $ffmpeg; do
  dpkg-deb --field "$out"/first/vexlade_*.deb Depends | grep -q "$library" && fail "vexlade depends on $library"
done
dpkg-deb --field "$out"/first/vexl_*.deb Depends | grep -q "^vexlade (= $VEXL_PACKAGE_VERSION)" || fail "vexl needs the player of its version"

share=$out/vexlade/usr/$VEXL_DATADIR
check_desktop_entry "$share/applications/vexlade.desktop" /usr
appstreamcli validate --pedantic --no-net "$share/metainfo/org.vexlade.vexlade.metainfo.xml" >&2 || fail "appstreamcli"
[ "$(dpkg-parsechangelog -l "$source_dir/dist/debian/changelog" -S Version)" = "$VEXL_VERSION" ] ||
  fail "the changelog's latest entry is not $VEXL_VERSION"
lintian --pedantic --fail-on error,warning "$out"/first/*.deb >&2 || fail "lintian finds errors or warnings"

# Reproducible: no build path in a file, the man pages dated as the last
# commit, and the same bytes when packed again a second later elsewhere.
for dir in "$source_dir" "$(cd "$build" && pwd)"; do
  found=$(grep -rlaF "$dir" "$out/vexlade" "$out/vexl") && fail "the build path $dir is in $found"
done
day=$(date -u -d "@$(cat "$build/dist/source_date_epoch")" +%Y-%m-%d)
for page in "$out"/vexl*/usr/"$VEXL_MANDIR"/man*/*.gz; do
  zcat "$page" | grep -q "^\.TH .* \"$day\"" || fail "$page is not dated $day"
done
sleep 1
pack "$out/second"
for deb in "$out"/first/*.deb; do cmp "$deb" "$out/second/${deb##*/}" || fail "${deb##*/} differs when packed again"; done
echo "packages: all checks passed"
