#!/usr/bin/env bash
# Installs what building and testing Tessarin needs on Debian 12 (the packages
# listed in .ci/packages-*.txt), then configures and builds it in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh .ci/packages-*.txt

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIN_MICRO_BENCHMARKS=ON ${TESSARIN_CMAKE_ARGS:-}
cmake --build build -j"$(nproc)"
