#!/usr/bin/env bash
# Makes docs/gallery.png: one frame of each scene, captured from the release
# build on the default asset pack, in a 3 x 2 grid. Needs ImageMagick (montage).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/vorlith ] || [ ! -d build/assets/gfx ]; then
  echo "gallery.sh: no release build in build/: run scripts/run.sh or cmake --preset release && cmake --build --preset release first" >&2
  exit 1
fi
command -v montage >/dev/null || { echo "gallery.sh: montage is missing: apt-get install imagemagick" >&2; exit 1; }
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
# At 30 fps: the logo at 5 s, the title at 17 s, the cube with a credit at 30 s,
# ribbons and blobs at 75 s, lights over the tunnel at 125 s, the end at 167 s.
frames=150,510,900,2250,3750,5000
build/vorlith --assets build/assets --capture "$out" --fps 30 --frames "$frames"
montage "$out"/frame_*.png -tile 3x2 -geometry 320x200+2+2 -background black -define png:compression-level=9 PNG24:docs/gallery.png
echo "docs/gallery.png: $(stat -c %s docs/gallery.png) bytes"
