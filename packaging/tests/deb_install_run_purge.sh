#!/usr/bin/env bash
# The .deb as a person uses it: installed with apt-get, /usr/bin/tessarin run
# by an ordinary user (nobody, with a throw-away home): the first-run notice,
# a wallpaper from the command line, the logon entry's command line and the
# menu entry's action "New Wallpaper", the window on Xvfb from the installed
# module; the user units pass systemd's check; then purged, leaving nothing
# behind.
#   deb_install_run_purge.sh PACKAGE.deb SAMPLES_FOLDER
# Needs root (installs on this machine); skipped (77) otherwise.
set -uo pipefail
deb=$(realpath "$1") samples=$2
[ "$(id -u)" -eq 0 ] || { echo "skipped: installing a package needs root"; exit 77; }

work=$(mktemp -d)
chmod 755 "$work"
home="$work/home"
xvfb_pid=""
program_pid=""
source "$(dirname "$0")/../../tests/support/checks.sh"
apt() { DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=600 "$@"; }
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  dpkg-query -W tessarin >/dev/null 2>&1 && apt purge tessarin >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# As nobody, with only the environment a session would give. setpriv and env
# exec the program, so it keeps the process id a background start reports.
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups
           env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin LC_ALL=C.UTF-8)
as_user() { "${as_nobody[@]}" "$@"; }

echo "--- install"
apt install --no-install-recommends "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
check "installed" "$(dpkg-query -W -f='${Status}' tessarin)" "install ok installed"
check "on the PATH" "$(as_user sh -c 'command -v tessarin')" /usr/bin/tessarin
dpkg -L tessarin >"$work/installed"

mkdir -p "$home"
cp -r "$samples" "$home/samples"
chown -R nobody:nogroup "$home"
settings="$home/.config/Tessarin/Tessarin.ini"

echo "--- first run: the notice"
as_user tessarin 2>"$work/stderr"
check "exit status" "$?" 0
check "notice on stderr" "$(grep -c 'Read the included README.TXT' "$work/stderr")" 1
check "FirstRun recorded" "$(grep -c '^FirstRun=1' "$settings")" 1

echo "--- a wallpaper from the command line"
as_user tessarin "$home/samples/canvas.bmp," "$home/samples/insets/stripes.bmp," 40, 30, 120, 90, \
  "$home/wallpaper.bmp" 2>"$work/stderr"
check "exit status" "$?" 0
check "a 24-bit BMP, as large as the canvas" "$(identify -format '%m %wx%h %z' "$home/wallpaper.bmp")" \
  "BMP3 $(identify -format '%wx%h' "$home/samples/canvas.bmp") 8"
check "nothing on stderr" "$(cat "$work/stderr")" ""

echo "--- the logon entry's command line"
cat >>"$settings" <<INI
OutputFile=$home/logon.bmp
Canvas=$home/samples/canvas.bmp
InsertDir=$home/samples/insets/
X=10
Y=10
H=50
W=60
INI
logon_command=$(sed -n 's/^Exec=//p' /usr/share/tessarin/tessarin-logon.desktop)
check "runs the saved settings" "$logon_command" tessarin
as_user sh -c "$logon_command" 2>"$work/stderr"
check "exit status" "$?" 0
check "wallpaper written" "$(identify -format '%m' "$home/logon.bmp" 2>&1)" BMP3

echo "--- the menu entry's action: a new wallpaper now"
entry=/usr/share/applications/tessarin.desktop
check "the entry offers the action" "$(sed -n 's/^Actions=//p' "$entry")" "new-wallpaper;"
action=$(sed -n '/^\[Desktop Action new-wallpaper\]$/,/^\[Desktop Entry\]$/p' "$entry")
check "the action's name" "$(sed -n 's/^Name=//p' <<<"$action")" "New Wallpaper"
action_command=$(sed -n 's/^Exec=//p' <<<"$action")
check "runs the program without arguments" "$action_command" tessarin
rm -f "$home/logon.bmp"
as_user sh -c "$action_command" 2>"$work/stderr"
check "exit status" "$?" 0
check "wallpaper made from the saved settings" "$(identify -format '%m' "$home/logon.bmp" 2>&1)" BMP3

echo "--- the user units"
verify=$(XDG_RUNTIME_DIR="$work" systemd-analyze --user verify \
  /usr/lib/systemd/user/tessarin.service /usr/lib/systemd/user/tessarin.timer 2>&1)
check "systemd-analyze --user verify" "$?/$verify" "0/"
check "the timer's run is the logon run" \
  "$(sed -n 's/^ExecStart=//p' /usr/lib/systemd/user/tessarin.service)" /usr/bin/tessarin

echo "--- the window on Xvfb, from the installed module"
Xvfb -displayfd 3 -nolisten tcp -screen 0 640x400x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
"${as_nobody[@]}" DISPLAY="$DISPLAY" tessarin /C 2>"$work/stderr" &
program_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tessarin Configuration$' | head -1)
check "window shown" "$([ -n "$window" ] && echo yes)" yes
module=$(grep -o '/[^ ]*tessarin-gui\.so' "/proc/$program_pid/maps" 2>/dev/null | head -1)
check "module loaded" "$module" /usr/lib/tessarin/tessarin-gui.so
for _ in $(seq 100); do [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ] && break; sleep 0.1; done
xdotool key alt+o
status=0
timeout 30 tail --pid="$program_pid" -f /dev/null
wait "$program_pid" || status=$?
program_pid=""
check "OK ends the window's run" "$status" 0

echo "--- purge"
apt purge tessarin >"$work/apt.log" 2>&1 || cat "$work/apt.log"
check "gone from dpkg" "$(dpkg-query -W -f='${Status}' tessarin 2>/dev/null)" ""
left=$(while read -r path; do
  case "$path" in /usr | /usr/bin | /usr/lib | /usr/share | /usr/lib/systemd | /usr/lib/systemd/user | \
    /usr/share/applications | /usr/share/doc | /usr/share/icons | /usr/share/icons/hicolor* | \
    /usr/share/lintian | /usr/share/lintian/overrides | \
    /usr/share/man | /usr/share/man/man1 | /usr/share/metainfo | /.) [ -d "$path" ] && continue ;;
  esac
  [ -e "$path" ] && echo "$path"
done <"$work/installed")
check "nothing left" "$left" ""

finish_checks
