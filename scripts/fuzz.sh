#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-19 (ASan, UBSan, JSON trees out of
# the pool, so that every block is checked) and runs each one for the given
# number of seconds (default 60) from its seed corpus. New inputs go to
# fuzz/corpus-work/, which is not committed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
targets=$(cd fuzz && ls fuzz_*.cc | sed 's/\.cc$//')
cmake --build --preset fuzz -j2 --target $targets

for target in $targets; do
  seeds=fuzz/corpus/${target#fuzz_}
  work=fuzz/corpus-work/${target#fuzz_}
  mkdir -p "$work"
  echo "-- $target: ${seconds} s"
  log=$(mktemp)
  status=0
  build/fuzz/fuzz/"$target" -max_total_time="$seconds" -max_len=65536 -timeout=20 -print_final_stats=1 \
    -artifact_prefix=fuzz/corpus-work/"${target#fuzz_}"- -close_fd_mask=1 "$work" "$seeds" >"$log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|DONE|ERROR|SUMMARY' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -40 "$log"
    echo "fuzzers: 0 passed, 1 failed ($target)"
    exit 1
  fi
  rm -f "$log"
done
echo "fuzzers: $(echo $targets | wc -w) passed, 0 failed"
