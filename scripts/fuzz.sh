#!/usr/bin/env bash
# fuzz.sh [seconds] [total]: builds the libFuzzer targets with clang and runs each for the given
# time (default 60 s), but never longer together than `total` seconds (default 600): as targets
# are added, each gets an equal share of that bound.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
total=${2:-600}
scripts/setup.sh
scripts/build.sh fuzz fuzz_targets
targets=()
for target in build/fuzz/bin/fuzz_*; do
  [ -x "$target" ] && targets+=("$target")
done
[ ${#targets[@]} -eq 0 ] && exit 0
share=$((total / ${#targets[@]}))
[ "$share" -lt "$seconds" ] && seconds=$share
[ "$seconds" -lt 1 ] && seconds=1
for target in "${targets[@]}"; do
  corpus=$(mktemp -d)
  echo "fuzzing $(basename "$target") for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 "$corpus" \
    tests/fuzz/corpus/"$(basename "$target")" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
