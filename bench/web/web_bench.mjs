// The page in Debian's headless chromium (SwiftShader WebGL), measured, never judged: how long from
// loading the page to the show's first frame, and the frame rate over one passage of the live show.
// puppeteer-core comes from tests/web/node_modules (node resolves packages from a script's folder,
// so it is required through that folder).
//   node web_bench.mjs load URL [runs]          live page with ?autostart, cache off, each run a fresh browser
//   node web_bench.mjs passage URL FROM_S TO_S  live page, frames until the music passes TO_S + 1 s
//   node web_bench.mjs own URL FILE [runs]      live page given a listener's FILE through its picker: the
//                                               browser's decode, then the module's read and cue finding
// URL: the site's index.html on a local server. Extra chromium flags: WEB_BENCH_ARGS (space-separated).
import {createRequire} from 'node:module';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, '../../tests/web/package.json'));
const puppeteer = require('puppeteer-core');

const [mode, url, ...rest] = process.argv.slice(2);
const Args = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
              '--autoplay-policy=no-user-gesture-required'].concat(
                 (process.env.WEB_BENCH_ARGS || '').split(' ').filter((a) => a));

// Installed before the page's own scripts: every animation frame's callback is wrapped, so the time
// it started, how long it ran and the music position it left are noted. Only frames after the
// start gesture are the show's.
function hookFrames() {
  window.benchFrames = [];
  const original = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => original((stamp) => {
    const begin = performance.now();
    callback(stamp);
    const figures = window.showFigures;
    // The callback in which the show starts is still the loading stage's: it draws no show frame.
    if (figures && figures.startedAt !== undefined && begin > figures.startedAt && !figures.ended) {
      const end = performance.now();
      if (figures.firstFrameAt === undefined) figures.firstFrameAt = end;
      window.benchFrames.push([begin, end - begin, window.Module._web_audio_clock(4)]);
    }
  });
}

async function withPage(body) {
  const browser = await puppeteer.launch({executablePath: '/usr/bin/chromium', headless: true, args: Args});
  try {
    const page = await browser.newPage();
    await page.setViewport({width: 1024, height: 768});
    await page.setCacheEnabled(false);
    const errors = [];
    page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
    page.on('pageerror', (e) => errors.push(String(e)));
    await page.evaluateOnNewDocument(hookFrames);
    const result = await body(page);
    if (errors.length) console.log('  console errors: ' + errors.join(' | '));
    return result;
  } finally {
    await browser.close();
  }
}

function percentile(values, q) {
  const v = [...values].sort((a, b) => a - b);
  return v[Math.min(v.length - 1, Math.round(q * (v.length - 1)))];
}
const median = (values) => percentile(values, 0.5);
const f1 = (x) => x.toFixed(1);

async function load(runs) {
  const rows = [];
  for (let r = 0; r < runs; r++) {
    const row = await withPage(async (page) => {
      await page.goto(url + '?autostart');
      await page.waitForFunction(() => window.showFigures && window.showFigures.firstFrameAt !== undefined,
                                 {timeout: 120000, polling: 50});
      return page.evaluate(() => {
        const f = window.showFigures;
        const nav = performance.getEntriesByType('navigation')[0];
        return {dom: nav.domContentLoadedEventEnd, files: f.filesLoadedAt, decoded: f.decodedAt,
                started: f.startedAt, first: f.firstFrameAt, bytes: f.decodedTrackBytes};
      });
    });
    console.log(`  run ${r + 1}: page parsed ${f1(row.dom)} ms, files and module ${f1(row.files)} ms, ` +
                `track decoded ${f1(row.decoded)} ms, started ${f1(row.started)} ms, first frame ${f1(row.first)} ms`);
    rows.push(row);
  }
  // The stepped page's first frame, for comparison: frame 0 drawn and read back as ready.
  const stepped = [];
  for (let r = 0; r < runs; r++) {
    stepped.push(await withPage(async (page) => {
      await page.goto(url + '?step=60&at=0');
      await page.waitForFunction(() => document.title === 'ready' || document.title.startsWith('error'),
                                 {timeout: 120000, polling: 20});
      return page.evaluate(() => performance.now());
    }));
  }
  console.log(`load to first frame (live, ?autostart, cache off, ${runs} runs): median ${f1(median(rows.map((r) => r.first)))} ms ` +
              `(min ${f1(Math.min(...rows.map((r) => r.first)))}, max ${f1(Math.max(...rows.map((r) => r.first)))}); ` +
              `of which files and module ${f1(median(rows.map((r) => r.files)))} ms, decoding to ` +
              `${f1(median(rows.map((r) => r.decoded)))} ms; decoded track ${(rows[0].bytes / 1048576).toFixed(1)} MiB`);
  console.log(`load to "ready" on frame 0 (?step=60&at=0): median ${f1(median(stepped))} ms ` +
              `(min ${f1(Math.min(...stepped))}, max ${f1(Math.max(...stepped))})`);
}

async function passage(from, to) {
  const frames = await withPage(async (page) => {
    await page.goto(url + '?autostart');
    await page.waitForFunction((stopMs) => {
      const b = window.benchFrames;
      return (b.length && b[b.length - 1][2] > stopMs) || (window.showFigures && window.showFigures.ended);
    }, {timeout: (to + 120) * 1000, polling: 500}, (to + 1) * 1000);
    return page.evaluate(() => window.benchFrames);
  });
  const at = [], gaps = [], busy = [];
  for (let i = 1; i < frames.length; i++) {
    const [begin, ran, positionMs] = frames[i];
    if (positionMs < from * 1000 || positionMs > to * 1000) continue;
    at.push(begin);
    gaps.push(begin - frames[i - 1][0]);
    busy.push(ran);
  }
  if (gaps.length < 2) throw new Error('no frames in the passage');
  let worst = Infinity, first = 0;
  for (let i = 0; i < at.length; i++) {
    if (at[i] - at[0] < 1000) continue;
    while (at[first] <= at[i] - 1000) first++;
    worst = Math.min(worst, i - first + 1);
  }
  const span = (at[at.length - 1] - at[0]) / 1000;
  console.log(`browser passage ${f1(from)}-${f1(to)} s: ${gaps.length} frames over ${span.toFixed(2)} s, ` +
              `${f1((gaps.length - 1) / span)} frames/s`);
  console.log(`  frame time ms: median ${median(gaps).toFixed(2)}, p95 ${percentile(gaps, 0.95).toFixed(2)}, ` +
              `p99 ${percentile(gaps, 0.99).toFixed(2)}, max ${Math.max(...gaps).toFixed(2)}; worst one-second window ${worst} frames`);
  console.log(`  the frame's own script time (wasm, GL emulation, WebGL calls) ms: median ${median(busy).toFixed(2)}, ` +
              `p95 ${percentile(busy, 0.95).toFixed(2)}, max ${Math.max(...busy).toFixed(2)}`);
}

// A listener's track given to the page: from the file chosen to the browser's AudioBuffer (its own
// decoder, resampling to 44.1 kHz), then to the cues (the module reading both channels in slices and
// finding the cues), with the wasm heap's size once they are found; then the tempo from the same curve,
// and the words (tags read from the file's bytes, the posters set and uploaded).
async function own(file, runs) {
  for (let run = 0; run < runs; run++) {
    const f = await withPage(async (page) => {
      await page.goto(url);
      await page.waitForFunction(() => !document.getElementById('own').hidden, {timeout: 120000, polling: 100});
      await (await page.$('#own-file')).uploadFile(file);
      await page.waitForFunction(() => window.showFigures.listenerWordsMs !== undefined ||
                                       document.title.startsWith('error'), {timeout: 600000, polling: 100});
      return page.evaluate(() => window.showFigures);
    });
    console.log(`own track run ${run + 1}: decode by the browser ${(f.listenerDecodedAt - f.listenerChosenAt).toFixed(0)} ms, ` +
                `read and cues ${(f.listenerCuesAt - f.listenerDecodedAt).toFixed(0)} ms, ${f.listenerCues} cues, ` +
                `${f.listenerSeconds.toFixed(1)} s of music, wasm heap ${(f.wasmHeapBytes / 1048576).toFixed(1)} MiB; ` +
                `tempo ${f.listenerTempoMs.toFixed(0)} ms (${(f.listenerTempoMs / (f.listenerSeconds / 60)).toFixed(1)} ms per ` +
                `minute), words and posters ${f.listenerWordsMs.toFixed(0)} ms`);
  }
}

if (mode === 'load') await load(Number(rest[0] || 3));
else if (mode === 'passage') await passage(Number(rest[0]), Number(rest[1]));
else if (mode === 'own') await own(rest[0], Number(rest[1] || 3));
else {
  console.error('usage: web_bench.mjs load URL [runs] | passage URL FROM_S TO_S | own URL FILE [runs]');
  process.exit(2);
}
