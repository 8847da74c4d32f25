// The PC-speaker simulation on the audio thread: the player's own code
// (speaker.wasm, handed over as bytes in the processor options) runs over
// the soundtrack's 16-bit samples, one render quantum after another, its
// state carrying from one to the next as from block to block in the player.

'use strict';

class SpeakerProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const module = new WebAssembly.Module(options.processorOptions.module);
    // Standalone module: it names only runtime hooks it never calls here.
    const imports = {};
    for (const entry of WebAssembly.Module.imports(module)) {
      if (entry.kind === 'function') {
        imports[entry.module] ??= {};
        imports[entry.module][entry.name] = () => 0;
      }
    }
    this.sim = new WebAssembly.Instance(module, imports).exports;
    this.sim._initialize?.();
    this.samples = new Int16Array(this.sim.memory.buffer, this.sim.speaker_buffer(),
                                  this.sim.speaker_capacity());
  }

  process(inputs, outputs) {
    const input = inputs[0][0];
    const output = outputs[0][0];
    if (!input || !output)
      return true;  // nothing sounds: the output stays silent
    const samples = this.samples;
    for (let at = 0; at < input.length; at += samples.length) {
      const count = Math.min(samples.length, input.length - at);
      for (let i = 0; i < count; ++i) {
        const sample = Math.round(input[at + i] * 32768);
        samples[i] = sample < -32768 ? -32768 : sample > 32767 ? 32767 : sample;
      }
      this.sim.speaker_process(count);
      for (let i = 0; i < count; ++i)
        output[at + i] = samples[i] / 32768;
    }
    return true;
  }
}

registerProcessor('vexl-speaker', SpeakerProcessor);
