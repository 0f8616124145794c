#!/usr/bin/env bash
# Makes the packages a person installs, into dist/:
#   tessarin_VERSION_amd64.deb     Debian 12 and Ubuntu (CPack, checked with lintian)
#   tessarin-VERSION-win64.zip     tessarin.exe, README.TXT, LICENSE.txt
#   tessarin-VERSION-setup.exe     the Windows installer (NSIS)
# VERSION is the project's version in CMakeLists.txt. It installs what it
# needs on Debian 12 and builds from scratch in build-package/, the Linux
# program with Debian's build and hardening flags.
#   scripts/package.sh [deb]       deb: the .deb alone
# The .deb is reproducible: every time in it is the last commit's
# (SOURCE_DATE_EPOCH), and no path of the checkout is built in, so two
# checkouts of one commit make the same .deb, byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
lists=(.ci/packages-build.txt .ci/packages-packaging.txt)
[ "${1:-}" = deb ] || lists+=(.ci/packages-windows.txt)
scripts/install-packages.sh "${lists[@]}"

export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
dist="$PWD/dist"
rm -rf build-package "$dist"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # With a base folder ccache hands the compiler relative paths, and the .deb
  # would differ from one built without ccache.
  unset CCACHE_BASEDIR
fi
common=(-DTESSARIN_TESTS=OFF -DTESSARIN_MICRO_BENCHMARKS=OFF -DTESSARIN_DIST_DIR="$dist" "${launcher[@]}")

# dpkg-buildflags maps this folder to "." in what the compiler writes
# (-ffile-prefix-map); the build folder is inside it.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
linker_flags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build-package/linux "${common[@]}" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$linker_flags" -DCMAKE_MODULE_LINKER_FLAGS="$linker_flags"
cmake --build build-package/linux -j"$(nproc)"
(cd build-package/linux && cpack)
lintian --allow-root --display-info --pedantic --fail-on error,warning,info,pedantic \
  "$dist"/tessarin_*.deb

if [ "${1:-}" != deb ]; then
  cmake -S . -B build-package/mingw "${common[@]}" --toolchain cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release
  cmake --build build-package/mingw --target windows_packages -j"$(nproc)"
fi
ls -l "$dist"
