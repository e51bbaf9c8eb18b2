#!/usr/bin/env bash
# The track's form report: builds showcap and track_form, captures the whole show's event log from
# data/ at 60 frames/s without video, then measures the track and the log. Prints the report and keeps
# it, the log and the picture in OUT_DIR.
#   bench/form/form_report.sh [BUILD_DIR] [OUT_DIR]     (defaults: build, BUILD_DIR/form)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build}")
out=$(realpath -m "${2:-$build/form}")

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target showcap track_form >/dev/null
mkdir -p "$out"
"$build/bin/showcap" --format none --fps 60 --events "$out/events.jsonl" -d "$root/data" -q
"$build/bin/track_form" --track "$root/data/bass_300808.mp3" --events "$out/events.jsonl" --png "$out/form.png" |
  tee "$out/report.txt"
