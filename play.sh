#!/usr/bin/env bash
# Builds the show (only what playing needs) and plays it from data/; ./play.sh FILE plays it to your
# own track (WAV, FLAC, Ogg Vorbis, Opus or MP3) instead, its posters naming it from its tags, or as
# --title TEXT and --artist TEXT before the file say. With no display it plays on a virtual one
# (Xvfb) with SDL's dummy sound driver, so it still runs to its end.
set -euo pipefail
track=()
while [ $# -gt 1 ] && { [ "$1" = --title ] || [ "$1" = --artist ]; }; do
  track+=("$1" "$2")
  shift 2
done
if [ $# -gt 0 ] || [ ${#track[@]} -gt 0 ]; then
  [ $# -eq 1 ] && [ -n "$1" ] && [ "$1" != --title ] && [ "$1" != --artist ] ||
    { echo "usage: ./play.sh [[--title TEXT] [--artist TEXT] TRACK_FILE]" >&2; exit 2; }
  # Named from where play.sh was started, before it moves to the data folder.
  case "$1" in
    /*) track+=("$1") ;;
    *) track+=("$PWD/$1") ;;
  esac
fi
cd "$(dirname "$0")"
./setup.sh
program=show
[ ${#track[@]} -eq 0 ] || program=showtrack
./build.sh "$program"
cd data
if [ -n "${DISPLAY:-}" ]; then
  exec "../build/bin/$program" "${track[@]}"
fi
echo "No display: playing on a virtual 1024x768 display with silent audio." >&2
exec xvfb-run -a -s "-screen 0 1024x768x24" env SDL_AUDIODRIVER=dummy "../build/bin/$program" "${track[@]}"
