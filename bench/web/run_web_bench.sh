#!/usr/bin/env bash
# The browser show's figures beside the desktop's, on this machine, in one run (bench/README.md, "Web"):
# page weight, load to first frame, frames per second over the busiest passage (headless chromium
# on SwiftShader, then the desktop show on llvmpipe under Xvfb), and the show's logic per frame as
# wasm under node against native. Needs both builds: ./build.sh and ./web.sh --build.
#   bench/web/run_web_bench.sh [BUILD_DIR] [WEB_BUILD_DIR] [FROM_S TO_S]
# Without FROM_S TO_S the passage is the 10 s window with the most live fragments per frame, as the
# logic run finds it. WEB_BENCH_RUNS (default 5): load runs. WEB_BENCH_FILL=1 also runs show_fill
# over the passage (pixels filled per frame; about a minute or two).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
web=$(cd "${2:-$here/build-web}" && pwd)
site=$web/site
runs=${WEB_BENCH_RUNS:-5}
for f in "$build/libshowcore.a" "$build/bin/passage_frames" "$web/libshowcore.a" "$site/show.wasm"; do
  [ -f "$f" ] || { echo "missing $f: run ./build.sh and ./web.sh --build first" >&2; exit 1; }
done
deps=$(sed -n 's/^SHOW_WEB_DEPS:PATH=//p' "$web/CMakeCache.txt")
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
load() { echo "[load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%H:%M:%S) UTC]"; }

echo "== $(date -u '+%Y-%m-%d %H:%M') UTC, $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
echo "chromium: $(chromium --version 2>/dev/null || echo '?'); node $(node --version); $(em++ --version | head -1)"

echo
echo "== Page weight ($site)"
raw=0 gz6=0 gz9=0
printf '%-18s %10s %10s %10s\n' file raw gzip-6 gzip-9
for f in "$site"/*; do
  [ -f "$f" ] || continue
  r=$(stat -c %s "$f"); g6=$(gzip -6 -c "$f" | wc -c); g9=$(gzip -9 -c "$f" | wc -c)
  raw=$((raw + r)); gz6=$((gz6 + g6)); gz9=$((gz9 + g9))
  printf '%-18s %10d %10d %10d\n' "$(basename "$f")" "$r" "$g6" "$g9"
done
printf '%-18s %10d %10d %10d\n' total "$raw" "$gz6" "$gz9"

echo
echo "== The show's logic per frame, native against wasm (node), whole track at 60 frames/s"
# The two drivers are not CMake targets (the web build has no benchmarks, and the desktop one need
# not change): each is built here against its build's showcore with that build's flags, RelWithDebInfo
# (-O2) natively and Release (-O3) for wasm.
c++ -std=c++17 -O2 -g -DNDEBUG -I"$here/src" $(pkg-config --cflags sdl12_compat) \
  "$here/bench/web/logic_frames.cpp" "$build/libshowcore.a" \
  $(pkg-config --libs sdl12_compat libmpg123 sndfile samplerate fftw3f libpng libpulse xcb taglib freetype2) -lGL -lX11 -lpthread -o "$work/logic_frames"
env NODE_PATH=/usr/share/nodejs em++ -std=c++17 -O3 -DNDEBUG -I"$here/src" -I"$deps/include" \
  "$here/bench/web/logic_frames.cpp" "$web/libshowcore.a" \
  $(grep -v '^#' "$here/tools/web/wasm-libraries.txt" | sed "s|^|$deps/lib/|") \
  -sLEGACY_GL_EMULATION=1 -sALLOW_MEMORY_GROWTH=1 -sNODERAWFS=1 -sENVIRONMENT=node \
  -o "$work/logic_frames.js" 2>&1 | grep -v 'GL emulation' || true
track=$here/data/bass_300808.mp3
load; echo "-- native"; "$work/logic_frames" "$track" 5 | tee "$work/native.txt"
load; echo "-- wasm (node $(node --version))"
node --no-experimental-fetch "$work/logic_frames.js" "$track" 5 2>&1 | grep -v 'GL emulation'

if [ $# -ge 4 ]; then
  from=$3 to=$4
else
  read -r from to < <(sed -n 's/^busiest 10 s window: \([0-9.]*\)-\([0-9.]*\) s.*/\1 \2/p' "$work/native.txt")
fi

echo
echo "== Load to first frame, headless chromium on localhost ($runs runs each)"
: >"$work/server.log"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$site" >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do grep -q 'port [0-9]' "$work/server.log" && break; sleep 0.1; done
port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/server.log" | head -1)
url=http://127.0.0.1:$port/index.html
load; node "$here/bench/web/web_bench.mjs" load "$url" "$runs"

echo
echo "== Frames per second over the busiest passage, $from-$to s of music"
cp "$here"/data/*.png "$track" "$work"/
load; (cd "$work" && SDL_AUDIODRIVER=dummy SDL_NO_SIGNAL_HANDLERS=1 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/bin/passage_frames" "$from" "$to")
load; node "$here/bench/web/web_bench.mjs" passage "$url" "$from" "$to"
load
if [ "${WEB_BENCH_FILL:-0}" = 1 ] && [ -x "$build/bin/show_fill" ]; then
  echo; echo "== Pixels filled over the passage (show_fill, desktop, offscreen llvmpipe)"
  (cd "$work" && "$build/bin/show_fill" --from "$from" --to "$to")
  load
fi
