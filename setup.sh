#!/usr/bin/env bash
# Installs the Debian 12 packages the show needs, only those that are missing.
#   ./setup.sh          what building and playing the show needs
#   ./setup.sh --test   that, plus what the tests need
#   ./setup.sh --capture  that, plus ffmpeg, which the capture tool encodes MP4 with
#   ./setup.sh --package  that, plus what building the .deb and checking it in a clean chroot need
#   ./setup.sh --fuzz   that, plus clang and its sanitizer and libFuzzer runtimes (the SHOW_FUZZ build)
# As root it runs apt-get; otherwise it prints the exact apt-get line to run and stops.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libsdl1.2-compat-dev libgl-dev libpng-dev libmpg123-dev libfftw3-dev libx11-dev libxcb1-dev
  libgtest-dev googletest libbenchmark-dev
  xvfb xauth
  libfreetype-dev libmp3lame-dev fonts-dejavu-core fonts-dejavu-extra
)
test_packages=(xdotool lame imagemagick ffmpeg openbox x11-utils libebur128-dev)
capture_packages=(ffmpeg)
package_packages=(dpkg-dev debootstrap)
fuzz_packages=(clang libclang-rt-14-dev)

wanted=("${packages[@]}")
case "${1:-}" in
  --test) wanted+=("${test_packages[@]}") ;;
  --capture) wanted+=("${capture_packages[@]}") ;;
  --package) wanted+=("${package_packages[@]}") ;;
  --fuzz) wanted+=("${fuzz_packages[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then missing+=("$p"); fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

install_line="apt-get install -y ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages. Run as root:"
  echo "  apt-get update && $install_line"
  exit 1
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive $install_line
