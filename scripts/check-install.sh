#!/usr/bin/env bash
# Installs a build into a scratch root and checks every file a Linux install
# should have: the program, the pack, the man page (silent under
# man --warnings), the desktop entry (desktop-file-validate), the icons, the
# AppStream metainfo (appstreamcli validate), README and licence. Then plays
# a capture with the installed program from an empty directory, and again
# after moving the whole install elsewhere: it must find its pack, no notice.
# Usage: scripts/check-install.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
if [ ! -x "$build/vorlith" ] || [ ! -d "$build/assets/gfx" ]; then
  echo "check-install: no built program in $build/: run scripts/run.sh or cmake --preset release && cmake --build --preset release first" >&2
  exit 1
fi
for tool in desktop-file-validate appstreamcli man; do
  if ! command -v "$tool" >/dev/null; then
    echo "check-install: $tool is missing: scripts/setup.sh test installs it (desktop-file-utils, appstream, man-db)" >&2
    exit 1
  fi
done

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$stage/root/usr"
failures=0
fail() { echo "check-install: FAILED: $*" >&2; failures=$((failures + 1)); }

expected=(
  games/vorlith
  share/vorlith/music/brimtale.it
  share/man/man6/vorlith.6
  share/applications/vorlith.desktop
  share/metainfo/io.github.vorlith.vorlith.metainfo.xml
  share/doc/vorlith/README.md
  share/doc/vorlith/LICENSE
  share/doc/vorlith/docs/gallery.png
)
for name in vorlith thebrimtale code_qev music_tolvane gfx_qev the_end blob_1 specular_lightmap voxel_texture texture1; do
  expected+=("share/vorlith/gfx/$name.tga")
done
for size in 16 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/vorlith.png")
done
for file in "${expected[@]}"; do
  [ -s "$usr/$file" ] || fail "$file is missing"
done
[ -x "$usr/games/vorlith" ] || fail "games/vorlith is not executable"

# Nothing but the program: no test, benchmark or generator is installed.
extra="$(cd "$usr" && find . -type f | sed 's|^\./||' | sort | grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)"
[ -z "$extra" ] || fail "files nobody asked for: $extra"

# Each icon is a PNG of its own size (width and height from the IHDR chunk).
for size in 16 24 32 48 64 128 256; do
  icon="$usr/share/icons/hicolor/${size}x${size}/apps/vorlith.png"
  [ -f "$icon" ] || continue
  read -r w h < <(od -An -tu1 -j16 -N8 "$icon" | awk '{print $3 * 256 + $4, $7 * 256 + $8}')
  [ "$w $h" = "$size $size" ] || fail "icon ${size}x${size} is ${w}x${h}"
done

desktop-file-validate "$usr/share/applications/vorlith.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$usr/share/metainfo/io.github.vorlith.vorlith.metainfo.xml" ||
  fail "metainfo"
warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man6/vorlith.6" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "man page warnings: $warnings"
LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$usr/share/man/man6/vorlith.6" 2>/dev/null | grep -q '^EXIT STATUS' ||
  fail "the man page does not render"

# The version is the same everywhere it is written.
version="$("$usr/games/vorlith" --version | awk '{print $2}')"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/io.github.vorlith.vorlith.metainfo.xml" ||
  fail "metainfo has no release $version"
grep -q "^\.TH VORLITH 6 [0-9-]* \"vorlith $version\"" "$usr/share/man/man6/vorlith.6" ||
  fail "the man page is not for version $version"

# The installed program plays its own pack from anywhere, moved or not.
play() {
  local program="$1" where
  where="$(mktemp -d "$stage/run.XXXXXX")"
  if ! (cd "$where" && "$program" --capture frames --fps 1 --frames 0,50 >/dev/null 2>"$where.err"); then
    fail "$program failed: $(cat "$where.err")"
  elif grep -Ev 'frames? written' "$where.err" >&2; then
    fail "$program gave the notices above (its pack was not found?)"
  elif ! cmp -s "$where/frames/frame_000050.png" "$stage/reference.png"; then
    fail "$program drew another frame 50 than the build"
  fi
}
"$build/vorlith" --assets "$build/assets" --capture "$stage/reference" --fps 1 --frames 50 >/dev/null 2>&1
cp "$stage/reference/frame_000050.png" "$stage/reference.png"
play "$usr/games/vorlith"
mv "$stage/root/usr" "$stage/moved"
play "$stage/moved/games/vorlith"

if [ "$failures" -ne 0 ]; then
  echo "check-install: $failures failures" >&2
  exit 1
fi
echo "check-install: ${#expected[@]} files installed, each valid; the installed program plays its pack from anywhere"
