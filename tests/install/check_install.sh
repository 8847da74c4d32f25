#!/bin/sh
# check_install.sh BUILD: installs BUILD into a temporary DESTDIR and checks
# the tree as a user meets it. The layout comes from the environment
# (VEXL_PREFIX, VEXL_BINDIR, ...; see CMakeLists.txt).
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shared_checks.sh"

stage=$(mktemp -d)
trap 'rm -rf "$stage" "$stage.log" "$stage.files"' EXIT
DESTDIR=$stage cmake --install "$build" >"$stage.log" 2>&1 || { cat "$stage.log" >&2; fail "cmake --install"; }
root=$stage$VEXL_PREFIX

# Exactly the expected files, nothing outside the prefix.
(cd "$stage" && find . -type f | sed "s|^\./${VEXL_PREFIX#/}/||" | sort) >"$stage.files"
expected_files | diff -u - "$stage.files" >&2 || fail "installed files differ from the expected ones (+ unexpected)"
rm -f "$stage.files"

# The programs run from where they were installed.
vexl=$root/$VEXL_BINDIR/vexl
demo=$root/$VEXL_DATADIR/vexlade/demo
[ "$("$vexl" --version)" = "vexl $VEXL_VERSION" ] || fail "vexl --version says '$("$vexl" --version)'"
"$vexl" info "$demo/ld_vexl.d1" | grep -q "^frames *17650 whole" || fail "vexl info on the installed demo"
# vexl play finds the installed player and demo: on a terminal (a pty from
# script(1)) it asks, plays in the terminal until SIGTERM and ends with
# status 0. A demo not found would end in "Loading failed.".
played=$(cd / && printf 'n\nn\n' | env -u DISPLAY -u WAYLAND_DISPLAY timeout --preserve-status -s TERM 4 \
           script -qfec "'$vexl' play" /dev/null 2>&1) || fail "vexl play: $played"
echo "$played" | grep -q "Simulate PC-Speaker?" || fail "vexl play did not start the player: $played"
echo "$played" | grep -q "Loading failed" && fail "vexl play did not find the demo: $played"

# Man pages: rendered without a single groff warning, and vexl(1) has a
# section for every command vexl knows.
for page in "$root/$VEXL_MANDIR/man1/vexl.1.gz" "$root/$VEXL_MANDIR/man6/vexlade.6.gz"; do
  warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
  warnings=$(MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done
for command in $("$vexl" --help | awk '/^commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }'); do
  zcat "$root/$VEXL_MANDIR/man1/vexl.1.gz" | grep -qx ".SS $command" ||
    fail "vexl(1) has no section for 'vexl $command' (add dist/man/vexl/$command.scd)"
done

check_desktop_entry "$root/$VEXL_DATADIR/applications/vexlade.desktop" "$VEXL_PREFIX"

for size in 64 128 256; do
  icon=$root/$VEXL_DATADIR/icons/hicolor/${size}x$size/apps/vexlade.png
  file -b "$icon" | grep -q "^PNG image data, $size x $size," || fail "$icon: $(file -b "$icon")"
done

# Completion: commands, and a command's options, from vexl itself.
completions=$(PATH=$root/$VEXL_BINDIR:$PATH bash -c '
  . /usr/share/bash-completion/bash_completion
  . "$1"
  complete_line() {
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _vexl; echo "${COMPREPLY[*]}"
  }
  complete_line vexl p
  complete_line vexl render in.d1 --s' sh "$root/$VEXL_DATADIR/bash-completion/completions/vexl")
[ "$completions" = "pack play
--scale --size" ] || fail "bash completion gives: $completions"
echo "install tree: all checks passed"
