#!/usr/bin/env bash
# The one benchmark command: installs the reference libraries if they are
# missing (Debian packages, root only), builds the bench preset (Release) and
# prints one table of figures, same-run baselines and ratios.
#
#   bench/run.sh [repetitions]      default 5; every figure is a median
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-5}

packages="libbenchmark-dev rapidjson-dev libsimdjson-dev nlohmann-json3-dev python3"
missing=$(for p in $packages; do dpkg -s "$p" >/dev/null 2>&1 || echo "$p"; done)
if [ -n "$missing" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: $missing (install them as root)" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target json_bench floor_client brelvo-cli brelvo-sim >/dev/null

out=build/bench/results
rm -rf "$out"
mkdir -p "$out"
# Each repetition runs a copy of its own of the benchmark binary, with the
# benchmarks in random order. Copies alike to the byte land on different
# physical pages, and on a virtual machine that alone moved RapidJSON's
# catalogue parse by a third from one copy to another; the order spreads a
# slow spell of the machine over figures and baselines alike. Every figure is
# the median over the repetitions.
copies=$(mktemp -d)
trap 'rm -rf "$copies"' EXIT
for i in $(seq "$repetitions"); do
  cp build/bench/bench/json_bench "$copies/json_bench.$i"
  "$copies/json_bench.$i" --benchmark_enable_random_interleaving=true \
    --benchmark_min_time=0.2 --benchmark_format=json \
    --benchmark_out="$out/micro.$i.json" >/dev/null
done
python3 bench/e2e_bench.py build/bench "$out/e2e.json" --repetitions "$repetitions"
# The bars are checked here: report.py exits 1 when one is missed.
python3 bench/report.py "$out/e2e.json" "$out"/micro.*.json
