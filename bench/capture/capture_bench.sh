#!/usr/bin/env bash
# Capture speed of the whole show: showcap to MP4 (through ffmpeg) and to a PNG sequence, each timed
# from start to finish. Prints frames per second and how many times faster than real time.
# Usage: bench/capture/capture_bench.sh [build-dir] [runs]   (after ./build.sh; needs ffmpeg for mp4)
#   runs: any of mp4, png, none (default: all three); the build may be an older one, to compare.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
runs=" ${2:-mp4 png none} "
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() {
  local name=$1; shift
  local start end
  start=$(date +%s.%N)
  "$build/bin/showcap" --quiet --data data "$@" >/dev/null
  end=$(date +%s.%N)
  local frames
  frames=$(ls "$out"/frames 2>/dev/null | grep -c '^frame_' || true)
  [ "$frames" -gt 0 ] || frames=$(wc -l <"$out/hashes.txt")
  awk -v n="$name" -v f="$frames" -v s="$start" -v e="$end" 'BEGIN {
    t = e - s; printf "%-5s %6d frames  %7.1f s  %6.1f frames/s  %5.2f x real time\n", n, f, t, f / t, (f / 60) / t }'
  rm -rf "$out/frames"
}

echo "showcap, whole show at 60 frames/s, 1024x768, $(nproc) cores"
if [[ $runs == *" mp4 "* ]] && command -v ffmpeg >/dev/null; then
  run mp4 --format mp4 --output "$out/show.mp4" --hashes "$out/hashes.txt"
  echo "      MP4 size: $(du -h "$out/show.mp4" | cut -f1)"
fi
if [[ $runs == *" png "* ]]; then run png --format png --output "$out/frames"; fi
if [[ $runs == *" none "* ]]; then run none --format none --hashes "$out/hashes.txt"; fi
