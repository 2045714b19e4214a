#!/usr/bin/env bash
# Sets up, builds everything and runs every test: the release build, then the
# AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset release
cmake --build --preset release
ctest --preset release -j2

cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2
