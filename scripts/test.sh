#!/usr/bin/env bash
# Checks that includes point only downward (scripts/check_layers.sh), installs
# what the build needs (Debian 12, as root), builds, and runs every test: the
# unit and end-to-end suites (with the MCP SDK client, the install layout,
# shell completion under tmux and the MCP soak), the Debian package, the same
# suites under AddressSanitizer and UndefinedBehaviorSanitizer, valgrind's
# memcheck over the unit, end-to-end and fault suites, the benchmarks once as a
# smoke run (their figures are not checked here: bench/run.sh does that), and a
# minute of each fuzzer. The sanitizer, memcheck and fuzz builds keep JSON trees
# out of the pool, so that the checkers see every block.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}

install_packages() {
  local wanted=(cmake g++ make libgtest-dev libgmock-dev clang-19 libclang-rt-19-dev dpkg-dev groff-base python3 valgrind
                libbenchmark-dev rapidjson-dev libsimdjson-dev nlohmann-json3-dev libdragonbox-dev tmux zsh fish)
  command -v node >/dev/null && command -v npm >/dev/null || wanted+=(nodejs npm)
  local missing=()
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

step() { printf '\n== %s ==\n' "$*"; }

step "Include layers"
scripts/check_layers.sh

install_packages

step "MCP SDK client (npm ci)"
npm ci --prefix tests/sdk --no-audit --no-fund --loglevel=error

step "Debug build and tests"
cmake --preset dev >/dev/null
cmake --build --preset dev -j2
ctest --preset dev

step "Debian package"
tests/install/check_deb.sh build/dev

step "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j2
ctest --preset asan

step "valgrind memcheck over the unit, end-to-end and fault suites"
scripts/valgrind.sh

step "Benchmarks: build and one quick pass"
cmake --preset bench >/dev/null
cmake --build --preset bench -j2
build/bench/bench/json_bench --benchmark_min_time=0.01 >/dev/null
mkdir -p build/bench/results
python3 bench/e2e_bench.py build/bench build/bench/results/smoke.json --repetitions 1 --calls 200

step "Fuzzers (${FUZZ_SECONDS} s each)"
scripts/fuzz.sh "$FUZZ_SECONDS"
