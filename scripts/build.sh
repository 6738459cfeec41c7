#!/usr/bin/env bash
# Configures and builds into out/<variant> (out/release, out/asan, out/tsan
# or out/fuzz).
# Usage: scripts/build.sh [--sanitize|--tsan|--libfuzzer] [target...]
#   --sanitize   AddressSanitizer and UndefinedBehaviorSanitizer (out/asan)
#   --tsan       ThreadSanitizer (out/tsan)
#   --libfuzzer  clang, fuzz targets as libFuzzer programs over instrumented
#                libraries (out/fuzz); run one with its seed folder, e.g.
#                out/fuzz/engine/storage/engine_records_fuzz -max_total_time=300 CORPUS
set -euo pipefail
cd "$(dirname "$0")/.."
variant=release
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  variant=asan
  flags+=(-DTAVRIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_BUILD_BENCH=OFF)
  shift
elif [ "${1:-}" = "--tsan" ]; then
  variant=tsan
  flags+=(-DTAVRIN_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BUILD_BENCH=OFF)
  shift
elif [ "${1:-}" = "--libfuzzer" ]; then
  variant=fuzz
  flags+=(-DTAVRIN_LIBFUZZER=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BUILD_BENCH=OFF -DTAVRIN_WITH_GUI=OFF
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
  shift
fi
dir="out/$variant"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# Paths relative to the checkout, so a fresh clone reuses what another built.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"
# Configure every time: folders join the build when they gain a CMakeLists,
# which an existing build tree would not notice on its own.
if [ -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" >/dev/null
else
  cmake -S . -B "$dir" -G Ninja "${flags[@]}"
fi
jobs="${TAVRIN_JOBS:-$(nproc)}"
if [ $# -gt 0 ]; then
  cmake --build "$dir" -j "$jobs" --target "$@"
else
  cmake --build "$dir" -j "$jobs"
fi
