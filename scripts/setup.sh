#!/usr/bin/env bash
# Installs the Debian packages Vorlith needs to build, test and run (Debian 12).
# Packages that are already installed are skipped; nothing else is downloaded.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev valgrind
  # libraries
  libsdl2-dev libopenmpt-dev libpng-dev libfreetype-dev fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libbenchmark-dev libmpfr-dev
  # video export (found on PATH at run time; the export tests use it)
  ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
