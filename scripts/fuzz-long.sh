#!/bin/bash
# Runs every fuzz target of a build for a while, each from a fresh seed,
# outside CI: ctest runs each target as its test does, with
# TAVRIN_FUZZ_SECONDS set. A failing target's output ends with the
# TAVRIN_FUZZ_SEED that replays it.
# Usage: scripts/fuzz-long.sh <build folder> [seconds per target, default 300] [ctest arguments...]
set -euo pipefail
build=${1:?build folder}
seconds=${2:-300}
shift $(( $# >= 2 ? 2 : 1 ))
export TAVRIN_FUZZ_SECONDS=$seconds
exec ctest --test-dir "$build" -L fuzz --timeout $((seconds * 2 + 120)) --output-on-failure -V "$@"
