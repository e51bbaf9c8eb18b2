#!/usr/bin/env bash
# The show in a web browser, like play.sh: installs what is missing (setup.sh --web, as root), builds the
# wasm libraries once and the site into build-web/site/, then serves it on 127.0.0.1 and prints the URL.
#   ./web.sh           build and serve (PORT, default 8080)
#   ./web.sh --build   only build build-web/site/: one static folder any web server can serve
# SHOW_WEB_DEPS names a prefix that already holds the wasm libraries (default build-web/deps).
set -euo pipefail
cd "$(dirname "$0")"
build_only=0
case "${1:-}" in
  --build) build_only=1 ;;
  "") ;;
  *) echo "usage: $0 [--build]" >&2; exit 2 ;;
esac

./setup.sh --web
deps=${SHOW_WEB_DEPS:-$PWD/build-web/deps}
for lib in $(grep -v '^#' tools/web/wasm-libraries.txt); do
  if [ ! -f "$deps/lib/$lib" ]; then
    tools/web/build-deps.sh "$deps"   # offline, from the sources setup.sh fetched; once
    break
  fi
done
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DSHOW_WEB_DEPS="$deps" >/dev/null
cmake --build build-web -j"${JOBS:-2}"

site=$PWD/build-web/site
if [ $build_only -eq 1 ]; then
  echo "The site: $site"
  exit 0
fi
port=${PORT:-8080}
echo "The show: http://127.0.0.1:$port/  (Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
