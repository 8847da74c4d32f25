// Sound: the soundtrack decoded into signed 16-bit samples at the clock's
// rate, from a site's pieces or from a whole file, and the audio output
// that plays them (an audio context with sound-worklet.js, which also runs
// the PC-speaker simulation and is the clock: see clock.js).

import {LoadError, PieceFetcher} from './fetching.js';

// A decoded channel back to the samples it was made from. Browsers turn
// 16-bit samples into floats differently: most divide by 32768, Chromium
// divides the positive ones by 32767. Whichever it was, every sample comes
// back exactly: with the first way all of them are whole multiples of
// 1 / 32768, with the second a positive one almost never is.
export function toSamples(channel) {
  const out = new Int16Array(channel.length);
  let bySameStep = true;
  for (let i = 0; i < channel.length && bySameStep; ++i) {
    const scaled = channel[i] * 32768;
    bySameStep = scaled === Math.round(scaled);
  }
  for (let i = 0; i < channel.length; ++i) {
    const value = channel[i];
    const sample = Math.round(value * (bySameStep || value < 0 ? 32768 : 32767));
    out[i] = sample < -32768 ? -32768 : sample > 32767 ? 32767 : sample;
  }
  return out;
}

// Signed 16-bit little-endian samples from byte `at` (copied when the start
// is odd, which a typed array cannot view).
function pcm16(bytes, at, count) {
  const start = bytes.byteOffset + at;
  return start % 2 === 0 ? new Int16Array(bytes.buffer, start, count)
                         : new Int16Array(bytes.slice(at, at + count * 2).buffer);
}

// 16-bit PCM WAV at `rate`, read here (the browser's decoder takes seconds
// over a long soundtrack, this takes milliseconds), channels averaged;
// null for anything else.
function readPcmWav(bytes, rate) {
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
      if (!format || format.code !== 1 || format.bits !== 16 || format.rate !== rate || !format.channels)
        return null;
      const channels = format.channels;
      const frames = Math.floor(Math.min(size, bytes.length - body) / (2 * channels));
      const samples = pcm16(bytes, body, frames * channels);
      if (channels === 1)
        return Int16Array.from(samples);
      const out = new Int16Array(frames);
      for (let i = 0; i < frames; ++i) {
        let sum = 0;
        for (let c = 0; c < channels; ++c)
          sum += samples[i * channels + c];
        out[i] = Math.round(sum / channels);
      }
      return out;
    }
    at = body + size + (size & 1);
  }
  return null;
}

// A file's channels averaged, decoded by the browser at `rate`.
async function decodeMono(bytes, rate) {
  const decoded = await new OfflineAudioContext(1, 1, rate).decodeAudioData(bytes.slice().buffer);
  if (decoded.numberOfChannels === 1)
    return decoded.getChannelData(0);
  const sum = new Float32Array(decoded.length);
  for (let c = 0; c < decoded.numberOfChannels; ++c) {
    const channel = decoded.getChannelData(c);
    for (let i = 0; i < sum.length; ++i)
      sum[i] += channel[i] / decoded.numberOfChannels;
  }
  return sum;
}

// A whole soundtrack file as samples at `rate`: read or decoded by the
// browser, or, where it cannot, taken as raw signed 16-bit little-endian
// mono samples, as the player takes a file its decoder does not know.
export async function decodeSoundFile(bytes, rate) {
  const wav = readPcmWav(bytes, rate);
  if (wav)
    return wav;
  try {
    return toSamples(await decodeMono(bytes, rate));
  } catch {
    return Int16Array.from(pcm16(bytes, 0, bytes.length >> 1));
  }
}

// The soundtrack of a site (demo.json's "sound"), a piece at a time.
export class PieceSound {
  constructor(manifest, base, rate, onBytes) {
    const sound = manifest.sound;
    this.length = sound.samples;
    this.chunk = sound.perPiece;
    this.fetcher = new PieceFetcher({
      count: Math.ceil(sound.samples / sound.perPiece),
      url: (k) => new URL(sound.files.replace('{n}', String(k).padStart(4, '0')), base),
      name: 'the soundtrack',
      decode: async (bytes, k) => {
        let channel;
        try {
          channel = await decodeMono(bytes, rate);
        } catch (error) {
          throw new LoadError(`piece ${k} of the soundtrack does not decode here (${error.message})`);
        }
        const count = Math.min(this.chunk, this.length - k * this.chunk);
        if (channel.length < sound.lead + count)
          throw new LoadError(`piece ${k} of the soundtrack holds ${channel.length} samples, not ${count}`);
        return toSamples(channel.subarray(sound.lead, sound.lead + count));
      },
      onBytes,
    });
  }

  // Fetches ahead of `sample`, `ahead` pieces, those up to `until` first.
  near(sample, ahead, until = sample) {
    this.fetcher.want(Math.floor(sample / this.chunk), ahead,
                      Math.floor(Math.min(until, this.length - 1) / this.chunk));
  }

  // Chunk k: its samples, or undefined while they are on their way.
  ready(k) {
    return this.fetcher.ready(k);
  }

  // The first sample from `sample` on whose piece is not in hand.
  reach(sample) {
    return Math.min(this.fetcher.reach(Math.floor(sample / this.chunk)) * this.chunk, this.length);
  }

  failure() {
    return this.fetcher.failure;
  }

  close() {
    this.fetcher.close();
  }
}

// A soundtrack decoded whole, handed out in chunks as a site's.
export class WholeSound {
  constructor(samples, chunk) {
    this.samples = samples;
    this.length = samples.length;
    this.chunk = chunk;
  }

  near() {}

  // A copy: a view would take the whole soundtrack along to the worklet.
  ready(k) {
    return this.samples.slice(k * this.chunk, (k + 1) * this.chunk);
  }

  failure() {
    return null;
  }

  close() {}
}

// Resolves once `context` runs; rejects when it stays suspended for a
// second (no audio device, or a browser that keeps it stopped).
function running(context) {
  return new Promise((resolve, reject) => {
    const check = () => {
      if (context.state === 'running') {
        clearTimeout(timer);
        resolve();
      }
    };
    const timer = setTimeout(() => {
      context.removeEventListener('statechange', check);
      reject(new Error('the audio output stays suspended'));
    }, 1000);
    context.addEventListener('statechange', check);
    check();
  });
}

// The audio output: made in the click on Play (browsers start sound only
// from a gesture). The worklet plays the chunks it is given from the
// position it is told, and says when it starts and stops moving on.
export class SoundOutput {
  // `speakerModule`: a promise of speaker.wasm's bytes, or null for the
  // soundtrack as it is.
  static async open({rate, endSample, speakerModule, workletUrl, muted, onSegment}) {
    let context;
    try {
      context = new AudioContext({sampleRate: rate});
    } catch {
      context = new AudioContext();  // a browser that keeps its own rate; the worklet steps over samples
    }
    context.resume();
    try {
      let speaker = null;
      let speakerProblem = '';
      const worklet = context.audioWorklet.addModule(workletUrl);
      try {
        speaker = await speakerModule;
      } catch (error) {
        speakerProblem = error.message;
      }
      const output = new GainNode(context, {gain: muted ? 0 : 1});
      output.connect(context.destination);
      await worklet;
      const node = new AudioWorkletNode(context, 'vexl-sound', {
        numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [1],
        processorOptions: {rate, endSample, speakerModule: speaker},
      });
      node.connect(output);
      await running(context);
      return Object.assign(new SoundOutput(context, node, output, onSegment), {speakerProblem});
    } catch (error) {
      context.close();
      throw error;
    }
  }

  constructor(context, node, output, onSegment) {
    Object.assign(this, {context, node, output});
    this.posted = new Set();  // chunks the worklet holds since the last seek
    this.running = false;
    this.length = undefined;
    node.port.onmessage = (event) => onSegment(event.data);
  }

  // The context's time of what is being heard now, in its frames.
  heardFrame() {
    const context = this.context;
    const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    const seconds = stamp && stamp.performanceTime > 0
      ? stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000
      : context.currentTime - (context.outputLatency || context.baseLatency || 0);
    return seconds * context.sampleRate;
  }

  post(message) {
    this.node.port.postMessage(message);
  }

  seek(position, token) {
    this.posted.clear();
    this.post({type: 'seek', position, token});
  }

  // The soundtrack's length in samples (Infinity while not known); silence
  // plays after it.
  setLength(length) {
    if (length !== this.length) {
      this.length = length;
      this.post({type: 'length', length});
    }
  }

  // Hands the worklet chunk k of `sound` unless it has it; whether it has.
  give(sound, k) {
    if (this.posted.has(k))
      return true;
    const samples = sound.ready(k);
    if (!samples)
      return false;
    this.posted.add(k);
    this.post({type: 'chunk', start: k * sound.chunk, samples});
    return true;
  }

  run(on) {
    if (on !== this.running) {
      this.running = on;
      this.post({type: 'run', on});
    }
  }

  mute(muted) {
    this.output.gain.value = muted ? 0 : 1;
  }

  close() {
    this.node.port.onmessage = null;
    this.context.close();
  }
}

// Where there is no audio output to be had: the clock runs in silence on
// the page's own time, as the worklet's would.
export class SilentOutput {
  constructor({rate, endSample, onSegment}) {
    Object.assign(this, {rate, endSample, onSegment});
    this.position = 0;
    this.token = 0;
    this.since = null;  // the frame it started moving at, while it moves
    this.running = false;
    this.speakerProblem = '';
  }

  heardFrame() {
    return performance.now() / 1000 * this.rate;
  }

  // Where it stands now, and from now on moving or not.
  tell(moving) {
    const frame = this.heardFrame();
    if (this.since !== null)
      this.position = Math.min(this.position + frame - this.since, this.endSample);
    this.since = moving ? frame : null;
    this.onSegment({type: 'segment', frame, position: this.position, moving, token: this.token});
  }

  seek(position, token) {
    this.position = position;
    this.token = token;
    this.since = null;
    this.tell(this.running);
  }

  setLength() {}

  give() {
    return true;
  }

  run(on) {
    if (on !== this.running) {
      this.running = on;
      this.tell(on);
    }
  }

  mute() {}

  close() {}
}
