#!/usr/bin/env bash
# Line coverage that each fuzzer's corpus reaches in the code it aims at:
# builds the targets with clang's source coverage, replays the seed corpus and
# whatever scripts/fuzz.sh has found (fuzz/corpus-work/), and prints one
# llvm-cov summary line per target.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/fuzz-coverage
flags="-fprofile-instr-generate -fcoverage-mapping"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-19 \
  -DBRELVO_TESTS=OFF -DBRELVO_FUZZ=ON -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
targets=$(cd fuzz && ls fuzz_*.cc | sed 's/\.cc$//')
cmake --build "$build" -j2 --target $targets >/dev/null

# The files each target is meant to exercise.
declare -A aims=(
  [fuzz_answer_reader]="src/platform/line_reader.cc"
  [fuzz_decode_base64]="src/json/base64.cc"
  [fuzz_mcp_session]="src/mcp/mcp_server.cc src/mcp/mcp_tools.cc src/mcp/tool_result.cc src/platform/line_reader.cc"
  [fuzz_parse_json]="src/json/json_parse.cc src/json/json_text.cc"
  [fuzz_parse_tool_args]="src/main/tool_args.cc"
  [fuzz_read_control_file]="src/bridge/control_file.cc"
  [fuzz_script_runner]="src/main/script_runner.cc"
)

for target in $targets; do
  name=${target#fuzz_}
  profile=$build/$name
  mkdir -p fuzz/corpus-work/"$name"
  LLVM_PROFILE_FILE="$profile.profraw" "$build/fuzz/$target" -runs=0 \
    fuzz/corpus-work/"$name" fuzz/corpus/"$name" >/dev/null 2>&1
  llvm-profdata-19 merge -sparse "$profile.profraw" -o "$profile.profdata"
  echo "-- $target"
  # shellcheck disable=SC2086
  llvm-cov-19 report "$build/fuzz/$target" -instr-profile="$profile.profdata" ${aims[$target]} |
    awk 'NR > 2 && $1 != "" && $1 !~ /^-+$/ { printf "   %-28s lines %s\n", $1, $10 }'
done
