#!/usr/bin/env bash
# Runs a short whole-show capture (1 frame per second, every frame written)
# of the release build under valgrind memcheck: no errors and no leaks allowed.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  build/vorlith --assets build/assets --capture "$out/frames" --fps 1
