#!/usr/bin/env bash
# Installs what building Tessarin needs on Debian 12 (.ci/packages-build.txt),
# then configures and builds it in build/ (the preset "linux").
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh .ci/packages-build.txt

# shellcheck disable=SC2086
cmake --preset linux ${TESSARIN_CMAKE_ARGS:-}
cmake --build build -j"$(nproc)"
