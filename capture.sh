#!/usr/bin/env bash
# Captures the whole show to show.mp4 (1024x768, 60 frames/s, H.264 + AAC), offline: frame-exact
# and in sync, with no display or sound card needed. Extra arguments go to showcap (see --help);
# --track FILE captures the show to your own track (--title TEXT and --artist TEXT name it on its
# posters over its tags). With --parallel N or --hosts FILE the capture is
# cut into chunks rendered on N local jobs or on the machines listed (tools/showcap/parallel-capture.sh
# says how), then joined into the same file.
set -euo pipefail
# Files named from where capture.sh was started, before it moves to its own folder.
args=()
chunked=0
while [ $# -gt 0 ]; do
  args+=("$1")
  case $1 in
    --parallel | --hosts) chunked=1 ;;
  esac
  if { [ "$1" = --track ] || [ "$1" = -t ] || [ "$1" = --hosts ]; } && [ $# -gt 1 ]; then
    shift
    case "$1" in
      /*|"") args+=("$1") ;;
      *) args+=("$PWD/$1") ;;
    esac
  fi
  shift
done
cd "$(dirname "$0")"
./setup.sh --capture
./build.sh showcap
if [ $chunked -eq 1 ]; then
  exec tools/showcap/parallel-capture.sh "$PWD/build/bin/showcap" --data data --output show.mp4 "${args[@]}"
fi
exec build/bin/showcap --data data --output show.mp4 "${args[@]}"
