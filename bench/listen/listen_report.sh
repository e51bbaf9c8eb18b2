#!/bin/bash
# How the spectrum-spawned effects follow real music: the built-in show and every track of a list,
# each captured with showcap (--format none --fps 60 --events), then measured by listen_bench; one
# table row per track (bench/README.md, "Listening").
#   bench/listen/listen_report.sh [--reuse] [BUILD_DIR] [OUT_DIR] [TRACK_LIST]
# Defaults: build, BUILD_DIR/listen, bench/listen/tracks.txt. --reuse measures the logs already in
# OUT_DIR (from an earlier build, say) instead of capturing again. Leaves NAME.jsonl per track and
# report.md in OUT_DIR.
set -euo pipefail
reuse=0
if [ "${1:-}" = "--reuse" ]; then reuse=1; shift; fi
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$build/listen}
list=${3:-$root/bench/listen/tracks.txt}
mkdir -p "$out"
out=$(cd "$out" && pwd)

[ $reuse = 1 ] || cmake --build "$build" --target showcap listen_bench >/dev/null
bench=$build/bin/listen_bench

capture() {   # NAME [--track FILE]
    local name=$1
    shift
    [ $reuse = 1 ] && return 0
    "$build/bin/showcap" --data "$root/data" --format none --fps 60 --quiet --events "$out/$name.jsonl" "$@"
}

{
    "$bench" --header
    capture builtin
    "$bench" --builtin --name "the built-in show" --track "$root/data/bass_300808.mp3" --events "$out/builtin.jsonl"
    while IFS= read -r line; do
        track=$(printf '%s' "$line" | sed 's/ *#.*//')
        [ -n "$track" ] || continue
        if [ ! -f "$track" ]; then
            echo "listen_report: $track is missing (see the list's first lines for its package)" >&2
            continue
        fi
        name=$(basename "$track")
        name=${name%.*}
        name=${name// /_}
        capture "$name" --track "$track"
        "$bench" --name "$(basename "$track")" --track "$track" --events "$out/$name.jsonl"
    done <"$list"
} | tee "$out/report.md"
