#!/usr/bin/env bash
# Captures the whole show to show.mp4 (1024x768, 60 frames/s, H.264 + AAC), offline: frame-exact
# and in sync, with no display or sound card needed. Extra arguments go to showcap (see --help).
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --capture
./build.sh showcap
exec build/bin/showcap --data data --output show.mp4 "$@"
