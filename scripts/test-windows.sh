#!/usr/bin/env bash
# Cross-builds tessarin.exe and its tests with mingw-w64 (preset "mingw", in
# build-mingw/) and runs them under Wine: the unit tests, the Win32 platform's
# tests and the end-to-end runs, each in a fresh Wine prefix on Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh .ci/packages-windows.txt

# shellcheck disable=SC2086
cmake --preset mingw ${TESSARIN_CMAKE_ARGS:-}
cmake --build --preset mingw

# One prefix initialised here; every test runs in a copy of it.
. tests/windows/wine_prefix.sh
template="$(mktemp -d "${TMPDIR:-/tmp}/tessarin-wine-template.XXXXXX")"
trap 'WINEPREFIX="$template" wineserver -k 2>/dev/null || true; rm -rf "$template"' EXIT
WINEPREFIX="$template" initialise_wine_prefix
export TESSARIN_WINE_TEMPLATE="$template"

ctest --preset mingw -j2
