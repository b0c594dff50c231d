#!/usr/bin/env bash
# Runs each fuzz target built by build.sh for SECONDS (default 60) with one
# worker, starting from its seeds and the corpus kept in build-fuzz/corpus/.
# Fails on the first finding (crash, sanitizer report, leak, timeout, memory
# limit); the input that caused it is left in build-fuzz/findings/ and the log
# in build-fuzz/logs/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=$PWD/build-fuzz
mkdir -p "$out/findings" "$out/logs"
for target in genbank_fuzzer arguments_fuzzer; do
  mkdir -p "$out/corpus/$target"
  log=$out/logs/$target.log
  echo "== $target, $seconds s"
  if ! "$out/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$out/findings/$target-" \
      "$out/corpus/$target" "$out/seeds/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$target: finding, see $out/findings/" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|peak_rss_mb)' "$log"
done
