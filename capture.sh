#!/usr/bin/env bash
# Captures the whole show to show.mp4 (1024x768, 60 frames/s, H.264 + AAC), offline: frame-exact
# and in sync, with no display or sound card needed. Extra arguments go to showcap (see --help);
# --track FILE captures the show to your own track.
set -euo pipefail
# A track named from where capture.sh was started, before it moves to its own folder.
args=()
while [ $# -gt 0 ]; do
  args+=("$1")
  if [ "$1" = --track ] && [ $# -gt 1 ]; then
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
exec build/bin/showcap --data data --output show.mp4 "${args[@]}"
