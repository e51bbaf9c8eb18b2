#!/usr/bin/env bash
# One showcap capture cut into chunks that GNU parallel renders on several local jobs or on other
# machines over ssh, then joined into the one file the same capture without chunks would have written.
#   tools/showcap/parallel-capture.sh SHOWCAP (--parallel N | --hosts FILE) [own options] [showcap options]
# Own options:
#   --parallel N           N jobs on this machine
#   --hosts FILE           on the machines FILE lists, in GNU parallel's --sshloginfile format
#                          ("[N/]login" a line; ":" is this machine), each with the show installed
#   --remote-showcap CMD   how a host starts showcap (default: showcap, the installed one); it may carry
#                          options of its own, e.g. "/opt/show/build/bin/showcap --data /opt/show/data"
#   --chunks C             how many chunks (default: twice the job slots)
#   --retries R            tries of a chunk before the capture fails (default: 3 with hosts, 1 here)
# Every other option goes to showcap as given. The range is planned once here (showcap --plan); the
# hosts are checked before any work goes to them: each must print the same `showcap --version`
# (version, source commit, a digest of the track and images, GL renderer) as this machine, and have
# the tools it needs. The chunks' segments come back here, are joined, and only then is the output
# written; --hashes and --events are the chunks' lists one after another, and the contact sheet is
# made here in a run of its own, beside the chunks.
set -euo pipefail
me=${0##*/}
die() { echo "$me: $*" >&2; exit 1; }
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
  sed -n '2,/^set -euo/{/^set -euo/d; s/^# \{0,1\}//; p}' "$0"
  exit 0
fi
[ $# -ge 1 ] || die "usage: $me SHOWCAP (--parallel N | --hosts FILE) [options]"
showcap=$1
shift

jobs= hosts= remote=showcap chunks= retries=
output= format=auto hashes= events= sheet= quiet=0 track=
data=() pass=() sheet_options=()
while [ $# -gt 0 ]; do
  opt=$1
  case $opt in
    -q | --quiet) quiet=1; shift; continue ;;
    --chunk | --last-frame | --plan | --join | --version) die "$opt is for showcap run on its own" ;;
  esac
  case $opt in
    --parallel | --hosts | --remote-showcap | --chunks | --retries | -o | --output | -f | --format | --hashes | \
      --events | --contact-sheet | --sheet-every | -d | --data | -t | --track | --title | --artist)
      [ $# -ge 2 ] || die "option $opt needs a value"
      value=$2
      shift 2
      ;;
    *) pass+=("$opt"); shift; continue ;;
  esac
  case $opt in
    --parallel) jobs=$value ;;
    --hosts) hosts=$value ;;
    --remote-showcap) remote=$value ;;
    --chunks) chunks=$value ;;
    --retries) retries=$value ;;
    -o | --output) output=$value ;;
    -f | --format) format=$value; pass+=("$opt" "$value") ;;
    --hashes) hashes=$value ;;
    --events) events=$value ;;
    --contact-sheet) sheet=$value ;;
    --sheet-every) sheet_options=("$opt" "$value") ;;
    -d | --data) data=("$opt" "$value") ;;
    -t | --track) track=$value ;;
    --title | --artist) pass+=("$opt" "$value") ;;
  esac
done
whole() { [[ $1 =~ ^[1-9][0-9]*$ ]]; }
{ [ -n "$jobs" ] && [ -z "$hosts" ]; } || { [ -z "$jobs" ] && [ -n "$hosts" ]; } ||
  die "give either --parallel N or --hosts FILE"
[ -z "$jobs" ] || whole "$jobs" || die "--parallel wants a number of jobs, not '$jobs'"
[ -z "$chunks" ] || whole "$chunks" || die "--chunks wants a number of chunks, not '$chunks'"
[ -z "$retries" ] || whole "$retries" || die "--retries wants a number of tries, not '$retries'"
command -v parallel >/dev/null || die "GNU parallel is not installed (apt-get install parallel)"
if [ "$format" = auto ]; then
  if command -v ffmpeg >/dev/null; then format=mp4; else format=png; fi
fi
case $format in
  mp4) ext=.mp4; [ -n "$output" ] || output=show.mp4 ;;
  png) ext=; [ -n "$output" ] || output=show-frames ;;
  none) ext=; [ -n "$hashes$events$sheet" ] || die "--format none writes nothing without --hashes, --events or --contact-sheet" ;;
  *) die "--format wants auto, mp4, png or none, not '$format'" ;;
esac

# The chunks are gathered beside the output, so the finished file is only moved into place.
place=$(dirname "${output:-.}")
work=$(mktemp -d "$place/.capture-chunks.XXXXXX")
work=$(cd "$work" && pwd)
sheet_pid= progress_pid=
cleanup() {
  [ -z "$progress_pid" ] || kill "$progress_pid" 2>/dev/null || true
  [ -z "$sheet_pid" ] || kill "$sheet_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
quoted() { [ $# -eq 0 ] || printf '%q ' "$@"; }

# A listener's track: here by its own name; on a host, a copy that parallel sends with each chunk into
# the directory the chunk runs in (the command is the same on every host, so the name is fixed).
local_track=() remote_track=() send_track=()
if [ -n "$track" ]; then
  [ -r "$track" ] || die "can't read the track $track"
  local_track=(--track "$track")
  name=${track##*/}
  case $name in
    *.*) sent=track.${name##*.} ;;
    *) sent=track ;;
  esac
  cp "$track" "$work/$sent"
  # The copy's name is not the track's: an untagged title still comes from the track's.
  remote_track=(--track "$sent" --track-name "$name")
  send_track=(--transferfile "$sent")
fi
pass_here=("${pass[@]}" "${local_track[@]}")

plan=$("$showcap" "${data[@]}" "${pass_here[@]}" --plan) || die "showcap could not plan the capture"
read -r _ first last <<<"$plan"
frames=$((last - first + 1))

# Job slots: --parallel's, or each host line's N/ (two for a host that gives none: parallel then asks
# it for its cores).
logins=()
if [ -n "$hosts" ]; then
  [ -r "$hosts" ] || die "can't read $hosts"
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line%%#*}
    line=$(sed 's/^[[:space:]]*//; s/[[:space:]]*$//' <<<"$line")
    [ -z "$line" ] || logins+=("$line")
  done <"$hosts"
  [ ${#logins[@]} -gt 0 ] || die "$hosts lists no host"
fi

# A host is sent work only if it draws what this machine draws: the same --version lines (the same
# options go with it, so whatever they add to the digest counts), and the tools a chunk needs there.
good_hosts=$work/hosts
slots=0
if [ -n "$hosts" ]; then
  want=$("$showcap" "${data[@]}" "${pass[@]}" --version) || die "showcap --version failed here"
  needs=rsync
  [ "$format" != mp4 ] || needs+=" ffmpeg"
  check="$remote $(quoted "${pass[@]}") --version; for t in $needs; do command -v \$t >/dev/null || echo \"missing \$t\"; done"
  for i in "${!logins[@]}"; do
    printf '%s\n' "${logins[$i]}" >"$work/login-$i"
    parallel --nonall --sshloginfile "$work/login-$i" --timeout 120 "$check" >"$work/check-$i" 2>&1 &
  done
  wait
  : >"$good_hosts"
  for i in "${!logins[@]}"; do
    login=${logins[$i]}
    got=$(cat "$work/check-$i")
    if [ "$got" = "$want" ]; then
      printf '%s\n' "$login" >>"$good_hosts"
      n=2
      [[ $login =~ ^([0-9]+)/ ]] && n=${BASH_REMATCH[1]}
      slots=$((slots + n))
      continue
    fi
    why=$(diff <(printf '%s\n' "$want") <(printf '%s\n' "$got") | sed -n 's/^> //p' | head -1 || true)
    [ -n "$why" ] || why="it answered nothing"
    echo "$me: host $login left out: $why" >&2
  done
  [ "$slots" -gt 0 ] || die "no host listed in $hosts can take chunks; nothing written to $output"
  [ -n "$retries" ] || retries=3
else
  slots=$jobs
  [ -n "$retries" ] || retries=1
fi
[ -n "$chunks" ] || chunks=$((2 * slots))
[ "$chunks" -le "$frames" ] || chunks=$frames

# The contact sheet spans the whole range: one run of its own here, drawing only the sheet's frames.
if [ -n "$sheet" ]; then
  "$showcap" "${data[@]}" "${pass_here[@]}" "${sheet_options[@]}" --quiet --format none --contact-sheet "$work/sheet.png" &
  sheet_pid=$!
fi

# Each chunk is told the planned end, so none simulates the whole show to find it; the last one
# checks it. On a host the chunk runs in a directory of parallel's own and its files come back here.
# Here the chunks write into the work directory by its full name; on a host, into the directory
# parallel makes there, from which --return brings them into the work directory (parallel runs in it).
chunk_files=()
[ "$format" = none ] || chunk_files+=("chunk-{}$ext")
[ -z "$hashes" ] || chunk_files+=("hashes-{}.txt")
[ -z "$events" ] || chunk_files+=("events-{}.jsonl")
in_work() { if [ -n "$hosts" ]; then printf '%s' "$1"; else printf '%q/%s' "$work" "$1"; fi; }
chunk_options="--quiet --last-frame $last --chunk {}/$chunks"
[ "$format" = none ] || chunk_options+=" -o $(in_work "chunk-{}$ext")"
[ -z "$hashes" ] || chunk_options+=" --hashes $(in_work "hashes-{}.txt")"
[ -z "$events" ] || chunk_options+=" --events $(in_work "events-{}.jsonl")"
run=(parallel --retries "$retries" --halt now,fail=1 --tagstring "chunk {}/$chunks:")
if [ -n "$hosts" ]; then
  run+=(--sshloginfile "$good_hosts" --workdir ... --cleanup "${send_track[@]}")
  for f in "${chunk_files[@]}"; do run+=(--return "$f"); done
  command="$remote $(quoted "${pass[@]}" "${remote_track[@]}") $chunk_options"
else
  run+=(--jobs "$jobs")
  command="$(quoted "$showcap" "${data[@]}" "${pass_here[@]}") $chunk_options"
fi

# The joblogs name each try's chunk in its command ("--chunk K/C"); a chunk is done when a try of it
# exited 0 by itself.
tries() {
  local logs=("$work"/jobs-*.log)
  [ -e "${logs[0]}" ] || return 0
  awk -F'\t' '$1 != "Seq" && match($9, /--chunk [0-9]+\//) {
    print substr($9, RSTART + 8, RLENGTH - 9) "\t" $7 "\t" $8 "\t" $2 }' "${logs[@]}"
}
chunks_done() { tries | awk -F'\t' '$2 == 0 && $3 == 0 && !done[$1]++ { n++ } END { print n + 0 }'; }
times() { if [ "$1" -eq 1 ]; then echo once; else echo "$1 times"; fi; }
frames_of() { echo "frames $((first + frames * ($1 - 1) / chunks))-$((first + frames * $1 / chunks - 1))"; }
# On a terminal one line, rewritten every second; in a log a line each time a chunk is done.
show_progress() {
  local shown=-1 done s start=$SECONDS cr= nl=$'\n'
  [ -t 2 ] && cr=$'\r' nl=
  while :; do
    done=$(chunks_done)
    if [ -n "$cr" ] || [ "$done" != "$shown" ]; then
      s=$((SECONDS - start))
      printf '%schunks done %d/%d  (frames %d-%d, %d:%02d)%s' "$cr" "$done" "$chunks" "$first" "$last" \
        $((s / 60)) $((s % 60)) "$nl" >&2
      shown=$done
    fi
    sleep 1
  done
}
stop_progress() {
  [ -n "$progress_pid" ] || return 0
  kill "$progress_pid" 2>/dev/null || true
  wait "$progress_pid" 2>/dev/null || true
  progress_pid=
  if [ -t 2 ]; then printf '\r\033[K' >&2; fi
}
[ "$quiet" -eq 1 ] || { show_progress & progress_pid=$!; }

# parallel retries a chunk whose try fails, on another host if there is one. A host lost while a chunk
# ran can still leave that try's exit status 0 with nothing brought back (seen with GNU parallel
# 20221122 when the host's sshd went away): such chunks go round again, as many rounds as tries.
started=$SECONDS
todo=$(seq "$chunks")
round=1
while :; do
  status=0
  if [ -n "$hosts" ]; then
    (cd "$work" && "${run[@]}" --joblog "$work/jobs-$round.log" "$command" ::: $todo) || status=$?
  else
    "${run[@]}" --joblog "$work/jobs-$round.log" "$command" ::: $todo || status=$?
  fi
  if [ "$status" -ne 0 ]; then
    # The chunk that failed for good, not those the halt stopped: its last try ended by itself, non-zero.
    failed=$(tries | awk -F'\t' '{ code[$1] = $2; signal[$1] = $3; host[$1] = $4 }
      END { for (k in code) if (code[k] != 0 && signal[k] == 0) { print k "\t" host[k] "\t" code[k]; exit } }')
    stop_progress
    if [ -n "$failed" ]; then
      IFS=$'\t' read -r k host code <<<"$failed"
      [ "$host" != : ] || host="this machine"
      die "chunk $k/$chunks ($(frames_of "$k")) failed for good on $host (exit status $code, tried $(times "$retries")); nothing written to $output"
    fi
    die "the chunks did not all finish (parallel exit status $status); nothing written to $output"
  fi
  missing=
  for k in $todo; do
    for f in "${chunk_files[@]}"; do
      [ -e "$work/${f//\{\}/$k}" ] || { missing+=" $k"; break; }
    done
  done
  [ -n "$missing" ] || break
  if [ "$round" -ge "$retries" ]; then
    k=${missing# }
    k=${k%% *}
    die "chunk $k/$chunks ($(frames_of "$k")) never came back from its host (tried $(times "$round")); nothing written to $output"
  fi
  echo "$me: chunks$missing came back without their files (a host lost on the way?); sending them again" >&2
  todo=$missing
  round=$((round + 1))
done
stop_progress
if [ -n "$sheet_pid" ]; then
  wait "$sheet_pid" || { sheet_pid=; die "the contact sheet failed; nothing written to $output"; }
  sheet_pid=
fi

rendered=$((SECONDS - started))
if [ "$format" != none ]; then
  mkdir "$work/segments"
  for k in $(seq "$chunks"); do mv "$work/chunk-$k$ext" "$work/segments/"; done
  "$showcap" "${data[@]}" "${local_track[@]}" --quiet --join "$work/segments" -o "$output" ||
    die "the join failed; nothing written to $output"
fi
# The lists are each chunk's in order: together the whole run's.
concatenate() {
  local out=$1 pattern=$2 k
  for k in $(seq "$chunks"); do cat "$work/${pattern//\{\}/$k}"; done >"$work/list"
  mv "$work/list" "$out"
}
[ -z "$hashes" ] || concatenate "$hashes" "hashes-{}.txt"
[ -z "$events" ] || concatenate "$events" "events-{}.jsonl"
[ -z "$sheet" ] || mv "$work/sheet.png" "$sheet"
[ "$quiet" -eq 1 ] || echo "$me: $chunks chunks, frames $first-$last, rendered in $rendered s on $([ -n "$hosts" ] &&
  echo "$(wc -l <"$good_hosts") hosts" || echo "$jobs jobs"), joined in $((SECONDS - started - rendered)) s; wrote ${output:-the lists}" >&2
