// <vexlade-player src="demo/">: the demo in any page, as many times as the
// page likes. It plays a site written by vexl web (src holds demo.json and
// the pieces), an older site (src holds ld_vexl.d1 and ld_vexl.d2), or files
// dropped on it or picked from its start panel.
//
// Each element has status() ({frame, seconds, playing, state}: the frame on
// the canvas, -1 before the first, the heard position in seconds, whether
// it moves on, and the playback state of clock.js), seek(seconds), play()
// and pause(), and says `statechange` as its state changes. The page's
// window.vexlade.status() and .seek() are those of its first player.
//
// Frame k is on the canvas once the sound actually heard has passed its
// time (the audio output's timestamp); the frame rate, the sample rate and
// the end come from the frame module.

import {Clock, Playback} from './clock.js';
import {Controls, formatTime} from './controls.js';
import {LoadError, fetchBytes, fetchIfThere, fetchStream} from './fetching.js';
import {FileFrames, FrameModule, PieceFrames} from './frames.js';
import {PieceSound, SilentOutput, SoundOutput, WholeSound, decodeSoundFile} from './sound.js';

const here = (name) => new URL(name, import.meta.url);
const framesName = 'ld_vexl.d1';
const soundName = 'ld_vexl.d2';
const caption = 'lumen-drift Vexlade 2003';
const aheadPieces = 6;  // fetched ahead of the position: 24 s, a few hundred kilobytes
const soundAhead = 2;   // chunks the worklet holds ahead of the position
// Seconds in hand past the position before the output is told to play on
// (no stall at once), and, once told, before it is told to hold: the next
// piece has that second to arrive. Told by what the output was told, not
// by what is heard, which trails it by the output's latency (a margin by
// the heard state would stop and start it over and over).
const startReach = 1;
const keepReach = 0.1;

const template = document.createElement('template');
template.innerHTML = `
<link rel="stylesheet" href="${here('player.css')}">
<div id="stage">
  <div id="screen">
    <canvas id="picture" width="640" height="400" role="img" aria-label="The demo's picture"></canvas>
    <img id="poster" alt="" hidden>
    <p id="wait" role="status" hidden></p>
    <form id="start" class="panel">
      <h2>${caption}</h2>
      <fieldset>
        <legend>Full screen?</legend>
        <label><input type="radio" name="fullscreen" value="yes" checked> Yes</label>
        <label><input type="radio" name="fullscreen" value="no"> No</label>
        <label class="aside"><input type="checkbox" id="aspect"> 4:3, as on a CRT</label>
      </fieldset>
      <fieldset>
        <legend>Simulate PC-Speaker?</legend>
        <label><input type="radio" name="speaker" value="yes" checked> Yes</label>
        <label><input type="radio" name="speaker" value="no"> No</label>
      </fieldset>
      <button id="play" type="submit">Play</button>
      <p id="load-state" role="status">Loading the demo&hellip;</p>
      <p class="aside">Or play files from this computer: drop <code>ld_vexl.d1</code> and its
        soundtrack here, or <label class="pick">pick them<input id="pick" type="file" multiple></label>.
        Nothing is uploaded.</p>
    </form>
  </div>
  <div id="controls" role="group" aria-label="Playback" hidden>
    <button id="toggle" type="button" title="Pause (space)" aria-keyshortcuts="Space">Pause</button>
    <input id="seek" type="range" min="0" max="0" step="0.04" value="0" aria-label="Position"
           aria-keyshortcuts="ArrowLeft ArrowRight Home">
    <span id="time" aria-hidden="true">0:00 / 0:00</span>
    <button id="mute" type="button" title="Mute (m)" aria-pressed="false" aria-keyshortcuts="M">Mute</button>
    <button id="full" type="button" title="Full screen (f)" aria-keyshortcuts="F">Full screen</button>
  </div>
  <p id="message" role="alert" hidden></p>
</div>`;

let speakerModule = null;  // speaker.wasm's bytes, for every player on the page

// A demo being loaded, from wherever it comes: `frames` (PieceFrames or
// FileFrames) and `sound` (PieceSound, WholeSound, or null for none), each
// once known.
class Demo {
  constructor(module) {
    this.module = module;
    this.frames = null;
    this.sound = undefined;  // undefined: not known yet
    this.poster = null;
    this.closed = false;
  }

  close() {
    this.closed = true;
    this.frames?.close();
    this.sound?.close();
  }
}

class VexladePlayer extends HTMLElement {
  static observedAttributes = ['src'];

  constructor() {
    super();
    const root = this.attachShadow({mode: 'open'});
    root.append(template.content.cloneNode(true));
    const $ = (id) => root.getElementById(id);
    this.ui = {
      stage: $('stage'), canvas: $('picture'), poster: $('poster'), start: $('start'), play: $('play'),
      loadState: $('load-state'), wait: $('wait'), aspect: $('aspect'), pick: $('pick'),
      controls: $('controls'), toggle: $('toggle'), seek: $('seek'), time: $('time'), mute: $('mute'),
      full: $('full'), message: $('message'),
    };
    this.painter = this.ui.canvas.getContext('2d');
    this.controls = new Controls(this, this.ui, {
      toggle: () => (this.playback.intent === 'play' ? this.pause() : this.play()),
      seek: (seconds) => this.seek(seconds),
      position: () => this.status().seconds,
      home: () => { this.seek(0); this.play(); },
      mute: (muted) => this.output?.mute(muted),
      started: () => this.playback.started,
      notice: (text) => this.say(text, 'notice'),
    });
    this.ui.start.addEventListener('submit', (event) => this.start(event));
    this.ui.pick.addEventListener('change', () => this.useFiles(this.ui.pick.files));
    this.addEventListener('dragover', (event) => { event.preventDefault(); this.classList.add('dragging'); });
    this.addEventListener('dragleave', () => this.classList.remove('dragging'));
    this.addEventListener('drop', (event) => {
      event.preventDefault();
      this.classList.remove('dragging');
      this.useFiles(event.dataTransfer.files);
    });
    this.demo = null;
    this.reset();
  }

  connectedCallback() {
    // The speaker simulation is a few kilobytes: in hand before Play.
    speakerModule ??= fetchBytes(here('speaker.wasm'), 'speaker.wasm');
    speakerModule.catch(() => {});
    if (!this.demo)
      this.open((demo, current) => this.loadSite(demo, current));
    const tick = () => {
      if (this.isConnected)
        this.frameRequest = requestAnimationFrame(tick);
      this.tick();
    };
    cancelAnimationFrame(this.frameRequest);
    this.frameRequest = requestAnimationFrame(tick);
    this.controls.fit();
  }

  disconnectedCallback() {
    cancelAnimationFrame(this.frameRequest);
    this.stop();
    this.demo?.close();
    this.demo = null;
  }

  attributeChangedCallback() {
    if (this.isConnected && this.demo)
      this.open((demo, current) => this.loadSite(demo, current));
  }

  // ---- The public face ---------------------------------------------------

  get state() {
    return this.playback.state;
  }

  // For a site of pieces also `ahead`: how many seconds past the position
  // the pieces in hand reach.
  status() {
    const position = this.position();
    const status = {frame: this.shown, seconds: this.clock ? position / this.clock.rate : 0,
                    playing: this.playback.state === 'playing', state: this.playback.state};
    const {frames, sound, module} = this.demo ?? {};
    if (frames?.reach && sound?.reach) {
      const end = Math.min(frames.reach(this.frameAt(position)) / module.frameRate,
                           sound.reach(position) >= sound.length ? Infinity : sound.reach(position) / module.sampleRate,
                           module.endSample / module.sampleRate);
      status.ahead = Math.max(0, end - position / module.sampleRate);
    }
    return status;
  }

  // Moves to `seconds`; before Play, that is where Play starts.
  seek(seconds) {
    if (!this.clock)
      return;  // the frame module, which knows the clock, is still on its way
    const end = this.clock.endSample / this.clock.rate;
    seconds = Math.max(0, Math.min(Number(seconds) || 0, end));
    const position = Math.round(seconds * this.clock.rate);
    const token = this.clock.seek(position);
    this.flowing = false;
    this.output?.seek(position, token);
    if (this.playback.started)
      this.playback.set('seeking');
    this.tick();
  }

  play() {
    if (!this.playback.started) {
      this.ui.play.click();
      return;
    }
    if (this.playback.state === 'ended')
      this.seek(0);
    this.playback.intent = 'play';
    this.tick();
  }

  pause() {
    this.playback.intent = 'pause';
    this.tick();
  }

  // ---- Messages ----------------------------------------------------------

  say(text, kind) {
    const message = this.ui.message;
    message.textContent = text;
    message.className = kind;
    message.hidden = !text;
    this.controls.fit();
  }

  setLoadState(text) {
    this.ui.loadState.textContent = text;
  }

  // ---- Loading -----------------------------------------------------------

  base() {
    const src = this.getAttribute('src') ?? 'demo/';
    return new URL(src.endsWith('/') ? src : src + '/', document.baseURI);
  }

  // A site of pieces, or else an older site's two files.
  async loadSite(demo, current) {
    const base = this.base();
    const response = await fetchIfThere(new URL('demo.json', base), 'demo.json');
    if (!current())
      return;
    if (!response)
      return this.loadFiles(demo, current, {
        frames: () => fetchStream(new URL(framesName, base), framesName),
        sound: async () => fetchBytes(new URL(soundName, base), soundName),
        label: framesName,
      });
    let manifest;
    try {
      manifest = await response.json();
    } catch (error) {
      throw new LoadError(`demo.json is not readable (${error.message})`);
    }
    if (manifest.version !== 1 || !manifest.frames || !manifest.sound)
      throw new LoadError('demo.json is of a kind this page does not know');
    let bytes = 0;
    const onBytes = (n) => { bytes += n; };
    demo.frames = new PieceFrames(demo.module, manifest, base, onBytes);
    demo.sound = new PieceSound(manifest, base, demo.module.sampleRate, onBytes);
    demo.poster = new URL(manifest.poster.file, base);
    this.ui.poster.src = demo.poster;
    this.ui.poster.hidden = false;
    // Ready once the pieces at the start are in.
    const start = this.clock.held;
    const frame = this.frameAt(start);
    demo.frames.near(frame, 1);
    demo.sound.near(start, 1);
    const k = Math.floor(start / demo.sound.chunk);
    const need = (manifest.frames.bytes[demo.frames.pieceOf(frame)] ?? 0) + (manifest.sound.bytes[k] ?? 0);
    const progress = setInterval(() => {
      if (current())
        this.setLoadState(`Loading the demo\u2026 ${Math.min(99, Math.round(100 * bytes / Math.max(need, 1)))}%`);
    }, 100);
    try {
      await Promise.all([demo.frames.whenReady(frame), waitFor(() => demo.sound.ready(k), demo.sound)]);
    } finally {
      clearInterval(progress);
    }
    return {count: demo.frames.count, sound: true, note: ''};
  }

  // A packed frame file and a soundtrack, whole: `frames()` gives the
  // frame file as it arrives ({size, stream}), `sound()` the soundtrack's
  // bytes; the soundtrack is asked for only once the frame file has
  // loaded.
  async loadFiles(demo, current, {frames, sound, label}) {
    let framesDone = 0;
    let soundDone = 0;
    const progress = () => {
      if (current())
        this.setLoadState(`Loading the demo\u2026 ${Math.round((framesDone + soundDone) * 50)}%`);
    };
    const source = await frames();
    const file = new FileFrames(demo.module);
    demo.frames = file;
    const loaded = await file.load(source, label, (f) => { framesDone = f; progress(); }, current);
    demo.sound = null;
    let note = loaded.note;
    try {
      const bytes = await sound();
      soundDone = 1;
      progress();
      demo.sound = new WholeSound(await decodeSoundFile(bytes, demo.module.sampleRate), demo.module.sampleRate);
    } catch (error) {
      if (!current())
        return;
      note = [note, `${error.message}: the demo plays without sound.`].filter(Boolean).join(' ');
    }
    return {count: loaded.count, sound: demo.sound !== null, note};
  }

  // Starts loading a demo (`load(demo, current)` fills it in and resolves
  // to {count, sound, note}), replacing any earlier one.
  async open(load) {
    this.demo?.close();
    this.stop();
    const demo = new Demo(null);
    this.demo = demo;
    const current = () => this.demo === demo && !demo.closed;
    this.ui.play.disabled = true;
    this.ui.poster.hidden = true;
    this.say('', '');
    this.setLoadState('Loading the demo\u2026');
    try {
      demo.module = await FrameModule.load(here('vexlade.wasm'));
      if (!current())
        return;
      this.clock = new Clock(demo.module.sampleRate, demo.module.endSample);
      this.controls.setLength(demo.module.endSample / demo.module.sampleRate);
      this.ui.play.disabled = false;
      const result = await load(demo, current);
      if (!current() || !result)
        return;
      this.setLoadState(`Ready: ${result.count} frames (${formatTime(result.count / demo.module.frameRate)})` +
                        `${result.sound ? ' and the soundtrack' : ''}.`);
      if (result.note)
        this.say(result.note, 'notice');
    } catch (error) {
      if (!current())
        return;
      demo.close();
      this.ui.play.disabled = true;
      this.setLoadState('');
      // Other files help only where the player itself could load.
      this.say(`Loading failed. ${error.message}.` +
               (demo.module ? ' Drop the demo\'s files here or pick them to play them instead.' : ''), 'error');
      this.failed = true;
    }
  }

  // Files from this computer: the frame file by its name (.d1) or, failing
  // that, as the one that is not a sound file; the soundtrack is the other.
  useFiles(list) {
    const files = [...list];
    if (!files.length)
      return;
    const isSound = (file) => /\.(d2|wav|ogg|oga|opus|flac|mp3|m4a|aac|webm)$/i.test(file.name) ||
                              file.type.startsWith('audio/');
    const framesFile = files.find((f) => /\.d1$/i.test(f.name)) ?? files.find((f) => !isSound(f));
    const soundFile = files.find((f) => f !== framesFile);
    this.open((demo, current) => {
      if (!framesFile)
        throw new LoadError(`there is no frame file among ${files.map((f) => f.name).join(', ')}`);
      return this.loadFiles(demo, current, {
        frames: async () => ({size: framesFile.size, stream: framesFile.stream()}),
        sound: async () => {
          if (!soundFile)
            throw new LoadError('No soundtrack was given');
          return new Uint8Array(await soundFile.arrayBuffer());
        },
        label: framesFile.name,
      });
    });
  }

  // ---- Playing -----------------------------------------------------------

  // Back to the start panel, with nothing sounding.
  stop() {
    this.output?.close();
    this.output = null;
    this.reset();
    this.painter.clearRect(0, 0, 640, 400);
    this.ui.wait.hidden = true;
    this.ui.start.hidden = false;
    this.ui.controls.hidden = true;
    if (this.demo?.poster)
      this.ui.poster.hidden = false;
    this.controls.fit();
  }

  reset() {
    this.playback = new Playback((state) => this.dispatchEvent(new CustomEvent('statechange', {detail: state})));
    const module = this.demo?.module;
    this.clock = module ? new Clock(module.sampleRate, module.endSample) : null;
    this.shown = -1;
    this.damage = '';
    this.failed = false;
    this.heardFirst = false;
    this.flowing = false;  // the output was told to play on
  }

  position() {
    return this.clock ? this.clock.position(this.output ? this.output.heardFrame() : null) : 0;
  }

  // The frame due at `position` (samples): never past the frame file's
  // last, once that is known, nor past the demo's end.
  frameAt(position) {
    const module = this.demo?.module;
    if (!module)
      return 0;
    const frames = this.demo.frames;
    const count = frames && frames.complete ? frames.count : Infinity;
    const last = Math.min(count, Math.floor(module.endSample * module.frameRate / module.sampleRate)) - 1;
    return Math.max(0, Math.min(Math.floor(position * module.frameRate / module.sampleRate), last));
  }

  show(frame) {
    if (frame === this.shown)
      return;
    const frames = this.demo.frames;
    this.painter.putImageData(frames.picture(frame), 0, 0);
    if (this.shown < 0) {
      performance.mark('vexlade:first-frame');
      this.ui.poster.hidden = true;
    }
    this.shown = frame;
    const damage = frames.damage();
    if (damage && damage !== this.damage) {
      this.damage = damage;
      this.say(`${framesName} is damaged (${damage}).`, 'notice');
    }
  }

  // Hands the worklet the chunks from the position on; whether those up to
  // `reach` are in (or none is needed there).
  feed(position, reach) {
    const sound = this.demo.sound;
    if (sound === null)
      return true;
    if (sound === undefined)
      return false;
    if (position >= sound.length)
      return true;
    const k = Math.floor(position / sound.chunk);
    const chunks = Math.ceil(sound.length / sound.chunk);
    const needed = Math.min(Math.floor(reach / sound.chunk), chunks - 1);
    if (!this.output)
      return sound.ready(k) !== undefined && sound.ready(needed) !== undefined;
    let inHand = true;
    for (let i = k; i <= Math.min(k + soundAhead, chunks - 1); ++i)
      inHand = (this.output.give(sound, i) || i > needed) && inHand;
    return inHand;
  }

  tick() {
    const demo = this.demo;
    if (!demo?.frames || !this.clock)
      return;
    const output = this.output;
    const heard = output ? output.heardFrame() : null;
    const position = this.clock.position(heard);
    const frame = this.frameAt(position);
    const reach = position + this.clock.rate * (this.flowing ? keepReach : startReach);
    demo.frames.near(frame, aheadPieces, this.frameAt(reach));
    demo.sound?.near(position, aheadPieces, reach);
    const soundIn = this.feed(position, reach);
    const frameHere = demo.frames.ready(frame);
    const framesIn = frameHere && demo.frames.ready(this.frameAt(reach));
    // While it plays, the frames a second on are inflated before they are needed.
    demo.frames.ready(this.frameAt(position + this.clock.rate * startReach));
    const playback = this.playback;
    if (frameHere && playback.started)
      this.show(frame);
    const atEnd = position >= this.clock.endSample;
    if (output) {
      output.setLength(demo.sound === undefined ? Infinity : demo.sound?.length ?? 0);
      this.flowing = playback.intent === 'play' && framesIn && soundIn && !atEnd;
      output.run(this.flowing);
    }
    const moving = output ? this.clock.moving(heard) : false;
    if (moving && !this.heardFirst) {
      this.heardFirst = true;
      performance.mark('vexlade:first-sound');
    }
    playback.update({ready: framesIn && soundIn, moving, atEnd});
    const waiting = playback.started && playback.intent === 'play' &&
                    (playback.state === 'loading' || playback.state === 'seeking');
    this.ui.wait.hidden = !waiting || moving;
    this.ui.wait.textContent = framesIn ? 'Loading the sound\u2026' : 'Loading the frames\u2026';
    const failure = demo.frames.failure() ?? demo.sound?.failure();
    if (failure && !this.failed) {
      this.failed = true;
      this.say(`Loading failed. ${failure.message}.`, 'error');
    }
    this.controls.show(position / this.clock.rate, playback.intent === 'play' && playback.state !== 'ended');
  }

  // Play: the audio output starts in the click itself (browsers let sound
  // start only from a gesture), full screen too.
  start(event) {
    event.preventDefault();
    if (this.playback.started || this.ui.play.disabled || !this.demo?.module)
      return;
    const form = new FormData(this.ui.start);
    if (form.get('fullscreen') === 'yes')
      this.controls.enterFullscreen();
    const module = this.demo.module;
    const speaker = form.get('speaker') === 'yes';
    const onSegment = (segment) => {
      if (segment.type === 'segment')
        this.clock.take(segment);
    };
    const options = {
      rate: module.sampleRate, endSample: module.endSample,
      speakerModule: speaker ? speakerModule : null, workletUrl: here('sound-worklet.js'),
      muted: this.controls.muted, onSegment,
    };
    const demo = this.demo;
    this.playback.started = true;
    this.playback.intent = 'play';
    this.playback.set('loading');
    this.ui.start.hidden = true;
    this.ui.controls.hidden = false;
    this.ui.toggle.focus();
    this.controls.fit();
    SoundOutput.open(options).catch((error) => {
      this.say(`The sound is not available here (${error.message}); the demo plays silently.`, 'notice');
      return new SilentOutput(options);
    }).then((output) => {
      if (this.demo !== demo || !this.playback.started) {
        output.close();
        return;
      }
      this.output = output;
      output.seek(this.clock.held, this.clock.token);
      if (output.speakerProblem)
        this.say(`The PC-speaker simulation is not available here (${output.speakerProblem}); ` +
                 'the soundtrack plays as it is.', 'notice');
      this.tick();
    });
  }
}

// Resolves once `test()` gives a value, or rejects with `source`'s failure.
function waitFor(test, source) {
  return new Promise((resolve, reject) => {
    const check = () => {
      const value = test();
      if (value !== undefined)
        resolve(value);
      else if (source.failure())
        reject(source.failure());
      else
        setTimeout(check, 20);
    };
    check();
  });
}

customElements.define('vexlade-player', VexladePlayer);

// The page's player, for automation: the first on the page.
window.vexlade ??= {
  status: () => document.querySelector('vexlade-player')?.status(),
  seek: (seconds) => document.querySelector('vexlade-player')?.seek(seconds),
};

// Keys pressed with nothing focused go to the player of a page that asks
// for it (keyboard="page"), as when it is the page itself.
document.addEventListener('keydown', (event) => {
  if (event.target !== document.body && event.target !== document.documentElement)
    return;
  const player = document.querySelector('vexlade-player[keyboard="page"]');
  player?.controls.key(event);
});
