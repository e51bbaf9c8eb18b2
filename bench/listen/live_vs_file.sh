#!/usr/bin/env bash
# The same music read from a file and heard live, side by side: for each track, showcap --track's log,
# then showlisten's on a private Xvfb while paplay plays the track into a private PulseAudio server's
# null sink (in real time), and listen_bench's row for each (the live one aligned to the file's cues).
#   bench/listen/live_vs_file.sh BUILD_DIR TRACK...     (KEEP_LOGS=DIR keeps the last track's two logs there)
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/bench/audio/private_server.sh"
cp "$here"/data/*.png "$here"/data/*.mp3 "$work/data/"
start_server pulseaudio >/dev/null

"$build/bin/listen_bench" --header
for track in "$@"; do
  name=$(basename "$track")
  "$build/bin/showcap" -q -d "$work/data" --track "$track" --format none --events "$work/file.jsonl"
  "$build/bin/listen_bench" --name "$name, file" --track "$track" --events "$work/file.jsonl"
  (cd "$work/data" && SDL_AUDIODRIVER=dummy exec xvfb-run -a -s "-screen 0 1024x768x24" \
     "$build/bin/showlisten" --events "$work/live.jsonl") &
  show=$!
  sleep 3
  paplay "$track"
  sleep 1
  pkill -TERM -f "$build/bin/showlisten" || true
  wait "$show" || true
  "$build/bin/listen_bench" --name "$name, live" --track "$track" --events "$work/live.jsonl" --aligned-to "$work/file.jsonl"
  [ -z "${KEEP_LOGS:-}" ] || cp "$work/file.jsonl" "$work/live.jsonl" "$KEEP_LOGS"/
done
