// Frames: the frame module (vexlade.wasm: the player's frame stream over
// miniLZO, its glyph rasteriser and its clock's constants) and the two
// forms frames come in: a site's pieces, inflated as they arrive, and a
// packed frame file fed to the module as it arrives.

import {LoadError, PieceFetcher, readStream} from './fetching.js';
import {runtimeImports} from './wasm-imports.js';

const pictureWidth = 640;
const pictureHeight = 400;
const frameBytes = 8000;
const framesName = 'ld_vexl.d1';

let compiled = null;  // one compilation for every player on the page

// One player's instance of the frame module.
export class FrameModule {
  static async load(url) {
    compiled ??= (async () => {
      const response = await fetch(url);
      if (!response.ok)
        throw new LoadError(`the player's frame module could not be fetched (HTTP ${response.status})`);
      return WebAssembly.compile(await response.arrayBuffer());
    })();
    const module = await compiled;
    return new FrameModule(await WebAssembly.instantiate(module, runtimeImports(module)));
  }

  constructor(instance) {
    this.wasm = instance.exports;
    this.wasm._initialize();
    // The player's clock, as the module says it.
    this.frameRate = this.wasm.vexl_frame_rate();
    this.sampleRate = this.wasm.vexl_sample_rate();
    this.endSample = this.wasm.vexl_end_sample();
    this.piece = null;  // the piece in the module's hands
  }

  image(at) {
    if (!at)
      return null;
    const pixels = new Uint8ClampedArray(this.wasm.memory.buffer, at, pictureWidth * pictureHeight * 4);
    return new ImageData(pixels, pictureWidth, pictureHeight);
  }

  // Frame `index` of `piece` (its frames laid out by rows) as ImageData, a
  // view of the module's memory: draw it before asking for the next.
  pieceFrame(piece, index) {
    if (this.piece !== piece) {
      const at = this.wasm.vexl_piece_room(piece.length);
      if (!at)
        throw new LoadError('the frames are too large for this browser\'s memory');
      new Uint8Array(this.wasm.memory.buffer, at, piece.length).set(piece);
      this.piece = piece;
    }
    return this.image(this.wasm.vexl_piece_picture(index));
  }

  string(at) {
    const bytes = new Uint8Array(this.wasm.memory.buffer, at);
    return new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
  }
}

// Raw deflate, as the browser inflates it.
async function inflate(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// The frames of a site (demo.json's "frames"), a piece of them at a time.
export class PieceFrames {
  constructor(module, manifest, base, onBytes) {
    // Firefox before 113 and Safari before 16.4 have no such stream.
    try {
      new DecompressionStream('deflate-raw');
    } catch {
      throw new LoadError('This browser cannot inflate the site\'s frames (it has no DecompressionStream for raw deflate)');
    }
    const frames = manifest.frames;
    this.module = module;
    this.count = frames.count;
    this.complete = true;
    this.perPiece = frames.perPiece;
    this.fetcher = new PieceFetcher({
      count: Math.ceil(frames.count / frames.perPiece),
      url: (k) => new URL(frames.files.replace('{n}', String(k).padStart(4, '0')), base),
      name: 'the frames',
      decode: async (bytes, k) => {
        const piece = await inflate(bytes);
        const want = Math.min(this.perPiece, this.count - k * this.perPiece) * frameBytes;
        if (piece.length !== want)
          throw new LoadError(`piece ${k} of the frames holds ${piece.length} bytes, not ${want}`);
        return piece;
      },
      onBytes,
    });
  }

  pieceOf(frame) {
    return Math.floor(frame / this.perPiece);
  }

  // Fetches ahead of `frame`, `ahead` pieces, those up to frame `until`
  // first; inflates its piece and the next.
  near(frame, ahead, until = frame) {
    const k = this.pieceOf(frame);
    this.fetcher.want(k, ahead, this.pieceOf(until));
    this.fetcher.ready(k);
    if (k + 1 < this.fetcher.count)
      this.fetcher.ready(k + 1);
  }

  ready(frame) {
    return this.fetcher.ready(this.pieceOf(frame)) !== undefined;
  }

  // The first frame from `frame` on whose piece is not in hand.
  reach(frame) {
    return Math.min(this.fetcher.reach(this.pieceOf(frame)) * this.perPiece, this.count);
  }

  // Once the frame's piece is in.
  whenReady(frame) {
    return this.fetcher.get(this.pieceOf(frame));
  }

  picture(frame) {
    const k = this.pieceOf(frame);
    return this.module.pieceFrame(this.fetcher.ready(k), frame - k * this.perPiece);
  }

  failure() {
    return this.fetcher.failure;
  }

  damage() {
    return '';
  }

  close() {
    this.fetcher.close();
  }
}

// A packed frame file inside the frame module, fed as it arrives: a
// picture per frame on demand, for the frames whose blocks are in.
export class FileFrames {
  constructor(module) {
    this.module = module;
    this.wasm = module.wasm;
    this.wasm.vexl_begin();
    module.piece = null;
    this.size = 0;
    this.count = 0;  // frames that can be shown
    this.complete = false;
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
    this.count = this.wasm.vexl_arrived(this.size);
    if (this.count < 0)
      throw new LoadError(`${framesName} is too large for this browser's memory`);
  }

  // Reads `source` ({size, stream}) into the module while `current()`;
  // resolves to {count, note} once the whole file is in.
  async load(source, label, progress, current) {
    if (source.size)
      this.room(source.size);
    let broken = '';
    try {
      await readStream(label, source, (piece) => {
        if (!current())
          return false;
        this.append(piece);
        return true;
      }, progress);
    } catch (error) {
      // A transfer that broke off is like a file cut short: what came plays.
      if (error instanceof LoadError || !this.size || !current())
        throw error;
      broken = error.message;
    }
    if (!current())
      throw new LoadError('other files were chosen');
    this.count = this.wasm.vexl_finish();
    if (this.count < 0)
      throw new LoadError(`${label} is too large for this browser's memory`);
    this.complete = true;
    const damage = this.damage();
    if (this.count === 0)
      throw new LoadError(`${label} holds no frame to show${damage ? ': ' + damage : ''}`);
    const notes = [];
    if (broken)
      notes.push(`${label} stopped loading (${broken}); the frames that came play.`);
    if (damage)
      notes.push(`${label} is damaged (${damage}); the frames before the damage play.`);
    return {count: this.count, note: notes.join(' ')};
  }

  near() {}

  // Whether the frame can be shown now: its blocks are in, or the whole
  // file is, and then a frame past its end shows as its last.
  ready(frame) {
    return this.complete ? this.count > 0 : frame < this.count;
  }

  picture(frame) {
    this.module.piece = null;
    return this.module.image(this.wasm.vexl_picture(frame));
  }

  failure() {
    return null;
  }

  // The first damage found so far, or ''.
  damage() {
    return this.module.string(this.wasm.vexl_damage());
  }

  close() {}
}
