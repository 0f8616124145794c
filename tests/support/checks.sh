# Shared by the test scripts (sourced): counted checks, waits and skips.

failures=0
# check WHAT ACTUAL EXPECTED: prints one line, ok or FAILED; finish_checks counts them.
check() {
  if [ "$2" == "$3" ]; then
    echo "  ok: $1"
  else
    echo "  FAILED: $1: got [$2], expected [$3]"
    failures=$((failures + 1))
  fi
}
# The script's end: non-zero when any check failed.
finish_checks() {
  echo "$failures check(s) failed"
  [ "$failures" -eq 0 ]
}

# fail WHAT: stops the script at once.
fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits (at most about ten seconds) until the command succeeds.
wait_until() {
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  fail "gave up waiting for: $*"
}

# skip_without TOOL...: ends the script as skipped (CTest's 77) when a tool is missing.
skip_without() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
}
