#!/usr/bin/env bash
# Checks the Debian package (scripts/package.sh builds it from this tree):
# lintian must find no error and no warning. Then installs it on a bare
# Debian 12: a debootstrap minbase bookworm root, made from the mirror this
# machine's apt uses, where
# 'apt-get install ./vorlith_*.deb' must bring in every dependency and
# 'vorlith', run from /, must play the installed pack: a capture with no
# notice and the same frame as the build, the same frames digest, and the
# no-display error. That part needs root and the mirror, and says
# "skipped: ..." without them.
# Usage: scripts/package-test.sh   (VORLITH_DEBIAN_MIRROR=URL to use another mirror)
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

scripts/package.sh
deb="$(ls build/vorlith_*.deb)"

echo "== lintian $(basename "$deb")"
command -v lintian >/dev/null || { echo "package test: lintian is missing (scripts/setup.sh test installs it)" >&2; exit 1; }
# Informational tags are shown too; the README says why each remains.
status=0
report="$(lintian --fail-on error,warning --display-info "$deb" 2>&1)" || status=$?
grep -v 'running with root privileges' <<<"$report" || true
if [ "$status" -ne 0 ]; then
  echo "package test: FAILED: lintian reports errors or warnings" >&2
  exit 1
fi

skip() {
  echo "package test skipped: $*"
  exit 0
}
[ "$(id -u)" -eq 0 ] || skip "debootstrap and chroot need root"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (scripts/setup.sh test installs it)"

# The Debian mirror apt uses here (deb822 .sources or one-line lists), unless
# VORLITH_DEBIAN_MIRROR names one.
mirror="${VORLITH_DEBIAN_MIRROR:-}"
[ -n "$mirror" ] || mirror="$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
  awk '/^URIs:/ {uri = $2} /^Suites:/ && uri != "" && / bookworm( |$)/ {print uri; exit}')"
[ -n "$mirror" ] || mirror="$(grep -hE '^deb .* bookworm( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
  2>/dev/null | awk '{for (i = 2; i <= NF; ++i) if ($i ~ /^[a-z]+:\/\//) {print $i; exit}}' | head -n 1)"
[ -n "$mirror" ] || skip "no bookworm mirror in this machine's apt sources"

root="$(mktemp -d /var/tmp/vorlith-bookworm.XXXXXX)"
chmod 755 "$root"  # apt's downloads run as the user _apt
cleanup() {
  for mount in proc dev/pts dev; do
    mountpoint -q "$root/$mount" && umount -l "$root/$mount"
  done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

echo "== debootstrap --variant=minbase bookworm from $mirror"
if ! debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1; then
  tail -n 5 "$root.log"
  rm -f "$root.log"
  skip "debootstrap could not make a bookworm root from $mirror (no network to the mirror?)"
fi
rm -f "$root.log"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount -t devpts devpts "$root/dev/pts"
cp "$deb" "$root/tmp/"
# The PATH of a login on Debian, which has /usr/games, where the program is.
in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin:/usr/games \
    HOME=/root LC_ALL=C.UTF-8 "$@"
}

echo "== apt-get install ./$(basename "$deb")"
# No services start in the chroot.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
# Without recommends: what Depends names must be enough to play the show.
if ! { in_root apt-get update -q && in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
       --no-install-recommends "./tmp/$(basename "$deb")"; } >"$root/apt.log" 2>&1; then
  tail -n 20 "$root/apt.log"
  echo "package test: FAILED: apt-get could not install $(basename "$deb")" >&2
  exit 1
fi
grep -E '^Setting up vorlith' "$root/apt.log"

failures=0
fail() { echo "package test: FAILED: $*" >&2; failures=$((failures + 1)); }

echo "== vorlith from /"
# The build's own answers: frame 50 at 1 fps and the digest of every frame at 10 fps.
reference="$(mktemp -d)"
trap 'cleanup; rm -rf "$reference"' EXIT
build/vorlith --assets build/assets --capture "$reference/frames" --fps 1 --frames 50 >/dev/null 2>&1
digest="$(build/vorlith --assets build/assets --bench --fps 10 | grep '^frames digest')"

in_root sh -c 'cd / && vorlith --capture /tmp/shots --fps 1 --frames 0,50' >/dev/null 2>"$reference/err" ||
  fail "the capture failed: $(cat "$reference/err")"
if grep -Ev 'frames? written' "$reference/err" >&2; then fail "the capture gave notices"; fi
cmp -s "$root/tmp/shots/frame_000050.png" "$reference/frames/frame_000050.png" ||
  fail "frame 50 is not the build's"
installed="$(in_root sh -c 'cd / && vorlith --bench --fps 10' | grep '^frames digest' || true)"
[ "$installed" = "$digest" ] || fail "bench: '$installed', the build: '$digest'"
echo "   capture and bench from /: $installed"

# No display in the chroot: one message, status 1.
status=0
message="$(in_root vorlith 2>&1 >/dev/null)" || status=$?
[ "$status" -eq 1 ] && [[ "$message" == *"no display"* ]] || fail "with no display: status $status, '$message'"
echo "   no display: $message"

# Without /proc the program finds itself on PATH.
umount -l "$root/proc"
in_root sh -c 'cd /tmp && vorlith --capture /tmp/again --fps 1 --frames 50' >/dev/null 2>"$reference/err" ||
  fail "the capture without /proc failed"
if grep -Ev 'frames? written' "$reference/err" >&2; then fail "without /proc the capture gave notices"; fi

depends="$(dpkg-deb --field "$deb" Depends)"
if [ "$failures" -ne 0 ]; then
  echo "package test: $failures failures" >&2
  exit 1
fi
echo "package test: $(basename "$deb") ($(stat -c %s "$deb") bytes; Depends: $depends) installs on bare Debian 12 and plays, in $((SECONDS - started)) s"
