#!/usr/bin/env bash
# The Windows edition, cross-built on Debian 12:
#   scripts/windows.sh          build build-win/vorlith-VERSION-win64.zip
#   scripts/windows.sh deps     only the libraries (SDL2, libopenmpt, libpng, zlib)
#   scripts/windows.sh package  only the zip, from what build-win/ holds
#
# The libraries are built from Debian's own source packages, at the versions
# pinned below, with the mingw-w64 -posix compilers, static, into a cache
# outside the checkout keyed by those versions: only the first run pays for
# them. The program is cross-built against them; the pack of pictures and music
# comes from the host build, because its generator runs on the build machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# Bookworm's source packages. apt fetches them through the archive's signed
# index (Release signature -> Sources hashes -> file hashes), and dpkg-source
# checks the files against the .dsc's strong checksums as it unpacks them. The
# uploaders' own signatures are checked too where debian-keyring has the key
# (some uploads are signed with keys newer than bookworm's keyring).
sources=(
  "libsdl2=2.26.5+dfsg-1"
  "libopenmpt=0.6.9-1"
  "libpng1.6=1.6.39-2+deb12u5"
  "zlib=1:1.2.13.dfsg-1"
)
triple=x86_64-w64-mingw32
# Bumped whenever the recipe below changes what lands in the cache.
recipe=1
jobs="${VORLITH_JOBS:-2}"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# apt and dpkg may be held by an automatic update on a fresh machine: wait for
# it (up to ten minutes) instead of failing.
apt_wait() {
  local tries=0
  until $sudo "$@"; do
    tries=$((tries + 1))
    if [ "$tries" -ge 60 ]; then
      echo "windows.sh: '$*' kept failing (is apt locked?)" >&2
      return 1
    fi
    sleep 10
  done
}

install_tools() {
  local want=(g++-mingw-w64-x86-64-posix mingw-w64-tools dpkg-dev debian-keyring zip wine wine64 xvfb
              imagemagick cmake ninja-build pkg-config)
  local missing=()
  for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt_wait apt-get update
    DEBIAN_FRONTEND=noninteractive apt_wait apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# A deb-src entry of our own, for the source packages only.
src_list=/etc/apt/sources.list.d/vorlith-win64-src.sources
add_sources() {
  if ! grep -qs "Vorlith's scripts/windows.sh" "$src_list" || grep -qs security "$src_list"; then
    $sudo tee "$src_list" >/dev/null <<'EOF'
# Added by Vorlith's scripts/windows.sh: the source packages it cross-builds for Windows.
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  fi
  apt_wait apt-get update -o Dir::Etc::sourcelist="$src_list" -o Dir::Etc::sourceparts=- \
    -o APT::Get::List-Cleanup=0
}

gcc_version="$($triple-gcc-posix -dumpfullversion 2>/dev/null || echo none)"
key="$(printf '%s\n' "${sources[@]}" "gcc=$gcc_version" "recipe=$recipe" | sha256sum | cut -c1-12)"
deps="${XDG_CACHE_HOME:-$HOME/.cache}/vorlith/win64-deps-$key"

# Fetches one source package at its pinned version and unpacks it, checked.
fetch() {
  local wanted="$1" name="${1%%=*}" version="${1#*=}"
  local upstream="${version#*:}"
  (cd "$work" && apt-get source --download-only "$wanted" >/dev/null)
  local dsc="$work/${name}_${upstream}.dsc"
  dpkg-source --require-strong-checksums -x "$dsc" "$work/$name" >/dev/null
}

build_deps() {
  [ -f "$deps/.complete" ] && return 0
  install_tools
  add_sources
  local started=$SECONDS
  # Fixed places, named in no file that is built: the compilers are told to
  # write them as /src and /deps, so the libraries are the same bytes
  # wherever they are built.
  work="$deps.src"
  local prefix="$deps.partial"
  rm -rf "$prefix" "$work"
  mkdir -p "$prefix" "$work"
  chmod 755 "$work"  # apt's download user writes there
  for s in "${sources[@]}"; do fetch "$s"; done

  local cc="$triple-gcc-posix" cxx="$triple-g++-posix"
  local maps="-ffile-prefix-map=$work=/src -ffile-prefix-map=$prefix=/deps"
  local cross=(--host=$triple --prefix="$prefix" --disable-shared --enable-static)
  export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
  local build_env=(CC="$cc" CXX="$cxx" AR="$triple-gcc-ar-posix" RANLIB="$triple-gcc-ranlib-posix"
                   CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" CFLAGS="-O2 $maps" CXXFLAGS="-O2 $maps")

  echo "== zlib"
  (cd "$work/zlib" && env "${build_env[@]}" CHOST=$triple ./configure --static --prefix="$prefix" >/dev/null &&
     nice make -j"$jobs" libz.a >/dev/null && make install >/dev/null)

  echo "== libpng"
  (cd "$work/libpng1.6" && env "${build_env[@]}" ./configure "${cross[@]}" >/dev/null &&
     nice make -j"$jobs" >/dev/null && make install >/dev/null)

  echo "== SDL2"
  (cd "$work/libsdl2" && env "${build_env[@]}" ./configure "${cross[@]}" --disable-video-opengles1 \
     >/dev/null && nice make -j"$jobs" >/dev/null && make install >/dev/null)

  echo "== libopenmpt"
  (cd "$work/libopenmpt" && env "${build_env[@]}" ./configure "${cross[@]}" \
     --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
     --without-pulseaudio --without-portaudio --without-portaudiocpp --without-sndfile --without-flac \
     --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc >/dev/null &&
     nice make -j"$jobs" >/dev/null && make install >/dev/null)

  # The licences of what the program bundles, for the zip.
  mkdir -p "$prefix/licenses"
  cp "$work/libsdl2/LICENSE.txt" "$prefix/licenses/SDL2.txt"
  cp "$work/libopenmpt/LICENSE" "$prefix/licenses/libopenmpt.txt"
  cp "$work/libpng1.6/LICENSE" "$prefix/licenses/libpng.txt"
  sed -n '/Copyright notice/,/madler@alumni.caltech.edu/p' "$work/zlib/README" > "$prefix/licenses/zlib.txt"
  printf '%s\n' "${sources[@]}" > "$prefix/versions.txt"
  # The .pc files name the place they were installed to: the cache's own name.
  sed -i "s|$prefix|$deps|g" "$prefix"/lib/pkgconfig/*.pc
  touch "$prefix/.complete"
  rm -rf "$work" "$deps"
  mv "$prefix" "$deps"
  echo "libraries built in $((SECONDS - started)) s: $deps"
}

# The host build gives the pack (its generator runs here) and the Linux
# program the Windows one is compared with.
build_host() {
  cmake --preset release >/dev/null
  nice cmake --build --preset release --target vorlith default_assets
}

version="$(sed -n 's/^project(vorlith VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
win="$root/build-win"
zipfile="$win/vorlith-$version-win64.zip"

build_program() {
  VORLITH_WIN64_DEPS="$deps" cmake -S "$root" -B "$win" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DVORLITH_TESTS=OFF -DVORLITH_BENCH=OFF >/dev/null
  VORLITH_WIN64_DEPS="$deps" nice cmake --build "$win" --target vorlith -j "$jobs"
}

# The zip: the same bytes from the same commit, whatever the time, time
# zone, umask or path it is made at.
make_zip() {
  local name="vorlith-$version-win64"
  local stage="$win/stage"
  rm -rf "$stage" "$zipfile"
  mkdir -p "$stage/$name/licenses"
  local top="$stage/$name"
  local epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}"
  # strip stamps the program with the time it runs unless told the time.
  SOURCE_DATE_EPOCH="$epoch" $triple-strip -o "$top/vorlith.exe" "$win/vorlith.exe"
  cp -r "$root/build/assets" "$top/assets"
  sed 's/$/\r/' "$root/data/windows/README.txt" | sed "s/@VERSION@/$version/" > "$top/README.txt"
  sed 's/$/\r/' "$root/LICENSE" > "$top/LICENSE.txt"
  for f in "$deps"/licenses/*.txt; do sed 's/$/\r/' "$f" > "$top/licenses/$(basename "$f")"; done
  sed 's/$/\r/' /usr/share/doc/mingw-w64-x86-64-dev/copyright > "$top/licenses/mingw-w64-runtime.txt"
  sed 's/$/\r/' /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright > "$top/licenses/gcc-runtime.txt"

  find "$stage" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
  chmod 755 "$top/vorlith.exe"
  find "$stage" -exec touch -h -d "@$epoch" {} +
  (cd "$stage" && find "$name" -type f | LC_ALL=C sort |
     TZ=UTC zip -q -X -D -9 "$zipfile" -@)
  local bytes
  bytes=$(stat -c %s "$zipfile")
  echo "$zipfile: $bytes bytes ($(sha256sum "$zipfile" | cut -c1-16))"
  if [ "$bytes" -gt $((12 * 1024 * 1024)) ]; then
    echo "windows.sh: the zip is larger than 12 MB" >&2
    return 1
  fi
}

case "${1:-zip}" in
  deps) build_deps ;;
  package) make_zip ;;
  zip)
    build_deps
    build_host
    build_program
    make_zip
    ;;
  *) echo "usage: scripts/windows.sh [zip|deps|package]" >&2; exit 2 ;;
esac
