#!/usr/bin/env bash
# Builds the Windows zip (scripts/windows.sh; the libraries come from its
# cache after the first run) and checks it under wine against the Linux
# program, started from a directory other than the program's:
#   - the digest list of every frame at 30 fps is the Linux program's;
#   - the WAV of the whole show is byte for byte the Linux one, also when the
#     file is there already;
#   - --bench prints the pinned digests (60 and 30 fps);
#   - a capture to a name with non-ASCII letters is written under that name;
#   - under Xvfb the window shows the picture (a screenshot is kept in
#     build-win/window.png, and must not be black).
# Fails on any difference. Set VORLITH_WIN_NO_BUILD=1 to test the zip as it is.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
started=$SECONDS
[ "${VORLITH_WIN_NO_BUILD:-0}" = 1 ] || "$root/scripts/windows.sh"

zip="$(ls "$root"/build-win/vorlith-*-win64.zip | head -n 1)"
linux="$root/build/vorlith"
export WINEPREFIX="${VORLITH_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlith/wine-prefix}"
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlith-wine.XXXXXX")"
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
unzip -q "$zip" -d "$scratch/zip"
exe="$(ls "$scratch"/zip/*/vorlith.exe)"
mkdir -p "$scratch/win" "$scratch/linux"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# Runs the Windows program in the scratch directory, headless.
win() { (cd "$scratch/win" && wine "$exe" "$@"); }
lin() { (cd "$scratch/linux" && "$linux" --assets "$root/build/assets" "$@"); }

wineboot -i >/dev/null 2>&1 || true  # the first start makes the prefix

# 1. Every frame's digest at 30 fps.
win --capture d.txt --fps 30 2>/dev/null
lin --capture d.txt --fps 30 2>/dev/null
lines=$(wc -l < "$scratch/win/d.txt" || echo 0)
if cmp -s "$scratch/win/d.txt" "$scratch/linux/d.txt" && [ "$lines" -eq 5490 ]; then
  pass "digest list: $lines lines, the same as Linux"
else
  fail "digest list differs from Linux ($lines lines)"
fi

# 2. The sound, twice: the second capture replaces the first.
lin --capture s.wav 2>/dev/null
for round in first again; do
  win --capture s.wav 2>/dev/null
  if cmp -s "$scratch/win/s.wav" "$scratch/linux/s.wav"; then
    pass "s.wav ($round): $(stat -c %s "$scratch/win/s.wav") bytes, the same as Linux"
  else
    fail "s.wav ($round) differs from Linux"
  fi
done

# 3. The pinned digests of the whole show.
for pin in "60 f2b56c746c91514b" "30 89e02d2151ad2825"; do
  set -- $pin
  out="$(win --bench --fps "$1" 2>/dev/null | tr -d '\r')"
  if grep -q "frames digest: $2" <<<"$out"; then pass "--bench --fps $1: $2"; else fail "--bench --fps $1 did not print $2"; fi
done

# 4. A name that is not ASCII.
name="Brim — ünï 日本.txt"
win --capture "$name" --fps 10 --until 5 2>/dev/null
lin --capture "$name" --fps 10 --until 5 2>/dev/null
if [ -f "$scratch/win/$name" ] && cmp -s "$scratch/win/$name" "$scratch/linux/$name"; then
  pass "capture written as '$name'"
else
  fail "no capture named '$name': $(ls "$scratch/win" | tr '\n' ' ')"
fi
leftovers="$(ls -A "$scratch/win" | grep -v -x -e d.txt -e s.wav -e "$name" || true)"
[ -z "$leftovers" ] && pass "nothing else left behind" || fail "left behind: $leftovers"

# 5. The window under Xvfb, 17 s into the show.
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 2
shot="$root/build-win/window.png"
# The test command asks SDL for its dummy video driver, which wine passes on
# to the program: this run needs the real one.
(cd "$scratch/win" && env -u SDL_VIDEODRIVER DISPLAY="$display" SDL_AUDIODRIVER=dummy wine "$exe" --start 17 --mute \
   >/dev/null 2>&1) &
show=$!
# Wine and the window take a while to come up on a busy machine: look
# every few seconds, for up to a minute, until the picture is there.
mean=0
for _ in $(seq 20); do
  sleep 3
  DISPLAY="$display" import -window root "$shot" 2>/dev/null || continue
  mean="$(convert "$shot" -colorspace Gray -format '%[fx:mean]' info:)"
  awk -v m="$mean" 'BEGIN { exit !(m > 0.02) }' && break
done
# Not black: the show's picture is there.
if awk -v m="$mean" 'BEGIN { exit !(m > 0.02) }'; then
  pass "window shows the picture (mean grey $mean, $shot)"
else
  fail "window looks black (mean grey $mean, $shot)"
fi
kill "$show" 2>/dev/null || true
wait "$show" 2>/dev/null || true

echo "windows-test: $failures failure(s) in $((SECONDS - started)) s"
[ "$failures" -eq 0 ]
