#!/usr/bin/env bash
# Builds the libraries the show links (zlib, libpng, libmpg123, FFTW float, FreeType, TagLib) for wasm with
# Debian's emscripten, from Debian's own source packages, into PREFIX/include and PREFIX/lib (static, with
# .pc files). TagLib, as Debian builds it, takes utf8-cpp's headers from libutfcpp-dev; utfcpp's source
# package is not on the mirror, so the headers come from that binary package (checked against a pinned
# digest), which holds nothing but them.
#
#   tools/web/build-deps.sh --fetch PREFIX   download the source packages into PREFIX/src (setup.sh does this)
#   tools/web/build-deps.sh PREFIX           build offline from PREFIX/src; libraries already built are skipped
#
# Emscripten's ports (-sUSE_ZLIB, -sUSE_LIBPNG, ...) download from outside at build time, so they are never
# used; the build step here never downloads either: a missing source is an error that names the fetch.
#
# Using the result from CMake (what tools/web/deps.cmake sets up):
#   emcmake cmake -S . -B build-web -DSHOW_WEB_DEPS=PREFIX -DCMAKE_PROJECT_INCLUDE=$PWD/tools/web/deps.cmake
# or include(tools/web/deps.cmake) from the web branch of the project's CMake. find_package(PNG) and
# pkg_check_modules(libmpg123 / fftw3f) then find these. Links at -O1 and above need NODE_PATH=/usr/share/nodejs.
#
# Environment: JOBS (default 2: the machine is shared).
set -euo pipefail

fetch=0
if [ "${1:-}" = --fetch ]; then fetch=1; shift; fi
[ $# -eq 1 ] || { echo "usage: $0 [--fetch] PREFIX" >&2; exit 2; }
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
src=$prefix/src
jobs=${JOBS:-2}

# Exact versions: bookworm-security's zlib and libpng sources are not on the mirror (404), bookworm's are.
sources=(zlib=1:1.2.13.dfsg-1 libpng1.6=1.6.39-2+deb12u5 mpg123=1.31.2-1+deb12u1 fftw3=3.3.10-1
  freetype=2.12.1+dfsg-5+deb12u4 taglib=1.13-2+deb12u1)
utfcpp_deb=libutfcpp-dev_3.2.3-1_amd64.deb
utfcpp_sha256=4efe072571dfce7855f9aacce168ce4886f5af192a7294ca258b1ebf7ac4e71f

if [ $fetch -eq 1 ]; then
  mkdir -p "$src"
  cd "$src"
  for s in "${sources[@]}"; do
    name=${s%%=*} version=${s#*=}
    dsc=${name}_${version#*:}.dsc
    if [ -f "$dsc" ]; then continue; fi
    # mpg123's upstream signature (.asc) is listed in its .dsc but missing on the mirror, which makes
    # apt-get fail after fetching everything else; unpack() checks every file it needs against the .dsc.
    apt-get source --download-only -q "$s" || echo "apt-get source $s failed; checking what arrived"
    [ -f "$dsc" ] || { echo "no $dsc after apt-get source $s" >&2; exit 1; }
  done
  [ -f "$utfcpp_deb" ] || apt-get download -q "libutfcpp-dev:amd64=3.2.3-1" ||
    { echo "apt-get download libutfcpp-dev failed" >&2; exit 1; }
  exit 0
fi

export NODE_PATH=/usr/share/nodejs
export EM_PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# -Werror=implicit-function-declaration is emcc's default; keeping it catches a wrong configure guess
# (a missing header) instead of linking to nothing. -O2: the show's spectrum runs every frame.
cflags="-O2"
# The libraries' own programs and tests get linked but never run: -O0 links skip wasm-opt and are
# several times faster. Only the .a files are installed, and linking does not touch them.
ldflags="-L$prefix/lib -O0"
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/stamps"

# Unpacks NAME's Debian source into $work and applies the Debian patches in series order: done by hand,
# since dpkg-source -x refuses mpg123 without its missing signature, and one path for all four is simpler.
unpack() {
  local name=$1 version=$2
  local dsc=$src/${name}_${version#*:}.dsc
  [ -f "$dsc" ] || { echo "missing $dsc: run $0 --fetch $prefix (setup.sh --web does)" >&2; exit 1; }
  local files
  files=$(awk '/^Checksums-Sha256:/{f=1;next} /^[^ ]/{f=0} f && $3 !~ /\.asc$/ {print $1 "  " $3}' "$dsc")
  (cd "$src" && echo "$files" | sha256sum --quiet -c -) || { echo "checksum mismatch in $src" >&2; exit 1; }
  rm -rf "$work"; mkdir -p "$work"
  local orig debian
  orig=$(echo "$files" | awk '$2 ~ /\.orig\.tar\./{print $2}')
  debian=$(echo "$files" | awk '$2 ~ /\.debian\.tar\./{print $2}')
  tar -xf "$src/$orig" -C "$work" --strip-components=1
  # Further upstream tarballs (freetype's ft2demos, ft2docs) go into folders of their component's name,
  # as dpkg-source puts them; Debian's patches touch them too.
  local component
  for component in $(echo "$files" | awk '$2 ~ /\.orig-[^.]*\.tar\./{print $2}'); do
    local name=${component##*.orig-}
    name=${name%%.tar.*}
    mkdir -p "$work/$name"
    tar -xf "$src/$component" -C "$work/$name" --strip-components=1
  done
  tar -xf "$src/$debian" -C "$work"
  local series=$work/debian/patches/series line patch level
  [ -f "$series" ] || return 0
  while read -r line; do
    line=${line%%#*}
    [ -n "${line// }" ] || continue
    read -r patch level <<<"$line"
    patch -d "$work" -s -N -F 0 --no-backup-if-mismatch "${level:--p1}" <"$work/debian/patches/$patch"
  done <"$series"
}

# Builds NAME unless its stamp records the same version and recipe; the stamp is written last, so an
# interrupted build starts again from a clean unpack.
build() {
  local name=$1 version=$2 recipe=$3
  local stamp=$prefix/stamps/$name
  local want="$version $recipe $cflags $ldflags"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then return 0; fi
  work=$prefix/build/$name
  echo "== $name $version"
  local t0=$SECONDS
  unpack "$name" "$version"
  (cd "$work" && eval "$recipe") >"$prefix/build/$name.log" 2>&1 ||
    { echo "$name failed; log: $prefix/build/$name.log" >&2; tail -30 "$prefix/build/$name.log" >&2; exit 1; }
  rm -rf "$work"
  echo "$want" >"$stamp"
  echo "$name built in $((SECONDS - t0)) s"
}

version_of() { local s; for s in "${sources[@]}"; do [ "${s%%=*}" = "$1" ] && echo "${s#*=}"; done; }

export CFLAGS=$cflags LDFLAGS=$ldflags
build zlib "$(version_of zlib)" \
  "emconfigure ./configure --static --prefix='$prefix' && emmake make -j$jobs libz.a && emmake make install"

build libpng1.6 "$(version_of libpng1.6)" \
  "emconfigure ./configure --host=wasm32 --prefix='$prefix' --disable-shared --enable-static \
     --disable-hardware-optimizations CPPFLAGS='-I$prefix/include' \
   && emmake make -j$jobs && emmake make install"

build mpg123 "$(version_of mpg123)" \
  "emconfigure ./configure --host=wasm32 --prefix='$prefix' --with-cpu=generic_fpu --disable-shared \
     --disable-modules --with-audio=dummy --disable-network \
   && emmake make -j$jobs && emmake make install"

build fftw3 "$(version_of fftw3)" \
  "emconfigure ./configure --host=wasm32 --prefix='$prefix' --enable-float --disable-fortran \
     --disable-threads --disable-shared --enable-static --disable-doc \
   && emmake make -j$jobs && emmake make install"

# The fonts' outlines are all FreeType draws (no hinting, no compressed or colour fonts), so of its
# optional libraries only zlib is built in, the one above (without it FreeType compiles in its own
# copy, whose symbols clash with zlib's). Its rasteriser is integer arithmetic, but it cuts curves
# into lines one way on x86-64 and aarch64 and another elsewhere: one patch of ours (tools/web/patches,
# applied after Debian's; its digest is in the stamp) makes wasm take the x86-64 way, so a listener's
# posters in the page are the desktop's, pixel for pixel (tests/web, own-track).
dda_patch=$here/patches/freetype-wasm-bezier-dda.patch
build freetype "$(version_of freetype)" \
  ": $(sha256sum <"$dda_patch" | cut -c1-16) && patch -p1 -s -N -F 0 --no-backup-if-mismatch <'$dda_patch' \
   && emconfigure ./configure --host=wasm32 --prefix='$prefix' --disable-shared --enable-static \
     --with-zlib=yes --without-bzip2 --without-png --without-harfbuzz --without-brotli \
   && emmake make -j$jobs && emmake make install"

# TagLib builds with CMake; its zlib (compressed ID3v2 frames) is the one built above. CMake's type-size
# checks read the sizes out of the test program, which emscripten links into a .js beside its .wasm,
# so they come back empty: wasm32's sizes are given instead. TagLib catches utf8-cpp's exception for a
# text that is not UTF-8 (and drops the text, as on the desktop); emscripten catches none unless the
# code is built with -fexceptions, and the show is then linked with it (src/web/CMakeLists.txt).
[ -f "$src/$utfcpp_deb" ] && echo "$utfcpp_sha256  $src/$utfcpp_deb" | sha256sum --quiet -c - ||
  { echo "missing or changed $src/$utfcpp_deb: run $0 --fetch $prefix" >&2; exit 1; }
build taglib "$(version_of taglib)" \
  "dpkg-deb -x '$src/$utfcpp_deb' utfcpp \
   && emcmake cmake -S . -B wasm -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX='$prefix' \
     -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF \
     -DZLIB_INCLUDE_DIR='$prefix/include' -DZLIB_LIBRARY='$prefix/lib/libz.a' \
     -DHAVE_SIZEOF_SHORT=TRUE -DSIZEOF_SHORT=2 -DHAVE_SIZEOF_INT=TRUE -DSIZEOF_INT=4 \
     -DHAVE_SIZEOF_LONGLONG=TRUE -DSIZEOF_LONGLONG=8 -DHAVE_SIZEOF_WCHAR_T=TRUE -DSIZEOF_WCHAR_T=4 \
     -DHAVE_SIZEOF_FLOAT=TRUE -DSIZEOF_FLOAT=4 -DHAVE_SIZEOF_DOUBLE=TRUE -DSIZEOF_DOUBLE=8 \
     -DCMAKE_CXX_FLAGS=\"-O2 -fexceptions -I\$PWD/utfcpp/usr/include\" \
   && emmake make -C wasm -j$jobs && emmake make -C wasm install"
