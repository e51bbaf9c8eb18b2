// The show's page in Debian's headless chromium (SwiftShader WebGL), driven by puppeteer-core, against
// the desktop programs built from the same sources: showcap's frames and event log, the show's
// failure lines, and a listener's own track. One case per run; CTest runs each (tests/web/CMakeLists.txt).
//   node web_show_test.mjs CASE SITE_DIR BIN_DIR DATA_DIR
import {execFileSync, spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [caseName, siteDir, binDir, dataDir] = process.argv.slice(2);
const Fps = 60;
const Width = 1024, Height = 768;

// Two software rasterisers (SwiftShader here, llvmpipe under showcap) round each blend and place each
// edge a little differently, and the show stacks dozens of blended layers. Measured at the five
// moments below: channel values more than 8 levels apart at most 0.0061 % (the busiest passage; 0 at
// the opening sparks, the break and the closing image), mean difference at most 0.35 levels (0.005
// to 0.18 elsewhere), largest single difference 31 levels, at edges. The bounds leave about 5x and 3x
// room; a missing or misplaced sprite, a wrong colour or texture, or the neighbouring frame moves
// whole shapes by tens of levels and exceeds them.
const FarLevels = 8;            // a channel this far apart or more counts as a real difference
const MaxFarShare = 0.0003;     // of all channel values
const MaxMeanLevels = 1.0;      // mean absolute difference, levels

function fail(message) {
  console.log('FAIL: ' + message);
  process.exitCode = 1;
}

function tempDir(tag) { return fs.mkdtempSync(path.join(os.tmpdir(), 'web-show-' + tag + '-')); }

// A copy of the site (its fonts folder too) or of the data, whose files a case may change.
function copyDir(from, to) {
  fs.mkdirSync(to, {recursive: true});
  for (const name of fs.readdirSync(from)) {
    const stat = fs.statSync(path.join(from, name));
    if (stat.isFile()) fs.copyFileSync(path.join(from, name), path.join(to, name));
    else if (stat.isDirectory()) copyDir(path.join(from, name), path.join(to, name));
  }
  return to;
}

async function serve(dir) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', dir],
                       {stdio: ['ignore', 'pipe', 'pipe']});
  const port = await new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', (d) => {
      text += d;
      const m = /port (\d+)/.exec(text);
      if (m) resolve(m[1]);
    });
    server.on('exit', () => reject(new Error('http.server ended: ' + text)));
  });
  return {url: 'http://127.0.0.1:' + port + '/index.html', stop: () => server.kill()};
}

const BrowserArgs = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
                     '--autoplay-policy=no-user-gesture-required'];

async function withBrowser(body, args = BrowserArgs) {
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,   // --headless=new with this puppeteer-core
    args: args,
  });
  try {
    return await body(browser);
  } finally {
    await browser.close();
  }
}

async function openPage(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({width: Width, height: Height});
  page.consoleErrors = [];
  page.on('console', (m) => { if (m.type() === 'error') page.consoleErrors.push(m.text()); });
  page.on('pageerror', (e) => page.consoleErrors.push(String(e)));
  if (process.env.WEB_TEST_CONSOLE) {
    page.on('console', (m) => console.log('  console.' + m.type() + ': ' + m.text()));
    page.on('framenavigated', (f) => console.log('  navigated: ' + f.url()));
  }
  await page.goto(url);
  return page;
}

function rgbOfPng(png) {
  return execFileSync('convert', ['png:-', '-depth', '8', 'rgb:-'], {input: png, maxBuffer: 64 << 20});
}

async function canvasRgb(page) {
  const url = await page.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
  return rgbOfPng(Buffer.from(url.split(',')[1], 'base64'));
}

async function steppedPage(browser, url, at, events, size) {
  const page = await openPage(browser, url + '?step=' + Fps + '&at=' + at + (events ? '&events' : '') +
                                           (size ? '&size=' + size : ''));
  await page.waitForFunction(() => document.title === 'ready' || document.title.startsWith('error'),
                             {timeout: 600000, polling: 200});
  return page;
}

function showcap(at, extra) {
  const out = tempDir('cap');
  execFileSync(path.join(binDir, 'showcap'),
               ['-q', '-d', dataDir, '-f', 'png', '-o', out, '--from', String(at), '--to', String(at), ...extra]);
  return out;
}

// A listener's track made for a case: 30 s of the show's own music from 20 s on, as a 44.1 kHz
// 16-bit stereo WAV (real accents and spectrum), under a name with a space, tagged in RIFF INFO with
// a Greek title and a Cyrillic artist.
function ownTrack(dir, seconds = 30) {
  const wav = path.join(dir, 'own track.wav');
  execFileSync('ffmpeg', ['-loglevel', 'error', '-y', '-ss', '20', '-t', String(seconds), '-i',
                          path.join(dataDir, 'bass_300808.mp3'), '-ar', '44100', '-ac', '2', '-c:a', 'pcm_s16le',
                          '-metadata', 'title=\u039d\u03cd\u03c7\u03c4\u03b1 drive', '-metadata', 'artist=\u0401\u043b\u043a\u0430',
                          '-metadata', 'date=2008', wav]);
  return wav;
}

const lineKind = (l) => l.includes('"event":"cue"') ? 'cue' : /"kind":"(ElectroFrag|BezierFrag|CircleGridFrag)"/.test(l) ? 'spawn' : '';

function compareFrames(web, desktop) {
  if (web.length !== desktop.length) return {error: 'sizes differ: ' + web.length + ' vs ' + desktop.length};
  let far = 0, sum = 0, lit = 0;
  for (let i = 0; i < web.length; i++) {
    const d = Math.abs(web[i] - desktop[i]);
    sum += d;
    if (d > FarLevels) far++;
    if (desktop[i] > 8) lit++;
  }
  return {farShare: far / web.length, meanLevels: sum / web.length, litShare: lit / web.length};
}

// --- Cases

// The stepped page against showcap at five moments: the first sparks, a typography composition, the
// busiest passage, the calm break and the closing image.
async function frames({url}) {
  const moments = [
    {name: 'opening sparks', at: 1.0},
    {name: 'typography after the first cue', at: 23.8},
    {name: 'break', at: 59.0},
    {name: 'busiest passage', at: 125.0},
    {name: 'closing image', at: 190.0},
    {name: 'busiest passage at 2048x1536', at: 125.0, size: '2048x1536'},
  ];
  await withBrowser(async (browser) => {
    for (const m of moments) {
      const page = await steppedPage(browser, url, m.at, false, m.size);
      const title = await page.title();
      if (title !== 'ready') { fail(m.name + ': page says ' + title); continue; }
      const web = await canvasRgb(page);
      await page.close();
      const frame = Math.round(m.at * Fps);
      const dir = showcap(m.at, m.size ? ['--size', m.size] : []);
      const desktop = rgbOfPng(fs.readFileSync(path.join(dir, 'frame_' + String(frame).padStart(6, '0') + '.png')));
      const r = compareFrames(web, desktop);
      console.log(m.name + ' (frame ' + frame + '): ' + JSON.stringify(r));
      if (r.error) fail(m.name + ': ' + r.error);
      else if (r.farShare > MaxFarShare || r.meanLevels > MaxMeanLevels) fail(m.name + ': frames differ beyond tolerance');
      else if (r.litShare < 0.001) fail(m.name + ': nothing drawn');
    }
  });
}

// The live page's drawing buffer at a device pixel ratio of 2: twice its CSS size where the picture is
// drawn at the screen's pixels (?resolution=native here, as SwiftShader is a software rasteriser), and
// the show's own 1024x768 where the software-renderer rule keeps it.
async function resolution({url}) {
  const cases = [
    {query: '?autostart&resolution=native', twice: true},
    {query: '?autostart', twice: false},
  ];
  await withBrowser(async (browser) => {
    for (const c of cases) {
      const page = await browser.newPage();
      await page.setViewport({width: 800, height: 600, deviceScaleFactor: 2});
      await page.goto(url + c.query);
      await page.waitForFunction(() => window.showFigures && window.showFigures.startedAt, {timeout: 120000});
      await page.waitForFunction(() => window.showAudioClock().musicPositionMs > 1500, {timeout: 30000});
      const size = await page.evaluate(() => {
        const canvas = document.getElementById('canvas');
        return {width: canvas.width, height: canvas.height, cssWidth: canvas.clientWidth, cssHeight: canvas.clientHeight};
      });
      const shot = rgbOfPng(await page.screenshot({type: 'png'}));
      let lit = 0;
      for (let i = 0; i < shot.length; i++) if (shot[i] > 16) lit++;
      console.log(c.query + ': drawing buffer ' + size.width + 'x' + size.height + ', CSS ' + size.cssWidth + 'x' +
                  size.cssHeight + ', lit channel values ' + lit);
      const want = c.twice ? [2 * size.cssWidth, 2 * size.cssHeight] : [Width, Height];
      if (size.width !== want[0] || size.height !== want[1]) fail(c.query + ': drawing buffer is not ' + want.join('x'));
      if (lit < 1000) fail(c.query + ': nothing drawn');
      await page.close();
    }
  });
}

// The stepped page's event log against showcap's, over the whole show to the closing image: the same
// cues, and the same spectrum-driven spawns, since both analyse the same decoded samples.
async function events({url}) {
  const at = 190.0;
  await withBrowser(async (browser) => {
    const page = await steppedPage(browser, url, at, true);
    if ((await page.title()) !== 'ready') return fail('page says ' + (await page.title()));
    const web = (await page.evaluate(() => window.showEvents())).split('\n').filter((l) => l);
    const eventsFile = path.join(tempDir('events'), 'events.jsonl');
    showcap(at, ['--events', eventsFile]);
    const desktop = fs.readFileSync(eventsFile, 'utf8');
    const lines = desktop.split('\n').filter((l) => l);
    const cues = (list) => list.filter((l) => l.includes('"event":"cue"'));
    console.log('events: ' + web.length + ' lines in the page, ' + lines.length + ' from showcap; cues ' +
                cues(web).length + ' / ' + cues(lines).length);
    if (cues(web).length === 0) fail('no cue fired');
    if (cues(web).join('\n') !== cues(lines).join('\n')) fail('cue events differ');
    const first = web.findIndex((l, i) => l !== lines[i]);
    if (web.length !== lines.length || first >= 0) {
      fail('event logs differ, first at line ' + (first + 1) + ':\n page:    ' + web[first] + '\n showcap: ' + lines[first]);
    }
  });
}

// The stepped page given &track=URL against showcap --track on the same 44.1 kHz WAV: the same track
// line first (its tags read by the page's own TagLib), the same posters byte for byte (set by the
// page's own FreeType), the same cues, and the same spectrum-driven spawns (at least 99 % of
// showcap's found line for line in the page's); run again in the same page, the same log.
async function ownTrackEvents({url, site}) {
  const wav = ownTrack(site);
  const at = 33.0;
  await withBrowser(async (browser) => {
    const page = await openPage(browser, url + '?step=' + Fps + '&at=' + at + '&events&track=' + encodeURIComponent('own track.wav'));
    await page.waitForFunction(() => document.title === 'ready' || document.title.startsWith('error'),
                               {timeout: 600000, polling: 200});
    if ((await page.title()) !== 'ready') return fail('page says ' + (await page.title()));
    const web = (await page.evaluate(() => window.showEvents())).split('\n').filter((l) => l);
    const eventsFile = path.join(tempDir('events'), 'events.jsonl');
    showcap(at, ['--track', wav, '--events', eventsFile]);
    const desktop = fs.readFileSync(eventsFile, 'utf8').split('\n').filter((l) => l);
    const of = (list, kind) => list.filter((l) => lineKind(l) === kind);
    const webSpawns = new Map();
    for (const l of of(web, 'spawn')) webSpawns.set(l, (webSpawns.get(l) || 0) + 1);
    let matched = 0;
    for (const l of of(desktop, 'spawn')) {
      if (webSpawns.get(l) > 0) { matched++; webSpawns.set(l, webSpawns.get(l) - 1); }
    }
    const share = matched / Math.max(1, of(desktop, 'spawn').length);
    console.log('own track: cues ' + of(web, 'cue').length + ' / ' + of(desktop, 'cue').length + ', spawns ' +
                of(web, 'spawn').length + ' / ' + of(desktop, 'spawn').length + ', ' + (100 * share).toFixed(2) +
                ' % of showcap\'s in the page; logs ' + (web.join('\n') === desktop.join('\n') ? 'identical' : 'differ'));
    console.log('track line: page ' + web[0] + '\n            showcap ' + desktop[0]);
    if (!desktop[0].startsWith('{"event":"track","title":"\u039d\u03cd\u03c7\u03c4\u03b1 drive","artist":"\u0401\u043b\u043a\u0430"'))
      fail('showcap\'s log does not open with the tags\' words');
    if (web[0] !== desktop[0]) fail('the track lines differ');
    const postersDir = tempDir('posters');
    execFileSync(path.join(binDir, 'showcap'), ['-q', '--track', wav, '--posters', postersDir]);
    const webPosters = await page.evaluate(() => window.showPosters());
    for (const name of ['typo0.png', 'typo3.png', 'end.png']) {
      const desktopPixels = rgbOfPng(fs.readFileSync(path.join(postersDir, name)));
      const webPixels = webPosters[name] ? rgbOfPng(Buffer.from(webPosters[name], 'base64')) : Buffer.alloc(0);
      console.log('poster ' + name + ': ' + (webPixels.equals(desktopPixels) ? 'the same pixels' : 'DIFFERENT pixels'));
      if (!webPixels.equals(desktopPixels)) fail('the page\'s ' + name + ' is not showcap\'s');
    }
    if (of(desktop, 'cue').length < 10) fail('too few cues found to compare');
    if (of(web, 'cue').join('\n') !== of(desktop, 'cue').join('\n')) fail('cue events differ');
    if (share < 0.99) fail('spectrum spawns differ');

    await page.evaluate(() => window.showStepAgain());
    await page.waitForFunction(() => document.title === 'ready' || document.title.startsWith('error'),
                               {timeout: 600000, polling: 200});
    const again = (await page.evaluate(() => window.showEvents())).split('\n').filter((l) => l);
    const differs = again.findIndex((l, i) => l !== web[i]);
    console.log('run again in the page: ' + again.length + ' lines, ' +
                (again.length === web.length && differs < 0 ? 'the same log' : 'first difference at line ' + (differs + 1)));
    if (again.length !== web.length || differs >= 0) fail('the second run in the page logged other events');
  });
}

// A file given to the live page's picker (as a drop gives it) starts the show with it: its cues are
// the ones showcap finds, and the show ends with the 4 s track; Play again plays it to its end again
// without loading the page or fetching anything. A file that is not audio is named, with the reason,
// in the page's own words. A FLAC whose title is not UTF-8 still gets its words (TagLib in the page
// drops the title, as on the desktop) and its show.
async function ownTrackDrop({url, site}) {
  const wav = ownTrack(site, 4);
  const eventsFile = path.join(tempDir('events'), 'events.jsonl');
  showcap(12, ['--track', wav, '--events', eventsFile]);
  const cues = fs.readFileSync(eventsFile, 'utf8').split('\n').filter((l) => lineKind(l) === 'cue').length;
  const notes = path.join(site, 'notes.txt');
  fs.writeFileSync(notes, 'no music here\n');
  await withBrowser(async (browser) => {
    const page = await openPage(browser, url);
    await page.waitForFunction(() => !document.getElementById('own').hidden, {timeout: 120000, polling: 100});
    const input = await page.$('#own-file');
    await input.uploadFile(wav);
    await page.waitForFunction(() => window.showFigures.listenerCues !== undefined &&
                                     !document.getElementById('own').hidden, {timeout: 60000, polling: 100});
    const found = await page.evaluate(() => window.showFigures.listenerCues);
    await page.mouse.click(Width / 2, Height / 4);
    await page.waitForFunction(() => window.showFigures.closingAt, {timeout: 60000, polling: 100}).catch(() => {});
    const f = await page.evaluate(() => window.showFigures);
    const played = f.closingAt && f.startedAt ? (f.closingAt - f.startedAt) / 1000 : -1;
    console.log('dropped track: ' + found + ' cues (showcap ' + cues + '), closing screen ' + played.toFixed(2) + ' s after the start');
    if (page.consoleErrors.length) fail('console errors: ' + page.consoleErrors.join(' | '));
    if (found !== cues) fail('the page found other cues than showcap');
    if (!(played >= 4 && played < 20)) fail('the show did not play the 4 s track to its end');

    await page.waitForFunction(() => !document.getElementById('again').hidden, {timeout: 30000, polling: 100});
    const requests = [];
    page.on('request', (r) => requests.push(r.url()));
    await page.evaluate(() => { window.samePage = true; window.showFigures.closingAt = 0; });
    await page.click('#again');
    await page.waitForFunction(() => window.showFigures.closingAt, {timeout: 60000, polling: 100}).catch(() => {});
    await page.waitForFunction(() => window.showFigures.ended === 'over' && !document.getElementById('again').hidden,
                               {timeout: 30000, polling: 100}).catch(() => {});
    const g = await page.evaluate(() => ({figures: window.showFigures, samePage: window.samePage === true,
                                          message: document.getElementById('message').textContent}));
    const replayed = g.figures.closingAt ? (g.figures.closingAt - g.figures.startedAt) / 1000 : -1;
    console.log('played again: closing screen ' + replayed.toFixed(2) + ' s after the start, "' + g.message + '", ' +
                (g.samePage ? 'same page' : 'page loaded again') + ', ' + requests.length + ' requests');
    if (!g.samePage) fail('Play again loaded the page again');
    if (requests.length) fail('Play again fetched ' + requests.join(', '));
    if (!(replayed >= 4 && replayed < 20) || g.message !== 'The end.') fail('Play again did not play the track to its end');
    if (page.consoleErrors.length) fail('console errors: ' + page.consoleErrors.join(' | '));
    await page.close();

    const bad = await openPage(browser, url);
    await bad.waitForFunction(() => !document.getElementById('own').hidden, {timeout: 120000, polling: 100});
    await (await bad.$('#own-file')).uploadFile(notes);
    await bad.waitForFunction(() => document.getElementById('message').className === 'error', {timeout: 60000});
    const shown = await bad.evaluate(() => document.getElementById('message').textContent);
    console.log('not audio: "' + shown + '"');
    if (shown !== 'can\'t play \'notes.txt\': Track file is not audio the show reads (WAV, FLAC, Ogg Vorbis, Opus or MP3).')
      fail('the page does not name the file and the reason');

    const flac = path.join(site, 'broken tags.flac');
    execFileSync('sox', [wav, flac]);
    execFileSync('metaflac', ['--set-tag=TITLE=bad XX bytes', '--set-tag=ARTIST=Anna', flac]);
    const bytes = fs.readFileSync(flac);
    bytes.set([0xff, 0xfe], bytes.indexOf('XX'));
    fs.writeFileSync(flac, bytes);
    const broken = await openPage(browser, url);
    await broken.waitForFunction(() => !document.getElementById('own').hidden, {timeout: 120000, polling: 100});
    await (await broken.$('#own-file')).uploadFile(flac);
    await broken.waitForFunction(() => window.showFigures.listenerWordsMs !== undefined ||
                                       document.getElementById('message').className === 'error', {timeout: 60000});
    const words = await broken.evaluate(() => window.showFigures.listenerWordsMs);
    console.log('a title that is not UTF-8: ' + (words !== undefined ? 'words and posters in ' + words.toFixed(0) + ' ms' : 'no words'));
    if (words === undefined) fail('the page did not get past a tag that is not UTF-8');
  });
}

// The live page plays: no console errors, the first sparks drawn, the audio clock running with the
// page's clock (within 1 %).
async function live({url}) {
  await withBrowser(async (browser) => {
    const page = await openPage(browser, url + '?autostart');
    await page.waitForFunction(() => window.showFigures && window.showFigures.startedAt, {timeout: 120000});
    await page.waitForFunction(() => window.showAudioClock().musicPositionMs > 1500, {timeout: 30000});
    const a = await page.evaluate(() => window.showAudioClock());
    const shot = rgbOfPng(await page.screenshot({type: 'png'}));
    let lit = 0;
    for (let i = 0; i < shot.length; i++) if (shot[i] > 16) lit++;
    await new Promise((r) => setTimeout(r, 8000));
    const b = await page.evaluate(() => window.showAudioClock());
    const wall = (b.performanceNow - a.performanceNow) / 1000;
    const contextRate = (b.contextTime - a.contextTime) / wall;
    const positionRate = (b.musicPositionMs - a.musicPositionMs) / 1000 / wall;
    console.log('audio clock: ' + JSON.stringify(b) + '; over ' + wall.toFixed(2) + ' s the context ran at ' +
                contextRate.toFixed(4) + ' and the music position at ' + positionRate.toFixed(4) + ' of the page clock; ' +
                'lit channel values at 1.5 s: ' + lit);
    if (page.consoleErrors.length) fail('console errors: ' + page.consoleErrors.join(' | '));
    if (lit < 1000) fail('nothing drawn 1.5 s into the show');
    if (Math.abs(contextRate - 1) > 0.01) fail('the audio context does not keep up with the page clock');
    if (Math.abs(positionRate - 1) > 0.01) fail('the music position does not follow the sound');
  });
}

// The page listening (?listen&events) to Chromium's fake microphone, fed a 10 s loop of six clicks:
// its log begins with the listen line, the cues fall on the clicks (one offset for all, modulo the
// loop), the spectrum spawns, and Escape ends it.
// A 44.1 kHz 16-bit stereo WAV: silence with a 30 ms 1.2 kHz burst dying away at each click.
function writeClickLoop(file, clicks, seconds) {
  const frames = Math.round(seconds * 44100);
  const data = Buffer.alloc(frames * 4);
  for (const c of clicks) {
    const first = Math.round(c * 44100);
    for (let i = 0; i < 0.03 * 44100; i++) {
      const v = Math.round(0.8 * 32767 * Math.exp(-i / 44100 / 0.008) * Math.sin(2 * Math.PI * 1200 * i / 44100));
      data.writeInt16LE(v, 4 * (first + i));
      data.writeInt16LE(v, 4 * (first + i) + 2);
    }
  }
  const header = Buffer.alloc(44);
  header.write('RIFF', 0); header.writeUInt32LE(36 + data.length, 4); header.write('WAVEfmt ', 8);
  header.writeUInt32LE(16, 16); header.writeUInt16LE(1, 20); header.writeUInt16LE(2, 22);
  header.writeUInt32LE(44100, 24); header.writeUInt32LE(44100 * 4, 28); header.writeUInt16LE(4, 32);
  header.writeUInt16LE(16, 34); header.write('data', 36); header.writeUInt32LE(data.length, 40);
  fs.writeFileSync(file, Buffer.concat([header, data]));
}

async function listen({url, site}) {
  const Clicks = [0.5, 2.2, 3.6, 5.5, 7.1, 8.8], Loop = 10;
  writeClickLoop(path.join(site, 'loop.wav'), Clicks, Loop);
  const args = BrowserArgs.concat(['--use-fake-ui-for-media-stream', '--use-fake-device-for-media-stream',
                                   '--use-file-for-fake-audio-capture=' + path.join(site, 'loop.wav')]);
  await withBrowser(async (browser) => {
    const page = await openPage(browser, url + '?listen&events');
    await page.waitForFunction(() => window.showFigures && window.showFigures.listeningAt, {timeout: 120000});
    await new Promise((r) => setTimeout(r, 16000));
    const lines = (await page.evaluate(() => window.showEvents())).split('\n').filter((l) => l);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.showFigures.ended, {timeout: 5000}).catch(() => {});
    const ended = await page.evaluate(() => window.showFigures.ended);
    const cues = lines.filter((l) => l.includes('"event":"cue"')).map((l) => Number(/"cueTime":([-0-9.e]+)/.exec(l)[1]));
    const spawns = lines.filter((l) => lineKind(l) === 'spawn').length;
    // One offset puts every cue on a click of the loop: the first cue's click is whichever fits all best.
    const distance = (t, offset) => Math.min(...Clicks.map((c) => {
      const d = ((t - offset - c) % Loop + Loop) % Loop;
      return Math.min(d, Loop - d);
    }));
    const off = Clicks.map((c) => cues.map((t) => distance(t, cues[0] - c)))
                      .reduce((best, d) => Math.max(0, ...d) < Math.max(0, ...best) ? d : best, [Infinity]);
    console.log('cue times: ' + cues.map((t) => t.toFixed(3)).join(' '));
    console.log('listening: ' + lines[0] + '; ' + cues.length + ' cues, furthest from a click ' +
                (1000 * Math.max(0, ...off)).toFixed(1) + ' ms; ' + spawns + ' spectrum spawns; ended: ' + ended);
    if (!/^{"event":"listen","source":"microphone: [^"]*","startedAt":\d+\.\d+}$/.test(lines[0])) fail('no listen line first');
    if (cues.length < 6) fail('too few cues for 16 s of clicks');
    if (Math.max(0, ...off) > 0.015) fail('a cue off the clicks');
    if (spawns === 0) fail('no spectrum spawn');
    if (ended !== 'escaped') fail('Escape did not end the listening show');
    if (page.consoleErrors.length) fail('console errors: ' + page.consoleErrors.join(' | '));
  }, args);
}

// A short track: the show plays it, lets the last effects fade, shows the closing image in the lower-
// left 512x512 square, and Escape ends it there.
async function ending({url, site}) {
  const wav = path.join(site, 'tone.wav');
  execFileSync('sox', ['-n', '-r', '44100', '-c', '2', '-b', '16', wav, 'synth', '3', 'sine', '172']);
  execFileSync('lame', ['--quiet', wav, path.join(site, 'bass_300808.mp3')]);
  await withBrowser(async (browser) => {
    const page = await openPage(browser, url + '?autostart');
    await page.waitForFunction(() => window.showFigures && window.showFigures.closingAt, {timeout: 120000, polling: 50});
    await new Promise((r) => setTimeout(r, 300));
    const shot = rgbOfPng(await page.screenshot({type: 'png'}));
    let inside = 0, outside = 0;
    for (let y = 0; y < Height; y++) {
      for (let x = 0; x < Width; x++) {
        const lit = shot[3 * (y * Width + x)] + shot[3 * (y * Width + x) + 1] + shot[3 * (y * Width + x) + 2] > 48;
        if (x < 512 && y >= Height - 512) inside += lit; else outside += lit;
      }
    }
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.showFigures.ended, {timeout: 3000}).catch(() => {});
    const ended = await page.evaluate(() => window.showFigures.ended);
    console.log('closing screen: ' + inside + ' lit pixels in the lower-left square, ' + outside + ' outside; ended: ' + ended);
    if (inside < 10000 || outside > 0) fail('the closing image is not in the lower-left 512x512 square');
    if (ended !== 'escaped') fail('Escape did not end the closing screen');
  });
}

// A missing or damaged file: the page shows the desktop show's own failure line for the same files.
async function badFiles({site}) {
  const cases = [
    {name: 'missing image', change: (d) => fs.rmSync(path.join(d, 'typo2.png'))},
    {name: 'damaged image', change: (d) => fs.truncateSync(path.join(d, 'end.png'), 200)},
    {name: 'missing track', change: (d) => fs.rmSync(path.join(d, 'bass_300808.mp3'))},
    {name: 'not an MP3', change: (d) => fs.writeFileSync(path.join(d, 'bass_300808.mp3'), 'no audio here\n'.repeat(100))},
  ];
  await withBrowser(async (browser) => {
    for (const c of cases) {
      const data = copyDir(dataDir, tempDir('data'));
      const pageSite = copyDir(site, tempDir('site'));
      c.change(data);
      c.change(pageSite);
      const desktop = spawnSync(path.join(binDir, 'show'), [], {
        cwd: data, encoding: 'utf8', timeout: 60000,
        env: {...process.env, SDL_VIDEODRIVER: 'offscreen', SDL_AUDIODRIVER: 'dummy', SDL_NO_SIGNAL_HANDLERS: '1'},
      });
      const expected = desktop.stdout.trim();
      const server = await serve(pageSite);
      try {
        const page = await openPage(browser, server.url);
        await page.waitForFunction(() => document.getElementById('message').className === 'error', {timeout: 60000});
        const shown = await page.evaluate(() => document.getElementById('message').textContent);
        console.log(c.name + ': desktop "' + expected + '" (status ' + desktop.status + '), page "' + shown + '"');
        if (!expected) fail(c.name + ': the desktop show printed nothing');
        if (shown !== expected) fail(c.name + ': the page does not show the desktop failure line');
        await page.close();
      } finally {
        server.stop();
      }
    }
  });
}

// A browser without WebGL: a message on the page, never a blank canvas.
async function noWebgl({url}) {
  const cases = [
    {name: 'no WebGL', args: BrowserArgs.concat(['--disable-3d-apis']), expect: /WebGL is not available/},
  ];
  for (const c of cases) {
    await withBrowser(async (browser) => {
      const page = await openPage(browser, url + '?autostart');
      await page.waitForFunction(() => document.getElementById('message').className === 'error' &&
                                       !document.getElementById('overlay').hidden, {timeout: 60000, polling: 200})
          .catch(() => {});
      const shown = await page.evaluate(() => document.getElementById('message').textContent);
      console.log(c.name + ': "' + shown + '"');
      if (!c.expect.test(shown)) fail(c.name + ': no message on the page');
    }, c.args);
  }
}

const cases = {frames, events, live, resolution, ending, 'bad-files': badFiles, 'no-webgl': noWebgl,
               'own-track': ownTrackEvents, 'own-drop': ownTrackDrop, listen};
if (!cases[caseName]) {
  console.log('unknown case ' + caseName + '; cases: ' + Object.keys(cases).join(', '));
  process.exit(2);
}
const site = copyDir(siteDir, tempDir('site'));
const server = await serve(site);
try {
  await cases[caseName]({url: server.url, site});
} catch (e) {
  fail(String(e && e.stack || e));
} finally {
  server.stop();
}
console.log(process.exitCode ? 'FAIL' : 'ok');
