#!/usr/bin/env bash
# The unit, picture and Linux tests and the replay of the fuzzers' findings
# (the tests labelled `sanitized`), built with gcc's address and
# undefined-behaviour sanitizers in build-asan/ and run there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
# shellcheck disable=SC2086
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIN_SANITIZE=ON \
  -DTESSARIN_MICRO_BENCHMARKS=OFF ${TESSARIN_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)" --target sanitized_tests
# Font and drawing libraries keep caches for the life of the process (as in
# fuzzing); freed memory is held only briefly, as the decoders' bounds count it.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
export ASAN_OPTIONS="quarantine_size_mb=16:allocator_release_to_os_interval_ms=100"
export UBSAN_OPTIONS="print_stacktrace=1"
ctest --test-dir "$build" -L sanitized --output-on-failure -j"$(nproc)"
