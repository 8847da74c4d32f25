// The soundtrack on the audio thread, and the clock: it plays the chunks of
// signed 16-bit samples it is given from the position it is told, one after
// another without a gap, optionally through the player's own PC-speaker
// simulation (speaker.wasm, handed over as bytes in the processor options),
// whose state carries from one render quantum to the next as from block to
// block in the player. Past the soundtrack's end it plays silence and moves
// on; at the demo's end it stops.
//
// Whenever it starts or stops moving on (a seek, a run or hold, a chunk
// that is not there yet, the end) it posts a segment: from context frame
// `frame` on, the position is `position`, moving on or not. The page reads
// the heard position off the segments (clock.js).

import {runtimeImports} from './wasm-imports.js';

class SoundProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const {rate, endSample, speakerModule} = options.processorOptions;
    this.step = rate / sampleRate;   // 1 unless the context keeps a rate of its own
    this.endSample = endSample;
    this.length = Infinity;          // samples in the soundtrack, once known; silence after
    this.chunks = [];                // {start, samples}, by start
    this.position = 0;
    this.running = false;
    this.moving = null;              // as last posted
    this.token = 0;
    this.block = new Int16Array(Math.ceil(128 * this.step) + 1);  // a render quantum's samples
    if (speakerModule) {
      const module = new WebAssembly.Module(speakerModule);
      this.sim = new WebAssembly.Instance(module, runtimeImports(module)).exports;
      this.sim._initialize?.();
      this.simSamples = new Int16Array(this.sim.memory.buffer, this.sim.speaker_buffer(),
                                       this.sim.speaker_capacity());
    }
    this.port.onmessage = (event) => this.receive(event.data);
  }

  receive(message) {
    switch (message.type) {
    case 'chunk':
      if (message.start + message.samples.length > this.position) {
        this.chunks.push({start: message.start, samples: message.samples});
        this.chunks.sort((a, b) => a.start - b.start);
      }
      break;
    case 'seek':
      this.position = message.position;
      this.token = message.token;
      this.chunks = [];
      this.moving = null;  // the next quantum says where it is
      break;
    case 'run':
      this.running = message.on;
      break;
    case 'length':
      this.length = message.length;
      break;
    }
  }

  // The sample at `at`: 0 past the soundtrack's end, undefined when its
  // chunk is not here.
  sample(at) {
    if (at >= this.length)
      return 0;
    while (this.chunks.length && this.chunks[0].start + this.chunks[0].samples.length <= at)
      this.chunks.shift();
    const chunk = this.chunks[0];
    return chunk && chunk.start <= at ? chunk.samples[at - chunk.start] : undefined;
  }

  tell(frame, moving) {
    if (moving !== this.moving) {
      this.moving = moving;
      this.port.postMessage({type: 'segment', frame, position: this.position, moving, token: this.token});
    }
  }

  // Gathers `count` samples from `first` into the block; false when one is
  // not here.
  gather(first, count) {
    for (let i = 0; i < count; ++i) {
      const value = this.sample(first + i);
      if (value === undefined)
        return false;
      this.block[i] = value;
    }
    return true;
  }

  simulate(count) {
    for (let at = 0; at < count; at += this.simSamples.length) {
      const n = Math.min(this.simSamples.length, count - at);
      this.simSamples.set(this.block.subarray(at, at + n));
      this.sim.speaker_process(n);
      this.block.set(this.simSamples.subarray(0, n), at);
    }
  }

  process(inputs, outputs) {
    const output = outputs[0][0];
    const first = Math.floor(this.position);
    // The samples this quantum plays: one a frame, up to the end; or, in a
    // context of another rate, those it steps over (whole quanta only).
    const count = this.step === 1
      ? Math.min(output.length, this.endSample - first)
      : (this.position + output.length * this.step <= this.endSample
        ? Math.floor(this.position + output.length * this.step) - first : 0);
    const moving = this.running && count > 0 && this.gather(first, count);
    this.tell(currentFrame, moving);
    output.fill(0);
    if (!moving)
      return true;
    if (this.sim)
      this.simulate(count);
    if (this.step === 1) {
      for (let i = 0; i < count; ++i)
        output[i] = this.block[i] / 32768;
      this.position += count;
    } else {
      // Each frame the sample it falls on: plain, but every sample goes
      // through the simulation once, in order.
      for (let i = 0; i < output.length; ++i)
        output[i] = this.block[Math.floor(this.position + i * this.step) - first] / 32768;
      this.position += output.length * this.step;
    }
    return true;
  }
}

registerProcessor('vexl-sound', SoundProcessor);
