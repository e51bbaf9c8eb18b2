# Sourced by the benchmarks that need a sound server of their own: a work directory, background jobs
# stopped (with their children) when the script ends, and a private PulseAudio server or PipeWire with
# its pulse server, each with a null sink "showsink" as the default output (no sound card needed).
#   . bench/audio/private_server.sh; start_server pulseaudio|pipewire
# Sets work (removed at the end), XDG_RUNTIME_DIR and HOME inside it; PipeWire also a session bus.
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -- "-$p" 2>/dev/null || kill "$p" 2>/dev/null || true; done
  [ -z "${dbus_pid:-}" ] || kill "$dbus_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Each background job gets its own process group, so stopping it stops its children too.
start() { setsid "$@" >>"$work/daemons.log" 2>&1 & pids+=($!); }

mkdir -m 700 "$work/run" && mkdir "$work/home" "$work/data"
export XDG_RUNTIME_DIR=$work/run HOME=$work/home

start_server() {
  case "$1" in
    pulseaudio)
      printf 'load-module module-native-protocol-unix auth-anonymous=1\nload-module module-null-sink sink_name=showsink\nset-default-sink showsink\n' >"$work/server.pa"
      start pulseaudio -n -F "$work/server.pa" --daemonize=no --exit-idle-time=-1 --system=no
      ;;
    pipewire)
      eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | { read -r a; read -r p; echo "DBUS_SESSION_BUS_ADDRESS='$a'; dbus_pid=$p"; })"
      export DBUS_SESSION_BUS_ADDRESS
      start pipewire
      sleep 1
      start wireplumber
      start pipewire-pulse
      ;;
    *) echo "server: pulseaudio or pipewire" >&2; exit 2 ;;
  esac
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.2; done
  if [ "$1" = pipewire ]; then
    pactl load-module module-null-sink sink_name=showsink >/dev/null
    pactl set-default-sink showsink
  fi
  pactl info | grep -E "Server Name|Server Version|Default Sink"
}
