#!/usr/bin/env bash
# Runs show_frame_times on a private 1024x768 Xvfb display (Mesa's software GL) with SDL's dummy
# sound driver, in a copy of data/.   Usage: run_show_frame_times.sh BUILD_DIR [empty-loop seconds]
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/data/*.png "$here"/data/bass_300808.mp3 "$work"/
cd "$work"
SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/show_frame_times" "${2:-10}"
