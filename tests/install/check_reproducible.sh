#!/bin/sh
# check_reproducible.sh [COMMIT]: builds the Debian packages of COMMIT (by
# default the checked-out one) with ./build.sh package in two fresh clones,
# in folders of different names and depths, one after the other, and
# compares the packages byte for byte. Two whole builds take the better
# part of an hour on two cores: for CI and release checks, not the test
# suite (whose debian_package test packs twice and looks for build paths).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shared_checks.sh"
repo=$(git -C "$here" rev-parse --show-toplevel)
commit=$(git -C "$repo" rev-parse "${1:-HEAD}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tree in "$work/one" "$work/another/clone"; do
  git clone -q "$repo" "$tree"
  git -C "$tree" checkout -q --detach "$commit"
  (cd "$tree" && ./build.sh package) >"$tree.log" 2>&1 || { tail -n 40 "$tree.log" >&2; fail "./build.sh package in $tree"; }
done
count=0
for deb in "$work"/one/build/*.deb; do
  other=$work/another/clone/build/$(basename "$deb")
  cmp "$deb" "$other" || fail "$(basename "$deb") differs between the two builds"
  echo "$(basename "$deb"): the same $(stat -c %s "$deb") bytes from both builds"
  count=$((count + 1))
done
[ $count -eq 2 ] || fail "expected two packages, found $count"
echo "reproducible: $commit"
