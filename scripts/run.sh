#!/usr/bin/env bash
# Installs what is missing, builds and starts the program. Arguments go to it.
# Tavrin's main window does not exist yet; until it does, the converter's
# wizard is the program a user can work with.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
bash scripts/build.sh tavrin rendlow32
exec out/release/apps/rendlow32/rendlow32 "$@"
