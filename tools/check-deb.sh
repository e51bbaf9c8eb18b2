#!/usr/bin/env bash
# Checks the Debian package on a clean Debian 12: builds show_*.deb, makes a fresh bookworm chroot with
# debootstrap, lets apt install the package with its dependencies there, then plays the whole show on
# Xvfb and captures 5 s with showcap, both from a directory other than the data folder.
# Needs root and Debian's package mirror (debootstrap's default); takes about 10 minutes, 190 s of
# it the show. Not a test: run by hand.
#   tools/check-deb.sh
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-deb.sh: needs root (debootstrap, chroot)" >&2; exit 1; }
./setup.sh --package
step() { printf '\n=== %s\n' "$*"; }

step "Package, from build-deb/ (no tests, no benchmarks)"
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHOW_BUILD_TESTS=OFF -DSHOW_BUILD_BENCH=OFF >/dev/null
cmake --build build-deb -j"$(nproc)" >/dev/null
rm -f build-deb/show_*.deb
(cd build-deb && cpack -G DEB | grep -v '^CPack: - Install')
deb=$(echo build-deb/show_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends Installed-Size
dpkg-deb --contents "$deb" | awk '{print $6}'

root=$(mktemp -d /var/tmp/show-chroot.XXXXXX)
cleanup() {
  umount -R "$root/dev" 2>/dev/null || true
  umount "$root/proc" 2>/dev/null || true
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

step "Clean Debian 12 (debootstrap --variant=minbase bookworm) in $root"
debootstrap --variant=minbase bookworm "$root" >"$root.debootstrap.log" 2>&1 ||
  { tail -20 "$root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"
cat "$root/etc/debian_version"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
cp "$deb" "$root/root/"
in_chroot() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive /bin/bash -euo pipefail -c "$1"
}

step "apt install ./$(basename "$deb")"
in_chroot 'apt-get update -q >/dev/null
  cd /root && before=$(dpkg-query -W | wc -l)
  apt install -y -q ./show_*.deb 2>&1 | grep -E "^(The following NEW|Setting up show|[0-9]+ upgraded)" || true
  echo "packages: $before before, $(dpkg-query -W | wc -l) after"
  dpkg-query -W -f="\${Package} \${Version} \${Status}\n" show
  command -v show showcap'

step "xvfb and xauth, to have a display"
in_chroot 'apt-get install -y -q xvfb xauth 2>&1 | grep -E "^[0-9]+ upgraded" || true'

step "show, from /tmp/elsewhere, on Xvfb with SDL's dummy sound driver"
in_chroot 'mkdir -p /tmp/elsewhere && cd /tmp/elsewhere && pwd
  start=$(date +%s%N)
  status=0
  out=$(xvfb-run -a -s "-screen 0 1024x768x24" env SDL_AUDIODRIVER=dummy show 2>&1) || status=$?
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  printf "exit status %d after %d.%03d s; output: \"%s\"\n" "$status" $((ms / 1000)) $((ms % 1000)) "$out"
  # The track is 186 s and the closing image 2.1 s: a quiet exit any sooner is not the whole show.
  [ "$status" -eq 0 ] && [ -z "$out" ] && [ "$ms" -ge 188000 ]'

step "showcap -o x.mp4 --to 5, from /tmp/elsewhere"
in_chroot 'cd /tmp/elsewhere && showcap -o x.mp4 --to 5 2>&1 | tr "\r" "\n" | tail -2
  ls -l x.mp4
  ffprobe -v error -show_entries stream=codec_name,width,height,avg_frame_rate:format=duration -of compact x.mp4'

step "check passed"
