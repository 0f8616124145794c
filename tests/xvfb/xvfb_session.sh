# Shared by the Xvfb scripts (sourced): a throw-away home and X server, and
# the waits for the program's windows. Sets work, DISPLAY, HOME, settings.
set -euo pipefail

work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"

# Starts Xvfb on a free display (it writes the number once it accepts
# clients), or restarts it; extra arguments go to Xvfb.
start_xvfb() {
  [ -n "$xvfb_pid" ] && { kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true; }
  rm -f "$work/display"
  mkfifo "$work/display"
  Xvfb -displayfd 3 -noreset -nolisten tcp "$@" 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  local display_number
  read -r display_number <"$work/display"
  export DISPLAY=":$display_number"
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR
settings="$XDG_CONFIG_HOME/Tessarin/Tessarin.ini"
mkdir -p "$(dirname "$settings")"

# Painted once it is neither the X server's black nor a bare white area.
painted() {
  import -window "$1" "$2" 2>/dev/null &&
    [ "$(convert "$2" -format '%[fx:mean > 0.5 && mean < 0.985]' info:)" = 1 ]
}
process_gone() { ! kill -0 "$program_pid" 2>/dev/null || [ "$(ps -o stat= -p "$program_pid")" = Z ]; }

# Waits for the program started last to end and checks its exit status.
expect_exit() {
  wait_until process_gone
  local status=0
  wait "$program_pid" || status=$?
  program_pid=""
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1: $(cat "$work/stderr")"
}

# The visible window whose title matches, once it has the keyboard: Qt gives
# it the focus itself, as there is no window manager to do it.
focused_window() {
  local window
  window=$(xdotool search --sync --onlyvisible --name "$1")
  wait_until test "$(xdotool getwindowfocus)" = "$window"
  echo "$window"
}

# A complete saved configuration, as the window shows it on opening.
write_saved_settings() {
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
}
