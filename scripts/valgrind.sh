#!/usr/bin/env bash
# Runs valgrind's memcheck over the unit suites, and over every brelvo-cli
# that the end-to-end and fault suites start, on the memcheck build: there
# JSON trees take each block from operator new (BRELVO_JSON_POOL off), so
# that memcheck checks every one. Any memcheck error makes that run exit 99
# (and print to stderr), which fails the suite. Arguments go to each suite.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset memcheck >/dev/null
cmake --build --preset memcheck -j2 --target platform_tests json_tests bridge_tests mcp_tests \
  main_tests e2e_tests e2e_fault_tests brelvo-cli brelvo-sim
memcheck="$(command -v valgrind) --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite"
tests=build/memcheck/tests

$memcheck $tests/platform/platform_tests "$@"
$memcheck $tests/json/json_tests "$@"
# Under valgrind, posix_spawn cannot report a failed exec back to the parent
# (valgrind runs the child as a plain fork), so the cases of a file that
# cannot be executed would wait out the whole launch time.
$memcheck $tests/bridge/bridge_tests \
  --gtest_filter='-*UnexecutableFileCannotBeStarted*:*BareExeNameMeansTheFileInTheCurrentDirectory*' "$@"
$memcheck $tests/mcp/mcp_tests "$@"
$memcheck $tests/main/main_tests "$@"

export BRELVO_E2E_WRAPPER="$memcheck"
# The 50 MB case takes minutes under memcheck; it is covered by the sanitizer
# build. The case of a file that cannot be executed, as above.
$tests/e2e/e2e_tests --gtest_filter='-*FiftyMegabyte*:*NonExecutableFileCannotBeStarted*' "$@"
# Likewise the 100 MB and 10 MB answers; the no-answer case only waits out
# its limit.
$tests/e2e/e2e_fault_tests --gtest_filter='-NoAnswer.*:*HundredMegabytes*:*TenMegabyte*' "$@"
