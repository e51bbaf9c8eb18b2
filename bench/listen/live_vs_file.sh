#!/usr/bin/env bash
# The same music read from a file and heard live, side by side: for each track, showcap --track's log,
# then showlisten's on a private Xvfb while paplay plays the track into a private PulseAudio server's
# null sink (in real time), and listen_bench's row for each (the live one aligned to the file's cues).
#   bench/listen/live_vs_file.sh BUILD_DIR TRACK...
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -- "-$p" 2>/dev/null || kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/run" && mkdir "$work/home" "$work/data"
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
cp "$here"/data/*.png "$here"/data/*.mp3 "$work/data/"
printf 'load-module module-native-protocol-unix auth-anonymous=1\nload-module module-null-sink sink_name=showsink\nset-default-sink showsink\n' >"$work/server.pa"
setsid pulseaudio -n -F "$work/server.pa" --daemonize=no --exit-idle-time=-1 --system=no >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.2; done

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
done
