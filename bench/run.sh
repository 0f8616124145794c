#!/usr/bin/env bash
# Times Tessarin against the tools a user would pick instead, on pictures made
# from photographs of a Debian package. Installs what it needs
# (.ci/packages-bench.txt).
#   bench/run.sh [path to the tessarin executable, default build/tessarin] [runs, default 7]
set -euo pipefail
cd "$(dirname "$0")/.."
tessarin="$(realpath "${1:-build/tessarin}")"
runs="${2:-7}"

scripts/install-packages.sh .ci/packages-bench.txt

exec /usr/bin/python3 bench/bench.py "$tessarin" "$runs"
