// vexlade in the browser: the start panel, the demo's files, the frame loop
// paced by the sound actually heard, and the controls.
//
// The frames come from the frame module (vexlade.wasm: the player's own
// frame stream over miniLZO and its glyph rasteriser); the PC-speaker
// simulation runs in an audio worklet (speaker-worklet.js with
// speaker.wasm). Frame k is on the canvas once the heard position has
// passed k / 25 s; the heard position is the audio context's output
// timestamp, which trails currentTime by the output latency.
//
// window.vexlade.status() gives {frame, seconds, playing}: the frame on the
// canvas (-1 before the first), the heard position in seconds and whether
// it plays; window.vexlade.seek(seconds) moves there.

'use strict';

(() => {
  const framesPerSecond = 25;
  const endSeconds = 706;  // the player ends at 15567300 samples of 22050 Hz
  const soundRate = 22050;  // the soundtrack's clock; the audio context runs at it too
  const pictureWidth = 640;
  const pictureHeight = 400;
  const seekStep = 5;
  const framesName = 'ld_vexl.d1';
  const soundName = 'ld_vexl.d2';

  const $ = (id) => document.getElementById(id);
  const ui = {
    stage: $('stage'), canvas: $('picture'), start: $('start'), play: $('play'),
    loadState: $('load-state'), wait: $('wait'), aspect: $('aspect'), pick: $('pick'), controls: $('controls'),
    toggle: $('toggle'), seek: $('seek'), time: $('time'), mute: $('mute'), full: $('full'),
    message: $('message'),
  };
  const painter = ui.canvas.getContext('2d');

  // ---- Messages -----------------------------------------------------------

  function say(text, kind) {
    ui.message.textContent = text;
    ui.message.className = kind;
    ui.message.hidden = !text;
    fit();
  }
  const fail = (text) => say(text, 'error');
  const notice = (text) => say(text, 'notice');

  class LoadError extends Error {}

  // ---- WebAssembly --------------------------------------------------------

  // The modules are standalone: they import only runtime hooks they never
  // call while running well (a memory-growth note, an exit on abort).
  function runtimeImports(module) {
    const imports = {};
    for (const entry of WebAssembly.Module.imports(module)) {
      if (entry.kind !== 'function')
        continue;
      imports[entry.module] ??= {};
      imports[entry.module][entry.name] = entry.name === 'proc_exit'
        ? (code) => { throw new Error(`the frame module stopped (${code})`); }
        : () => 0;
    }
    return imports;
  }

  // The frame file inside the frame module, fed as it arrives: a picture
  // per frame on demand, for the frames whose blocks are in.
  class FrameFile {
    constructor(instance) {
      this.wasm = instance.exports;
      this.wasm._initialize();
      this.begin();
    }

    static async load() {
      const module = await WebAssembly.compile(await fetchFile('vexlade.wasm'));
      return new FrameFile(await WebAssembly.instantiate(module, runtimeImports(module)));
    }

    // A new file of `size` bytes (0: not known), none of it in yet.
    begin(size = 0) {
      this.wasm.vexl_begin();
      this.size = 0;
      this.available = 0;  // frames that can be shown
      this.complete = false;
      if (size)
        this.room(size);
    }

    room(size) {
      const at = this.wasm.vexl_room(size);
      if (!at)
        throw new LoadError(`${framesName} is too large for this browser's memory`);
      return at;
    }

    // The next bytes of the file.
    append(bytes) {
      const at = this.room(this.size + bytes.length);
      new Uint8Array(this.wasm.memory.buffer, at + this.size, bytes.length).set(bytes);
      this.size += bytes.length;
      this.available = this.wasm.vexl_arrived(this.size);
      if (this.available < 0)
        throw new LoadError(`${framesName} is too large for this browser's memory`);
    }

    // The whole file is in; returns the number of frames.
    finish() {
      this.available = this.wasm.vexl_finish();
      if (this.available < 0)
        throw new LoadError(`${framesName} is too large for this browser's memory`);
      this.complete = true;
      return this.available;
    }

    // Whether frame `frame` can be shown now: its blocks are in, or the
    // file is, and then a frame past its end shows as its last.
    ready(frame) {
      return this.complete ? this.available > 0 : frame < this.available;
    }

    // The first damage found so far, or ''.
    damage() {
      const at = this.wasm.vexl_damage();
      const bytes = new Uint8Array(this.wasm.memory.buffer, at);
      return new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
    }

    // Frame `frame` as ImageData (a view of the module's memory: draw it
    // before asking for the next).
    picture(frame) {
      const at = this.wasm.vexl_picture(frame);
      const pixels = new Uint8ClampedArray(this.wasm.memory.buffer, at, pictureWidth * pictureHeight * 4);
      return new ImageData(pixels, pictureWidth, pictureHeight);
    }
  }

  // ---- The demo's files ---------------------------------------------------

  async function fetchResponse(name) {
    let response;
    try {
      response = await fetch(name);
    } catch (error) {
      throw new LoadError(location.protocol === 'file:'
        ? `${name} cannot be fetched by a page opened as a file: serve the folder with a web server`
        : `${name} could not be fetched (${error.message})`);
    }
    if (!response.ok)
      throw new LoadError(response.status === 404
        ? `${name} was not found next to this page`
        : `${name} could not be fetched (HTTP ${response.status})`);
    return response;
  }

  // A file as it arrives: {size, stream}, its size 0 when the transfer
  // does not tell it (a compressed transfer's length is not the file's).
  async function fetchStream(name) {
    const response = await fetchResponse(name);
    const encoding = response.headers.get('Content-Encoding');
    const size = encoding && encoding !== 'identity' ? 0 : Number(response.headers.get('Content-Length')) || 0;
    return {size, stream: response.body ?? new Response(await response.arrayBuffer()).body};
  }

  // Reads `source` ({size, stream}) to its end, handing each piece to
  // `take` as it comes; `progress` gets the share that is in.
  async function readStream(name, source, take, progress = () => {}) {
    const reader = source.stream.getReader();
    let size = 0;
    for (;;) {
      const {done, value} = await reader.read();
      if (done)
        return;
      size += value.length;
      if (source.size && size > source.size) {
        reader.cancel();
        throw new LoadError(`${name} changed while it was loading`);
      }
      if (take(value) === false) {
        reader.cancel();
        return;
      }
      if (source.size)
        progress(size / source.size);
    }
  }

  // A whole file, read into one array of the announced size as the bytes
  // come (no pieces to join afterwards).
  async function fetchFile(name, progress) {
    const source = await fetchStream(name);
    if (!source.size)
      return new Uint8Array(await new Response(source.stream).arrayBuffer());
    const bytes = new Uint8Array(source.size);
    let size = 0;
    await readStream(name, source, (piece) => { bytes.set(piece, size); size += piece.length; }, progress);
    return size === source.size ? bytes : bytes.subarray(0, size);
  }

  function monoBuffer(length, sampleRate) {
    return new AudioBuffer({numberOfChannels: 1, length: Math.max(length, 1), sampleRate});
  }

  // Signed 16-bit little-endian samples starting at byte `at`, as an array
  // (copied when the start is odd, which a typed array cannot view).
  function pcm16(bytes, at, count) {
    const start = bytes.byteOffset + at;
    return start % 2 === 0 ? new Int16Array(bytes.buffer, start, count)
                           : new Int16Array(bytes.slice(at, at + count * 2).buffer);
  }

  // 16-bit PCM WAV at the clock's rate is read here: the browser's decoder
  // takes seconds over a long soundtrack, this takes milliseconds. Null for
  // anything else.
  function readPcmWav(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const tag = (at) => String.fromCharCode(...bytes.subarray(at, at + 4));
    if (bytes.length < 12 || tag(0) !== 'RIFF' || tag(8) !== 'WAVE')
      return null;
    let format = null;
    for (let at = 12; at + 8 <= bytes.length;) {
      const size = view.getUint32(at + 4, true);
      const body = at + 8;
      if (tag(at) === 'fmt ' && size >= 16 && body + 16 <= bytes.length) {
        format = {code: view.getUint16(body, true), channels: view.getUint16(body + 2, true),
                  rate: view.getUint32(body + 4, true), bits: view.getUint16(body + 14, true)};
        if (format.code === 0xFFFE && size >= 40 && body + 26 <= bytes.length)
          format.code = view.getUint16(body + 24, true);  // extensible: the sub-format's code
      } else if (tag(at) === 'data') {
        if (!format || format.code !== 1 || format.bits !== 16 || format.rate !== soundRate || !format.channels)
          return null;
        const channels = format.channels;
        const frames = Math.floor(Math.min(size, bytes.length - body) / (2 * channels));
        const samples = pcm16(bytes, body, frames * channels);
        const buffer = monoBuffer(frames, soundRate);
        const out = buffer.getChannelData(0);
        for (let i = 0; i < frames; ++i) {
          let sum = 0;
          for (let c = 0; c < channels; ++c)
            sum += samples[i * channels + c];
          out[i] = sum / channels / 32768;
        }
        return buffer;
      }
      at = body + size + (size & 1);
    }
    return null;
  }

  // One channel at 22050 Hz: read or decoded by the browser, or, where it
  // cannot, taken as raw signed 16-bit little-endian mono samples, as the
  // player takes a file its decoder does not know.
  async function decodeSound(bytes) {
    const wav = readPcmWav(bytes);
    if (wav)
      return wav;
    let decoded;
    try {
      decoded = await new OfflineAudioContext(1, 1, soundRate).decodeAudioData(bytes.slice().buffer);
    } catch {
      const count = bytes.length >> 1;
      const samples = pcm16(bytes, 0, count);
      const buffer = monoBuffer(count, soundRate);
      const out = buffer.getChannelData(0);
      for (let i = 0; i < count; ++i)
        out[i] = samples[i] / 32768;
      return buffer;
    }
    if (decoded.numberOfChannels === 1)
      return decoded;
    const mono = monoBuffer(decoded.length, decoded.sampleRate);
    const sum = mono.getChannelData(0);
    for (let c = 0; c < decoded.numberOfChannels; ++c) {
      const channel = decoded.getChannelData(c);
      for (let i = 0; i < sum.length; ++i)
        sum[i] += channel[i] / decoded.numberOfChannels;
    }
    return mono;
  }

  // ---- State --------------------------------------------------------------

  // The frame file waits only for its own module.
  const frameModule = FrameFile.load();
  const modules = Promise.all([frameModule, fetchFile('speaker.wasm')]);
  modules.catch(() => {});

  const state = {
    demo: null,         // {first, frames, sound}: promises, see openDemo
    context: null,      // AudioContext, made on Play
    output: null,       // GainNode: mute
    input: null,        // where the soundtrack goes in: the speaker node or output
    source: null,       // AudioBufferSourceNode of the soundtrack, while it sounds
    frames: null,       // FrameFile
    sound: null,        // AudioBuffer or null
    started: false,     // Play was clicked and the first frame is in
    wanted: false,      // the viewer wants it to play (not paused)
    waiting: false,     // for the soundtrack, which the clock follows
    stalled: false,     // for the frame file to reach the frame due
    playing: false,     // the clock runs: the soundtrack sounds
    suspended: false,   // the audio context was suspended (on pause)
    resuming: false,    // the audio context is being resumed
    ended: false,
    offset: 0,          // soundtrack position at startedAt
    startedAt: 0,       // context time at which the position was `offset`
    heard: 0,           // the position last read, never going back between seeks
    shown: -1,          // the frame on the canvas
    damage: '',
  };

  // ---- Loading ------------------------------------------------------------

  function setLoadState(text) {
    ui.loadState.textContent = text;
  }

  // A demo being loaded: `first` is there once a frame can be shown (the
  // frame file fills the frame module as it arrives, so the first frames
  // show long before the rest is in), `frames` once the whole frame file
  // is in, and `sound` once the soundtrack is decoded (its buffer null when
  // there is none). Only the latest demo feeds the frame module.
  let latestDemo = 0;
  function openDemo(framesSource, soundBytes, framesLabel = framesName, progress = () => {}) {
    const generation = ++latestDemo;
    const superseded = () => new LoadError('other files were chosen');
    let firstIn;
    const first = new Promise((resolve, reject) => { firstIn = {resolve, reject}; });
    const frames = (async () => {
      const file = await frameModule;
      const source = await framesSource;
      if (generation !== latestDemo)
        throw superseded();
      file.begin(source.size);
      let broken = '';
      try {
        await readStream(framesLabel, source, (piece) => {
          if (generation !== latestDemo)
            return false;
          file.append(piece);
          if (file.available > 0)
            firstIn.resolve(file);
          return true;
        }, progress);
      } catch (error) {
        // A transfer that broke off is like a file cut short: what came plays.
        if (error instanceof LoadError || !file.size || generation !== latestDemo)
          throw error;
        broken = error.message;
      }
      if (generation !== latestDemo)
        throw superseded();
      performance.mark('vexlade:frames-fetched');
      const count = file.finish();
      const damage = file.damage();
      if (count === 0)
        throw new LoadError(`${framesLabel} holds no frame to show${damage ? ': ' + damage : ''}`);
      firstIn.resolve(file);
      const notes = [];
      if (broken)
        notes.push(`${framesLabel} stopped loading (${broken}); the frames that came play.`);
      if (damage)
        notes.push(`${framesLabel} is damaged (${damage}); the frames before the damage play.`);
      return {file, count, note: notes.join(' ')};
    })();
    frames.catch((error) => firstIn.reject(error));
    first.catch(() => {});
    const sound = (async () => {
      let bytes;
      try {
        bytes = await soundBytes;
      } catch (error) {
        return {buffer: null, note: `${error.message}: the demo plays without sound.`};
      }
      performance.mark('vexlade:sound-fetched');
      const buffer = await decodeSound(bytes);
      performance.mark('vexlade:sound-decoded');
      return {buffer, note: ''};
    })();
    return {first, frames, sound};
  }

  function loadFromServer() {
    let framesDone = 0;
    let soundDone = 0;
    const progress = () => setLoadState(`Loading the demo\u2026 ${Math.round((framesDone + soundDone) * 50)}%`);
    // The soundtrack comes after the frames, which the first frame needs.
    let framesIn;
    const sound = new Promise((resolve) => { framesIn = resolve; })
      .then(() => fetchFile(soundName, (f) => { soundDone = f; progress(); }));
    const demo = openDemo(fetchStream(framesName), sound, framesName, (f) => { framesDone = f; progress(); });
    demo.frames.then(framesIn, framesIn);
    return demo;
  }

  function useDemo(demo) {
    state.demo = demo;
    ui.play.disabled = false;
    say('', '');
    setLoadState('Loading the demo\u2026');
    // Each note as soon as it is known: damage at the frame file's end may
    // come to light while the demo already plays.
    const notes = [];
    let failed = false;
    const tell = (note) => {
      if (note && state.demo === demo && !failed) {
        notes.push(note);
        notice(notes.join(' '));
      }
    };
    demo.frames.then((frames) => tell(frames.note), () => {});
    demo.sound.then((sound) => tell(sound.note), () => {});
    Promise.all([demo.frames, demo.sound]).then(([frames, sound]) => {
      if (state.demo === demo)
        setLoadState(`Ready: ${frames.count} frames (${formatTime(frames.count / framesPerSecond)})` +
                     `${sound.buffer ? ' and the soundtrack' : ''}.`);
    }, (error) => {
      if (state.demo !== demo)
        return;
      failed = true;
      ui.play.disabled = true;
      setLoadState('');
      // Other files help only where the player itself could load.
      modules.then(() => fail(`Loading failed. ${error.message}.` +
                              ' Drop the demo\'s files on the page or pick them to play them instead.'),
                   () => fail(`Loading failed. ${error.message}.`));
    });
  }

  // Files from this computer: the frame file by its name (.d1) or, failing
  // that, as the one that is not a sound file; the soundtrack is the other.
  function useLocalFiles(list) {
    const files = [...list];
    if (!files.length)
      return;
    const isSound = (file) => /\.(d2|wav|ogg|oga|opus|flac|mp3|m4a|aac|webm)$/i.test(file.name) ||
                              file.type.startsWith('audio/');
    const framesFile = files.find((f) => /\.d1$/i.test(f.name)) ?? files.find((f) => !isSound(f));
    const soundFile = files.find((f) => f !== framesFile);
    stop();
    const read = async (file) => new Uint8Array(await file.arrayBuffer());
    useDemo(openDemo(
      framesFile ? Promise.resolve({size: framesFile.size, stream: framesFile.stream()})
                 : Promise.reject(new LoadError(`there is no frame file among ${files.map((f) => f.name).join(', ')}`)),
      soundFile ? read(soundFile) : Promise.reject(new LoadError('No soundtrack was given')),
      framesFile?.name));
  }

  // ---- The heard position -------------------------------------------------

  // Seconds of soundtrack heard now: the output timestamp's context time,
  // carried forward by the time since it was taken.
  function heardSeconds() {
    if (!state.started)
      return state.offset;
    if (!state.playing)
      return state.heard;
    const context = state.context;
    const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    let heard;
    if (stamp && stamp.performanceTime > 0)
      heard = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
    else
      heard = context.currentTime - (context.outputLatency || context.baseLatency || 0);
    const position = state.offset + Math.max(0, heard - state.startedAt);
    state.heard = Math.min(Math.max(state.heard, position), endSeconds);
    return state.heard;
  }

  // The last frame shown before the end: the frame file's last, once it
  // is all in, and never one past 706 s.
  function lastFrame() {
    const frames = state.frames;
    const count = frames && frames.complete ? frames.available : Infinity;
    return Math.min(count, endSeconds * framesPerSecond) - 1;
  }

  function frameAt(seconds) {
    return Math.max(0, Math.min(Math.floor(seconds * framesPerSecond), lastFrame()));
  }

  // ---- Sound --------------------------------------------------------------

  function stopSource() {
    if (state.source) {
      state.source.onended = null;
      state.source.stop();
      state.source.disconnect();
      state.source = null;
    }
  }

  // The soundtrack sounds from `seconds` on; the position holds there until
  // the new sound is heard. Past the end of the soundtrack the clock runs on
  // in silence.
  function startSound(seconds) {
    stopSource();
    const context = state.context;
    state.offset = seconds;
    state.heard = seconds;
    state.startedAt = context.currentTime;
    if (state.sound && seconds < state.sound.duration) {
      const source = new AudioBufferSourceNode(context, {buffer: state.sound});
      source.connect(state.input);
      source.start(state.startedAt, seconds);
      state.source = source;
    }
  }

  // The audio context is made in the click on Play (browsers let sound
  // start only from a gesture); the speaker worklet joins it when loaded.
  function makeAudio(simulateSpeaker) {
    let context;
    try {
      context = new AudioContext({sampleRate: soundRate});
    } catch {
      context = new AudioContext();  // a browser that keeps its own rate
    }
    state.context = context;
    state.output = new GainNode(context, {gain: ui.mute.dataset.muted ? 0 : 1});
    state.output.connect(context.destination);
    state.input = state.output;
    context.resume();
    if (!simulateSpeaker)
      return Promise.resolve();
    return (async () => {
      try {
        const [, speakerModule] = await modules;
        await context.audioWorklet.addModule('speaker-worklet.js');
        const speaker = new AudioWorkletNode(context, 'vexl-speaker', {
          numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [1],
          channelCount: 1, channelCountMode: 'explicit',
          processorOptions: {module: speakerModule},
        });
        speaker.connect(state.output);
        state.input = speaker;
      } catch (error) {
        notice(`The PC-speaker simulation is not available here (${error.message}); ` +
               'the soundtrack plays as it is.');
      }
    })();
  }

  // ---- Playing ------------------------------------------------------------

  function show(frame) {
    if (frame === state.shown || !state.frames)
      return;
    painter.putImageData(state.frames.picture(frame), 0, 0);
    if (state.shown < 0)
      performance.mark('vexlade:first-frame');
    state.shown = frame;
    const damage = state.frames.damage();
    if (damage && damage !== state.damage) {
      state.damage = damage;
      notice(`${framesName} is damaged (${damage}); frames from there on may show wrongly.`);
    }
  }

  // Shows the frame due at `seconds` once it is in; until then the clock
  // holds there (the frame file still arriving).
  function showAt(seconds) {
    const frame = frameAt(seconds);
    const ready = state.frames.ready(frame);
    if (ready)
      show(frame);
    if (ready === state.stalled) {
      state.stalled = !ready;
      settle();
    }
  }

  // Runs the clock, the soundtrack sounding, when the viewer wants it to and
  // nothing is missing; holds it otherwise. What is missing is said over
  // the picture, never a still canvas without a word.
  function settle() {
    const run = state.started && state.wanted && !state.waiting && !state.stalled && !state.ended;
    const context = state.context;
    if (run && !state.playing) {
      // A suspended context's clock stands (or is about to, after a
      // pause): the sound starts once the context runs again.
      if (!state.suspended && context.state === 'running') {
        startSound(state.heard);
        state.playing = true;
      } else if (!state.resuming) {
        state.resuming = true;
        state.suspended = false;
        context.resume().finally(() => {
          if (state.context !== context)
            return;
          state.resuming = false;
          if (context.state === 'running')
            settle();
          else
            notice('The browser keeps the sound stopped; press space to try again.');
        });
      }
    } else if (!run && state.playing) {
      heardSeconds();
      state.playing = false;
      stopSource();
      if (!state.wanted) {
        context.suspend();
        state.suspended = true;
      }
    }
    ui.wait.hidden = !state.started || !(state.waiting || state.stalled);
    ui.wait.textContent = state.stalled ? 'Loading the frames\u2026' : 'Loading the sound\u2026';
    updateControls(state.heard);
  }

  async function play(event) {
    event.preventDefault();
    if (state.started || ui.play.disabled)
      return;
    const form = new FormData(ui.start);
    // Both need the click itself: full screen and sound start only on a gesture.
    if (form.get('fullscreen') === 'yes')
      enterFullscreen();
    ui.play.disabled = true;
    const demo = state.demo;
    const audio = makeAudio(form.get('speaker') === 'yes');
    let frames;
    try {
      setLoadState('Starting\u2026');
      frames = await demo.first;
    } catch (error) {
      fail(`Loading failed. ${error.message}.`);
      return;
    }
    if (state.demo !== demo)
      return;
    state.frames = frames;
    state.damage = frames.damage();
    ui.start.hidden = true;
    ui.controls.hidden = false;
    fit();
    // The first frame shows at once; the clock starts with the sound.
    Object.assign(state, {started: true, wanted: true, waiting: true, heard: state.offset});
    showAt(state.offset);
    settle();
    const [sound] = await Promise.all([demo.sound.catch(() => ({buffer: null})), audio]);
    if (state.demo !== demo || !state.started)
      return;
    state.sound = sound.buffer;
    state.waiting = false;
    settle();
  }

  function pause() {
    state.wanted = false;
    settle();
  }

  function resume() {
    if (!state.started || state.wanted)
      return;
    if (state.ended) {
      state.heard = 0;
      state.ended = false;
      showAt(0);
    }
    state.wanted = true;
    settle();
  }

  function end() {
    state.wanted = false;
    state.ended = true;
    settle();
    state.heard = endSeconds;
    updateControls(endSeconds);
  }

  function seek(seconds) {
    seconds = Math.max(0, Math.min(Number(seconds) || 0, endSeconds));
    if (!state.started) {
      state.offset = seconds;
      return;
    }
    state.ended = false;
    if (state.playing)
      startSound(seconds);
    else
      state.heard = seconds;
    showAt(seconds);
    if (seconds >= endSeconds)
      end();
    updateControls(seconds);
  }

  // Back to the start panel, with nothing sounding.
  function stop() {
    if (state.context) {
      stopSource();
      state.context.close();
    }
    Object.assign(state, {context: null, output: null, input: null, frames: null, sound: null,
                          started: false, wanted: false, waiting: false, stalled: false, playing: false,
                          suspended: false, resuming: false, ended: false, offset: 0, heard: 0, shown: -1});
    painter.clearRect(0, 0, pictureWidth, pictureHeight);
    ui.wait.hidden = true;
    ui.start.hidden = false;
    ui.controls.hidden = true;
    fit();
  }

  function tick() {
    requestAnimationFrame(tick);
    if (!state.started)
      return;
    const seconds = heardSeconds();
    if (state.playing && seconds >= endSeconds) {
      showAt(endSeconds);
      end();
      return;
    }
    showAt(seconds);
    updateControls(seconds);
  }

  // ---- Controls -----------------------------------------------------------

  function formatTime(seconds) {
    const whole = Math.floor(seconds);
    return `${Math.floor(whole / 60)}:${String(whole % 60).padStart(2, '0')}`;
  }

  let dragging = false;
  function updateControls(seconds) {
    if (!dragging)
      ui.seek.value = seconds;
    ui.time.textContent = `${formatTime(seconds)} / ${formatTime(endSeconds)}`;
    ui.toggle.textContent = state.wanted ? 'Pause' : 'Play';
    ui.toggle.title = state.wanted ? 'Pause (space)' : 'Play (space)';
  }

  function togglePlaying() {
    if (state.wanted)
      pause();
    else
      resume();
  }

  function toggleMute() {
    const muted = !ui.mute.dataset.muted;
    if (muted)
      ui.mute.dataset.muted = 'yes';
    else
      delete ui.mute.dataset.muted;
    ui.mute.textContent = muted ? 'Unmute' : 'Mute';
    if (state.output)
      state.output.gain.value = muted ? 0 : 1;
  }

  function enterFullscreen() {
    if (!ui.stage.requestFullscreen)
      return;
    ui.stage.requestFullscreen().catch((error) => {
      notice(`Full screen was refused (${error.message}); press f to try again.`);
    });
  }

  function toggleFullscreen() {
    if (document.fullscreenElement)
      document.exitFullscreen();
    else
      enterFullscreen();
  }

  // The picture at the largest whole number of device pixels per pixel
  // that fits (4:3 stretches it to 640 x 480 first); smaller than 1:1 only
  // where even that does not fit.
  function fit() {
    const full = document.fullscreenElement === ui.stage;
    const ratio = window.devicePixelRatio || 1;
    const aspect = ui.aspect.checked ? 1.2 : 1;
    let width = window.innerWidth;
    let height = window.innerHeight;
    if (!full) {
      width -= 16;
      height -= 24 + (ui.controls.hidden ? 0 : ui.controls.offsetHeight) +
                (ui.message.hidden ? 0 : ui.message.offsetHeight + 8);
    }
    const scale = Math.floor(Math.min(width * ratio / pictureWidth, height * ratio / (pictureHeight * aspect)));
    const size = scale >= 1 ? scale / ratio
                            : Math.max(0.1, Math.min(width / pictureWidth, height / (pictureHeight * aspect)));
    ui.canvas.style.width = `${pictureWidth * size}px`;
    ui.canvas.style.height = `${pictureHeight * aspect * size}px`;
  }

  let idleTimer = 0;
  function wake() {
    ui.stage.classList.remove('idle');
    clearTimeout(idleTimer);
    idleTimer = setTimeout(() => ui.stage.classList.add('idle'), 2000);
  }

  function onKey(event) {
    if (!state.started || event.ctrlKey || event.altKey || event.metaKey)
      return;
    switch (event.key) {
    case ' ': togglePlaying(); break;
    case 'ArrowLeft': seek(heardSeconds() - seekStep); break;
    case 'ArrowRight': seek(heardSeconds() + seekStep); break;
    case 'Home': seek(0); resume(); break;
    case 'f': case 'F': toggleFullscreen(); break;
    case 'm': case 'M': toggleMute(); break;
    default: return;
    }
    event.preventDefault();
  }

  // ---- Wiring -------------------------------------------------------------

  ui.start.addEventListener('submit', play);
  document.addEventListener('keydown', onKey);
  // Space and the arrows belong to the player, not to a focused button or bar.
  document.addEventListener('keyup', (event) => {
    if (state.started && event.key === ' ')
      event.preventDefault();
  });
  for (const [button, action] of [[ui.toggle, togglePlaying], [ui.mute, toggleMute], [ui.full, toggleFullscreen]])
    button.addEventListener('click', () => { button.blur(); action(); });
  ui.seek.addEventListener('pointerdown', () => { dragging = true; });
  ui.seek.addEventListener('pointerup', () => { dragging = false; ui.seek.blur(); });
  ui.seek.addEventListener('input', () => seek(Number(ui.seek.value)));
  ui.aspect.addEventListener('change', fit);
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', () => { fit(); wake(); });
  ui.stage.addEventListener('mousemove', wake);
  ui.pick.addEventListener('change', () => useLocalFiles(ui.pick.files));
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dragging');
  });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    useLocalFiles(event.dataTransfer.files);
  });

  window.vexlade = {
    status: () => ({frame: state.shown, seconds: heardSeconds(), playing: state.playing}),
    seek,
  };

  useDemo(loadFromServer());
  fit();
  requestAnimationFrame(tick);
})();
