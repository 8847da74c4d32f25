// The frame module (vexlade.wasm) under node: a frame reached by a seek,
// from anywhere, is the frame the stream gives when it is read from the
// start one frame after another, as the player reads it; a last frame cut
// short keeps the bytes of the frame before behind its end. The same holds
// while the file arrives in pieces: a frame said to be there shows right,
// and for the pieces of a site that vexl web wrote from the file.
//
// usage: node test_frame_module.mjs VEXL VEXLADE.WASM

import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

const [vexl, wasmPath] = process.argv.slice(2);
const frameBytes = 8000;
const pictureBytes = 640 * 400 * 4;

// Text-like frames that differ from frame to frame: runs of a few
// characters in a few colours, so that they pack and misplaced bytes show.
function sampleFrames(count) {
  const bytes = new Uint8Array(count);
  let seed = 7;
  for (let i = 0; i < count;) {
    seed = (seed * 1103515245 + 12345) >>> 0;
    const run = 1 + (seed >>> 27);
    const value = 32 + ((seed >>> 8) % 200);
    for (let k = 0; k < run && i < count; ++k)
      bytes[i++] = value;
  }
  return bytes;
}

async function frameModule(wasm) {
  const module = await WebAssembly.compile(wasm);
  const imports = {};
  for (const entry of WebAssembly.Module.imports(module)) {
    imports[entry.module] ??= {};
    imports[entry.module][entry.name] = () => 0;
  }
  const exports = (await WebAssembly.instantiate(module, imports)).exports;
  exports._initialize();
  exports.vexl_begin();
  let size = 0;
  return {
    // Appends bytes; returns the frames there so far.
    append(bytes) {
      const at = exports.vexl_room(size + bytes.length);
      new Uint8Array(exports.memory.buffer, at + size, bytes.length).set(bytes);
      size += bytes.length;
      return exports.vexl_arrived(size);
    },
    finish: () => exports.vexl_finish(),
    damage: () => {
      const at = exports.vexl_damage();
      const bytes = new Uint8Array(exports.memory.buffer, at);
      return new TextDecoder().decode(bytes.subarray(0, bytes.indexOf(0)));
    },
    picture: (frame) => new Uint8Array(exports.memory.buffer, exports.vexl_picture(frame), pictureBytes).slice(),
    // Frame `index` of a site's piece (inflated).
    pieceFrame(piece, index) {
      new Uint8Array(exports.memory.buffer, exports.vexl_piece_room(piece.length), piece.length).set(piece);
      return new Uint8Array(exports.memory.buffer, exports.vexl_piece_picture(index), pictureBytes).slice();
    },
  };
}

async function openFrames(wasm, file) {
  const frames = await frameModule(wasm);
  frames.append(file);
  frames.count = frames.finish();
  return frames;
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vexl-frame-module-'));
try {
  const wasm = fs.readFileSync(wasmPath);
  // Level 1 blocks hold four frames and a part, so frames straddle blocks.
  for (const level of [1, 3]) {
    const whole = 40;
    fs.writeFileSync(path.join(dir, 'raw'), sampleFrames(whole * frameBytes + 3000));
    const packed = path.join(dir, `level${level}.d1`);
    execFileSync(vexl, ['pack', '--level', String(level), path.join(dir, 'raw'), packed], {stdio: 'ignore'});
    const file = fs.readFileSync(packed);

    const inOrder = await openFrames(wasm, file);
    assert.equal(inOrder.count, whole + 1);
    const expected = [];
    for (let frame = 0; frame <= whole; ++frame)
      expected.push(inOrder.picture(frame));
    assert.notDeepEqual(expected[1], expected[2]);
    // Past the end: the last frame stays.
    assert.deepEqual(inOrder.picture(whole + 5), expected[whole]);

    const seeking = await openFrames(wasm, file);
    const order = [whole, 3, 0, 17, 16, 18, 39, 1, whole, 25, 8, 9, 10, 33, 2, 30, whole - 1, 12];
    for (const frame of order)
      assert.deepEqual(seeking.picture(frame), expected[frame], `level ${level}, frame ${frame}`);

    // In pieces of odd sizes, each frame there looked at as it comes, and
    // a seek back; no frame is said to be there before its blocks are.
    const arriving = await frameModule(wasm);
    let there = 0;
    for (let at = 0, step = 1; at < file.length; at += step, step = step * 3 % 9001 + 1) {
      const now = arriving.append(file.subarray(at, at + step));
      assert.ok(now >= there && now <= whole, `level ${level}: ${now} frames after ${at + step} bytes`);
      for (const frame of [now - 1, there, Math.floor(there / 2)].filter((f) => f >= 0 && f < now))
        assert.deepEqual(arriving.picture(frame), expected[frame], `level ${level}, arriving frame ${frame}`);
      there = now;
    }
    assert.ok(there > 0 && there < whole, `level ${level}: ${there} frames before the end`);
    assert.equal(arriving.finish(), whole + 1);
    for (const frame of [whole, there, 0])
      assert.deepEqual(arriving.picture(frame), expected[frame], `level ${level}, frame ${frame} at the end`);

    // The site's one piece of frames, the last cut short as the player shows it.
    const demo = path.join(dir, `demo${level}`);
    fs.mkdirSync(demo);
    fs.copyFileSync(packed, path.join(demo, 'ld_vexl.d1'));
    fs.writeFileSync(path.join(demo, 'ld_vexl.d2'), new Uint8Array(100));
    execFileSync(vexl, ['web', demo, path.join(dir, `site${level}`)], {stdio: 'ignore'});
    const piece = zlib.inflateRawSync(fs.readFileSync(path.join(dir, `site${level}`, 'demo/frames/0000.deflate')));
    assert.equal(piece.length, (whole + 1) * frameBytes);
    for (const frame of [0, 1, 17, whole])
      assert.deepEqual(arriving.pieceFrame(piece, frame), expected[frame], `level ${level}, piece frame ${frame}`);

    // Block 2's data zeroed: it unpacks to nothing, and only the frames in
    // its place differ; those after it stay in line, read on or sought.
    const damaged = Uint8Array.from(file);
    let at = 1;
    for (let block = 0; block < 2; ++block)
      at += 4 + new DataView(damaged.buffer).getUint32(at);
    damaged.fill(0, at + 4, at + 4 + new DataView(damaged.buffer).getUint32(at));
    const capacity = level * 32768;
    const inPlace = (frame) => (frame + 1) * frameBytes <= 2 * capacity || frame * frameBytes >= 3 * capacity;
    const reading = await openFrames(wasm, damaged);
    assert.equal(reading.count, whole + 1);
    for (const frame of [...expected.keys(), whole, 1, 30, 2, 20].filter(inPlace))
      assert.deepEqual(reading.picture(frame), expected[frame], `level ${level}, damaged file, frame ${frame}`);
    assert.match(reading.damage(), new RegExp(`^offset ${at}: block 2 .* stay in place$`));
  }

  // No frame, and no trap, from files that hold none.
  // (Level 0 gives blocks no room, yet the bytes of this one unpack.)
  for (const file of [[], [2], [0, 0, 0, 0, 7, 20, 97, 98, 99, 17, 0, 0], [2, 0, 0, 0x10]]) {
    const frames = await frameModule(wasm);
    frames.append(Uint8Array.from(file));
    assert.equal(frames.finish(), 0, `file ${file}`);
  }
  console.log('1 passed, 0 failed');
} finally {
  fs.rmSync(dir, {recursive: true, force: true});
}
