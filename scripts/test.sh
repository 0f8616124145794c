#!/usr/bin/env bash
# Sets everything up and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/install-packages.sh .ci/packages-tests.txt .ci/packages-desktops.txt .ci/packages-desktops-on-screen.txt \
  .ci/packages-packaging.txt
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/test-sanitizers.sh  # the unit, picture and Linux tests under ASan and UBSan
scripts/test-windows.sh  # the Windows build, cross-compiled and run under Wine
