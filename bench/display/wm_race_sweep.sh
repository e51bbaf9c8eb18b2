#!/usr/bin/env bash
# The show and openbox started together, as a kiosk session's start-up script does, with the show
# started from 500 ms before to 500 ms after openbox. Each trial has a private Xvfb (1024x768 and
# 1920x1080 in turn), times how long after the later start the window is full screen, sends one Escape
# 4 s after both have started, and counts:
#   hang        the show's music never started: it is stuck before its first frame
#   not full    the window is not full screen under openbox, covering the screen, when Escape is sent
#   lost Escape the show was playing but still ran 5 s after the Escape
# Usage: wm_race_sweep.sh BUILD_DIR [trials]   (SHOW_BIN=path measures another build of the show)
set -uo pipefail
build=$(cd "$1" && pwd)
trials=${2:-50}
show=${SHOW_BIN:-$build/bin/show}
here=$(cd "$(dirname "$0")/../.." && pwd)
for tool in Xvfb openbox xdotool xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "needs $tool (./setup.sh --test)"; exit 1; }
done
work=$(mktemp -d)
cleanup() {
    for pid in ${showPid:-} ${obPid:-} ${xPid:-}; do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
cp "$here"/data/*.png "$here"/data/bass_300808.mp3 "$work"/

now() { date +%s.%N; }
musicPlays() { grep -qx musicdecode /proc/"$1"/task/*/comm 2>/dev/null; }

# Full screen as openbox has it: managed, _NET_WM_STATE_FULLSCREEN, viewable at +0+0 at the screen's size.
fullScreen() {
    local window=$1 width=$2 height=$3 info
    xprop -id "$window" WM_STATE 2>/dev/null | grep -q "window state" || return 1
    xprop -id "$window" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_FULLSCREEN || return 1
    info=$(xwininfo -id "$window" 2>/dev/null) || return 1
    grep -q "Map State: IsViewable" <<<"$info" &&
        grep -q "Absolute upper-left X:  0$" <<<"$info" && grep -q "Absolute upper-left Y:  0$" <<<"$info" &&
        grep -q "Width: $width$" <<<"$info" && grep -q "Height: $height$" <<<"$info"
}

hangs=0 lost=0 notFull=0 failedStatus=0
printf '%-6s %-10s %-8s %-6s %s\n' trial screen "offset" "full s" result
for ((i = 0; i < trials; i++)); do
    # Evenly from -500 to +500 ms; negative: the show starts first.
    offset=$(( trials > 1 ? -500 + i * 1000 / (trials - 1) : 0 ))
    if ((i % 2 == 0)); then width=1024 height=768; else width=1920 height=1080; fi

    # The server picks a free display and writes its number once it is ready.
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
    xPid=$!
    for ((wait = 0; wait < 200; wait++)); do grep -q . "$work/display" && break; sleep 0.1; done
    number=$(head -1 "$work/display")
    [ -n "$number" ] || { echo "Xvfb did not start"; exit 1; }
    export DISPLAY=":$number"
    mkdir -p "$work/ob"

    startShow() {
        (cd "$work" && SDL_AUDIODRIVER=dummy SDL_NO_SIGNAL_HANDLERS=1 exec "$show") >/dev/null 2>&1 &
        showPid=$!
    }
    startOpenbox() {
        XDG_CONFIG_HOME="$work/ob" XDG_CACHE_HOME="$work/ob" openbox --sm-disable >/dev/null 2>&1 &
        obPid=$!
    }
    delay=$(printf '%d.%03d' $(( ${offset#-} / 1000 )) $(( ${offset#-} % 1000 )))
    if ((offset < 0)); then startShow; sleep "$delay"; startOpenbox
    else startOpenbox; sleep "$delay"; startShow; fi
    # Seconds from the later start until the window is full screen, polled; the state at 4 s counts.
    started=$(now) took=-
    while (( $(echo "$(now) - $started < 4" | bc) )); do
        window=$(xdotool search --pid "$showPid" 2>/dev/null | head -1)
        if [ "$took" = - ] && [ -n "$window" ] && fullScreen "$window" "$width" "$height"; then
            took=$(echo "$(now) - $started" | bc); took=$(printf '%.2f' "$took")
        fi
        sleep 0.1
    done

    window=$(xdotool search --pid "$showPid" 2>/dev/null | head -1)
    result=ok
    if ! musicPlays "$showPid"; then
        result=hang; ((hangs++))
    elif [ -z "$window" ] || ! fullScreen "$window" "$width" "$height"; then
        result="not-full"; ((notFull++))
    fi
    xdotool key --delay 0 Escape
    deadline=$(echo "$(now) + 5" | bc)
    while kill -0 "$showPid" 2>/dev/null && (( $(echo "$(now) < $deadline" | bc) )); do sleep 0.1; done
    if kill -0 "$showPid" 2>/dev/null; then
        if [ "$result" != hang ]; then result="$result,lost-escape"; ((lost++)); fi
        kill -9 "$showPid"; wait "$showPid" 2>/dev/null
    else
        wait "$showPid"; status=$?
        if ((status != 0)); then result="$result,status-$status"; ((failedStatus++)); fi
    fi
    kill -9 "$obPid" 2>/dev/null; wait "$obPid" 2>/dev/null
    kill "$xPid"; wait "$xPid" 2>/dev/null
    showPid= obPid= xPid=
    printf '%-6s %-10s %+5d ms  %-6s %s\n' "$i" "${width}x${height}" "$offset" "$took" "$result"
    [ "$took" != - ] && echo "$took" >>"$work/took"
done
echo "trials $trials: hangs $hangs, lost Escapes $lost, not full screen $notFull, other exit status $failedStatus"
if [ -s "$work/took" ]; then
    sort -n "$work/took" | awk '{ t[NR] = $1 } END { printf "full screen after the later start, s: median %.2f, 90th %.2f, max %.2f (%d trials)\n", t[int((NR + 1) / 2)], t[int(NR * 0.9 + 0.999)], t[NR], NR }'
fi
