#!/usr/bin/env bash
# Installs what building and running need, builds the release program and its
# asset pack (nothing else), and plays the show. Extra arguments go to the
# program, e.g. scripts/run.sh --scale 4
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
cmake --preset release
cmake --build --preset release --target vorlith default_assets
# The program finds the pack the build made beside it (build/assets).
exec build/vorlith "$@"
