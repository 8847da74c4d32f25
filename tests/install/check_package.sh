#!/bin/sh
# check_package.sh BUILD: builds the Debian packages of BUILD into a
# temporary folder (as ./build.sh package does into BUILD) and inspects them
# with dpkg-deb, lintian and appstreamcli, without installing them: the
# player alone (vexlade), the tool (vexl) with what needs FFmpeg, and both
# made again to the byte.
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$here/shared_checks.sh"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
pack() {  # pack FOLDER
  mkdir -p "$1"
  cpack --config "$build/CPackConfig.cmake" -B "$1" >"$1/cpack.log" 2>&1 || { cat "$1/cpack.log" >&2; fail "cpack"; }
}
pack "$out/first"
arch=$(dpkg --print-architecture)

# The packages a program's libraries come from, on this system: what
# dpkg-shlibdeps must have put into Depends.
library_packages() {  # library_packages PROGRAM
  for soname in $(objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }'); do
    file=$(readlink -f "$(ldd "$1" | awk -v so="$soname" '$1 == so { print $3 }')")
    # Merged /usr: a package may own the file as /lib/... or /usr/lib/...
    { dpkg -S "$file" || dpkg -S "${file#/usr}"; } 2>/dev/null | sed 's/:.*//' | head -n 1
  done | sort -u
}

for package in vexlade vexl; do
  deb=$out/first/${package}_${VEXL_VERSION}_$arch.deb
  [ -f "$deb" ] || fail "no $(basename "$deb") made: $(ls "$out/first")"
  field() { dpkg-deb --field "$deb" "$1"; }
  [ "$(field Package)" = "$package" ] || fail "Package: $(field Package)"
  [ "$(field Version)" = "$VEXL_VERSION" ] || fail "$package Version: $(field Version)"
  field Maintainer | grep -qv "localhost" || fail "$package Maintainer: $(field Maintainer)"
  [ -n "$(field Homepage)" ] || fail "$package has no Homepage"

  unpacked=$out/$package
  mkdir "$unpacked"
  dpkg-deb --extract "$deb" "$unpacked"
  contents=$(dpkg-deb --contents "$deb")
  echo "$contents" | awk '$2 != "root/root" { exit 1 }' || fail "$package: files not owned by root"
  echo "$contents" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort >"$out/files"
  if [ $package = vexlade ]; then
    component=player section=games program=$VEXL_GAMESDIR/vexlade
  else
    component=tools section=video program=$VEXL_BINDIR/vexl
  fi
  expected_files $component | diff -u - "$out/files" >&2 ||
    fail "$package: files differ from the expected ones (+ unexpected)"
  [ "$(field Section)" = $section ] || fail "$package Section: $(field Section)"
  echo "$contents" | grep -q "^-rwxr-xr-x .* \./usr/$program$" || fail "$program not executable"
  file -b "$unpacked/usr/$program" | grep -q ", stripped" || fail "$program not stripped"

  # Depends names every library the program links, as this system's
  # packages are called.
  depends=$(field Depends)
  for library in $(library_packages "$unpacked/usr/$program"); do
    echo "$depends" | grep -q "\(^\|, \)$library (>= " || fail "$package Depends lacks $library: $depends"
  done
  echo "$package: $(stat -c %s "$deb") bytes, Installed-Size $(field Installed-Size) KiB; Depends: $depends"
done

# The player pulls no FFmpeg library, and the tool depends on the player
# of its own version, which `vexl play` starts.
tool=$out/vexl/usr/$VEXL_BINDIR/vexl
ffmpeg=$(library_packages "$tool" | grep -E '^lib(av|sw)' || true)
[ -n "$ffmpeg" ] || fail "vexl links no FFmpeg library: the check below would check nothing"
player_depends=$(dpkg-deb --field "$out/first/vexlade_${VEXL_VERSION}_$arch.deb" Depends)
for library in $ffmpeg; do
  echo "$player_depends" | grep -q "$library" && fail "vexlade depends on $library"
done
dpkg-deb --field "$out/first/vexl_${VEXL_VERSION}_$arch.deb" Depends | grep -q "^vexlade (= $VEXL_VERSION)" ||
  fail "vexl does not depend on the player of its version"

# What the user and the software centres read.
player=$out/vexlade/usr
check_desktop_entry "$player/$VEXL_DATADIR/applications/vexlade.desktop" /usr
appstreamcli validate --pedantic --no-net "$player/$VEXL_DATADIR/metainfo/org.vexlade.vexlade.metainfo.xml" >"$out/as" 2>&1 ||
  { cat "$out/as" >&2; fail "appstreamcli rejects the metainfo"; }
top_version=$(dpkg-parsechangelog -l "$source_dir/dist/debian/changelog" -S Version)
[ "$top_version" = "$VEXL_VERSION" ] || fail "the changelog's latest entry is $top_version, not $VEXL_VERSION"
if command -v lintian >/dev/null; then
  lintian --pedantic --fail-on error,warning "$out"/first/*.deb >"$out/lintian" 2>&1 ||
    { cat "$out/lintian" >&2; fail "lintian finds errors or warnings"; }
fi

# Reproducible: no build path in any file, every date the last commit's
# (man pages included), and made again a second later into another folder,
# the same bytes.
for dir in "$source_dir" "$(cd "$build" && pwd)"; do
  found=$(grep -rlaF "$dir" "$out/vexlade" "$out/vexl" || true)
  [ -z "$found" ] || fail "the build path $dir is in $found"
done
epoch=$(cat "$build/dist/source_date_epoch")
day=$(date -u -d "@$epoch" +%Y-%m-%d)
for page in "$player/$VEXL_MANDIR/man6/vexlade.6.gz" "$out/vexl/usr/$VEXL_MANDIR/man1/vexl.1.gz"; do
  zcat "$page" | grep -q "^\.TH .* \"$day\"" || fail "$page is not dated $day: $(zcat "$page" | grep '^\.TH')"
done
sleep 1
pack "$out/second"
for deb in "$out"/first/*.deb; do
  cmp "$deb" "$out/second/$(basename "$deb")" || fail "$(basename "$deb") differs when made again"
done
echo "packages: all checks passed"
