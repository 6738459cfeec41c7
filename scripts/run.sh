#!/usr/bin/env bash
# Installs what is missing, builds and starts the program. Arguments go to it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
bash scripts/build.sh tavrin rendlow32
exec out/release/apps/tavrin/tavrin "$@"
