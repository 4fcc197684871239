#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-19 and runs each one for the given
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
  build/fuzz/fuzz/"$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    -close_fd_mask=1 "$work" "$seeds" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)|ERROR|SUMMARY' || true
  test "${PIPESTATUS[0]}" -eq 0
done
echo "fuzzers: $(echo $targets | wc -w) passed, 0 failed"
