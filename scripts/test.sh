#!/usr/bin/env bash
# Sets everything up and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
# With the tests that change this machine: the .deb installed and purged, and
# built twice from scratch. They are registered for this run only, so that a
# later plain ctest in build/ leaves the machine's packages alone.
TESSARIN_CMAKE_ARGS="${TESSARIN_CMAKE_ARGS:-} -DTESSARIN_PACKAGE_TESTS=ON" scripts/setup.sh
trap 'cmake -S . -B build -DTESSARIN_PACKAGE_TESTS=OFF >/dev/null' EXIT
scripts/install-packages.sh .ci/packages-tests.txt .ci/packages-desktops.txt .ci/packages-desktops-on-screen.txt \
  .ci/packages-packaging.txt
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/test-sanitizers.sh  # the unit, picture and Linux tests under ASan and UBSan
scripts/test-windows.sh  # the Windows build, cross-compiled and run under Wine
