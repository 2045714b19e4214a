#!/usr/bin/env bash
# Sets up, builds the release version and plays the show on the default asset
# pack. Extra arguments go to the program, e.g. scripts/run.sh --scale 4
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release
cmake --build --preset release
exec build/vorlith --assets build/assets "$@"
