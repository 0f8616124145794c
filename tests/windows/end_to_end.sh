#!/usr/bin/env bash
# tessarin.exe end to end under Wine and Xvfb, each case in a fresh prefix:
# the program is started as a user would start it, its message boxes and its
# configuration window are read and operated by ui_driver.exe, and what it
# wrote is checked in the prefix's files and registry.
#
#   end_to_end.sh TESSARIN_EXE UI_DRIVER_EXE MAKE_METAFILE_EXE
#
# Exit status 0 when every check passed, 77 (skipped) when Wine, Xvfb,
# Python 3 or ImageMagick is missing.
set -uo pipefail
tessarin="$1" driver="$2" metafile_maker="$3"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../support/checks.sh"
# shellcheck source=tests/windows/wine_prefix.sh
. "$here/wine_prefix.sh"

skip_without wine Xvfb python3 convert

work="$(mktemp -d "${TMPDIR:-/tmp}/tessarin-e2e.XXXXXX")"
xvfb_pid=""
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && remove_wine_prefix
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# --- the X server and the prefix every case starts from -------------------
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
if [ -z "${TESSARIN_WINE_TEMPLATE:-}" ]; then
  export WINEPREFIX="$work/template"
  initialise_wine_prefix
  export TESSARIN_WINE_TEMPLATE="$WINEPREFIX"
  unset WINEPREFIX
fi

# --- the pictures: one of each format --------------------------------------
pictures="$work/pictures"
mkdir -p "$pictures"
python3 "$here/pictures.py" canvas "$pictures/canvas.bmp" 64 48
python3 "$here/pictures.py" pattern "$pictures/inset.bmp" 30 20
convert -size 40x30 'xc:rgb(0,200,0)' "$pictures/inset.jpg"
# Blue, with a 10 x 10 transparent corner.
convert -size 40x30 'xc:rgb(0,0,255)' -fill 'rgb(255,255,0)' -draw 'rectangle 0,0 9,9' \
  -transparent 'rgb(255,255,0)' "$pictures/inset.gif"
# Magenta, with an 8 x 8 transparent corner.
convert -size 32x32 'xc:rgb(255,0,255)' -alpha set -region 8x8+0+0 -alpha transparent +region \
  "$pictures/inset.ico"

# --- helpers ------------------------------------------------------------------

begin_case() {
  echo "--- $1"
  new_wine_prefix
  drive_c="$WINEPREFIX/drive_c"
  mkdir -p "$drive_c/t"
  cp "$pictures"/* "$drive_c/t/"
}

end_case() {
  remove_wine_prefix
  unset WINEPREFIX
}

seed() {  # seed KEY VALUE: a value in the program's settings
  wine reg add 'HKCU\Software\Tessarin\App' /v "$1" /d "$2" /f >/dev/null 2>&1
}

reg_value() {  # reg_value KEY NAME: the REG_SZ value, empty when missing
  # reg.exe writes to a pipe in the console's OEM code page (437), with CR LF.
  wine reg query "$1" /v "$2" 2>/dev/null | iconv -f CP437 -t UTF-8 | tr -d '\r' |
    sed -n "s/^    $2    REG_SZ    //p"
}

# The same, for any script: reg.exe's console output has only the OEM code
# page, its export file is UTF-16.
reg_value_exported() {  # reg_value_exported KEY NAME
  wine reg export "$1" 'C:\export.reg' /y >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$drive_c/export.reg" | tr -d '\r' |
    sed -n "s/^\"$2\"=\"\(.*\)\"\$/\1/p" | sed 's/\\\\/\\/g'
  rm -f "$drive_c/export.reg"
}

start_tessarin() {  # in the background; finish_tessarin waits for its status
  timeout 60 wine "$tessarin" "$@" >/dev/null 2>&1 &
  tessarin_pid=$!
}

finish_tessarin() {  # sets tessarin_status (not in a subshell: only this shell can wait)
  for _ in $(seq 300); do kill -0 "$tessarin_pid" 2>/dev/null || break; sleep 0.1; done
  # Still running after 30 seconds: show what it waits for, if it is a box.
  if kill -0 "$tessarin_pid" 2>/dev/null; then
    echo "  still running; a box it shows:"
    wine "$driver" message 1 2>&1 | sed 's/^/    /'
  fi
  tessarin_status=0
  wait "$tessarin_pid" || tessarin_status=$?
}

# Reads the message box: sets box_title, box_text, box_buttons, box_icon; presses OK.
read_message_box() {
  local report
  report="$(wine "$driver" message 2>&1 | tr -d '\r')"
  box_title="$(sed -n 's/^title=//p' <<<"$report")"
  box_text="$(sed -n 's/^text=//p' <<<"$report")"
  box_buttons="$(sed -n 's/^buttons=//p' <<<"$report")"
  box_icon="$(sed -n 's/^icon=//p' <<<"$report")"
}

pixel() { python3 "$here/pictures.py" pixel "$@"; }

notice='This application requires command line parameters or prior configuration before use.  Read the included README.TXT for further information'
usage='Command line incomplete:\r\nUsage: Tessarin [CanvasPicture], [RandomPicture], [X], [Y], [Height], [Width], [OutputBMP]'
app='HKCU\Software\Tessarin\App'
desktop='HKCU\Control Panel\Desktop'

# --- the cases ------------------------------------------------------------------
begin_case "first run: only the notice, even for /C"
start_tessarin /C
read_message_box
check "notice" "$box_text" "$notice"
check "title" "$box_title" "Tessarin"
check "one OK button, no icon" "$box_buttons/$box_icon" "OK/none"
finish_tessarin
check "exit status" "$tessarin_status" 0
check "FirstRun stored" "$(reg_value "$app" FirstRun)" 1
end_case

begin_case "usage message for an incomplete command line"
seed FirstRun 1
start_tessarin 'C:\t\canvas.bmp,' 'C:\t\inset.bmp,' 1
read_message_box
check "usage with its line break" "$box_text" "$usage"
check "one OK button, no icon" "$box_buttons/$box_icon" "OK/none"
finish_tessarin
check "exit status" "$tessarin_status" 2
end_case

begin_case "missing picture"
seed FirstRun 1
mkdir "$drive_c/t/folder.jpg"
start_tessarin 'C:\t\canvas.bmp,' 'C:\t\folder.jpg,' 0, 0, 5, 5, 'C:\t\out.bmp'
read_message_box
check "message" "$box_text" '[C:\t\folder.jpg] does not exist... quitting.'
finish_tessarin
check "exit status" "$tessarin_status" 3
check "nothing written" "$(ls "$drive_c/t" | grep -ci '^out')" 0
end_case

begin_case "failure stop: an undecodable picture"
seed FirstRun 1
echo "not a picture" >"$drive_c/t/broken.jpg"
start_tessarin 'C:\t\canvas.bmp,' 'C:\t\broken.jpg,' 0, 0, 5, 5, 'C:\t\out.bmp'
read_message_box
stop_prefix='Tessarin stopped: C:\t\broken.jpg: '
check "message names the file" "${box_text:0:${#stop_prefix}}" "$stop_prefix"
finish_tessarin
check "exit status" "$tessarin_status" 1
check "nothing written" "$(ls "$drive_c/t" | grep -ci 'out')" 0
end_case

# A full command line with each inset format: the block lands at 5, 6 on the
# canvas, 20 wide and 10 high; the path is installed lower-cased.
command_line_run() {  # command_line_run INSET_FILE
  seed FirstRun 1
  start_tessarin 'C:\T\Canvas.BMP,' "C:\\t\\$1," 5, 6, 20, 10, 'C:\T\Out.BMP'
  finish_tessarin
  check "exit status" "$tessarin_status" 0
  check "wallpaper recorded lower-cased" "$(reg_value "$desktop" Wallpaper)" 'c:\t\out.bmp'
  output="$drive_c/t/Out.BMP"
  check "written under the name as given" "$(ls "$drive_c/t" | grep -c '^Out\.BMP$')" 1
  check "canvas left of the block" "$(pixel "$output" 4 6)" "$(pixel "$drive_c/t/canvas.bmp" 4 6)"
  check "canvas right of the block" "$(pixel "$output" 25 15)" "$(pixel "$drive_c/t/canvas.bmp" 25 15)"
  check "canvas below the block" "$(pixel "$output" 10 16)" "$(pixel "$drive_c/t/canvas.bmp" 10 16)"
}

begin_case "command line, BMP inset"
command_line_run inset.bmp
check "every pixel" "$(python3 "$here/pictures.py" composed "$drive_c/t/Out.BMP" \
  "$drive_c/t/canvas.bmp" "$drive_c/t/inset.bmp" 5 6 20 10)" ""
end_case

begin_case "command line, JPEG inset"
command_line_run inset.jpg
read -r r g b < <(pixel "$drive_c/t/Out.BMP" 15 11)
check "green block (JPEG, within 8)" "$(( r <= 8 && g >= 192 && g <= 208 && b <= 8 ))" 1
end_case

begin_case "command line, GIF inset with a transparent corner"
command_line_run inset.gif
check "transparent part black" "$(pixel "$drive_c/t/Out.BMP" 7 8)" "0 0 0"
check "blue block" "$(pixel "$drive_c/t/Out.BMP" 20 11)" "0 0 255"
end_case

begin_case "command line, icon inset with a transparent corner"
command_line_run inset.ico
check "transparent part black" "$(pixel "$drive_c/t/Out.BMP" 6 7)" "0 0 0"
check "magenta block" "$(pixel "$drive_c/t/Out.BMP" 17 11)" "255 0 255"
end_case

begin_case "command line, placeable metafile inset"
wine "$metafile_maker" 'C:\t\inset.wmf' >/dev/null 2>&1
check "metafile made" "$(head -c 4 "$drive_c/t/inset.wmf" | od -An -tx1 | tr -d ' ')" "d7cdc69a"
command_line_run inset.wmf
check "blue square" "$(pixel "$drive_c/t/Out.BMP" 7 8)" "0 0 255"
check "red all over" "$(pixel "$drive_c/t/Out.BMP" 20 11)" "255 0 0"
end_case

begin_case "saved settings: a random inset from the folder"
mkdir -p "$drive_c/t/insets/sub.bmp"
cp "$pictures/inset.bmp" "$drive_c/t/insets/Only.BMP"
echo "not a picture" >"$drive_c/t/insets/notes.txt"
seed FirstRun 1
seed OutputFile 'C:\t\Saved.bmp'
seed Canvas 'C:\t\canvas.bmp'
seed InsertDir 'C:\t\insets\'
seed X 3
seed Y 4
seed W 12
seed H 8
start_tessarin
finish_tessarin
check "exit status" "$tessarin_status" 0
check "wallpaper recorded lower-cased" "$(reg_value "$desktop" Wallpaper)" 'c:\t\saved.bmp'
check "W wide, H high, from the only picture" "$(python3 "$here/pictures.py" composed \
  "$drive_c/t/Saved.bmp" "$drive_c/t/canvas.bmp" "$drive_c/t/insets/Only.BMP" 3 4 12 8)" ""
end_case

begin_case "saved settings with non-ASCII folder and file names"
mkdir -p "$drive_c/t/Einsätze"
cp "$pictures/inset.bmp" "$drive_c/t/Einsätze/Muster.bmp"
cp "$pictures/canvas.bmp" "$drive_c/t/Leinwand-ä.bmp"
seed FirstRun 1
seed OutputFile 'C:\t\Ausgabe-Ö.BMP'
seed Canvas 'C:\t\Leinwand-ä.bmp'
seed InsertDir 'C:\t\Einsätze'
for key in X Y W H; do seed "$key" 2; done
start_tessarin
finish_tessarin
check "exit status" "$tessarin_status" 0
check "wallpaper recorded lower-cased" "$(reg_value "$desktop" Wallpaper)" 'c:\t\ausgabe-ö.bmp'
check "the block from the folder's picture" "$(python3 "$here/pictures.py" composed \
  "$drive_c/t/Ausgabe-Ö.BMP" "$drive_c/t/Leinwand-ä.bmp" "$drive_c/t/Einsätze/Muster.bmp" 2 2 2 2)" ""
end_case

begin_case "an output named in scripts the ANSI code page lacks (Greek, Japanese)"
check "the ANSI code page is 1252" \
  "$(wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
     tr -d '\r' | sed -n 's/^ *ACP *REG_SZ *//p')" 1252
seed FirstRun 1
start_tessarin 'C:\t\canvas.bmp,' 'C:\t\inset.bmp,' 5, 6, 20, 10, 'C:\t\Ωmega-日本.BMP'
finish_tessarin
check "exit status" "$tessarin_status" 0
check "written under its name" "$(ls "$drive_c/t" | grep -c '^Ωmega-日本\.BMP$')" 1
check "wallpaper recorded as the path" "$(reg_value_exported "$desktop" Wallpaper)" 'c:\t\ωmega-日本.bmp'
check "wallpaper shown as the path" \
  "$(wine "$driver" wallpaper 2>/dev/null | tr -d '\r' | sed -n 's/^wallpaper=//p')" 'c:\t\ωmega-日本.bmp'
end_case

begin_case "a 300-character output path, its canvas in the same deep folder"
folder='C:\t'
for i in 1 2 3 4 5; do folder+="\\folder$i-$(printf 'x%.0s' $(seq 40))"; done
name="$(printf 'o%.0s' $(seq $((300 - ${#folder} - 5)))).bmp"
deep="$drive_c/$(tr '\\' / <<<"${folder#C:\\}")"
mkdir -p "$deep"
cp "$pictures/canvas.bmp" "$deep/canvas.bmp"
seed FirstRun 1
# Wine has no MAX_PATH limit; its file trace shows whether the program asked
# for the "\\?\" forms that Windows needs for such paths.
WINEDEBUG=+file timeout 60 wine "$tessarin" "$folder\\canvas.bmp," 'C:\t\inset.bmp,' 5, 6, 20, 10, \
  "$folder\\$name" >/dev/null 2>"$work/file-trace"
check "exit status" "$?" 0
check "the output's path has 300 characters" "${#folder}:${#name}" "249:50"
check "every pixel" "$(python3 "$here/pictures.py" composed "$deep/$name" "$deep/canvas.bmp" \
  "$drive_c/t/inset.bmp" 5 6 20 10)" ""
check "no temporary left" "$(ls "$deep" | grep -c tessarin-part)" 0
check "wallpaper recorded as the path" "$(reg_value "$desktop" Wallpaper)" "${folder,,}\\$name"
traced() { grep -caF "$1"'L"\\\\?\\C:\\t\\folder1-' "$work/file-trace"; }
check "lookups in the \\?\ form" "$(( $(traced 'FindFirstFileExW ') >= 1 ))" 1
check "canvas read and temporary made in the \\?\ form" "$(( $(traced 'CreateFileW ') >= 2 ))" 1
check "moved over the output in the \\?\ form" "$(traced 'MoveFileWithProgressW (')" 1
rm -f "$work/file-trace"
end_case

begin_case "two loops of 15 runs to one output at once"
seed FirstRun 1
run_loop() {  # run_loop NAME: 15 runs; the number that failed goes to $work/failed-NAME
  local failed=0
  for _ in $(seq 15); do
    timeout 20 wine "$tessarin" 'C:\t\canvas.bmp,' 'C:\t\inset.bmp,' 5, 6, 20, 10, 'C:\t\Shared.bmp' \
      >/dev/null 2>&1 || failed=$((failed + 1))
  done
  echo "$failed" >"$work/failed-$1"
}
run_loop a & loop_a=$!
run_loop b & loop_b=$!
wait "$loop_a" "$loop_b"
check "failed runs" "$(cat "$work/failed-a") $(cat "$work/failed-b")" "0 0"
check "every pixel" "$(python3 "$here/pictures.py" composed "$drive_c/t/Shared.bmp" \
  "$drive_c/t/canvas.bmp" "$drive_c/t/inset.bmp" 5 6 20 10)" ""
check "no temporary left" "$(ls "$drive_c/t" | grep -c tessarin-part)" 0
end_case

begin_case "saved settings incomplete: the notice, then the window"
seed FirstRun 1
for key in OutputFile Canvas InsertDir X Y H; do seed "$key" 1; done
start_tessarin
read_message_box
check "notice" "$box_text" "$notice"
check "window opened" "$(wine "$driver" window-get 2>/dev/null | tr -d '\r' | head -1)" "box1=1"
wine "$driver" window-close >/dev/null 2>&1
finish_tessarin
check "exit status" "$tessarin_status" 0
check "W still missing" "$(reg_value "$app" W)" ""
end_case

begin_case "the configuration window saves to the registry"
seed FirstRun 1
seed OutputFile 'C:\t\old.bmp'
seed H 7
start_tessarin /c
check "saved value shown" "$(wine "$driver" window-get 2>/dev/null | tr -d '\r' | head -1)" 'box1=C:\t\old.bmp'
wine "$driver" window-set ' C:\t\new.bmp ' '' 'C:\Pics' '  12  ' 0 '   ' 50 >/dev/null 2>&1
wine "$driver" window-ok >/dev/null 2>&1
finish_tessarin
check "exit status" "$tessarin_status" 0
check "OutputFile trimmed" "$(reg_value "$app" OutputFile)" 'C:\t\new.bmp'
check "InsertDir gains its backslash" "$(reg_value "$app" InsertDir)" 'C:\Pics\'
check "X trimmed" "$(reg_value "$app" X)" 12
check "Y" "$(reg_value "$app" Y)" 0
check "W" "$(reg_value "$app" W)" 50
check "a blank box keeps H" "$(reg_value "$app" H)" 7
check "an empty box saves nothing" "$(wine reg query "$app" /v Canvas >/dev/null 2>&1; echo $?)" 1
end_case

begin_case "the window scaled to the screen's 144 DPI"
seed FirstRun 1
wine reg add "$desktop" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start_tessarin /C
check "client area 1.5 times 360 x 244" \
  "$(wine "$driver" window-get 2>/dev/null | tr -d '\r' | sed -n 's/^client=//p')" "540x366"
wine "$driver" window-close >/dev/null 2>&1
finish_tessarin
check "exit status" "$tessarin_status" 0
end_case

finish_checks
