#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, address and undefined-
# behaviour sanitizers and runs each for a bounded time.
#   fuzz/run.sh [--cpu] [--jobs N] [seconds per target, default 60] [target...]
# --cpu: the seconds are the fuzzer's processor time (user + system), not the
# wall clock, so that a round on a busy machine does the work it says; each
# target is stopped (SIGINT, final stats printed) once it has used them.
# --jobs N: up to N targets at once (default 1). Fuzzers run at nice 19.
# Installs clang-14 and libclang-rt-14-dev when missing (not part of the
# tests' setup: fuzzing is run by hand). The growing corpus lives in the
# build folder; an input that crashes is written to fuzz/crashes/<target>/,
# and once fixed stays there: the tests replay every input of that folder
# (fuzz_replay). An input that takes more than 10 s or 384 MiB is a finding,
# as it would be for a run of the program.
set -euo pipefail
cd "$(dirname "$0")/.."
cpu=false
jobs=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    --cpu) cpu=true; shift ;;
    --jobs) jobs="$2"; shift 2 ;;
    *) break ;;
  esac
done
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
ticks=$(getconf CLK_TCK)

# Processor seconds (user + system) process $1 has used so far.
cpu_seconds() {
  local fields
  read -ra fields <"/proc/$1/stat" || return 1
  echo $(((fields[13] + fields[14]) / ticks))
}

# Processor seconds the target takes over input $2 alone.
input_cpu_seconds() {
  (
    "$build/fuzz/fuzz_$1" "$2" >/dev/null 2>&1 || true
    times
  ) | tail -1 | awk '{ n = 0; for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); n += t[1] * 60 + t[2] } printf "%d", n }'
}

# libFuzzer times an input on the wall clock, which a starved machine
# stretches: an input it reports slow is kept only when it takes 10 s of
# processor time alone. True when the last input written after line $3 of
# the log was not kept (the fuzzer that wrote it may go on).
only_slow_on_the_wall_clock() {
  local target="$1" log="$2" from="${3:-0}" file used last=""
  last=$(tail -n +"$((from + 1))" "$log" | grep -oE 'Test unit written to [^ ]+' | awk '{ print $5 }' | tail -1)
  for file in $(grep -oE 'Test unit written to [^ ]+' "$log" | awk '{ print $5 }'); do
    case "$(basename "$file")" in timeout-* | slow-unit-*) ;; *) continue ;; esac
    [ -f "$file" ] || continue
    used=$(input_cpu_seconds "$target" "$file")
    if [ "$used" -lt 10 ]; then
      echo "== $file: ${used} s of processor time alone: slow on the wall clock only, not kept" >>"$log"
      rm "$file"
    fi
  done
  [ -n "$last" ] && [ ! -f "$last" ]
}

fuzz_target() {
  local target="$1" corpus="$build/corpus/$1" crashes="fuzz/crashes/$1" log="$build/logs/$1.log"
  local wall=(-max_total_time="$seconds") used=0 spent pid from
  $cpu && wall=()
  mkdir -p "$corpus" "$crashes"
  : >"$log"
  while :; do
    from=$(wc -l <"$log")
    nice -n 19 "$build/fuzz/fuzz_$target" "$corpus" "$build/seeds/$target" "${wall[@]}" \
      -timeout=10 -rss_limit_mb=384 -max_len=65536 \
      -artifact_prefix="$crashes/" -print_final_stats=1 >>"$log" 2>&1 &
    pid=$!
    spent=0
    if $cpu; then
      while spent_now=$(cpu_seconds "$pid" 2>/dev/null); do
        spent=$spent_now
        if [ $((used + spent)) -ge "$seconds" ]; then
          kill -INT "$pid" 2>/dev/null || true
          break
        fi
        sleep 5
      done
    fi
    wait "$pid" || true
    used=$((used + spent))
    $cpu && [ "$used" -lt "$seconds" ] && only_slow_on_the_wall_clock "$target" "$log" "$from" || break
  done
  # Slow units written while the last fuzzer went on are checked too.
  if $cpu; then only_slow_on_the_wall_clock "$target" "$log" || true; fi
  echo "== $target: $($cpu && echo "${used} s of processor time" || echo "${seconds} s")"
  grep -E '^(==[0-9]+==ERROR|SUMMARY|Test unit written|== )' "$log" || true
  awk '/^stat::number_of_executed_units/ { runs += $2; starts++ }
       /^stat::peak_rss_mb/ { if ($2 > peak) peak = $2 }
       END { printf "executions %d in %d start(s), peak RSS %d MB\n", runs, starts, peak }' "$log"
  grep -E '^#[0-9]+' "$log" | tail -1 || true
}

for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  fuzz_target "$target" &
done
wait
