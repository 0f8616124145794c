#!/usr/bin/env bash
# Pointer clicks in the real program's configuration window on a real X server
# (Xvfb, no window manager), at normal size and at twice the scale (Qt's
# QT_SCALE_FACTOR=2; an X server at 192 dpi): a click at the centre or near the
# right edge of any box puts the keyboard there, whatever label lies under
# the box, and Alt+O saves what was typed. Leaves a screenshot at each scale.
# Usage: window_clicks_under_xvfb.sh <tessarin executable> <folder for
#        screenshots> <layout header with the boxes' twips>
program=$1
shots=$2
layout=$3
source "$(dirname "$0")/xvfb_session.sh"

# "name left top width height" in pixels for each box of the layout table.
boxes=$(sed -n 's/.*{"\(Text[0-9]\)", Kind::TextBox, "", \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\),.*/\1 \2 \3 \4 \5/p' \
  "$layout" | awk '{ print $1, int($2 / 15), int($3 / 15), int($4 / 15), int($5 / 15) }')
[ "$(wc -l <<<"$boxes")" -eq 7 ] || fail "the seven boxes are not in $layout"

# Clicks at the given scale (1 or 2) at the centre of each box in turn,
# selecting all and typing "c<n>", then 3 pixels inside each box's right edge,
# typing "r" at the end: each click comes from another box. Alt+O then saves
# "c<n>r" under every key. Leaves a screenshot of the window as it opened.
click_every_box() {
  local scale=$1 condition=$2 screenshot=$shots/$3 window
  write_saved_settings
  "$program" /C 2>"$work/stderr" &
  program_pid=$!
  window=$(focused_window '^Tessarin Configuration$')
  wait_until painted "$window" "$screenshot"
  [ "$(identify -format '%wx%h' "$screenshot")" = "$((360 * scale))x$((244 * scale))" ] ||
    fail "the window is not $scale times 360 x 244 at $condition"
  local name left top width height
  while read -r name left top width height; do
    xdotool mousemove --window "$window" $(((left + width / 2) * scale)) $(((top + height / 2) * scale)) click 1
    xdotool key ctrl+a type "c${name#Text}"
  done <<<"$boxes"
  while read -r name left top width height; do
    xdotool mousemove --window "$window" $(((left + width - 3) * scale)) $(((top + height / 2) * scale)) click 1
    xdotool key End type r
  done <<<"$boxes"
  xdotool key alt+o
  expect_exit 0
  local expected='[App]
FirstRun=1
OutputFile=c1r
Canvas=c2r
InsertDir=c3r/
X=c4r
Y=c5r
H=c6r
W=c7r'
  [ "$(cat "$settings")" = "$expected" ] || fail "settings after clicks at $condition:
$(cat "$settings")"
}

start_xvfb -screen 0 640x400x24
click_every_box 1 "normal size" window-clicks.png

start_xvfb -screen 0 1280x800x24
QT_SCALE_FACTOR=2 click_every_box 2 "QT_SCALE_FACTOR=2" window-2x.png

# An X desktop tells its programs the screen's resolution by Xft.dpi.
start_xvfb -screen 0 1280x800x24 -dpi 192
echo 'Xft.dpi: 192' | xrdb -merge
click_every_box 2 "192 dpi" window-192dpi.png

echo "3 passed, 0 failed"
