#!/usr/bin/env bash
# Proves the wasm libraries in PREFIX work through the calls the show makes: builds depcheck with emcmake
# against them (as the web build finds them) and runs it under node on a PNG with known pixels, the same
# PNG cut short, and a lame-encoded sine tone.
#   tools/web/check-deps.sh PREFIX [WORKDIR]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 PREFIX [WORKDIR]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(cd "$1" && pwd)
work=${2:-$prefix/check}
mkdir -p "$work"
work=$(cd "$work" && pwd)
export NODE_PATH=/usr/share/nodejs

# RGBA 37x23, pixel (x, y) = (7x, 11y, xy, 255-x-y) mod 256: must match expected_channel in depcheck.cpp.
python3 - "$work/good.png" "$work/damaged.png" <<'PY'
import struct, sys, zlib
w, h = 37, 23
raw = b"".join(b"\0" + bytes(v for x in range(w) for v in
      (x * 7 % 256, y * 11 % 256, x * y % 256, (255 - x - y) % 256)) for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
open(sys.argv[1], "wb").write(png)
open(sys.argv[2], "wb").write(png[:len(png) * 2 // 3])
PY
frames=66150 tone=1000  # 1.5 s at 44.1 kHz
# -D: no dither, so the same file every run.
sox -D -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 1.5 sine "$tone" vol 0.5
lame --quiet "$work/tone.wav" "$work/tone.mp3"

emcmake cmake -S "$here/depcheck" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DSHOW_WEB_DEPS="$prefix" >"$work/configure.log"
cmake --build "$work/build" >"$work/build.log"
ls -l "$work/build/depcheck.js" "$work/build/depcheck.wasm"
node "$work/build/depcheck.js" "$work/good.png" "$work/damaged.png" "$work/tone.mp3" "$frames" "$tone" \
  "$work/wasm.f32"

# The same checks on the desktop's libraries, and how far the two decoders' samples are apart: the
# spectrum the browser show reacts to is computed from the wasm decoder's output.
g++ -std=c++17 -O2 -o "$work/depcheck-native" "$here/depcheck/depcheck.cpp" -lpng -lmpg123 -lfftw3f
"$work/depcheck-native" "$work/good.png" "$work/damaged.png" "$work/tone.mp3" "$frames" "$tone" \
  "$work/native.f32" | sed 's/^/native: /'
python3 - "$work/wasm.f32" "$work/native.f32" <<'PY'
import array, sys
a, b = (array.array("f", open(p, "rb").read()) for p in sys.argv[1:])
same = sum(x == y for x, y in zip(a, b))
worst = max((abs(x - y) for x, y in zip(a, b)), default=0)
print(f"info decoded samples, wasm against desktop: {len(a)} and {len(b)} samples, {same} identical, "
      f"largest difference {worst:.3g} ({worst * 32768:.2f} of a 16-bit step)")
PY
