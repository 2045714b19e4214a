#!/usr/bin/env bash
# Runs a short whole-show capture (1 frame per second, every frame written)
# of the release build under valgrind memcheck: no errors and no leaks allowed.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/vorlith ] || [ ! -d build/assets/gfx ]; then
  echo "valgrind.sh: no release build in build/: run scripts/run.sh or cmake --preset release && cmake --build --preset release first" >&2
  exit 1
fi
command -v valgrind >/dev/null || { echo "valgrind.sh: valgrind is missing: scripts/setup.sh test installs it" >&2; exit 1; }
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  build/vorlith --assets build/assets --capture "$out/frames" --fps 1
