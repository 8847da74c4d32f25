#!/bin/sh
# check_install.sh BUILD: installs BUILD into a temporary DESTDIR and checks
# the tree as a user meets it. The layout comes from the environment
# (VEXL_PREFIX, VEXL_BINDIR, ...; see CMakeLists.txt).
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shared_checks.sh"

stage=$(mktemp -d)
trap 'rm -rf "$stage" "$stage.log" "$stage.files" "$stage.played" "$stage.answers"' EXIT
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
check_installed_demo "$demo" "$vexl" "$build/demo"
# vexl play finds the installed player and demo: on a terminal (a pty from
# script(1)) it asks, sets the console's title once loading succeeded, plays
# until SIGTERM and ends with status 0. A demo not found would end in
# "Loading failed.". The title is waited for rather than a fixed time, so a
# loaded machine can't fail the check.
played=$stage.played
printf 'n\nn\n' >"$stage.answers"
(cd / && exec env -u DISPLAY -u WAYLAND_DISPLAY script -qfec "'$vexl' play" /dev/null) \
  <"$stage.answers" >"$played" 2>&1 &
player=$!
waited=0
until grep -q "Vexlade 2003 - quick-hack" "$played" 2>/dev/null; do
  kill -0 "$player" 2>/dev/null || break
  [ $waited -lt 600 ] || break
  sleep 0.1; waited=$((waited + 1))
done
kill -TERM "$player" 2>/dev/null || true
status=0; wait "$player" || status=$?
grep -q "Simulate PC-Speaker?" "$played" || fail "vexl play did not start the player: $(cat "$played")"
grep -q "Loading failed" "$played" && fail "vexl play did not find the demo: $(cat "$played")"
grep -q "Vexlade 2003 - quick-hack" "$played" || fail "vexl play did not start playing: $(cat "$played")"
[ $status -eq 0 ] || fail "vexl play ended with status $status: $(cat "$played")"

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
