#!/bin/bash
# Runs every fuzz target of a build for a while, each with a fresh seed, outside
# CI. Usage: scripts/fuzz-long.sh <build folder> [seconds per target, default 300]
# A failing target's report ends with the TAVRIN_FUZZ_SEED that reproduces it.
set -u
build=${1:?build folder}
seconds=${2:-300}
failed=()
log=$(mktemp)
trap 'rm -f "$log"' EXIT
while IFS= read -r cmd; do
    name=$(basename "${cmd%% *}")
    echo "== $name (${seconds}s)"
    if TAVRIN_FUZZ_SECONDS=$seconds bash -c "$cmd" >"$log" 2>&1; then
        tail -n 1 "$log"
    else
        tail -n 30 "$log"
        failed+=("$name")
    fi
done < <(ctest --test-dir "$build" -L fuzz -N -V | sed -n 's/^[0-9]*: Test command: //p')
if ((${#failed[@]})); then
    echo "failed: ${failed[*]}"
    exit 1
fi
echo "no failure"
