#!/usr/bin/env bash
# Installs what building and testing Tessarin needs on Debian 12 (the packages
# listed in .ci/packages-*.txt), then configures and builds it in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=$(cat .ci/packages-*.txt | sed 's/#.*//' | tr -s ' \n' '\n' | sort -u)
missing=$(for p in $packages; do dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || echo "$p"; done)
if [ -n "$missing" ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIN_MICRO_BENCHMARKS=ON ${TESSARIN_CMAKE_ARGS:-}
cmake --build build -j"$(nproc)"
