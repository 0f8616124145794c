#!/usr/bin/env bash
# The real program's configuration window on a real X server (Xvfb, no window
# manager): "tessarin /C" shows the saved values, keys typed with xdotool reach
# the boxes, Alt+O saves and ends the program; a message is a box that holds
# the run until OK. Leaves screenshots of the window as it opened and of a box.
# Usage: window_under_xvfb.sh <tessarin executable> <folder for screenshots>
program=$1
screenshot=$2/window.png
box_screenshot=$2/message_box.png
source "$(dirname "$0")/xvfb_session.sh"
start_xvfb -screen 0 640x400x24

write_saved_settings

"$program" /C 2>"$work/stderr" &
program_pid=$!
window=$(focused_window '^Tessarin')

wait_until painted "$window" "$screenshot"
[ "$(identify -format '%wx%h' "$screenshot")" = 360x244 ] || fail "window is not 360 x 244"

# Tab into the folder box (its text is selected), replace it, then the X box.
xdotool key Tab Tab
xdotool type ' /home/user/Pictures/insets '
xdotool key Tab Tab
xdotool type '  12  '
xdotool key alt+o

expect_exit 0
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
box=$(focused_window '^Tessarin$')
wait_until painted "$box" "$box_screenshot"
kill -0 "$program_pid" || fail "the run did not wait for OK"
xdotool key Return
expect_exit 2
grep -q '^Usage: Tessarin \[CanvasPicture\]' "$work/stderr" || fail "no usage on stderr"

# An incomplete configuration: the notice's box, then the window; OK saves
# the missing width and ends the run without making a wallpaper.
sed -i 's/^W=160$/W=/' "$settings"
"$program" 2>"$work/stderr" &
program_pid=$!
box=$(focused_window '^Tessarin$')
xdotool key Return
window=$(focused_window '^Tessarin Configuration$')
xdotool key shift+Tab
xdotool type '99'
xdotool key alt+o
expect_exit 0
grep -qx 'W=99' "$settings" || fail "width not saved: $(cat "$settings")"
[ ! -e /home/user/wallpaper.bmp ] || fail "a wallpaper was made"

echo "3 passed, 0 failed"
