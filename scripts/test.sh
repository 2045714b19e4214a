#!/usr/bin/env bash
# Sets up, builds everything and runs every test: the release build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, ThreadSanitizer on the
# tests that play sound, the fuzz targets for a bounded time, valgrind on a
# short whole-show capture, and the browser edition in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy

echo "== release build and tests"
cmake --preset release
cmake --build --preset release
ctest --preset release -j2

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2

echo "== ThreadSanitizer: the sound thread against the frame loop"
cmake --preset tsan
cmake --build --preset tsan
TSAN_OPTIONS="halt_on_error=1" build-tsan/tests/vorlith_tests --gtest_filter='Music.*:OpenmptAudio.*'

echo "== fuzzing (libFuzzer, ASan + UBSan), ${FUZZ_SECONDS:-60} s per target"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "== valgrind memcheck: a whole-show capture at 1 frame per second"
scripts/valgrind.sh

echo "== the browser edition: kernels under Node, the page in headless Chromium"
scripts/web.sh test
