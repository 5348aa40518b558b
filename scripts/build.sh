#!/usr/bin/env bash
# build.sh [release|asan|tsan|fuzz] [target...]: configures and builds into build/<kind> (the
# given targets only, when named).
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
shift || true
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
# ccache serves any clone of the project from one cache: paths below the project are hashed
# relative to it, and the build folder does not enter the hash of debug builds.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
cmake -S . -B "$dir" "${args[@]}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
