#!/usr/bin/env bash
# Proves the README's commands on a clean Debian 12: a fresh debootstrap chroot of bookworm (minbase,
# with only git and ca-certificates added), a clone of the current commit, then exactly ./play.sh (no
# display there, so the whole show plays on its Xvfb fallback), ./capture.sh --to 5 and ./test.sh.
# Needs root and Debian's package mirror. Each command's exit status and time is printed; the log of
# a failing one is kept where the summary says. Exit status: 0 all passed, 1 something failed,
# 3 the package mirror cannot be reached at all (nothing was tried).
#   tools/check-fresh.sh
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-fresh.sh: needs root (debootstrap, chroot)" >&2; exit 1; }
mirror=http://deb.debian.org/debian
step() { printf '\n=== %s\n' "$*"; }

# Told apart from every other failure, so CI can fall back when there is no mirror rather than fail.
probe=$(mktemp)
if ! timeout 60 /usr/lib/apt/apt-helper download-file "$mirror/dists/bookworm/Release" "$probe" >/dev/null 2>&1; then
  rm -f "$probe"
  echo "check-fresh.sh: the Debian package mirror ($mirror) cannot be reached; no fresh-system check was made"
  exit 3
fi
rm -f "$probe"
command -v debootstrap >/dev/null || ./setup.sh --package

commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "check-fresh.sh: the work tree has uncommitted changes; checking the commit $commit without them"

root=$(mktemp -d /var/tmp/show-fresh.XXXXXX)
chmod 755 "$root"  # apt downloads as the _apt user, who must reach the chroot's cache
logs=$(mktemp -d /var/tmp/show-fresh-logs.XXXXXX)
cleanup() {
  # Anything the commands left running inside (an Xvfb, a stray show) would keep the mounts busy.
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  for m in dev sys proc; do umount -R "$root/$m" 2>/dev/null || true; done
  if grep -q " $root/" /proc/mounts; then
    echo "check-fresh.sh: still mounted under $root; left it there" >&2
  else
    rm -rf --one-file-system "$root"
  fi
  rmdir "$logs" 2>/dev/null || true
}
trap cleanup EXIT

step "Clean Debian 12 (debootstrap --variant=minbase bookworm) in $root"
start=$SECONDS
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$logs/debootstrap.log" 2>&1 ||
  { tail -20 "$logs/debootstrap.log"; echo "debootstrap failed; log: $logs/debootstrap.log"; exit 1; }
rm -f "$logs/debootstrap.log"
# The chroot reaches the network as this machine does: its resolver, and the certificate authorities
# added here locally (an egress proxy's, say), which TLS clients such as npm then need to trust.
cp /etc/resolv.conf "$root/etc/resolv.conf"
local_cas=(/usr/local/share/ca-certificates/*.crt)
[ -e "${local_cas[0]}" ] || local_cas=()
mount -t proc proc "$root/proc"
for m in dev sys; do mount --rbind "/$m" "$root/$m" && mount --make-rslave "$root/$m"; done
ca_env=()
[ ${#local_cas[@]} -eq 0 ] || ca_env=(NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt)
in_chroot() {
  chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 TERM=dumb "${ca_env[@]}" /bin/bash -eo pipefail -c "$1"
}
in_chroot 'apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends git ca-certificates >/dev/null 2>&1'
if [ ${#local_cas[@]} -gt 0 ]; then
  cp "${local_cas[@]}" "$root/usr/local/share/ca-certificates/"
  in_chroot 'update-ca-certificates >/dev/null 2>&1'
  echo "trusts this machine's local certificate authorities: ${local_cas[*]##*/}"
fi
echo "Debian $(cat "$root/etc/debian_version"), $(in_chroot 'dpkg-query -W | wc -l') packages, in $((SECONDS - start)) s"

step "A clone of $commit"
git clone -q --no-local "$PWD" "$root/root/show"
git -C "$root/root/show" checkout -q "$commit"

# run NAME COMMAND: runs COMMAND in the clone, each output line stamped with the second it came, and
# its end stamped too, so the show's own running time can be told from the set-up before it.
declare -A status took
run() {
  local start=$SECONDS rc=0
  step "$2"
  in_chroot "cd /root/show && $2" </dev/null 2>&1 |
    while IFS= read -r line; do printf '%(%s)T %s\n' -1 "$line"; done >"$logs/$1.log" || rc=$?
  printf '%(%s)T exit status %d\n' -1 "$rc" >>"$logs/$1.log"
  status[$1]=$rc
  took[$1]=$((SECONDS - start))
  report "$1"
}
report() { printf 'exit status %d after %d min %02d s\n' "${status[$1]}" $((took[$1] / 60)) $((took[$1] % 60)); }
failed=0
fail() { echo "FAILED: $*"; failed=1; }

run play ./play.sh
# The track is 186 s and the closing image 2.1 s: a quiet exit any sooner is not the whole show.
shown=$(awk '/No display: playing/ { from = $1 } END { if (from) print $1 - from; else print -1 }' "$logs/play.log")
echo "the show itself ran ${shown} s on the virtual display"
[ "${status[play]}" -eq 0 ] && [ "$shown" -ge 188 ] || fail "./play.sh did not play the whole show"

run capture './capture.sh --to 5'
probe=$(in_chroot 'cd /root/show && ffprobe -v error -show_entries stream=codec_name,width,height:format=duration -of compact show.mp4' 2>&1) || true
echo "$probe"
[ "${status[capture]}" -eq 0 ] && grep -q 'codec_name=h264|width=1024|height=768' <<<"$probe" &&
  grep -q 'codec_name=aac' <<<"$probe" || fail "./capture.sh --to 5 did not write a playable MP4"

run test ./test.sh
grep -E 'tests passed|tests failed' "$logs/test.log" | cut -d' ' -f2- || true
# A test that skips itself (a missing tool) passes in CTest's count: say so, rather than hide it.
skipped=$(grep -c -- '\*\*\*Skipped' "$logs/test.log" || true)
[ "$skipped" -eq 0 ] || fail "./test.sh skipped $skipped tests: $(grep -- '\*\*\*Skipped' "$logs/test.log" | awk '{print $5}' | tr '\n' ' ')"
[ "${status[test]}" -eq 0 ] || fail "./test.sh"

step "Summary"
for name in play capture test; do printf '%-8s ' "$name"; report "$name"; done
if [ "$failed" -ne 0 ]; then
  for name in play capture test; do
    [ "${status[$name]}" -eq 0 ] && rm -f "$logs/$name.log" && continue
    echo; echo "--- last lines of $logs/$name.log"; tail -40 "$logs/$name.log" | cut -d' ' -f2-
  done
  echo "check-fresh.sh: FAILED; the logs of the failing commands are kept in $logs"
  exit 1
fi
echo "check-fresh.sh: all passed"
# CTest's own closing lines come last, so whoever reads this log sees what the suite ran.
grep -E 'tests passed|Total Test time' "$logs/test.log" | cut -d' ' -f2-
rm -f "$logs"/*.log
