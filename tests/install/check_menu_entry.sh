#!/bin/sh
# check_menu_entry.sh BUILD: the desktop entry of an install, started as a
# desktop's application menu starts it (in its Path, with no terminal, on an
# X display: Xvfb) with xterm as the desktop's terminal. Answering "No" to
# full screen in its message box plays the demo in a terminal window rather
# than ending in "Loading failed."; the action "Play in a terminal" does the
# same, asking only about the speaker; with no terminal emulator at all the
# run fails to load and says why.
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shared_checks.sh"

work=$(mktemp -d)
xvfb=
unset DISPLAY WAYLAND_DISPLAY  # the checks' own X server only
cleanup() {
  if [ -n "${DISPLAY:-}" ]; then
    # A terminal window left by a failed check goes with its X server.
    for id in $(xwininfo -root -children 2>/dev/null | awk '$1 ~ /^0x/ { print $1 }'); do
      pid=$(xdotool getwindowpid "$id" 2>/dev/null) && kill "$pid" 2>/dev/null
    done
  fi
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --component player >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "cmake --install"; }
entry=$stage$VEXL_PREFIX/$VEXL_DATADIR/applications/vexlade.desktop
# The entry names the installed paths; staged, they lie under the stage.
staged() { sed -n "s|^$1=||p" "$entry" | sed -n "${2:-1}p" | sed "s|$VEXL_PREFIX/|$stage$VEXL_PREFIX/|g"; }
folder=$(staged Path)
main_command=$(staged Exec 1)
action_command=$(staged Exec 2)

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
waited=0
until [ -s "$work/display" ]; do
  [ $waited -lt 200 ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1; waited=$((waited + 1))
done
DISPLAY=:$(cat "$work/display")
export DISPLAY

# The programs found in PATH: the desktop's terminal is xterm, or there is
# none; env runs the action's command.
mkdir "$work/terminal" "$work/none"
ln -s "$(command -v xterm)" "$work/terminal/x-terminal-emulator"
ln -s "$(command -v env)" "$work/terminal/env"
ln -s "$(command -v env)" "$work/none/env"
setsid=$(command -v setsid)

# window NAME: the id of a window whose name begins with NAME, once there is
# one, leaving out message boxes already answered. Every box comes from a
# new connection to the X server, which may give it the last box's id: an
# answered box is told apart by the role it was given before its answer.
window() {
  waited=0
  while :; do
    for id in $(xwininfo -root -tree 2>/dev/null | awk -v name="\"$1" 'index($0, name) { print $1 }'); do
      xprop -id "$id" WM_WINDOW_ROLE 2>/dev/null | grep -q '"answered"' || { echo "$id"; return 0; }
    done
    [ $waited -lt 300 ] || return 1
    sleep 0.1; waited=$((waited + 1))
  done
}
# answer KEY: presses KEY (Escape for No, Return for Yes) in the player's
# next message box.
answer() {
  box=$(window "lumen-drift Vexlade 2003") || fail "no message box came: $(cat "$work/menu.out")"
  xdotool set_window --role answered "$box"
  xdotool windowfocus --sync "$box" key "$1"
}
# start TERMINALS COMMAND: runs COMMAND (an entry's Exec) as the menu does:
# in the entry's Path, in a session of its own without a terminal.
start() {
  terminals=$1; shift
  rm -f "$work/menu.status"
  (cd "$folder"
   status=0
   PATH=$terminals SDL_AUDIODRIVER=dummy "$setsid" -w $* </dev/null >"$work/menu.out" 2>&1 || status=$?
   echo $status >"$work/menu.status") &
}
ended() {  # ended: the exit status of the started command, once it ended
  waited=0
  until [ -s "$work/menu.status" ]; do
    [ $waited -lt 300 ] || fail "the run from the menu did not end: $(cat "$work/menu.out")"
    sleep 0.1; waited=$((waited + 1))
  done
  cat "$work/menu.status"
}
# playing_in_terminal_window WHAT: the demo plays in an xterm (its title is
# the console's), and the run the menu started ended well; then the window
# is closed.
playing_in_terminal_window() {
  terminal=$(window "Vexlade 2003 - quick-hack") || fail "$1: no terminal window plays the demo"
  status=$(ended)
  [ "$status" = 0 ] || fail "$1: ended with status $status: $(cat "$work/menu.out")"
  grep -q "Loading failed" "$work/menu.out" && fail "$1: $(cat "$work/menu.out")"
  kill "$(xdotool getwindowpid "$terminal")"
  waited=0
  while xwininfo -root -tree | grep -q '"Vexlade 2003 - quick-hack'; do
    [ $waited -lt 100 ] || fail "$1: the terminal window stays after it was closed"
    sleep 0.1; waited=$((waited + 1))
  done
}

start "$work/terminal" "$main_command"
answer Escape
answer Return
playing_in_terminal_window "No to full screen from the menu"

start "$work/terminal" "$action_command"
answer Return
playing_in_terminal_window "Play in a terminal"

start "$work/none" "$main_command"
answer Escape
answer Escape
answer Return
[ "$(ended)" = 1 ] || fail "no terminal emulator: the run did not fail to load"
grep -q "vexlade: no terminal to show the demo in, nor a terminal window: no terminal emulator found" \
  "$work/menu.out" || fail "no terminal emulator: not said why: $(cat "$work/menu.out")"
echo "menu entry: all checks passed"
