#!/usr/bin/env bash
# A capture cut into chunks against the single run, on this machine: showcap alone, then
# tools/showcap/parallel-capture.sh on local jobs, then over ssh logins to this machine's own loopback
# addresses (an sshd of the bench's own, as root; stopped at the end). Each MP4 capture is timed from
# start to finish, with the load average before it (the cores are shared), and checked to hold the
# single run's number of frames. Then the chunks' lead-in: the squeezed run a chunk makes to reach its
# first frame, for the last chunk, and --plan's to the end.
# Usage: bench/capture/parallel_bench.sh [build-dir] [FROM TO]   (default: the whole show)
#   BENCH_JOBS="2"       local job counts (--parallel)
#   BENCH_SSH_JOBS="2 4" ssh logins, one job each (empty: none; needs root and openssh-server)
#   BENCH_CHUNKS=        --chunks for every run (default: parallel-capture.sh's, twice the jobs)
#   BENCH_SINGLE=first   the single run before the local ones, or after them, or none
#   BENCH_SIZE=1024x768  showcap's --size for every drawn run (the lead-ins draw nothing)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$(cd "${1:-build}" && pwd)
range=()
[ $# -lt 3 ] || range=(--from "$2" --to "$3")
size=${BENCH_SIZE:-1024x768}
showcap=$build/bin/showcap
capture=$root/tools/showcap/parallel-capture.sh
chunk_option=()
[ -z "${BENCH_CHUNKS:-}" ] || chunk_option=(--chunks "$BENCH_CHUNKS")
out=$(mktemp -d)
sshd_pid=
cleanup() {
  [ -z "$sshd_pid" ] || kill "$sshd_pid" 2>/dev/null || true
  rm -rf "$out"
}
trap cleanup EXIT

load() { cut -d' ' -f1-3 /proc/loadavg; }
# CPU seconds: the whole machine's busy time, and ours (this script's children once they have ended,
# and the sshd's, whose sessions run the chunks sent to "other machines"); the rest is the other
# developers' on the same cores.
machine_cpu() { awk '/^cpu / { print ($2 + $3 + $4 + $7 + $8 + $9) / 100 }' /proc/stat; }
# our_cpu VAR: sets VAR (times must run in this shell, not in a $( ) subshell, to see its children).
our_cpu() {
  local sshd=0
  [ -z "$sshd_pid" ] || sshd=$(awk '{ print ($16 + $17) / 100 }' "/proc/$sshd_pid/stat")
  times >"$out/times"
  printf -v "$1" '%s' "$(awk -v s="$sshd" 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); c += t[1] * 60 + t[2] } }
    END { print c + s }' "$out/times")"
}
frames_of() { ffprobe -v error -count_packets -select_streams v -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }
# time NAME COMMAND...: one line with the seconds, the speed against real time, the load before.
single_seconds=
timed() {
  local name=$1 before start end cpu0 ours0 cpu1 ours1
  shift
  before=$(load)
  cpu0=$(machine_cpu)
  our_cpu ours0
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$out/err" || { cat "$out/err" >&2; echo "$name: failed" >&2; exit 1; }
  end=$(date +%s.%N)
  cpu1=$(machine_cpu)
  our_cpu ours1
  local frames=
  [ ! -f "$out/show.mp4" ] || frames=$(frames_of "$out/show.mp4")
  awk -v n="$name" -v f="$frames" -v s="$start" -v e="$end" -v l="$before" -v base="$single_seconds" \
    -v all="$(awk -v a="$cpu0" -v b="$cpu1" 'BEGIN { print b - a }')" \
    -v ours="$(awk -v a="$ours0" -v b="$ours1" 'BEGIN { print b - a }')" -v cores="$(nproc)" 'BEGIN {
    t = e - s; line = sprintf("%-30s %7.1f s", n, t)
    if (f != "") line = line sprintf("  %6d frames  %5.2f x real time", f, (f / 60) / t)
    if (base != "" && f != "") line = line sprintf("  %4.2f x the single run", base / t)
    line = line sprintf("  CPU: ours %.0f s, others %.0f s (%.0f %% of the cores)", ours, all - ours,
                        100 * (all - ours) / (cores * t))
    print line "  load before: " l }'
  [ -n "$single_seconds" ] || [ "$name" != single ] || single_seconds=$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')
  [ ! -f "$out/show.mp4" ] || mv "$out/show.mp4" "$out/$name.mp4"
}

echo "== $(date -u '+%Y-%m-%d %H:%M') UTC, $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
echo "range: ${range[*]:-the whole show}; $size, 60 frames/s, MP4 (libx264 superfast + AAC)"
plan=$("$showcap" --data data "${range[@]}" --plan)
echo "$plan"

single() { timed single "$showcap" --quiet --data data --size "$size" "${range[@]}" -o "$out/show.mp4"; }
[ "${BENCH_SINGLE:-first}" != first ] || single
for j in ${BENCH_JOBS-2}; do
  timed "--parallel $j" "$capture" "$showcap" --quiet --data data --size "$size" "${range[@]}" "${chunk_option[@]}" --parallel "$j" \
    -o "$out/show.mp4"
done
[ "${BENCH_SINGLE:-first}" != after ] || single

if [ -n "${BENCH_SSH_JOBS-2 4}" ]; then
  [ "$(id -u)" -eq 0 ] && [ -x /usr/sbin/sshd ] || { echo "ssh runs need root and openssh-server"; exit 1; }
  ssh-keygen -q -N '' -t ed25519 -f "$out/host"
  ssh-keygen -q -N '' -t ed25519 -f "$out/client"
  cp "$out/client.pub" "$out/keys"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  most=0
  for j in ${BENCH_SSH_JOBS-2 4}; do [ "$j" -le "$most" ] || most=$j; done
  listen=()
  for i in $(seq "$most"); do listen+=(-o "ListenAddress=127.0.0.$i"); done
  mkdir -p /run/sshd
  /usr/sbin/sshd -D -p "$port" -h "$out/host" "${listen[@]}" -o "AuthorizedKeysFile=$out/keys" -o PidFile=none \
    -o StrictModes=no 2>"$out/sshd.log" &
  sshd_pid=$!
  sleep 1
  for j in ${BENCH_SSH_JOBS-2 4}; do
    for i in $(seq "$j"); do
      echo "1/ssh -p $port -i $out/client -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR root@127.0.0.$i"
    done >"$out/hosts"
    timed "ssh, $j logins" "$capture" "$showcap" --quiet --data data --size "$size" "${range[@]}" "${chunk_option[@]}" \
      --hosts "$out/hosts" --remote-showcap "$showcap --data $root/data" -o "$out/show.mp4"
  done
fi

# The lead-in: a chunk reaches its first frame by the squeezed run of everything before it.
read -r _ first last <<<"$plan"
for c in ${BENCH_LEAD_CHUNKS:-4 8}; do
  start=$((first + (last - first + 1) * (c - 1) / c))
  timed "lead-in, chunk $c/$c (frame $start)" "$showcap" --quiet --data data --format none --to "$(awk -v f="$start" 'BEGIN { printf "%.6f", (f - 1) / 60 }')"
done
timed "--plan (to the end, squeezed)" "$showcap" --quiet --data data --plan
