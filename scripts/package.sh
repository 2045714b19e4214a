#!/usr/bin/env bash
# Builds the release program and writes the Debian package
# build/vorlith_VERSION_amd64.deb (CPack; dependencies computed from the
# binary by dpkg-shlibdeps, ffmpeg recommended).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
cmake --preset release
cmake --build --preset release --target vorlith default_assets icons
(cd build && cpack -G DEB)
deb="$(ls -t build/vorlith_*_amd64.deb | head -n 1)"
echo "$deb: $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Depends Recommends
