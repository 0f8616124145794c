#!/usr/bin/env bash
# The real program on a Wayland compositor with no X server: sway, headless,
# run as a user other than root. With DISPLAY unset and WAYLAND_DISPLAY set,
# "tessarin /C" opens the configuration window through Qt's Wayland platform
# (swaymsg's tree shows it, titled, as an xdg-shell window), keys typed
# through the compositor's virtual keyboard (wtype) reach it and Alt+O saves;
# a message is a box titled Tessarin that holds the run until Return. With
# no compositor answering, the window says it needs a display.
# Usage: window_under_sway.sh <tessarin executable>
set -euo pipefail
program=$1

work=$(mktemp -d)
sway_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  # $! is the subshell that runs as_user; sway is its child.
  [ -n "$sway_pid" ] && { pkill -P "$sway_pid" 2>/dev/null; kill "$sway_pid" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../support/checks.sh"

# sway is not for root: as root everything runs as nobody, in files of its own
# (a copy of the program and its module, which the build tree may hide).
as_user() {
  if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; else "$@"; fi
}
mkdir -p "$work/bin" "$work/home/.config/Tessarin" "$work/runtime"
cp "$program" "$(dirname "$program")/tessarin-gui.so" "$work/bin/"
echo 'xwayland disable' >"$work/sway.conf"
chmod 0700 "$work/runtime"
[ "$(id -u)" -ne 0 ] || { chown -R nobody:nogroup "$work"; chmod 0755 "$work"; }

unset DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR WAYLAND_DISPLAY SWAYSOCK
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"
export LC_ALL=C.UTF-8
settings="$XDG_CONFIG_HOME/Tessarin/Tessarin.ini"

WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  as_user sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
sway_pid=$!
sockets_ready() {
  compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" >/dev/null && compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]" >/dev/null
}
wait_until sockets_ready
export SWAYSOCK WAYLAND_DISPLAY
SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock")
WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]")")

# The one visible, focused xdg-shell window with this title.
shown() {
  as_user swaymsg -t get_tree | jq -e --arg title "$1" \
    '[recurse(.nodes[]?, .floating_nodes[]?) | select(.name == $title and .shell == "xdg_shell"
      and .visible and .focused)] | length == 1' >/dev/null
}
process_gone() { ! kill -0 "$program_pid" 2>/dev/null; }
expect_exit() {
  wait_until process_gone
  local status=0
  wait "$program_pid" || status=$?
  program_pid=""
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1: $(cat "$work/stderr")"
}
# A new virtual keyboard's first key can go before the window has its keymap.
keys() { as_user wtype -s 300 "$@"; }

printf '[App]\nFirstRun=1\nX=40\n' >"$settings"
chown nobody:nogroup "$settings" 2>/dev/null || true
as_user "$work/bin/tessarin" /C 2>"$work/stderr" &
program_pid=$!
wait_until shown "Tessarin Configuration"
size=$(as_user swaymsg -t get_tree | jq -r '.. | objects | select(.name? == "Tessarin Configuration")
  | "\(.window_rect.width)x\(.window_rect.height)"')
[ "$size" = 360x244 ] || fail "the window is $size, not 360x244"
keys /home/nobody/wallpaper.bmp
keys -M alt o -m alt
expect_exit 0
[ ! -s "$work/stderr" ] || fail "unexpected stderr: $(cat "$work/stderr")"
grep -qx 'OutputFile=/home/nobody/wallpaper.bmp' "$settings" && grep -qx 'X=40' "$settings" ||
  fail "settings after Alt+O: $(cat "$settings")"

as_user "$work/bin/tessarin" 'too,few' 2>"$work/stderr" &
program_pid=$!
wait_until shown Tessarin
kill -0 "$program_pid" || fail "the run did not wait for OK"
keys -k Return
expect_exit 2

WAYLAND_DISPLAY=wayland-none as_user "$work/bin/tessarin" /C 2>"$work/stderr" &
program_pid=$!
expect_exit 5
grep -q 'needs a display' "$work/stderr" || fail "no word of the display: $(cat "$work/stderr")"

echo "3 passed, 0 failed"
