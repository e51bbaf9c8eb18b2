#!/usr/bin/env bash
# The tempo finder on real music: every track of Debian's music packages that are installed
# (singularity-music, hyperrogue-music; apt-get install them, they are never part of the show), each
# beside itself sped up 5 % by sox (pitch and tempo together, so its tempo is exactly 1.05 times),
# then made drum patterns of known tempo.
#   bench/audio/tempo_bench.sh [BUILD]    BUILD: the build folder (default build)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
bench=$build/bin/tempo_bench
[ -x "$bench" ] || { echo "build tempo_bench first: cmake --build $build --target tempo_bench" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

pairs=()
for f in /usr/share/games/singularity/music/*.ogg /usr/share/hyperrogue/music/*.ogg; do
  [ -f "$f" ] || continue
  fast="$work/$(basename "$f" .ogg) x1.05.flac"
  # A file sox cannot read (three of hyperrogue's) is left out.
  sox "$f" "$fast" speed 1.05 rate 44100 2>/dev/null || continue
  pairs+=("$f" "$fast")
done
if [ ${#pairs[@]} -eq 0 ]; then
  echo "no music found: apt-get install singularity-music hyperrogue-music" >&2
else
  echo "== Real music, each track and the same 1.05 times as fast"
  "$bench" --speed 1.05 "${pairs[@]}"
  echo
  echo "== Real music, the estimate and the time it takes"
  for ((i = 0; i < ${#pairs[@]}; i += 2)); do "$bench" "${pairs[i]}"; done
fi
echo
echo "== The show's own track as a listener's file"
"$bench" "$here/data/bass_300808.mp3"
echo
echo "== Made drum patterns"
"$bench" --patterns
