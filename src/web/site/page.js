// The page around the show: it checks WebGL, fetches the track and the images with a progress bar,
// hands them to the wasm module's file system, waits for the gesture that may start sound, keeps
// the picture fitted to the window with black bars at the screen's own pixels (on a software
// rasteriser at 1024x768, unless ?resolution=native), toggles full screen, and shows every
// failure as text; and plays the show to a listener's own file, picked or dropped, decoded here by the
// browser and never sent anywhere, its posters naming it from its tags (read by the module from the
// file's bytes, set in fonts fetched from this site); or draws the show to what it hears live, a
// microphone or a shared tab's sound, through an AudioWorklet that hands the samples to the module.
// Play again replays the same track in place: nothing is fetched or decoded again.
// index.html?step=FPS&at=T[&events][&size=WxH][&track=URL[&title=TEXT][&artist=TEXT]] and
// index.html?listen[&events] are the automation contract (README).
'use strict';
(function () {
  const ShowWidth = 1024, ShowHeight = 768;
  const TrackFile = 'bass_300808.mp3';
  const ImageFiles = [];
  for (let i = 0; i < 6; i++) ImageFiles.push('ec' + i + '.png');
  for (let i = 0; i < 20; i++) ImageFiles.push('blend' + String(i).padStart(2, '0') + '.png');
  ImageFiles.push('big-circle.png', 'path1.png', 'typo1.png', 'typo2.png', 'typo3.png', 'star.png', 'typo0.png',
                  'm0.png', 'l2.png', 'end.png');
  const Files = ImageFiles.concat([TrackFile]);
  const DownloadShare = 0.7;   // of the progress bar; decoding the track fills the rest

  const params = new URLSearchParams(location.search);
  const stepped = params.has('step');
  const MaxTrackSeconds = 20 * 60;   // as on the desktop
  // Music error codes (audio/music_errors.h) for what the page finds wrong with a listener's file.
  const TrackNotFound = 1, TrackEmpty = 2, TrackNotAudio = 12, TrackHoldsNoSound = 13, TrackTooLong = 14,
        TrackEndsEarly = 16;
  const stage = document.getElementById('stage');
  const canvas = document.getElementById('canvas');
  const overlay = document.getElementById('overlay');
  const message = document.getElementById('message');
  const bar = document.querySelector('#progress div');
  const again = document.getElementById('again');
  let failed = false;

  function show(text, isError) {
    overlay.hidden = false;
    overlay.className = '';
    message.textContent = text;
    message.className = isError ? 'error' : '';
  }
  function progress(fraction) { bar.style.width = (100 * Math.max(0, Math.min(1, fraction))).toFixed(1) + '%'; }
  function fail(text) {
    if (failed) return;
    failed = true;
    canvas.hidden = true;
    document.getElementById('progress').hidden = true;
    show(text, true);
    if (stepped) document.title = 'error: ' + text;
  }

  // The canvas's drawing buffer: its CSS size times the device's pixel ratio (at most 3840x2160) where
  // the module says the GL can fill that many pixels, else the show's own 1024x768, which the browser
  // scales; the stepped mode's &size=WxH exactly. The picture inside is letterboxed by the module.
  const MaxBackingWidth = 3840, MaxBackingHeight = 2160;
  const steppedSize = /^(\d+)x(\d+)$/.exec(params.get('size') || '');
  let screenSized = false;   // the module's answer, once it has a GL context
  function backingSize(cssWidth, cssHeight) {
    if (steppedSize) return [Number(steppedSize[1]), Number(steppedSize[2])];
    if (stepped || !screenSized) return [ShowWidth, ShowHeight];
    const ratio = window.devicePixelRatio || 1;
    const w = Math.max(1, Math.round(cssWidth * ratio)), h = Math.max(1, Math.round(cssHeight * ratio));
    const cap = Math.min(1, MaxBackingWidth / w, MaxBackingHeight / h);
    return [Math.max(1, Math.floor(w * cap)), Math.max(1, Math.floor(h * cap))];
  }

  // Undistorted, as large as the window allows, centred on black.
  function fit() {
    const scale = Math.min(window.innerWidth / ShowWidth, window.innerHeight / ShowHeight);
    const cssWidth = Math.floor(ShowWidth * scale), cssHeight = Math.floor(ShowHeight * scale);
    canvas.style.width = cssWidth + 'px';
    canvas.style.height = cssHeight + 'px';
    const [w, h] = backingSize(cssWidth, cssHeight);
    // Setting a size, even the same one, clears the drawing buffer: only a change may.
    if (canvas.width !== w) canvas.width = w;
    if (canvas.height !== h) canvas.height = h;
  }
  window.addEventListener('resize', fit);
  // The pixel ratio changes without a resize when the window moves to another screen or is zoomed.
  function watchPixelRatio() {
    window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)')
        .addEventListener('change', () => { fit(); watchPixelRatio(); }, {once: true});
  }
  watchPixelRatio();
  fit();

  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (stage.requestFullscreen) stage.requestFullscreen().catch(() => {});
  }
  window.addEventListener('keydown', (e) => { if (e.key === 'f' || e.key === 'F') toggleFullScreen(); });
  stage.addEventListener('dblclick', toggleFullScreen);
  // The click is a gesture, so the sound may start again at once, on a new AudioContext.
  again.addEventListener('click', (e) => {
    e.stopPropagation();
    again.hidden = true;
    canvas.hidden = false;
    overlay.className = '';
    startOnGesture();
  });

  if (params.has('size') && (!steppedSize || [1, 2].some((i) => Number(steppedSize[i]) < 16 ||
                                                                Number(steppedSize[i]) > 7680))) {
    fail('size must be WIDTHxHEIGHT, each 16 to 7680 pixels');
    return;
  }

  const probe = document.createElement('canvas');
  if (!probe.getContext('webgl')) {
    fail('This browser cannot draw the show: WebGL is not available (it may be switched off, or the graphics driver is blocked).');
    return;
  }

  // --- Starting the sound: only a gesture may, so the show starts on one.
  let audioContext = null;
  function startOnGesture() {
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextClass) {
      fail('This browser has no Web Audio: the show cannot play its sound.');
      return;
    }
    try {
      audioContext = new AudioContextClass({sampleRate: 44100, latencyHint: 'interactive'});
    } catch (e) {
      fail('The sound could not start: ' + e.message);
      return;
    }
    Module.audioContext = audioContext;
    startable = false;
    own.hidden = true;
    audioContext.resume();
    overlay.hidden = true;
    document.getElementById('progress').hidden = true;
    document.body.classList.add('playing');
    window.showFigures.startedAt = performance.now();
    Module._web_start();
    // A browser may keep the context suspended despite the gesture (site settings, no output device).
    setTimeout(() => {
      if (failed || audioContext.state === 'running' || audioContext.state === 'closed') return;
      show('The browser is holding back the sound. Click or press a key to let it play.', true);
      const retry = () => { audioContext.resume(); overlay.hidden = true; };
      window.addEventListener('pointerdown', retry, {once: true});
      window.addEventListener('keydown', retry, {once: true});
    }, 1500);
  }
  function waitForGesture() {
    show('Click or press a key to start.\nF or a double-click: full screen. Escape: end.', false);
    document.getElementById('progress').hidden = true;
    let started = false;
    const go = (e) => {
      // F toggles full screen; Escape, held as the show starts, would end it at once.
      if (started || (e.type === 'keydown' && ['f', 'F', 'Escape'].includes(e.key))) return;
      started = true;
      window.removeEventListener('pointerdown', go);
      window.removeEventListener('keydown', go);
      startOnGesture();
    };
    window.addEventListener('pointerdown', go);
    window.addEventListener('keydown', go);
    cancelGesture = () => {
      window.removeEventListener('pointerdown', go);
      window.removeEventListener('keydown', go);
    };
  }
  let cancelGesture = () => {};

  // --- A listener's own track: decoded by the browser at the show's rate, then read in by the module,
  // which finds its cues. Nothing leaves the page.
  const own = document.getElementById('own');
  const ownFile = document.getElementById('own-file');
  let listener = null;          // {name} while a listener's track is read in or plays
  let startable = false;
  let pendingFile = null;       // chosen before the show could take it

  // What the module needs beside the decoded samples to name a listener's track: the file's bytes,
  // for its tags, and the fonts its posters are set in, fetched from this site on first need.
  async function putWordsFiles(blob) {
    const fonts = [];
    for (let i = 0; Module._web_poster_font(i); i++) fonts.push(Module.UTF8ToString(Module._web_poster_font(i)));
    if (!Module.FS.analyzePath('/fonts').exists) Module.FS.mkdir('/fonts');
    await Promise.all(fonts.map(async (font) => {
      if (Module.FS.analyzePath('/fonts/' + font).exists) return;
      const bytes = await fetchFile('fonts/' + font);   // a missing font is left out: the module names it
      if (bytes) Module.FS.writeFile('/fonts/' + font, bytes);
    }));
    Module.FS.writeFile('/listener-track', new Uint8Array(await blob.arrayBuffer()));
  }

  function trackFailure(name, code) {
    return 'can\'t play \'' + name + '\': ' + Module.UTF8ToString(Module._web_music_error_text(code));
  }
  // The length the file's header states, read as the browser's player would (NaN if it can't tell).
  function statedSeconds(blob) {
    return new Promise((resolve) => {
      const audio = new Audio();
      const url = URL.createObjectURL(blob);
      const done = (value) => { URL.revokeObjectURL(url); resolve(value); };
      const timer = setTimeout(() => done(NaN), 5000);
      audio.preload = 'metadata';
      audio.onloadedmetadata = () => { clearTimeout(timer); done(audio.duration); };
      audio.onerror = () => { clearTimeout(timer); done(NaN); };
      audio.src = url;
    });
  }
  // An AudioBuffer of at most two channels at 44.1 kHz, or a music error code thrown. More channels
  // go down to two by Web Audio's own speaker mix.
  async function decodeOwnTrack(blob) {
    if (blob.size === 0) throw TrackEmpty;
    const stated = await statedSeconds(blob);
    if (stated > MaxTrackSeconds && isFinite(stated)) throw TrackTooLong;
    let buffer;
    try {
      buffer = await new OfflineAudioContext(2, 1, 44100).decodeAudioData(await blob.arrayBuffer());
    } catch (e) {
      throw TrackNotAudio;
    }
    if (!buffer.length || !buffer.numberOfChannels) throw TrackHoldsNoSound;
    if (buffer.duration > MaxTrackSeconds) throw TrackTooLong;
    if (isFinite(stated) && buffer.duration + 0.25 < stated) throw TrackEndsEarly;
    if (buffer.numberOfChannels <= 2) return buffer;
    const mix = new OfflineAudioContext(2, buffer.length, 44100);
    const source = mix.createBufferSource();
    source.buffer = buffer;
    source.connect(mix.destination);
    source.start();
    return mix.startRendering();
  }
  async function playOwnTrack(file) {
    if (failed) return;
    if (!startable) { pendingFile = file; return; }
    startable = false;
    cancelGesture();
    own.hidden = true;
    show('Reading ' + file.name + '…', false);
    document.getElementById('progress').hidden = false;
    progress(0);
    window.showFigures.listenerChosenAt = performance.now();
    try {
      Module.listenerTrack = await decodeOwnTrack(file);
      window.showFigures.listenerDecodedAt = performance.now();
      window.showFigures.listenerSeconds = Module.listenerTrack.duration;
    } catch (code) {
      fail(typeof code === 'number' ? trackFailure(file.name, code) : String(code));
      return;
    }
    await putWordsFiles(file);
    listener = {name: file.name};
    window.showFigures.listenerName = file.name;
    const name = Module.stringToNewUTF8(file.name);
    Module._web_use_page_track(name);
    Module._free(name);
  }
  document.getElementById('own-button').addEventListener('click', (e) => { e.stopPropagation(); ownFile.click(); });

  // --- Listening: the sound of a microphone, or of a tab or screen the listener shares, analysed by the
  // module as it arrives. The page plays none of it.
  const listenTab = document.getElementById('listen-tab');
  listenTab.hidden = !(navigator.mediaDevices && navigator.mediaDevices.getDisplayMedia);
  async function listenStream(kind) {
    const devices = navigator.mediaDevices;
    if (!devices) throw 'This browser cannot listen (it needs a secure page: https or localhost).';
    if (kind === 'mic') {
      return devices.getUserMedia({audio: {echoCancellation: false, noiseSuppression: false, autoGainControl: false}});
    }
    // Browsers share a tab's or screen's sound only beside its picture; the picture is dropped at once.
    const stream = await devices.getDisplayMedia({video: true, audio: true});
    for (const track of stream.getVideoTracks()) track.stop();
    return stream;
  }
  async function startListening(kind) {
    if (failed || !startable) return;
    startable = false;
    cancelGesture();
    own.hidden = true;
    let stream;
    try {
      stream = await listenStream(kind);
    } catch (e) {
      fail(typeof e === 'string' ? e : 'The browser did not let the show listen: ' + (e.message || e.name));
      return;
    }
    const track = stream.getAudioTracks()[0];
    if (!track) {
      fail('What was shared has no sound: share a tab or screen that plays, with its sound ticked.');
      return;
    }
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    try {
      audioContext = new AudioContextClass({sampleRate: 44100, latencyHint: 'interactive'});
      Module.audioContext = audioContext;
      await audioContext.audioWorklet.addModule('listen-worklet.js');
    } catch (e) {
      fail('The show cannot listen in this browser: ' + (e.message || e));
      return;
    }
    const source = audioContext.createMediaStreamSource(stream);
    const ear = new AudioWorkletNode(audioContext, 'show-listen');
    const silent = audioContext.createGain();
    silent.gain.value = 0;   // the node runs only when it leads to the speakers; it sends them nothing
    source.connect(ear).connect(silent).connect(audioContext.destination);
    let buffer = 0, bufferFrames = 0;
    ear.port.onmessage = (e) => {
      const frames = e.data.length / 2;
      if (frames > bufferFrames) {
        if (buffer) Module._free(buffer);
        buffer = Module._malloc(e.data.length * 4);
        bufferFrames = frames;
      }
      Module.HEAPF32.set(e.data, buffer >> 2);
      Module._web_listen_samples(buffer, frames);
    };
    track.addEventListener('ended', () => Module._web_listen_ended());
    audioContext.resume();
    overlay.hidden = true;
    document.getElementById('progress').hidden = true;
    document.body.classList.add('playing');
    window.showFigures.listeningAt = performance.now();
    const name = Module.stringToNewUTF8((kind === 'mic' ? 'microphone: ' : 'shared: ') + (track.label || 'unnamed'));
    Module._web_listen_start(name);
    Module._free(name);
    window.showListening = {stream: stream, stop: () => stream.getTracks().forEach((t) => t.stop())};
  }
  document.getElementById('listen-mic').addEventListener('click', (e) => { e.stopPropagation(); startListening('mic'); });
  listenTab.addEventListener('click', (e) => { e.stopPropagation(); startListening('tab'); });
  own.addEventListener('pointerdown', (e) => e.stopPropagation());
  ownFile.addEventListener('change', () => { if (ownFile.files[0]) playOwnTrack(ownFile.files[0]); });
  window.addEventListener('dragover', (e) => e.preventDefault());
  window.addEventListener('drop', (e) => {
    e.preventDefault();
    if (e.dataTransfer.files[0] && !stepped) playOwnTrack(e.dataTransfer.files[0]);
  });
  // The stepped mode's &track=URL: fetched from this page's own site only, decoded the same way.
  async function fetchOwnTrack(url) {
    const name = decodeURIComponent(url.pathname.split('/').pop() || url.pathname);
    if (url.origin !== location.origin) throw 'can\'t play \'' + name + '\': &track takes a file of this site only';
    const response = await fetch(url).catch(() => null);
    if (!response || !response.ok) throw trackFailure(name, TrackNotFound);
    try {
      const blob = await response.blob();
      return {name: name, blob: blob, buffer: await decodeOwnTrack(blob)};
    } catch (code) {
      throw typeof code === 'number' ? trackFailure(name, code) : String(code);
    }
  }

  // --- What the module reports
  function onShowState(what, value) {
    if (what === 'decoding') {
      progress(listener ? value : DownloadShare + (1 - DownloadShare) * value);
    } else if (what === 'cues') {
      window.showFigures.listenerCues = value;
      window.showFigures.listenerCuesAt = performance.now();
      window.showFigures.wasmHeapBytes = Module.HEAP8.length;
    } else if (what === 'tempo' || what === 'words') {
      window.showFigures[what === 'tempo' ? 'listenerTempoMs' : 'listenerWordsMs'] = value;
    } else if (what === 'decoded') {
      window.showFigures.decodedTrackBytes = value;
      window.showFigures.decodedAt = performance.now();
    } else if (what === 'startable') {
      startable = true;
      if (params.has('listen')) startListening('mic');   // the default input, where the browser allows it
      else if (params.has('autostart')) startOnGesture();   // only where autoplay is allowed (tests)
      else waitForGesture();
      if (!startable) return;
      own.hidden = false;
      if (pendingFile) playOwnTrack(pendingFile);
      pendingFile = null;
    } else if (what === 'resolution') {
      screenSized = value === 1;
      fit();
    } else if (what === 'closing') {
      window.showFigures.closingAt = performance.now();
    } else if (what === 'ready') {
      overlay.hidden = true;
      document.title = 'ready';
    } else if (what.startsWith('error: ')) {
      fail(what.slice(7));
    } else if (what === 'over' || what === 'escaped') {
      if (window.showListening) {   // the stream and the context that heard it go with the show
        window.showListening.stop();
        window.showListening = null;
        audioContext.close();
      }
      document.body.classList.remove('playing');
      window.showFigures.ended = what;
      show(what === 'over' ? 'The end.' : 'Stopped.', false);
      overlay.className = 'ended';
      document.getElementById('progress').hidden = true;
      if (what === 'escaped') canvas.hidden = true;   // as the desktop closes its window
      again.hidden = false;
    }
  }

  window.showFigures = {loadStartedAt: performance.now()};
  window.Module = {
    canvas: canvas,
    preserveDrawingBuffer: stepped,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onShowFailure: fail,
    onShowState: onShowState,
    onAbort: (what) => fail('The show stopped: ' + what),
  };
  window.showEvents = () => Module.FS.readFile(Module.UTF8ToString(Module._web_events_file()), {encoding: 'utf8'});
  // The stepped mode once 'ready': the same run again in this page, 'ready' again when it is done.
  window.showStepAgain = () => {
    document.title = 'stepping';
    Module._web_start();
  };
  // A listener's posters as PNG files (name: base64), as showcap --posters writes them; {} before.
  window.showPosters = () => {
    if (!Module.FS.analyzePath('/posters').exists) Module.FS.mkdir('/posters');
    const dir = Module.stringToNewUTF8('/posters');
    const written = Module._web_write_posters(dir);
    Module._free(dir);
    const out = {};
    if (!written) return out;
    for (const name of Module.FS.readdir('/posters')) {
      if (name.endsWith('.png')) out[name] = btoa(String.fromCharCode(...Module.FS.readFile('/posters/' + name)));
    }
    return out;
  };
  window.showAudioClock = () => ({
    contextTime: Module._web_audio_clock(0), baseLatency: Module._web_audio_clock(1),
    outputLatency: Module._web_audio_clock(2), heardSeconds: Module._web_audio_clock(3),
    musicPositionMs: Module._web_audio_clock(4), performanceNow: performance.now(),
    state: audioContext ? audioContext.state : 'none',
  });

  // --- Loading: every file fetched (with the bytes counted for the bar), the module compiled, then
  // the files go into the module's file system. A file the server does not have is left out, so the
  // show meets it as missing and says so in its own words, as on the desktop.
  const expected = new Map(), received = new Map();
  function updateDownload() {
    let want = 0, got = 0;
    for (const name of Files) {
      want += expected.get(name) || 0;
      got += received.get(name) || 0;
    }
    if (want > 0) progress(DownloadShare * got / want);
  }
  async function fetchFile(name) {
    let response;
    try {
      response = await fetch(name);
    } catch (e) {
      return null;
    }
    if (!response.ok) return null;
    expected.set(name, Number(response.headers.get('Content-Length')) || 0);
    const reader = response.body.getReader();
    const chunks = [];
    let length = 0;
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      chunks.push(value);
      length += value.length;
      received.set(name, length);
      updateDownload();
    }
    const bytes = new Uint8Array(length);
    let at = 0;
    for (const c of chunks) {
      bytes.set(c, at);
      at += c.length;
    }
    return bytes;
  }

  const runtimeReady = new Promise((resolve) => { Module.onRuntimeInitialized = resolve; });
  const downloads = Promise.all(Files.map((name) => fetchFile(name).then((bytes) => [name, bytes])));
  const script = document.createElement('script');
  script.src = 'show.js';
  script.onerror = () => fail('The show\'s program (show.js) could not be loaded.');
  document.body.appendChild(script);

  Promise.all([runtimeReady, downloads]).then(async ([, files]) => {
    if (failed) return;
    window.showFigures.filesLoadedAt = performance.now();
    for (const [name, bytes] of files) if (bytes) Module.FS.writeFile('/' + name, bytes);
    const args = [];
    if (params.has('resolution')) args.push('--resolution', params.get('resolution'));
    if (stepped || params.has('listen')) {
      if (params.has('events')) args.push('--events');
    }
    if (stepped) {
      args.push('--step', params.get('step') || '', '--at', params.get('at') || '0');
      if (params.has('track')) {
        try {
          const track = await fetchOwnTrack(new URL(params.get('track'), location.href));
          await putWordsFiles(track.blob);
          Module.listenerTrack = track.buffer;
          listener = {name: track.name};
          args.push('--page-track', track.name);
          for (const word of ['title', 'artist']) if (params.has(word)) args.push('--' + word, params.get(word));
        } catch (text) {
          fail(String(text));
          return;
        }
      }
    }
    Module.callMain(args);
  });
})();
