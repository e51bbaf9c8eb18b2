#!/usr/bin/env bash
# The live show's frame rate over one passage of a listener's track, with its rules listening to
# their bands and, for comparison, with the built-in strength test they had before: passage_frames
# under a private 1024x768 Xvfb (Mesa llvmpipe), SDL's dummy sound, one run after the other.
#   bench/display/run_listen_frames.sh TRACK FROM_S TO_S [BUILD_DIR]   (bench/README.md, "Listening")
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
track=$(realpath "$1")
from=$2 to=$3
build=$(cd "${4:-$here/build}" && pwd)
[ -x "$build/bin/passage_frames" ] || { echo "missing $build/bin/passage_frames: build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/data/*.png "$here"/data/bass_300808.mp3 "$work"/
echo "== $(date -u '+%Y-%m-%d %H:%M') UTC, $(nproc) cores; $(basename "$track"), $from-$to s"
for rule in --strength ""; do
  echo "-- ${rule:-listening} [load average $(cut -d' ' -f1-3 /proc/loadavg)]"
  (cd "$work" && SDL_AUDIODRIVER=dummy SDL_NO_SIGNAL_HANDLERS=1 \
     xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/passage_frames" "$from" "$to" "$track" $rule)
done
