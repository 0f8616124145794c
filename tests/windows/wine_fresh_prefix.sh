#!/usr/bin/env bash
# Runs a Windows program under Wine in a fresh prefix of its own, removed
# afterwards: a copy of $TESSARIN_WINE_TEMPLATE (a prefix `wineboot -i` has
# initialised) when set, else one initialised here. Exit status: the program's.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=tests/windows/wine_prefix.sh
. "$here/wine_prefix.sh"
new_wine_prefix
trap remove_wine_prefix EXIT
status=0
wine "$@" || status=$?
wineserver -w
exit "$status"
