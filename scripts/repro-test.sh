#!/usr/bin/env bash
# Builds the release artefacts of one commit twice and checks that they are
# the same bytes: the Debian package (scripts/package.sh), the web site
# (scripts/web.sh build) and, where the commit has scripts/windows.sh, the
# Windows zip. The two builds run from two clones at paths of different
# lengths, one after the other (so at different times), in different time
# zones and with different umasks, and share no build directory. For each
# artefact it says "same" or which file differs, with diffoscope's report of
# how (the whole report in build/repro/); any difference fails the test.
# Usage: scripts/repro-test.sh [COMMIT]    (default: HEAD; uncommitted changes are not built)
#   VORLITH_REPRO_CHANGE='shell command'   run in the second clone before its build, to see the
#                                          test catch a difference (e.g. 'echo >>data/vorlith.6')
#   VORLITH_REPRO_AGAINST_TREE=1           take this checkout's own artefacts, already built from a
#                                          clean tree at HEAD (the test command has made them), as
#                                          the first build, and make only the second: half the time
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
commit="$(git rev-parse --verify "${1:-HEAD}^{commit}")"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "repro-test: the tree has uncommitted changes; they are not part of commit ${commit:0:12}, which is built"

reports="$PWD/build/repro"
rm -rf "$reports"
mkdir -p "$reports"
work="$(mktemp -d "${TMPDIR:-/tmp}/vorlith-repro.XXXXXX")"
trap 'rm -rf "$work"' EXIT
first="$work/a"
second="$work/another-checkout-at-a-longer-path/vorlith"

# One build: a clone of the commit, then every artefact, as a user of this
# time zone and umask would make them. Nothing of this shell's environment
# that could reach the build's output is passed on.
build() {
  local dir="$1" zone="$2" mask="$3" log="$reports/build-$4.log"
  echo "== build in $dir (TZ=$zone, umask $mask), $(date -u +%H:%M:%S) UTC; log: ${log#"$PWD"/}"
  (
    umask "$mask"
    export TZ="$zone"
    unset SOURCE_DATE_EPOCH
    mkdir -p "$(dirname "$dir")"
    # The objects are shared (any commit can be checked out), the files not.
    git clone --quiet --no-checkout --shared "$PWD" "$dir"
    cd "$dir"
    git checkout --quiet --detach "$commit"
    if [ "$dir" = "$second" ] && [ -n "${VORLITH_REPRO_CHANGE:-}" ]; then
      echo "   changing the second clone: $VORLITH_REPRO_CHANGE"
      bash -c "$VORLITH_REPRO_CHANGE"
    fi
    # Only what the artefacts need: no tests, no benchmarks.
    cmake --preset release -DVORLITH_TESTS=OFF -DVORLITH_BENCH=OFF
    scripts/package.sh
    scripts/web.sh build
    if [ -f scripts/windows.sh ]; then scripts/windows.sh; fi
  ) >"$log" 2>&1 || {
    tail -n 30 "$log" >&2
    echo "repro-test: FAILED: the build in $dir failed (log above)" >&2
    exit 1
  }
}

differences=0
# Tells how two files differ: diffoscope's report (its first lines here, all
# of it in build/repro/), or cmp's first differing byte without it.
explain() {
  local path="$1" one="$first/$1" two="$second/$1" report
  echo "DIFFERS: $path"
  report="$reports/$(tr '/' '_' <<<"$path").diffoscope.txt"
  if command -v diffoscope >/dev/null; then
    diffoscope --no-progress --text "$report" "$one" "$two" >/dev/null 2>&1 || true
    sed 's/^/   /' "$report" | head -n 60
    echo "   (all of it: ${report#"$PWD"/})"
  else
    cmp "$one" "$two" | sed 's/^/   /' || true
  fi
}

# Says whether one artefact, a file or a directory, is the same in both builds.
compare() {
  local name="$1" one="$first/$1" two="$second/$1"
  if [ ! -e "$one" ] || [ ! -e "$two" ]; then
    echo "DIFFERS: $name: not made by both builds"
    differences=$((differences + 1))
  elif [ -f "$one" ]; then
    if cmp -s "$one" "$two"; then
      echo "same: $name ($(stat -c %s "$one") bytes, sha256 $(sha256sum "$one" | cut -d' ' -f1))"
    else
      explain "$name"
      differences=$((differences + 1))
    fi
  else
    # A directory: the same files, kinds and modes, each the same bytes.
    local before=$differences list file
    list="$(diff <(cd "$one" && find . -printf '%y %m %p\n' | LC_ALL=C sort) \
                 <(cd "$two" && find . -printf '%y %m %p\n' | LC_ALL=C sort) || true)"
    if [ -n "$list" ]; then
      echo "DIFFERS: $name/: its files or their modes (< first build, > second):"
      sed 's/^/   /' <<<"$list" | head -n 20
      differences=$((differences + 1))
    fi
    while IFS= read -r -d '' file; do
      if [ -f "$two/$file" ] && ! cmp -s "$one/$file" "$two/$file"; then
        explain "$name/$file"
        differences=$((differences + 1))
      fi
    done < <(cd "$one" && find . -type f -printf '%P\0' | LC_ALL=C sort -z)
    [ "$differences" -ne "$before" ] ||
      echo "same: $name/ ($(find "$one" -type f | wc -l) files, $(du -sb "$one" | cut -f1) bytes)"
  fi
}

if [ -n "${VORLITH_REPRO_AGAINST_TREE:-}" ]; then
  # The tree's artefacts stand for the first build: they must be of this very
  # commit, with nothing changed in the tree since.
  [ "$commit" = "$(git rev-parse HEAD)" ] && [ -z "$(git status --porcelain --untracked-files=no)" ] || {
    echo "repro-test: FAILED: VORLITH_REPRO_AGAINST_TREE needs a clean tree at the commit it tests" >&2
    exit 1
  }
  first="$PWD"
  echo "== first build: this checkout's artefacts, as the test command made them (TZ=${TZ:-unset}, umask $(umask))"
else
  build "$first" UTC 022 first
fi
build "$second" Pacific/Kiritimati 077 second
echo "== the two builds of ${commit:0:12}, after $((SECONDS - started)) s"
deb="$(cd "$first" && ls build/vorlith_*.deb)"
compare "$deb"
compare build-web/site
if [ -f "$first/scripts/windows.sh" ]; then
  zip="$(cd "$first" && ls build-win/vorlith-*-win64.zip 2>/dev/null || echo build-win/vorlith-VERSION-win64.zip)"
  compare "$zip"
fi

if [ "$differences" -ne 0 ]; then
  plural="s"; [ "$differences" -eq 1 ] && plural=""
  echo "repro-test: FAILED: two builds of ${commit:0:12} differ ($differences difference$plural)" >&2
  exit 1
fi
echo "repro-test: two builds of ${commit:0:12} give the same bytes, in $((SECONDS - started)) s"
