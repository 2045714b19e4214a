#!/usr/bin/env bash
# Sets up, builds everything and runs every test: the release build (with the
# install check), the AddressSanitizer + UndefinedBehaviorSanitizer build,
# ThreadSanitizer on the tests that play sound, the fuzz targets for a bounded
# time, valgrind on a short whole-show capture, the browser edition in headless
# Chromium, the Debian package under lintian and on a bare Debian 12
# (VORLITH_SKIP_PACKAGE_TEST=1 leaves both out), and two builds of the commit's
# package, site and Windows zip, which must be the same bytes
# (VORLITH_SKIP_REPRO_TEST=1 leaves that out).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test

export SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy

echo "== release build and tests"
cmake --preset release -DVORLITH_TESTS=ON -DVORLITH_BENCH=ON
cmake --build --preset release
ctest --preset release -j2

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan -DVORLITH_TESTS=ON
cmake --build --preset asan
ctest --preset asan -j2

echo "== ThreadSanitizer: the sound thread against the frame loop (tests labelled 'sound')"
cmake --preset tsan -DVORLITH_TESTS=ON
cmake --build --preset tsan
ctest --preset tsan -L sound --no-tests=error

echo "== fuzzing (libFuzzer, ASan + UBSan), ${FUZZ_SECONDS:-60} s per target"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "== valgrind memcheck: a whole-show capture at 1 frame per second"
scripts/valgrind.sh

echo "== the browser edition: kernels under Node, the page in Chromium, Firefox ESR and WebKitGTK"
scripts/web.sh test

echo "== the Windows edition: cross-built, then checked under wine against the program"
scripts/windows-test.sh

echo "== the Debian package: lintian, and installed on a bare Debian 12"
if [ -n "${VORLITH_SKIP_PACKAGE_TEST:-}" ]; then
  echo "package test skipped: VORLITH_SKIP_PACKAGE_TEST is set"
else
  scripts/package-test.sh
fi

echo "== reproducible: two builds of the commit give the same package, site and zip"
if [ -n "${VORLITH_SKIP_REPRO_TEST:-}" ]; then
  echo "repro test skipped: VORLITH_SKIP_REPRO_TEST is set"
else
  # The first build is this checkout's: the package, site and zip made above.
  scripts/package.sh >/dev/null
  VORLITH_REPRO_AGAINST_TREE=1 scripts/repro-test.sh
fi
