#!/usr/bin/env bash
# Checks headless chromium's WebGL (SwiftShader) through puppeteer-core on a page served on 127.0.0.1,
# as the web tests use it; leaves a screenshot in WORKDIR.   tools/web/check-browser.sh [WORKDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
[ -d "$root/tests/web/node_modules/puppeteer-core" ] || { echo "no puppeteer-core: run ./setup.sh --web" >&2; exit 1; }
cat >"$work/index.html" <<'HTML'
<!doctype html><title>loading</title><link rel="icon" href="data:,"><canvas id=c width=64 height=48></canvas>
<script>
const gl = document.getElementById('c').getContext('webgl', {preserveDrawingBuffer: true, alpha: false});
if (!gl) document.title = 'error: no WebGL';
else {
  gl.clearColor(1, 0.5, 0, 1);
  gl.clear(gl.COLOR_BUFFER_BIT);
  const px = new Uint8Array(4);
  gl.readPixels(10, 10, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, px);
  const info = gl.getExtension('WEBGL_debug_renderer_info');
  document.title = `ready ${gl.getParameter(gl.VERSION)}; ${info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : ''}; ${px.join(',')}`;
}
</script>
HTML
# Port 0 lets the system pick a free one; the server prints it.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work" >"$work/http.log" 2>&1 &
server=$!
trap 'kill $server' EXIT
for _ in $(seq 50); do grep -q 'port' "$work/http.log" && break; sleep 0.1; done
port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/http.log" | head -1)
node "$root/tests/web/webgl-check.mjs" "http://127.0.0.1:$port/index.html" "$work/shot.png"
