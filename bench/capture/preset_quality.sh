#!/usr/bin/env bash
# How each libx264 preset trades encoding time for size and likeness at showcap's CRF 18: a stretch
# of the show is captured once as PNG frames, then encoded with each preset the way showcap does,
# and each video is compared with the frames (SSIM and PSNR of the YUV planes, as ffmpeg measures).
# Encoding CPU time excludes reading the PNG frames (measured alone first).
# Usage: bench/capture/preset_quality.sh [build-dir] [from] [to]   (defaults: build, 1:36, 1:44)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
from=${2:-1:36}
to=${3:-1:44}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bin/showcap" --quiet --data data --format png --from "$from" --to "$to" --output "$work/frames" >/dev/null
first=$(ls "$work/frames" | grep -m1 '^frame_' | sed 's/frame_0*\([0-9]\)/\1/; s/\.png//')
count=$(ls "$work/frames" | grep -c '^frame_')
input=(-framerate 60 -start_number "$first" -i "$work/frames/frame_%06d.png")
cpu() { awk '{ print $1 + $2 }' "$1"; }

/usr/bin/time -f "%U %S" -o "$work/read" ffmpeg -hide_banner -loglevel error "${input[@]}" -pix_fmt yuv420p -f null -
echo "$count frames from $from to $to; reading them alone: $(cpu "$work/read") s of CPU"
printf '%-10s %14s %10s %8s %10s\n' preset "encode ms/frame" size SSIM "PSNR dB"
for preset in medium fast faster veryfast superfast ultrafast; do
  /usr/bin/time -f "%U %S" -o "$work/time" ffmpeg -hide_banner -loglevel error -y "${input[@]}" \
    -c:v libx264 -preset "$preset" -crf 18 -pix_fmt yuv420p "$work/$preset.mp4"
  compare() {
    ffmpeg -hide_banner -i "$work/$preset.mp4" "${input[@]}" \
      -lavfi "[0:v]format=yuv420p[a];[1:v]format=yuv420p[b];[a][b]$1" -f null - 2>&1
  }
  ssim=$(compare ssim | sed -n 's/.*SSIM.* All:\([0-9.]*\).*/\1/p')
  psnr=$(compare psnr | sed -n 's/.*PSNR.* average:\([0-9.]*\).*/\1/p')
  encode=$(awk -v t="$(cpu "$work/time")" -v r="$(cpu "$work/read")" -v n="$count" 'BEGIN { printf "%.1f", (t - r) * 1000 / n }')
  printf '%-10s %14s %10s %8s %10s\n' "$preset" "$encode" "$(du -h "$work/$preset.mp4" | cut -f1)" "$ssim" "$psnr"
done
