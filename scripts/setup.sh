#!/usr/bin/env bash
# Installs the Debian packages Vorlith needs (Debian 12) for one purpose:
#   scripts/setup.sh run       build the program and its pack, and play it (the default)
#   scripts/setup.sh package   the same, and make the .deb (scripts/package.sh)
#   scripts/setup.sh test      everything every test needs (scripts/test.sh)
# Packages that are already installed are skipped; nothing else is downloaded.
set -euo pipefail

purpose="${1:-run}"
run=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # libraries, and the font of the pictures' lettering
  libsdl2-dev libopenmpt-dev libpng-dev libfreetype-dev fonts-dejavu-core
)
package=(
  # dpkg-shlibdeps computes the package's dependencies (dpkg-deb, strip and gzip are there already)
  dpkg-dev
)
test=(
  # sanitizers and fuzzing (clang), memory checks
  clang libclang-rt-14-dev valgrind
  # tests and benchmarks; the exact-maths reference
  libgtest-dev libbenchmark-dev libmpfr-dev
  # video export (found on PATH at run time; the export tests use it)
  ffmpeg
  # the install check: validators and the man page reader; the package test's bare Debian
  desktop-file-utils appstream man-db debootstrap
  # Debian's package checker; the report of what differs between two builds (scripts/repro-test.sh)
  lintian diffoscope-minimal
)
case "$purpose" in
  run) packages=("${run[@]}") ;;
  package) packages=("${run[@]}" "${package[@]}") ;;
  test) packages=("${run[@]}" "${package[@]}" "${test[@]}") ;;
  *)
    echo "usage: scripts/setup.sh [run|package|test]" >&2
    exit 2
    ;;
esac

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
