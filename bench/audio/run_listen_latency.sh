#!/usr/bin/env bash
# The live show's latency, from a sound reaching the server to its effect on the screen: listen_latency
# on a private Xvfb display, listening to the monitor of a private server's null sink (PulseAudio, or
# PipeWire with its pulse server), while paplay plays a click every 1.7 s into that sink.
#   run_listen_latency.sh pulseaudio|pipewire SECONDS BUILD_DIR [--squeezed]
# PipeWire needs the pipewire, wireplumber and pipewire-pulse packages (not installed by setup.sh).
set -euo pipefail
server=$1
seconds=$2
build=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/bench/audio/private_server.sh"
cp "$here"/data/*.png "$work/data/"
# Six clicks in ten seconds: the built-in density, so every click may become a cue.
sox -n -r 44100 -c 2 -b 16 "$work/click.wav" synth 0.03 sine 1200 fade 0 0.03 0.025 pad 0.3 1.37
start_server "$server"

start bash -c "sleep 3; while :; do paplay '$work/click.wav'; done"
cd "$work/data"
SDL_NO_SIGNAL_HANDLERS=1 timeout -s KILL $((seconds + 60)) \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/listen_latency" showsink.monitor "$seconds" ${4:+"$4"}
