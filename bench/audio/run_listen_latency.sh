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
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -- "-$p" 2>/dev/null || kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start() { setsid "$@" >>"$work/daemons.log" 2>&1 & pids+=($!); }

mkdir -m 700 "$work/run" && mkdir "$work/home" "$work/data"
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
cp "$here"/data/*.png "$work/data/"
# Six clicks in ten seconds: the built-in density, so every click may become a cue.
sox -n -r 44100 -c 2 -b 16 "$work/click.wav" synth 0.03 sine 1200 fade 0 0.03 0.025 pad 0.3 1.37

case "$server" in
  pulseaudio)
    printf 'load-module module-native-protocol-unix auth-anonymous=1\nload-module module-null-sink sink_name=showsink\nset-default-sink showsink\n' >"$work/server.pa"
    start pulseaudio -n -F "$work/server.pa" --daemonize=no --exit-idle-time=-1 --system=no
    ;;
  pipewire)
    eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | { read -r a; read -r p; echo "DBUS_SESSION_BUS_ADDRESS='$a'; dbus_pid=$p"; })"
    export DBUS_SESSION_BUS_ADDRESS
    trap 'kill "$dbus_pid" 2>/dev/null || true; cleanup' EXIT
    start pipewire
    sleep 1
    start wireplumber
    start pipewire-pulse
    ;;
  *) echo "server: pulseaudio or pipewire" >&2; exit 2 ;;
esac
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.2; done
[ "$server" = pipewire ] && pactl load-module module-null-sink sink_name=showsink >/dev/null && pactl set-default-sink showsink
pactl info | grep -E "Server Name|Server Version"

start bash -c "sleep 3; while :; do paplay '$work/click.wav'; done"
cd "$work/data"
SDL_NO_SIGNAL_HANDLERS=1 timeout -s KILL $((seconds + 60)) \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/listen_latency" showsink.monitor "$seconds" ${4:+"$4"}
