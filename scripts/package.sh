#!/usr/bin/env bash
# Makes the packages a person installs, into dist/:
#   tessarin_VERSION_amd64.deb     Debian 12 and Ubuntu (CPack, checked with lintian)
#   tessarin-VERSION-win64.zip     tessarin.exe, README.TXT, LICENSE.txt
#   tessarin-VERSION-setup.exe     the Windows installer (NSIS)
# VERSION is the project's version in CMakeLists.txt. It installs what it
# needs on Debian 12 and builds from scratch in build-package/, the Linux
# program with Debian's build and hardening flags.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh .ci/packages-spine.txt .ci/packages-pictures.txt \
  .ci/packages-window.txt .ci/packages-packaging.txt

dist="$PWD/dist"
rm -rf build-package "$dist"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
common=(-DTESSARIN_TESTS=OFF -DTESSARIN_MICRO_BENCHMARKS=OFF -DTESSARIN_DIST_DIR="$dist" "${launcher[@]}")

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
linker_flags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build-package/linux "${common[@]}" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$linker_flags" -DCMAKE_MODULE_LINKER_FLAGS="$linker_flags"
cmake --build build-package/linux -j"$(nproc)"
(cd build-package/linux && cpack)

cmake -S . -B build-package/mingw "${common[@]}" --toolchain cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release
cmake --build build-package/mingw --target windows_packages -j"$(nproc)"

lintian --allow-root --display-info --pedantic --fail-on error "$dist"/tessarin_*.deb
ls -l "$dist"
