#!/usr/bin/env bash
# Builds the show (only what playing needs) and plays it from data/; ./play.sh FILE plays it to your
# own track (WAV, FLAC, Ogg Vorbis, Opus or MP3) instead, its posters naming it from its tags, or as
# --title TEXT and --artist TEXT before the file say; ./play.sh --listen [SOURCE] draws it to whatever
# the desktop plays (or to a sound server's SOURCE, a microphone say) until Escape. With no display it
# plays on a virtual one (Xvfb) with SDL's dummy sound driver, so it still runs to its end.
set -euo pipefail
program=show
args=()
if [ "${1:-}" = --listen ]; then
  program=showlisten
  shift
  # An events file is named from where play.sh was started, too.
  previous=
  for a in "$@"; do
    [ "$previous" = --events ] && [ "${a#/}" = "$a" ] && a=$PWD/$a
    args+=("$a")
    previous=$a
  done
else
  while [ $# -gt 1 ] && { [ "$1" = --title ] || [ "$1" = --artist ]; }; do
    args+=("$1" "$2")
    shift 2
  done
  if [ $# -gt 0 ] || [ ${#args[@]} -gt 0 ]; then
    [ $# -eq 1 ] && [ -n "$1" ] && [ "$1" != --title ] && [ "$1" != --artist ] ||
      { echo "usage: ./play.sh [[--title TEXT] [--artist TEXT] TRACK_FILE | --listen [SOURCE] [--events FILE]]" >&2; exit 2; }
    program=showtrack
    # Named from where play.sh was started, before it moves to the data folder.
    case "$1" in
      /*) args+=("$1") ;;
      *) args+=("$PWD/$1") ;;
    esac
  fi
fi
cd "$(dirname "$0")"
./setup.sh
./build.sh "$program"
cd data
if [ -n "${DISPLAY:-}" ]; then
  exec "../build/bin/$program" "${args[@]}"
fi
echo "No display: playing on a virtual 1024x768 display with silent audio." >&2
exec xvfb-run -a -s "-screen 0 1024x768x24" env SDL_AUDIODRIVER=dummy "../build/bin/$program" "${args[@]}"
