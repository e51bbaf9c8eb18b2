#!/usr/bin/env bash
# Installs the Debian 12 packages the show needs, only those that are missing.
#   ./setup.sh          what building and playing the show needs
#   ./setup.sh --unit   that, plus what the quick loop needs (ctest -L unit: GoogleTest, the benchmarks'
#                       libraries for the measures it checks, and lame, which makes its test tracks)
#   ./setup.sh --test   that, plus what every test needs
#   ./setup.sh --capture  that, plus ffmpeg, which the capture tool encodes MP4 with, and GNU parallel, rsync
#                       and ssh, which run a capture's chunks on several cores or machines
#   ./setup.sh --package  that, plus what building the .deb and checking it in a clean chroot need
#   ./setup.sh --fuzz   that, plus clang and its sanitizer and libFuzzer runtimes (the SHOW_FUZZ build)
#   ./setup.sh --web    that, plus emscripten, chromium and what building the wasm libraries needs; adds a
#                       deb-src entry for bookworm, fetches those libraries' Debian sources into build-web/deps/src
#                       and installs tests/web's npm packages (--test does all of this too)
# As root it runs apt-get; otherwise it prints the exact apt-get line to run and stops.
set -euo pipefail

# Building and playing: the compilers, the show's libraries (SDL 1.2's GL header includes GLU's; libsndfile
# and libsamplerate for a listener's own track, TagLib for its tags, FreeType and the fonts for the posters
# made from them; libpulse for the sound server; sd-bus, in libsystemd, for what a media player announces
# while the show listens), the asset generator's (FreeType, LAME, the fonts), and Xvfb for playing where
# there is no display.
packages=(
  cmake g++ make pkg-config
  libsdl1.2-compat-dev libgl-dev libglu1-mesa-dev libpng-dev libmpg123-dev libsndfile1-dev libsamplerate0-dev libfftw3-dev libx11-dev libxcb1-dev libpulse-dev libsystemd-dev
  libtag1-dev
  xvfb xauth
  libfreetype-dev libmp3lame-dev fonts-dejavu-core fonts-dejavu-extra
)
# Drawing with no X server (the capture tool, the GL tests) goes through SDL's offscreen driver, which
# loads EGL at run time: no library dependency brings it in.
egl_packages=(libegl1 libegl-mesa0)
# The tests' and benchmarks' libraries, the programs the end-to-end tests and the window-manager sweep
# start, a sound server for the test that plays through one, a session bus and Python's D-Bus binding
# for the scripted media player, an ssh server for the test that runs a capture's chunks on "other
# machines" on the loopback address, and metaflac for tags ffmpeg cannot write (several values of one
# field).
capture_packages=(ffmpeg parallel rsync openssh-client "${egl_packages[@]}")
unit_packages=(libgtest-dev googletest libbenchmark-dev libebur128-dev lame)
test_packages=("${unit_packages[@]}" xdotool imagemagick openbox
  x11-utils pulseaudio pulseaudio-utils dbus python3-dbus python3-gi openssh-server flac "${capture_packages[@]}")
package_packages=(dpkg-dev debootstrap)
fuzz_packages=(clang libclang-rt-14-dev)
# nodejs brings npm with it when it comes from outside Debian (and then conflicts with Debian's npm).
web_packages=(emscripten nodejs chromium dpkg-dev autoconf automake libtool make patch sox lame python3)
command -v npm >/dev/null || web_packages+=(npm)

wanted=("${packages[@]}")
web=0
case "${1:-}" in
  --unit) wanted+=("${unit_packages[@]}") ;;
  --test) wanted+=("${test_packages[@]}" "${web_packages[@]}"); web=1 ;;
  --web) wanted+=("${web_packages[@]}"); web=1 ;;
  --capture) wanted+=("${capture_packages[@]}") ;;
  --package) wanted+=("${package_packages[@]}") ;;
  --fuzz) wanted+=("${fuzz_packages[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then missing+=("$p"); fi
done

# The wasm libraries build from Debian's source packages, which apt-get source finds only with a deb-src
# entry; it copies the URI and key of the bookworm deb entry, so it uses the same mirror.
deb_src_file=/etc/apt/sources.list.d/show-deb-src.sources
deb_src_missing() {
  ! apt-get indextargets --format '$(TARGET_OF) $(RELEASE)' | grep -qx 'deb-src bookworm'
}
deb_src_entry() {
  local uri entry file n key
  read -r uri entry < <(apt-get indextargets --format '$(TARGET_OF) $(RELEASE) $(REPO_URI) $(SOURCESENTRY)' |
    awk '$1 == "deb" && $2 == "bookworm" {print $3, $4; exit}')
  [ -n "$uri" ] || { echo "no deb entry for bookworm in apt's sources" >&2; return 1; }
  file=${entry%:*} n=${entry##*:}
  if [[ $file == *.sources ]]; then
    key=$(awk -v n="$n" 'BEGIN{RS=""} NR==n' "$file" | sed -n 's/^Signed-By:[[:space:]]*//Ip')
  else
    key=$(sed -n "${n}s/.*signed-by=\([^] ]*\).*/\1/p" "$file")
  fi
  printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\n' "$uri"
  [ -z "$key" ] || printf 'Signed-By: %s\n' "$key"
}
add_deb_src=0
[ $web -eq 1 ] && deb_src_missing && add_deb_src=1

if [ ${#missing[@]} -gt 0 ] || [ $add_deb_src -eq 1 ]; then
  install_line="apt-get install -y ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    if [ $add_deb_src -eq 1 ]; then
      echo "No deb-src entry for bookworm. Run as root:"
      echo "  cat > $deb_src_file <<'END'"
      deb_src_entry
      echo "END"
      [ ${#missing[@]} -gt 0 ] || echo "  apt-get update"
    fi
    [ ${#missing[@]} -eq 0 ] || { echo "Missing Debian packages. Run as root:"; echo "  apt-get update && $install_line"; }
    exit 1
  fi
  [ $add_deb_src -eq 0 ] || deb_src_entry >"$deb_src_file"
  apt-get update -q
  [ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive $install_line
fi

if [ $web -eq 1 ]; then
  # Fetched here, never at build time; the build (tools/web/build-deps.sh build-web/deps) runs offline.
  root=$(cd "$(dirname "$0")" && pwd)
  "$root/tools/web/build-deps.sh" --fetch "$root/build-web/deps"
  # puppeteer-core drives Debian's chromium and downloads no browser; the lock file pins what it brings.
  [ -d "$root/tests/web/node_modules/puppeteer-core" ] || (cd "$root/tests/web" && npm ci --no-audit --no-fund)
fi
