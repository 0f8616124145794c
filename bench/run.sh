#!/usr/bin/env bash
# Times Tessarin against the tools a user would pick instead, on pictures made
# from photographs of a Debian package. Installs what it needs (as root).
#   bench/run.sh [path to the tessarin executable, default build/tessarin] [runs, default 7]
set -euo pipefail
cd "$(dirname "$0")/.."
tessarin="$(realpath "${1:-build/tessarin}")"
runs="${2:-7}"

packages=(mate-backgrounds imagemagick graphicsmagick libvips-tools python3-pil
          libjpeg-turbo-progs time)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if ((${#missing[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

exec /usr/bin/python3 bench/bench.py "$tessarin" "$runs"
