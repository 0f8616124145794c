#!/usr/bin/env bash
# The Windows packages under Wine and Xvfb: the zip's three files; the
# installer run silently with /LOGON puts the files, the Start-menu entry, the
# logon shortcut and the uninstaller's registration in place; the shortcuts
# start the installed program (its first-run notice, the configuration
# window, a new wallpaper from the saved settings); the silent uninstall
# removes all of it. Without /LOGON there is no logon shortcut.
#   windows_installer.sh SETUP_EXE ZIP UI_DRIVER_EXE
# Exit status 0 when every check passed, 77 (skipped) when Wine, Xvfb or
# Python 3 is missing.
set -uo pipefail
setup=$1 zip=$2 driver=$3
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../../tests/support/checks.sh"
# shellcheck source=tests/windows/wine_prefix.sh
. "$here/../../tests/windows/wine_prefix.sh"
export LC_ALL=C.UTF-8

skip_without wine Xvfb python3

work="$(mktemp -d "${TMPDIR:-/tmp}/tessarin-installer.XXXXXX")"
xvfb_pid=""
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && remove_wine_prefix
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT


echo "--- the zip"
zip_report=$(python3 - "$zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    print(" ".join(sorted(z.namelist())))
    for name in ("README.TXT", "LICENSE.txt"):
        lines = z.read(name).split(b"\n")[:-1]
        print(name, "CRLF" if lines and all(l.endswith(b"\r") for l in lines) else "not CRLF")
PY
)
check "three files" "$(sed -n 1p <<<"$zip_report")" "LICENSE.txt README.TXT tessarin.exe"
check "README.TXT line ends" "$(sed -n 2p <<<"$zip_report")" "README.TXT CRLF"
check "LICENSE.txt line ends" "$(sed -n 3p <<<"$zip_report")" "LICENSE.txt CRLF"

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
# The host's own menus and file types, where Wine would mirror the shortcuts.
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
new_wine_prefix

unix_path() { wine winepath -u "$(wine cmd /c echo "$1" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
program_dir="$(unix_path '%LOCALAPPDATA%')/Programs/Tessarin"
start_menu="$(unix_path '%APPDATA%')/Microsoft/Windows/Start Menu/Programs"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarin'
reg_value() {  # reg_value KEY NAME: the value's data, empty when missing
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
listing() { [ -n "$1" ] && (cd "$1" 2>/dev/null && ls | sort | tr '\n' ' '); }
# The box the program shows: its text; OK is pressed.
box_text() { wine "$driver" message 2>/dev/null | tr -d '\r' | sed -n 's/^text=//p'; }
wait_for_exit() {  # the background start's status, within 30 seconds
  local status=0
  timeout 30 tail --pid="$1" -f /dev/null
  wait "$1" || status=$?
  echo "$status"
}
uninstall_silently() {
  wine "$program_dir/Uninstall.exe" /S
  # The uninstaller runs on from a copy in the temporary folder.
  wineserver -w
}

echo "--- setup.exe /S /LOGON"
wine "$setup" /S /LOGON
check "exit status" "$?" 0
# The user's Startup folder, as the system names it (Wine: "StartUp").
startup="$(wine winepath -u "$(reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' \
  Startup)" 2>/dev/null)"
check "installed files" "$(listing "$program_dir")" "LICENSE.txt README.TXT Uninstall.exe tessarin.exe "
check "the zip's program" "$(python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("tessarin.exe"))' "$zip" |
  cmp - "$program_dir/tessarin.exe" && echo same)" same
check "Start-menu entry" "$(listing "$start_menu" | grep -o 'Tessarin.lnk')" Tessarin.lnk
check "Start-menu entry for a new wallpaper" "$(listing "$start_menu" | grep -o 'Tessarin - New Wallpaper.lnk')" \
  "Tessarin - New Wallpaper.lnk"
check "logon shortcut" "$(listing "$startup")" "Tessarin.lnk "
check "registered uninstaller" "$(reg_value "$uninstall_key" QuietUninstallString)" \
  "\"$(wine winepath -w "$program_dir" 2>/dev/null | tr -d '\r')\\Uninstall.exe\" /S"
check "registered version" "$(reg_value "$uninstall_key" DisplayVersion)" \
  "$(basename "$setup" | sed 's/^tessarin-\(.*\)-setup\.exe$/\1/')"

echo "--- the logon shortcut starts the program: its first-run notice"
wine start /wait /unix "$startup/Tessarin.lnk" &
starter=$!
check "notice" "$(box_text)" "This application requires command line parameters or prior configuration before use.  Read the included README.TXT for further information"
check "exit status" "$(wait_for_exit "$starter")" 0
wineserver -w

echo "--- the Start-menu entry opens the configuration window"
wine start /wait /unix "$start_menu/Tessarin.lnk" &
starter=$!
check "window shown" "$(wine "$driver" window-get 2>/dev/null | tr -d '\r' | grep -c '^box[1-7]=')" 7
wine "$driver" window-close >/dev/null 2>&1
check "exit status" "$(wait_for_exit "$starter")" 0
wineserver -w

echo "--- the Start-menu entry for a new wallpaper makes one from the saved settings"
drive_c="$WINEPREFIX/drive_c"
mkdir -p "$drive_c/walls/insets"
python3 "$here/../../tests/windows/pictures.py" canvas "$drive_c/walls/canvas.bmp" 64 48
python3 "$here/../../tests/windows/pictures.py" pattern "$drive_c/walls/insets/inset.bmp" 30 20
app='HKCU\Software\Tessarin\App'
for setting in FirstRun=1 'OutputFile=C:\walls\made.bmp' 'Canvas=C:\walls\canvas.bmp' \
  'InsertDir=C:\walls\insets\' X=5 Y=6 H=10 W=20; do
  wine reg add "$app" /v "${setting%%=*}" /d "${setting#*=}" /f >/dev/null 2>&1
done
timeout 60 wine start /wait /unix "$start_menu/Tessarin - New Wallpaper.lnk"
status=$?
check "exit status" "$status" 0
# A run that shows something instead waits for it: ended here.
[ "$status" = 0 ] || wineserver -k
wineserver -w
check "the wallpaper made" "$(python3 "$here/../../tests/windows/pictures.py" composed "$drive_c/walls/made.bmp" \
  "$drive_c/walls/canvas.bmp" "$drive_c/walls/insets/inset.bmp" 5 6 20 10 && echo composed)" composed
check "and installed" "$(reg_value 'HKCU\Control Panel\Desktop' Wallpaper)" 'c:\walls\made.bmp'

echo "--- Uninstall.exe /S"
uninstall_silently
check "program folder gone" "$([ -e "$program_dir" ] && echo present)" ""
check "Start-menu entry gone" "$(listing "$start_menu" | grep -o 'Tessarin.lnk')" ""
check "Start-menu entry for a new wallpaper gone" "$(listing "$start_menu" | grep -o 'New Wallpaper')" ""
check "logon shortcut gone" "$(listing "$startup")" ""
check "registration gone" "$(wine reg query "$uninstall_key" >/dev/null 2>&1; echo $?)" 1

echo "--- setup.exe /S: no logon shortcut unless asked for"
wine "$setup" /S
check "Start-menu entry" "$(listing "$start_menu" | grep -o 'Tessarin.lnk')" Tessarin.lnk
check "Start-menu entry for a new wallpaper" "$(listing "$start_menu" | grep -o 'Tessarin - New Wallpaper.lnk')" \
  "Tessarin - New Wallpaper.lnk"
check "no logon shortcut" "$(listing "$startup")" ""
# The Uninstall.exe started may still be ending when its copy deletes it: a
# program holding the file for three seconds stands in for it.
wine "$driver" hold "$(wine winepath -w "$program_dir/Uninstall.exe" 2>/dev/null | tr -d '\r')" 3 \
  >"$work/held" 2>/dev/null &
for _ in $(seq 100); do grep -qs held "$work/held" && break; sleep 0.1; done
uninstall_silently
check "program folder gone" "$([ -e "$program_dir" ] && echo present)" ""

echo "--- the host's menus"
check "no entries left" "$(cd "$work" && find data config -mindepth 1 2>/dev/null)" ""

finish_checks
