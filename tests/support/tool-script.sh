# Sourced by the test scripts that drive a system tool (flashrom, valgrind):
# their common start, and a deadline on every command they run.

# start SCRIPT TOOL PACKAGE USAGE COUNT ARG...: exits 77, the status ctest
# counts as skipped, saying so, when TOOL is not installed; 0 for --check,
# which asks only that; 2 with the usage line unless COUNT arguments follow.
start() {
  local script=$1 tool=$2 package=$3 usage=$4 count=$5
  shift 5
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$script: $tool is not installed (apt-get install $package); skipped"
    exit 77
  fi
  [ "${1:-}" = --check ] && exit 0
  if [ $# -ne "$count" ]; then
    echo "usage: $script $usage"
    exit 2
  fi
}

# within SECONDS COMMAND...: runs COMMAND; one that has not ended after
# SECONDS is killed with every process it started, says so on standard
# error, and the status is timeout's 124.
within() {
  local seconds=$1 status=0
  shift
  timeout --kill-after=10 "$seconds" "$@" || status=$?
  [ "$status" -eq 124 ] || [ "$status" -eq 137 ] && echo "$*: did not end within $seconds s; killed" >&2
  return "$status"
}
