#!/usr/bin/env bash
# Runs a Windows program under Wine in a fresh prefix of its own, removed
# afterwards: a copy of $TESSARIN_WINE_TEMPLATE (a prefix `wineboot -i` has
# initialised) when set, else one initialised here; on an Xvfb server of
# its own. Exit status: the program's.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=tests/windows/wine_prefix.sh
. "$here/wine_prefix.sh"
new_wine_prefix
xvfb_pid=""
trap 'remove_wine_prefix; [ -z "$xvfb_pid" ] || kill "$xvfb_pid"' EXIT
display_file="$WINEPREFIX/.display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$display_file")"
status=0
wine "$@" || status=$?
exit "$status"
