#!/usr/bin/env bash
# build.sh [release|asan|tsan|fuzz]: configures and builds into build/<kind>.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
dir=build/$kind
args=(-G Ninja -DCMAKE_BUILD_TYPE=Release)
case "$kind" in
  release) ;;
  asan) args+=(-DWAVELATHE_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELATHE_BENCH=OFF) ;;
  tsan) args+=(-DWAVELATHE_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVELATHE_BENCH=OFF) ;;
  fuzz) args+=(-DWAVELATHE_FUZZ=ON -DWAVELATHE_TESTS=OFF -DWAVELATHE_BENCH=OFF
               -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac
export CCACHE_BASEDIR=$PWD
cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
