#!/usr/bin/env bash
# fuzz.sh [seconds]: builds the libFuzzer targets with clang and runs each for the given time.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/setup.sh
scripts/build.sh fuzz
for target in build/fuzz/bin/fuzz_*; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  echo "fuzzing $(basename "$target") for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 "$corpus" \
    tests/fuzz/corpus/"$(basename "$target")" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
