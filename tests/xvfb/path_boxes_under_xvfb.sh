#!/usr/bin/env bash
# The configuration window's path boxes as a person uses them, in the real
# program on a real X server (Xvfb, no window manager, Qt's own file dialog),
# with a session bus and the accessibility bus a desktop session has:
#  - a unique beginning typed in the canvas box completes to the file;
#  - Browse… from the inset box's context menu (mouse) opens the folder
#    dialog, whose choice fills the box, and OK saves it;
#  - F4 in each path box opens its dialog, and Cancel changes nothing;
#  - a path too long for its box shows whole as the box's tooltip;
#  - a screen reader (AT-SPI) reads each box by its label, the OK button with
#    its access key, and the window's title.
# Usage: path_boxes_under_xvfb.sh <tessarin executable>
program=$1
here=$(dirname "$0")
source "$here/xvfb_session.sh"
launcher=/usr/libexec/at-spi-bus-launcher
python=/usr/bin/python3  # the interpreter Debian's python3-gi is for
skip_without dbus-daemon "$python" "$launcher"
"$python" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
  { echo "skipped: gir1.2-atspi-2.0 is not installed"; exit 77; }

bus_pid="" launcher_pid=""
trap '[ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null; [ -n "$bus_pid" ] && kill "$bus_pid"; cleanup' EXIT
start_xvfb -screen 0 1024x768x24
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/bus" 4>"$work/bus.pid"
bus_pid=$(cat "$work/bus.pid")
export DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus")
"$launcher" --launch-immediately >"$work/launcher.log" 2>&1 &
launcher_pid=$!
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP  # Qt's own dialogs

pictures="$work/pictures"
mkdir -p "$pictures/insets-autumn" "$pictures/insets-winter"
touch "$pictures/autumn-lake.jpg" "$pictures/winter.png"

# Gives the keyboard to the window of that title once it shows: without a
# window manager nothing does when a menu closes under a new dialog, nor gives
# the window back the keyboard when its dialog closes.
# (Qt may map a dialog's window more than once, so each try looks it up anew.)
keyboard_to() { wait_until focus_on "$1"; }
focus_on() {
  local window
  window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
  [ -n "$window" ] && xdotool windowfocus "$window" 2>/dev/null &&
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]
}
popup_open() { [ "$(xdotool search --onlyvisible --pid "$program_pid" | wc -l)" -ge 2 ]; }
popup_closed() { ! popup_open; }

echo "--- completion, and the folder dialog's choice saved by OK"
write_saved_settings
"$program" /C 2>"$work/stderr" &
program_pid=$!
window=$(focused_window '^Tessarin Configuration$')
xdotool key Tab
xdotool type "$pictures/autu"
wait_until popup_open
xdotool key Down Return
wait_until popup_closed
# Browse… is the first entry of the inset box's menu.
xdotool mousemove --window "$window" 80 159 click 3
wait_until popup_open
xdotool mousemove_relative 20 12 click 1
keyboard_to "Folder with Insets"
xdotool key ctrl+a
xdotool type "$pictures/insets-winter"
xdotool key Return
keyboard_to "Tessarin Configuration"
xdotool key alt+o
expect_exit 0
check "the canvas completed" "$(grep '^Canvas=' "$settings")" "Canvas=$pictures/autumn-lake.jpg"
check "the chosen folder saved" "$(grep '^InsertDir=' "$settings")" \
  "InsertDir=$pictures/insets-winter/"

echo "--- what a screen reader reads; the tooltip; Cancel in each dialog"
write_saved_settings
"$program" /C 2>"$work/stderr" &
program_pid=$!
window=$(focused_window '^Tessarin Configuration$')
names=$("$python" "$here/accessible_window.py" names)
expected=$(printf '%s\t%s\t%s\t%s\n' \
  frame "Tessarin Configuration" "" "" \
  "push button" OK "Alt+O" "" \
  text "Output/Wallpaper Filename:" "" "Output/Wallpaper Filename:" \
  text "Canvas Filename:" "" "Canvas Filename:" \
  text "Dir with Insets:" "" "Dir with Insets:" \
  text X "" X \
  text Y "" Y \
  text Height "" Height \
  text Width "" Width)
check "the names AT-SPI reads" "$(sort <<<"$names")" "$(sort <<<"$expected")"

xdotool mousemove --window "$window" 80 107  # over the canvas box
check "the canvas box's tooltip" "$("$python" "$here/accessible_window.py" tooltip)" \
  /home/user/Pictures/canvas.jpg
xdotool mousemove --window "$window" 300 200

for dialog in "Output/Wallpaper File" "Canvas Picture" "Folder with Insets"; do
  xdotool key F4
  keyboard_to "$dialog"
  xdotool key Escape
  keyboard_to "Tessarin Configuration"
  xdotool key Tab
done
xdotool key alt+o
expect_exit 0
saved=$(cat "$settings")
write_saved_settings
check "Cancel in every dialog changed nothing" "$saved" "$(cat "$settings")"

finish_checks
