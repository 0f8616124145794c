#!/usr/bin/env bash
# Times Tessarin against the tools a user would pick instead and against each
# job's floor, on pictures made from photographs of a Debian package.
# Installs what it needs (.ci/packages-bench.txt); the floor of the JPEG jobs
# (bench/two_core_floor.cpp) is built in build/ when not given.
#   bench/run.sh [tessarin executable, default build/tessarin] [rounds, default 7]
#                [two_core_floor executable, default build/bench/two_core_floor]
set -euo pipefail
cd "$(dirname "$0")/.."
tessarin="$(realpath "${1:-build/tessarin}")"
runs="${2:-7}"
floor="${3:-build/bench/two_core_floor}"

scripts/install-packages.sh .ci/packages-bench.txt
[ -x "$floor" ] || cmake --build build -j2 --target two_core_floor

exec /usr/bin/python3 bench/bench.py "$tessarin" "$runs" "$(realpath "$floor")"
