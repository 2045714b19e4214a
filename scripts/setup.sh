#!/usr/bin/env bash
# Installs the Debian packages Vorlith needs (Debian 12) for one purpose:
#   scripts/setup.sh run       build the program and its pack, and play it (the default)
#   scripts/setup.sh package   the same, and make the .deb (scripts/package.sh)
#   scripts/setup.sh test      everything every test needs (scripts/test.sh)
# Packages named after the purpose are installed too (scripts/web.sh names
# what the browser edition needs). Packages that are already installed are
# skipped; nothing else is downloaded. When another process holds apt's or
# dpkg's lock (on a fresh machine an automatic update often does for the
# first minutes), each step waits for it, up to ten minutes, instead of failing.
set -euo pipefail

purpose="${1:-run}"
shift || true
run=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # libraries, and the font of the pictures' lettering
  libsdl2-dev libopenmpt-dev libpng-dev libfreetype-dev fonts-dejavu-core
)
package=(
  # dpkg-shlibdeps computes the package's dependencies (dpkg-deb, strip and gzip are there already)
  dpkg-dev
)
test=(
  # sanitizers and fuzzing (clang), memory checks
  clang libclang-rt-14-dev valgrind
  # tests and benchmarks; the exact-maths reference
  libgtest-dev libbenchmark-dev libmpfr-dev
  # video export (found on PATH at run time; the export tests use it)
  ffmpeg
  # the install check: validators and the man page reader; the package test's bare Debian
  desktop-file-utils appstream man-db debootstrap
  # Debian's package checker; the report of what differs between two builds (scripts/repro-test.sh)
  lintian diffoscope-minimal
)
case "$purpose" in
  run) packages=("${run[@]}") ;;
  package) packages=("${run[@]}" "${package[@]}") ;;
  test) packages=("${run[@]}" "${package[@]}" "${test[@]}") ;;
  *)
    echo "usage: scripts/setup.sh [run|package|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}" "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

lock_wait=600
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# apt-get with its arguments, waiting while another process holds a lock.
# dpkg's lock is waited for by apt-get itself (DPkg::Lock::Timeout); the
# package lists' lock (apt-get update) is not, so the step is tried again
# every few seconds while its error is a held lock.
apt_get() {
  local deadline=$((SECONDS + lock_wait)) log status
  log="$(mktemp)"
  while :; do
    status=0
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout="$lock_wait" "$@" 2>"$log" || status=$?
    cat "$log" >&2
    if [ "$status" -ne 0 ] && grep -qE 'Could not get lock|Unable to lock|Unable to acquire' "$log" &&
       [ "$SECONDS" -lt "$deadline" ]; then
      echo "apt is busy (another process holds its lock); trying again in 5 s" >&2
      sleep 5
      continue
    fi
    rm -f "$log"
    return "$status"
  done
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_get update
  apt_get install -y --no-install-recommends "${missing[@]}"
fi
