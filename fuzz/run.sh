#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, address and undefined-
# behaviour sanitizers and runs each in turn for a bounded time.
#   fuzz/run.sh [seconds per target, default 60] [target...]
# Installs clang-14 and libclang-rt-14-dev when missing (not part of the
# tests' setup: fuzzing is run by hand). The growing corpus lives in the
# build folder; crashes are kept in fuzz/crashes/<target>/ for the unit tests
# to replay once fixed. An input that takes more than 10 s or 384 MiB is a
# finding, as it would be for a run of the program.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(clang-14 libclang-rt-14-dev)
installed=$(dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -c '^install ok installed' || true)
if [ "$installed" -ne ${#packages[@]} ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${packages[@]}"
fi
seconds="${1:-60}"
shift || true
build="${TESSARIN_FUZZ_BUILD:-build-fuzz}"
all=(bmp icon gif jpeg png wmf compose sandbox)
[[ $# -gt 0 ]] && targets=("$@") || targets=("${all[@]}")

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) -DTESSARIN_FUZZ=ON -DTESSARIN_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice cmake --build "$build" -j2 --target make_fuzz_seeds $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null
"$build/fuzz/make_fuzz_seeds" "$build/seeds"

export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Freed memory held in quarantine (256 MiB by default) would count against
# the 384 MiB an input may take: keep little, give the rest back soon.
export ASAN_OPTIONS="quarantine_size_mb=16:allocator_release_to_os_interval_ms=100${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
mkdir -p "$build/logs"
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  crashes="fuzz/crashes/$target"
  mkdir -p "$corpus" "$crashes"
  echo "== $target: ${seconds}s"
  nice "$build/fuzz/fuzz_$target" "$corpus" "$build/seeds/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=384 -max_len=65536 \
    -artifact_prefix="$crashes/" -print_final_stats=1 2>&1 | tee "$build/logs/$target.log" |
    grep -E '^(#[0-9]+ *DONE|==[0-9]+==ERROR|SUMMARY|stat::number_of_executed_units|artifact_prefix|Test unit written)' || true
done
