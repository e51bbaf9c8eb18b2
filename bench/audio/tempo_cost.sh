#!/usr/bin/env bash
# What the tempo adds to reading a listener's track on the desktop: the onset curve (curve_cost.cpp)
# built against this tree's cue finder and against the one of the commit before the tempo's bands
# came in, alternately, with the same flags (-O2, as RelWithDebInfo); and the estimate itself
# (tempo_bench's ms a minute). The page's figures come from bench/web/web_bench.mjs own.
#   bench/audio/tempo_cost.sh TRACK [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 TRACK [ROUNDS]" >&2; exit 2; }
track=$1 rounds=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
before=$(git -C "$here" log --format=%H -1 --grep='^The tempo of a listener' )^
mkdir -p "$work/old/audio"
for f in cue_finder.h cue_finder.cpp; do git -C "$here" show "$before:src/audio/$f" >"$work/old/audio/$f"; done
c++ -std=c++17 -O2 -DNDEBUG -I"$here/src" "$here/bench/audio/curve_cost.cpp" "$here/src/audio/cue_finder.cpp" -o "$work/now"
c++ -std=c++17 -O2 -DNDEBUG -I"$work/old" "$here/bench/audio/curve_cost.cpp" "$work/old/audio/cue_finder.cpp" -o "$work/before"
ffmpeg -loglevel error -i "$track" -f f32le -ar 44100 -ac 2 "$work/track.raw"
for ((r = 1; r <= rounds; r++)); do
  echo "round $r (load average $(cut -d' ' -f1-3 /proc/loadavg))"
  echo -n "  before the tempo: "; "$work/before" <"$work/track.raw"
  echo -n "  with its bands:   "; "$work/now" <"$work/track.raw"
done
