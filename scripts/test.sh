#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
# Usage: scripts/test.sh [--sanitize|--tsan] [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
variant=release
build_args=()
if [ "${1:-}" = "--sanitize" ]; then
  variant=asan
  build_args+=(--sanitize)
  shift
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
  export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp}"
elif [ "${1:-}" = "--tsan" ]; then
  variant=tsan
  build_args+=(--tsan)
  shift
  export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/support/tsan.supp}"
fi
bash scripts/build.sh "${build_args[@]}"
cd "out/$variant"
ctest --output-on-failure -j "$(nproc)" --timeout 900 "$@"
