#!/usr/bin/env bash
# Sets everything up and makes a wallpaper from the project's sample pictures,
# once from a command line and once from saved settings with a random inset.
# It runs as a throw-away user (its own settings folder under demo/) with no
# desktop session in sight, so your own settings and wallpaper are left alone
# and messages go to the terminal; the results are in demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

demo="$PWD/demo"
rm -rf "$demo" && mkdir -p "$demo"
export XDG_CONFIG_HOME="$demo/config"
tessarin() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u SWAYSOCK \
    -u DBUS_SESSION_BUS_ADDRESS "$PWD/build/tessarin" "$@"
}

echo "First run (shows the notice once):"
tessarin || true
echo "Command-line run:"
tessarin samples/canvas.bmp, samples/insets/stripes.bmp, 40, 30, 120, 90, "$demo/from-command-line.bmp"
echo "  wrote demo/from-command-line.bmp"

cat > "$XDG_CONFIG_HOME/Tessarin/Tessarin.ini" <<INI
[App]
FirstRun=1
OutputFile=$demo/from-settings.bmp
Canvas=$PWD/samples/canvas.bmp
InsertDir=$PWD/samples/insets/
X=180
Y=60
H=90
W=120
INI
echo "Saved-settings run (random inset):"
tessarin
echo "  wrote demo/from-settings.bmp"
