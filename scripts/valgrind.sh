#!/usr/bin/env bash
# Runs the end-to-end and fault suites with every brelvo-cli under valgrind's
# memcheck.
# Any memcheck error makes that run exit 99 (and print to stderr), which the
# tests report as a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target e2e_tests e2e_fault_tests brelvo-cli brelvo-sim
export BRELVO_E2E_WRAPPER="$(command -v valgrind) --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite"
# The 50 MB case takes minutes under memcheck; it is covered by the sanitizer
# build. Under valgrind, posix_spawn cannot report a failed exec back to the
# parent (valgrind runs the child as a plain fork), so the case of a file that
# cannot be executed would wait out the whole launch time.
build/dev/tests/e2e/e2e_tests --gtest_filter='-*FiftyMegabyte*:*NonExecutableFileCannotBeStarted*' "$@"
# Likewise the 100 MB and 10 MB answers; the no-answer case only waits out
# its limit.
build/dev/tests/e2e/e2e_fault_tests --gtest_filter='-NoAnswer.*:*HundredMegabytes*:*TenMegabyte*' "$@"
