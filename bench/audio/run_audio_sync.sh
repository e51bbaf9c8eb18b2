#!/usr/bin/env bash
# Runs audio_sync several times: the real show on a private Xvfb display, its sound through a private
# PulseAudio server or PipeWire's pulse server (null sink, needs no sound card), the bench track in
# place of the show's, with or without a -j4 build of this project beside it.
#   run_audio_sync.sh pulseaudio|pipewire idle|build RUNS SECONDS BUILD_DIR [OTHER_BUILD_DIR [OTHER_RUNS]]
# With a second build directory (another version of the show, e.g. before a change), each of the first
# OTHER_RUNS rounds (default 3) runs it too, right after the first, so both meet the same load.
# Prints one line per run and a summary per build. Everything it starts is stopped when it ends.
set -euo pipefail
server=$1
load=$2
runs=$3
seconds=$4
build=$(cd "$5" && pwd)
other=${6:+$(cd "$6" && pwd)}
otherRuns=${7:-3}
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/bench/audio/private_server.sh"
cp "$here"/data/*.png "$work/data/"
"$build/bin/audio_sync" --make-track "$work/track.wav" "$seconds"
lame --quiet -b 192 "$work/track.wav" "$work/data/bass_300808.mp3"
start_server "$server"

if [ "$load" = build ]; then
  cmake -S "$here" -B "$work/load" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHOW_BUILD_TESTS=OFF -DSHOW_BUILD_BENCH=OFF >/dev/null
  start bash -c "while :; do cmake --build '$work/load' -j4 --clean-first >/dev/null 2>&1; done"
  sleep 20   # the build under way
fi

cd "$work/data"
one() {   # build label
  SDL_AUDIODRIVER=pulseaudio SDL_NO_SIGNAL_HANDLERS=1 timeout -s KILL $((seconds + 60)) \
    xvfb-run -a -s "-screen 0 1024x768x24" "$1/bin/audio_sync" showsink 2>>"$work/show.log" |
    sed "s|^|$2 |" | tee -a "$work/runs.txt" || true
}
for i in $(seq "$runs"); do
  one "$build" after
  [ -n "$other" ] && [ "$i" -le "$otherRuns" ] && one "$other" before
done

for label in after before; do
  grep "^$label holes" "$work/runs.txt" | cut -d' ' -f2- | awk -v what="$server, $load, $label" '
    { holes += $2; holems += $4; n++; bad += ($2 > 0)
      med[n] = $10; lo = (n == 1 || $12 < lo) ? $12 : lo; hi = (n == 1 || $14 > hi) ? $14 : hi
      q = (n == 1 || $16 < q) ? $16 : q; qm += $18; gap = ($20 > gap) ? $20 : gap; st += $22
      lmin = (n == 1 || $24 < lmin) ? $24 : lmin; lmax = ($25 > lmax) ? $25 : lmax; lmax = ($24 > lmax) ? $24 : lmax
      if ($27 >= 3) { c++; clicks += $27; clean[c] = $29 } }
    END { if (!n) exit
          for (a = 1; a <= n; a++) for (b = a + 1; b <= n; b++) if (med[b] < med[a]) { t = med[a]; med[a] = med[b]; med[b] = t }
          for (a = 1; a <= c; a++) for (b = a + 1; b <= c; b++) if (clean[b] < clean[a]) { t = clean[a]; clean[a] = clean[b]; clean[b] = t }
          if (c) printf "%s: offset before the first hole: %d runs, %d clicks, median of run medians %+.1f ms (%+.1f..%+.1f)\n", what, c, clicks, clean[int((c + 1) / 2)], clean[1], clean[c]
          printf "%s: %d runs, %d with holes, %d holes (%.1f ms), offset median of medians %+.1f ms (runs %+.1f..%+.1f), p5..p95 over all runs %+.1f..%+.1f ms, queued at a callback: mean median %.1f ms, least %.1f ms, longest callback gap %.1f ms, mean start %.1f ms, load %.1f..%.1f\n",
            what, n, bad, holes, holems, med[int((n + 1) / 2)], med[1], med[n], lo, hi, qm / n, q, gap, st / n, lmin, lmax }'
done
