#!/bin/sh
# check_menu_entry.sh BUILD: the installed desktop entry, started as a menu
# starts it (in its Path, no terminal) on Xvfb with xterm as the desktop's
# terminal: "No" to full screen in its message box plays the demo in a
# terminal window instead of "Loading failed."; so does its action "Play in
# a terminal", which asks only about the speaker.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shared_checks.sh"
work=$(mktemp -d)
xvfb=
unset DISPLAY WAYLAND_DISPLAY  # the check's own X server only
trap '[ -z "$xvfb" ] || kill $xvfb; rm -rf "$work"' EXIT
DESTDIR=$work/stage cmake --install "$1" --component player >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "cmake --install"; }
entry() {  # entry KEY [N]: the Nth KEY= of the entry, its paths under the stage
  sed -n "s|^$1=||p" "$work/stage$VEXL_PREFIX/$VEXL_DATADIR/applications/vexlade.desktop" | sed -n "${2:-1}p" |
    sed "s|$VEXL_PREFIX/|$work/stage$VEXL_PREFIX/|g"
}
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
mkdir "$work/bin"  # PATH: xterm as x-terminal-emulator, env for the action
ln -s "$(command -v xterm)" "$work/bin/x-terminal-emulator"
ln -s "$(command -v env)" "$work/bin/env"
setsid=$(command -v setsid)

# until_found COMMAND...: polls COMMAND's output for 30 s, prints it once there is some.
until_found() {
  for _ in $(seq 300); do found=$("$@") && [ -n "$found" ] && { echo "$found"; return 0; }; sleep 0.1; done
  return 1
}
until_found cat "$work/display" >/dev/null || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
# A window's id by the start of its name. Every message box comes from a new
# connection, which may reuse the last box's id: answered boxes get a role.
window() {
  for id in $(xwininfo -root -tree | awk -v name="\"$1" 'index($0, name) { print $1 }'); do
    xprop -id "$id" WM_WINDOW_ROLE 2>/dev/null | grep -q answered || { echo "$id"; return; }
  done
}
answer() {  # answer KEY: Escape (No) or Return (Yes) in the next message box
  box=$(until_found window "lumen-drift Vexlade 2003") || fail "$what: no message box came: $(cat "$work/out")"
  xdotool set_window --role answered "$box" windowfocus --sync "$box" key "$1"
}
# plays_in_a_terminal_window WHAT COMMAND KEYS...: runs an entry's COMMAND as
# the menu does, answers its boxes with KEYS; the demo must then play in an
# xterm (its title is the console's) and the run started end with 0.
plays_in_a_terminal_window() {
  what=$1 command=$2; shift 2
  rm -f "$work/status"
  (cd "$(entry Path)"; s=0; PATH=$work/bin SDL_AUDIODRIVER=dummy "$setsid" -w $command </dev/null >"$work/out" 2>&1 || s=$?
   echo $s >"$work/status") &
  for key; do answer "$key"; done
  terminal=$(until_found window "Vexlade 2003 - quick-hack") || fail "$what: no terminal window plays the demo"
  [ "$(until_found cat "$work/status")" = 0 ] || fail "$what: the run ended badly: $(cat "$work/out")"
  kill "$(xdotool getwindowpid "$terminal")"
  until_found sh -c '! xwininfo -root -tree | grep -q "Vexlade 2003 - quick" && echo closed' >/dev/null ||
    fail "$what: the terminal window stays"
}
plays_in_a_terminal_window "No to full screen from the menu" "$(entry Exec 1)" Escape Return
plays_in_a_terminal_window "Play in a terminal" "$(entry Exec 2)" Return
echo "menu entry: all checks passed"
