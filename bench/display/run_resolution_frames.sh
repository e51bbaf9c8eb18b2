#!/usr/bin/env bash
# The picture's cost at the screen's own pixels on this machine's GL, side by side in one run: the
# live show's frame rate over one passage (passage_frames under Xvfb, SDL's dummy sound) on screens
# of 1024x768, 1920x1080 and 3840x2160 drawn at the screen's size (SHOW_RESOLUTION=native), and at
# 1920x1080 drawn at 1024x768 and scaled (what a software renderer gets by default); then showcap's
# capture speed of the same passage at each size (rendering and read-back, no encoding).
#   bench/display/run_resolution_frames.sh [BUILD_DIR] [FROM_S TO_S]   (default: build, 112-122 s)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
from=${2:-112} to=${3:-122}
for f in "$build/bin/passage_frames" "$build/bin/showcap"; do
  [ -x "$f" ] || { echo "missing $f: run ./build.sh first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/data/*.png "$here"/data/bass_300808.mp3 "$work"/
load() { echo "[load average $(cut -d' ' -f1-3 /proc/loadavg)]"; }
echo "== $(date -u '+%Y-%m-%d %H:%M') UTC, $(nproc) cores; passage $from-$to s"

echo "-- live show"
for run in "1024x768 native" "1920x1080 native" "3840x2160 native" "1920x1080 1024x768"; do
  set -- $run
  echo "screen $1, SHOW_RESOLUTION=$2 $(load)"
  (cd "$work" && SHOW_RESOLUTION=$2 SDL_AUDIODRIVER=dummy SDL_NO_SIGNAL_HANDLERS=1 \
     xvfb-run -a -s "-screen 0 ${1}x24" "$build/bin/passage_frames" "$from" "$to")
done

echo "-- capture, rendering and read-back only (--format none --hashes)"
for size in 1024x768 1920x1080 3840x2160; do
  start=$(date +%s.%N)
  "$build/bin/showcap" -q --data "$work" --format none --hashes "$work/h.txt" --size "$size" --from "$from" --to "$to"
  end=$(date +%s.%N)
  frames=$(wc -l < "$work/h.txt")
  awk -v s="$size" -v f="$frames" -v a="$start" -v b="$end" -v from="$from" -v to="$to" \
    'BEGIN { t = b - a; printf "%s: %d frames in %.1f s (%.1f frames/s, %.2f x real time, the lead-in to %s s included)\n", s, f, t, f / t, (to - from) / t, from }'
  load
done
