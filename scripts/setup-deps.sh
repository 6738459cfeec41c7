#!/usr/bin/env bash
# Installs what the build, the tests and the program need from Debian's
# packages. Idempotent and quick when everything is present.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build ccache pkg-config
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev zlib1g-dev unrtf poppler-utils
  # user interface, fonts metric-compatible with the usual Windows fonts, imaging
  qt6-base-dev libgl-dev fonts-liberation fonts-liberation2 fonts-dejavu-core libgif-dev libtiff-dev
  # a real X server for the acceptance tests, and keys and clicks sent to it
  xvfb xauth xdotool
  # media playback behind the media player (sound and video)
  qt6-multimedia-dev
  # word lists the spelling dictionaries are built from
  wamerican wbritish wfrench wspanish wngerman witalian wdutch
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please install as root: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
$sudo apt-get update -qq
# Through env, so the setting survives sudo's cleaned environment.
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
