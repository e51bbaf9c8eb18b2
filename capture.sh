#!/usr/bin/env bash
# Captures the whole show to show.mp4 (1024x768, 60 frames/s, H.264 + AAC), offline: frame-exact
# and in sync, with no display or sound card needed. Extra arguments go to showcap (see --help).
# With --parallel N or --hosts FILE the capture is cut into chunks rendered on N local jobs or on the
# machines listed (tools/showcap/parallel-capture.sh says how), then joined into the same file.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --capture
./build.sh showcap
for arg in "$@"; do
  case $arg in
    --parallel | --hosts) exec tools/showcap/parallel-capture.sh "$PWD/build/bin/showcap" --data data --output show.mp4 "$@" ;;
  esac
done
exec build/bin/showcap --data data --output show.mp4 "$@"
