#!/usr/bin/env bash
# test.sh [release|asan|tsan]: sets up the machine, builds and runs the tests. The
# ThreadSanitizer run builds and runs only the suites that start threads (label "threads").
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
scripts/setup.sh
ctest_args=(--test-dir "build/$kind" --output-on-failure -j"$(nproc)" --timeout 300)
case "$kind" in
  asan) export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
        export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" ;;
  tsan) export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp"
        ctest_args+=(-L threads) ;;
esac
if [ "$kind" = tsan ]; then
  scripts/build.sh tsan threaded_tests
else
  scripts/build.sh "$kind"
fi
ctest "${ctest_args[@]}"
