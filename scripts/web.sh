#!/usr/bin/env bash
# The browser edition.
#   scripts/web.sh [build]      build the site into build-web/site/
#   scripts/web.sh serve [PORT] build it, then serve it at http://127.0.0.1:PORT/ (default 8000)
#   scripts/web.sh test         build it and test it against the program in Chromium, Firefox ESR
#                               and WebKitGTK
# Installs what it needs: Debian's emscripten (and nodejs and npm when
# missing; for the tests the three browsers, WebKit's WebDriver, a virtual
# display and a sound server), the native build's packages for the asset pack
# and icon, and the npm packages pinned in package-lock.json. Nothing is
# fetched at run time.
set -euo pipefail
cd "$(dirname "$0")/.."
command="${1:-build}"

# Emscripten's optimiser needs acorn, which Debian keeps here.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"

install_packages() {
  local missing=()
  command -v em++ >/dev/null || missing+=(emscripten)
  command -v node >/dev/null || missing+=(nodejs)
  command -v npm >/dev/null || missing+=(npm)
  if [ "$command" = test ]; then
    command -v chromium >/dev/null || missing+=(chromium)
    command -v firefox-esr >/dev/null || missing+=(firefox-esr)
    command -v WebKitWebDriver >/dev/null || missing+=(webkit2gtk-driver)
    command -v xvfb-run >/dev/null || missing+=(xvfb)
    command -v xauth >/dev/null || missing+=(xauth) # xvfb-run needs it; xvfb only recommends it
    command -v pulseaudio >/dev/null || missing+=(pulseaudio)
  fi
  # With the native build's packages, waiting for a held apt lock as it does.
  scripts/setup.sh run "${missing[@]}"
  # The pinned packages, again only when the lock file changed.
  if [ ! -f node_modules/.package-lock.json ] || ! cmp -s package-lock.json node_modules/.vorlith-lock; then
    npm ci --no-audit --no-fund
    cp package-lock.json node_modules/.vorlith-lock
  fi
}

build_site() {
  echo "== the asset pack (native generator)"
  [ -f build/CMakeCache.txt ] || cmake --preset release
  cmake --build --preset release --target default_assets icons

  echo "== the core and the web port (Emscripten)"
  cmake --preset web
  cmake --build --preset web

  echo "== the site"
  local site=build-web/site
  rm -rf "$site"
  mkdir -p "$site/licenses"
  cp web/index.html web/style.css web/manifest.webmanifest web/*.js "$site/"
  cp build-web/vorlith.js build-web/vorlith.wasm "$site/"
  cp node_modules/chiptune3/chiptune3.js node_modules/chiptune3/chiptune3.worklet.js \
     node_modules/chiptune3/libopenmpt.worklet.js "$site/"
  cp node_modules/chiptune3/LICENSE "$site/licenses/chiptune3.txt"
  cp web/licenses/libopenmpt.txt "$site/licenses/libopenmpt.txt"
  cp -r build/assets "$site/assets"
  # The list of the pack's files, which the page reads into the show's file system.
  node -e '
    const fs = require("fs"), path = require("path");
    const root = process.argv[1], files = [];
    const walk = (dir) => fs.readdirSync(path.join(root, dir), { withFileTypes: true })
      .sort((a, b) => a.name.localeCompare(b.name))
      .forEach((e) => e.isDirectory() ? walk(path.join(dir, e.name)) : files.push(path.join(dir, e.name)));
    walk("");
    fs.writeFileSync(path.join(root, "pack.json"), JSON.stringify({ files }, null, 1) + "\n");
  ' "$site/assets"
  # The icon the program installs, in its sizes, for the page and the web app manifest.
  mkdir -p "$site/icons"
  for size in 16 24 32 48 64 128 256; do
    cp "build/icons/hicolor/${size}x${size}/apps/vorlith.png" "$site/icons/vorlith-$size.png"
  done
  # Last: the service worker, named by a hash of everything else.
  node scripts/offline.mjs "$site"
  # Readable by any web server, whatever the umask it was built with.
  chmod -R u=rwX,go=rX "$site"
  node scripts/site_size.mjs "$site"
}

install_packages
case "$command" in
  build)
    build_site
    ;;
  serve)
    build_site
    exec node scripts/serve.mjs build-web/site "${2:-8000}"
    ;;
  test)
    build_site
    echo "== the kernel tests on the WebAssembly forms (Node)"
    cmake --build --preset web --target vorlith_kernel_tests
    # Emscripten 3.1.6's loader trips on Node's own fetch.
    node --no-experimental-fetch build-web/vorlith_kernel_tests.js
    echo "== the program's own digest list, every frame at 30 fps"
    cmake --build --preset release --target vorlith
    rm -f build-web/native-digests-30.txt
    build/vorlith --assets build/assets --capture build-web/native-digests-30.txt --fps 30
    echo "== the page in Chromium, Firefox ESR and WebKitGTK"
    # One file at a time: the live runs measure the picture against the music.
    began=$SECONDS
    VORLITH_SITE=build-web/site VORLITH_ASSETS=build/assets VORLITH_NATIVE_DIGESTS=build-web/native-digests-30.txt \
      VORLITH_PROGRAM=build/vorlith timeout 900 node --test --test-concurrency=1 tests/web/
    echo "page tests: $((SECONDS - began)) s"
    ;;
  *)
    echo "usage: scripts/web.sh [build | serve [PORT] | test]" >&2
    exit 2
    ;;
esac
