# Shared by the round-trip scripts, which are started by ctest as
#   bash SCRIPT TARVELO_BINARY SOURCE_DIR
# A script exits 77 (reported by ctest as skipped) only when a tool it needs is
# missing, 0 when every case passed, 1 otherwise. A failed case is counted and
# the script goes on, so every failure is listed.
set -uo pipefail

tarvelo=$1
source_dir=$2
records=$source_dir/tests/roundtrip/records.gb
sample=$source_dir/sample/sample.gb

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# need COMMAND [DESCRIPTION]: skip the test when COMMAND is not installed.
need() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIP: ${2:-$1} is not installed"
    exit 77
  fi
}

failures=0

# fail WHAT: counts a failed case.
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures case(s) failed"
    exit 1
  fi
  echo "all cases passed"
}
