#!/bin/sh
# check_reproducible.sh [COMMIT]: ./build.sh package of COMMIT (by default
# the checked-out one) in two fresh clones, in folders of different names
# and depths, one after the other; the packages must be the same bytes.
# Two whole builds take most of an hour on two cores: for CI and releases,
# not the test suite (whose debian_package packs twice and seeks build paths).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shared_checks.sh"
commit=$(git -C "$here" rev-parse "${1:-HEAD}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tree in "$work/one" "$work/another/clone"; do
  git clone -q "$(git -C "$here" rev-parse --show-toplevel)" "$tree" && git -C "$tree" checkout -q --detach "$commit"
  (cd "$tree" && ./build.sh package) >"$tree.log" 2>&1 || { tail -n 40 "$tree.log" >&2; fail "./build.sh package in $tree"; }
done
for package in vexlade vexl; do
  cmp "$work"/one/build/${package}_*.deb "$work"/another/clone/build/${package}_*.deb || fail "$package differs"
  echo "$package: the same $(stat -c %s "$work"/one/build/${package}_*.deb) bytes from both builds"
done
echo "reproducible: $commit"
