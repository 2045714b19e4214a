#!/usr/bin/env bash
# Builds the release program and writes the Debian package
# build/vorlith_VERSION_ARCH.deb: the install rules' files (the program in
# /usr/games), stripped as Debian strips, the man page and changelog gzipped,
# the machine-readable copyright file in place of LICENSE, dependencies
# computed from the binary by dpkg-shlibdeps, ffmpeg recommended.
#
# The same commit gives the same bytes from any checkout, time, time zone or
# umask: every date is SOURCE_DATE_EPOCH (the last commit's time unless set),
# every file has fixed permissions, root owns everything, the archives are
# sorted and gzip writes no name or time (see scripts/repro-test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null)"; then
    echo "package.sh: not a git checkout: set SOURCE_DATE_EPOCH to the time the package should carry" >&2
    exit 1
  fi
fi
export SOURCE_DATE_EPOCH
# Nothing the build tools write depends on the local clock or language.
export TZ=UTC LC_ALL=C.UTF-8

cmake --preset release
cmake --build --preset release --target vorlith default_assets icons

data=data/debian
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)"
arch="$(dpkg --print-architecture)"
field() { sed -n "s/^$1: //p" "$data/control"; }
maintainer="$(field Maintainer)"
logged="$(sed -n '1s/^vorlith (\([^)]*\)).*/\1/p' "$data/changelog")"
if [ "$logged" != "$version" ]; then
  echo "package.sh: $data/changelog begins with version '$logged', the project is $version: add an entry" >&2
  exit 1
fi

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
root="$stage/debian/vorlith"  # where dpkg-shlibdeps expects a package's files
doc="$root/usr/share/doc/vorlith"
DESTDIR="$root" cmake --install build --prefix /usr >/dev/null
program="$root/usr/games/vorlith"

# What dh_strip does: no symbols, no compiler version notes.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$program"
gzip -9n "$root/usr/share/man/man6/vorlith.6"

# The changelog, dated by the commit.
date="$(date -u -R -d "@$SOURCE_DATE_EPOCH")"
sed -e "s/@DATE@/$date/" -e "s/@MAINTAINER@/$maintainer/" "$data/changelog" | gzip -9n >"$doc/changelog.gz"

# The licence lives in the copyright file: its text from LICENSE, from the
# permission notice on, as a DEP-5 field (empty lines become " .").
rm "$doc/LICENSE"
{
  cat "$data/copyright"
  sed -n '/^Permission/,$p' LICENSE | sed -e 's/^$/./' -e 's/^/ /'
} >"$doc/copyright"

# Every file and directory readable by all, whatever the umask, and of the
# commit's time.
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -perm /111 -exec chmod 0755 {} +
find "$root" -type f ! -perm /111 -exec chmod 0644 {} +

# The control file: dependencies from the libraries the binary links, the
# installed size as dpkg counts it (KiB a file, rounded up; one a directory).
mkdir -p "$root/DEBIAN"
printf 'Source: vorlith\n\nPackage: vorlith\nArchitecture: any\n' >"$stage/debian/control"
depends="$(cd "$stage" && dpkg-shlibdeps -O debian/vorlith/usr/games/vorlith | sed -n 's/^shlibs:Depends=//p')"
[ -n "$depends" ] || { echo "package.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
size="$(cd "$root" && find . ! -path './DEBIAN*' ! -path . -printf '%y %s\n' |
  awk '{ total += ($1 == "f") ? int(($2 + 1023) / 1024) : 1 } END { print total }')"
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  "$data/control" >"$root/DEBIAN/control"
(cd "$root" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum) \
  >"$root/DEBIAN/md5sums"
chmod 0755 "$root/DEBIAN"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

deb="build/vorlith_${version}_${arch}.deb"
rm -f build/vorlith_*.deb
# xz on one thread: its threaded form writes other bytes, and how many threads
# dpkg-deb would use depends on the machine.
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$root" "$deb" >/dev/null
echo "$deb: $(stat -c %s "$deb") bytes, sha256 $(sha256sum "$deb" | cut -c1-16)"
dpkg-deb --field "$deb" Depends Recommends
