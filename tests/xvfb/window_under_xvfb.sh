#!/usr/bin/env bash
# The real program's configuration window on a real X server (Xvfb, no window
# manager): "tessarin /C" shows the saved values, keys typed with xdotool reach
# the boxes, Alt+O saves and ends the program; a message is a box that holds
# the run until OK. Leaves screenshots of the window as it opened and of a box.
# Usage: window_under_xvfb.sh <tessarin executable> <folder for screenshots>
set -euo pipefail
program=$1
screenshot=$2/window.png
box_screenshot=$2/message_box.png

work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits (at most about ten seconds) until the command succeeds.
wait_until() {
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  fail "gave up waiting for: $*"
}

# Xvfb picks a free display and writes its number once it accepts clients.
mkfifo "$work/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 640x400x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
read -r display_number <"$work/display"
export DISPLAY=":$display_number"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
settings="$XDG_CONFIG_HOME/Tessarin/Tessarin.ini"
mkdir -p "$(dirname "$settings")"
cat >"$settings" <<'INI'
[App]
FirstRun=1
OutputFile=/home/user/wallpaper.bmp
Canvas=/home/user/Pictures/canvas.jpg
InsertDir=/home/user/Pictures/old/
X=40
Y=60
H=120
W=160
INI

"$program" /C 2>"$work/stderr" &
program_pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Tessarin')
# Qt gives its window the keyboard itself: there is no window manager to do it.
wait_until test "$(xdotool getwindowfocus)" = "$window"

# Painted once it is neither the X server's black nor a bare white area.
painted() {
  import -window "$1" "$2" 2>/dev/null &&
    [ "$(convert "$2" -format '%[fx:mean > 0.5 && mean < 0.985]' info:)" = 1 ]
}
process_gone() { ! kill -0 "$program_pid" 2>/dev/null || [ "$(ps -o stat= -p "$program_pid")" = Z ]; }

wait_until painted "$window" "$screenshot"
[ "$(identify -format '%wx%h' "$screenshot")" = 360x244 ] || fail "window is not 360 x 244"

# Tab into the folder box (its text is selected), replace it, then the X box.
xdotool key Tab Tab
xdotool type ' /home/user/Pictures/insets '
xdotool key Tab Tab
xdotool type '  12  '
xdotool key alt+o

wait_until process_gone
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/stderr")"
[ ! -s "$work/stderr" ] || fail "unexpected stderr: $(cat "$work/stderr")"

expected='[App]
FirstRun=1
OutputFile=/home/user/wallpaper.bmp
Canvas=/home/user/Pictures/canvas.jpg
InsertDir=/home/user/Pictures/insets/
X=12
Y=60
H=120
W=160'
[ "$(cat "$settings")" = "$expected" ] || fail "settings after OK:
$(cat "$settings")"

# A message: the box titled Tessarin holds the run until its OK is pressed.
"$program" 'too,few' 2>"$work/stderr" &
program_pid=$!
box=$(xdotool search --sync --onlyvisible --name '^Tessarin$')
wait_until test "$(xdotool getwindowfocus)" = "$box"
wait_until painted "$box" "$box_screenshot"
kill -0 "$program_pid" || fail "the run did not wait for OK"
xdotool key Return
wait_until process_gone
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 2 ] || fail "usage run ended with $status"
grep -q '^Usage: Tessarin \[CanvasPicture\]' "$work/stderr" || fail "no usage on stderr"

# An incomplete configuration: the notice's box, then the window; OK saves
# the missing width and ends the run without making a wallpaper.
sed -i 's/^W=160$/W=/' "$settings"
"$program" 2>"$work/stderr" &
program_pid=$!
box=$(xdotool search --sync --onlyvisible --name '^Tessarin$')
wait_until test "$(xdotool getwindowfocus)" = "$box"
xdotool key Return
window=$(xdotool search --sync --onlyvisible --name '^Tessarin Configuration$')
wait_until test "$(xdotool getwindowfocus)" = "$window"
xdotool key shift+Tab
xdotool type '99'
xdotool key alt+o
wait_until process_gone
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 0 ] || fail "the incomplete configuration's window ended with $status"
grep -qx 'W=99' "$settings" || fail "width not saved: $(cat "$settings")"
[ ! -e /home/user/wallpaper.bmp ] || fail "a wallpaper was made"

echo "3 passed, 0 failed"
