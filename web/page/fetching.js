// Fetching: files whole or as they arrive, with errors in words, and the
// pieces of a site fetched near the play position, a few at a time.

export class LoadError extends Error {
  constructor(message, missing = false) {
    super(message);
    this.missing = missing;  // the server has no such file (404)
  }
}

const retries = 3;  // tries of a piece's transfer

// A failed fetch of `url` in words ("ld_vexl.d1 was not found next to
// this page"); `name` is what the viewer knows it by.
async function respond(url, name, signal) {
  let response;
  try {
    response = await fetch(url, {signal});
  } catch (error) {
    if (error.name === 'AbortError')
      throw error;
    throw new LoadError(location.protocol === 'file:'
      ? `${name} cannot be fetched by a page opened as a file: serve the folder with a web server`
      : `${name} could not be fetched (${error.message})`);
  }
  if (!response.ok)
    throw response.status === 404 ? new LoadError(`${name} was not found next to this page`, true)
                                  : new LoadError(`${name} could not be fetched (HTTP ${response.status})`);
  return response;
}

// The response to `url`, or null when there is none (404).
export async function fetchIfThere(url, name, signal) {
  try {
    return await respond(url, name, signal);
  } catch (error) {
    if (error instanceof LoadError && error.missing)
      return null;
    throw error;
  }
}

// A file as it arrives: {size, stream}, its size 0 when the transfer does
// not tell it (a compressed transfer's length is not the file's).
export async function fetchStream(url, name = url, signal = undefined) {
  const response = await respond(url, name, signal);
  const encoding = response.headers.get('Content-Encoding');
  const size = encoding && encoding !== 'identity' ? 0 : Number(response.headers.get('Content-Length')) || 0;
  return {size, stream: response.body ?? new Response(await response.arrayBuffer()).body};
}

// Reads `source` ({size, stream}) to its end, handing each piece to `take`
// as it comes (it returns false to stop); `progress` gets the share that
// is in.
export async function readStream(name, source, take, progress = () => {}) {
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

// A whole file as bytes.
export async function fetchBytes(url, name = url, signal = undefined) {
  return new Uint8Array(await (await respond(url, name, signal)).arrayBuffer());
}

// The pieces of one kind (frames or sound) of a site: piece k is fetched
// once, at most `parallel` at a time, nearest to the play position first
// (and those the position needs now one by one, each with the whole link);
// `decode` turns its bytes into what the page uses, which is kept for the
// pieces near the position (`keep` of them) and made again from the kept
// bytes when a seek comes back.
export class PieceFetcher {
  constructor({count, url, name, decode, parallel = 3, keep = 4, onBytes = () => {}}) {
    Object.assign(this, {count, url, name, decode, parallel, keep, onBytes});
    this.bytes = new Map();      // piece -> Uint8Array, once fetched
    this.fetching = new Map();   // piece -> {promise, abort}
    this.decoded = new Map();    // piece -> decoded piece, the latest used last
    this.decoding = new Map();   // piece -> promise
    this.wanted = [];            // pieces to fetch, in order
    this.first = 0;              // the piece at the position
    this.until = 0;              // the last piece the position needs now
    this.failure = null;         // the first LoadError
  }

  // Wants pieces [from, from + ahead) fetched, in that order, those up to
  // `until` first; a piece queued before and not wanted now is dropped from
  // the queue.
  want(from, ahead, until = from) {
    this.first = from;
    this.until = until;
    this.wanted = [];
    for (let k = Math.max(from, 0); k < Math.min(from + ahead, this.count); ++k)
      if (!this.bytes.has(k))
        this.wanted.push(k);
    for (const [k, request] of this.fetching)
      if (k < from - 1 || k >= from + ahead)
        request.abort.abort();
    this.pump();
  }

  // Whether a piece the position needs now is still out.
  urgent() {
    for (let k = this.first; k <= Math.min(this.until, this.count - 1); ++k)
      if (!this.bytes.has(k))
        return true;
    return false;
  }

  pump() {
    const alone = this.urgent();
    while (this.fetching.size < (alone ? 1 : this.parallel) && this.wanted.length) {
      const k = this.wanted.shift();
      if (!this.bytes.has(k) && !this.fetching.has(k))
        this.fetch(k);
    }
  }

  fetch(k) {
    const abort = new AbortController();
    const name = `${this.name} piece ${k}`;
    const attempt = async () => {
      // A link that drops a transfer gets two more tries; a missing file none.
      for (let tries = 1; ; ++tries) {
        try {
          return await fetchBytes(this.url(k), name, abort.signal);
        } catch (error) {
          if (!(error instanceof LoadError) || error.missing || tries === retries)
            throw error;
          await new Promise((resolve) => setTimeout(resolve, 500 * tries));
          if (abort.signal.aborted)
            throw error;
        }
      }
    };
    const promise = attempt().then((bytes) => {
      this.bytes.set(k, bytes);
      this.onBytes(bytes.length);
      return bytes;
    }, (error) => {
      if (!(error instanceof LoadError))
        return null;  // aborted: wanted again later if at all
      this.failure ??= error;
      throw error;
    }).finally(() => {
      this.fetching.delete(k);
      this.pump();
    });
    promise.catch(() => {});
    this.fetching.set(k, {promise, abort});
    return promise;
  }

  // The first piece from k on whose bytes are not in hand.
  reach(k) {
    while (k < this.count && this.bytes.has(k))
      ++k;
    return k;
  }

  // The decoded piece k if it is at hand, else undefined: decoded once its
  // bytes are in, fetched in its turn (at once when the position needs it).
  ready(k) {
    if (this.decoded.has(k))
      return this.touch(k);
    if (this.bytes.has(k) || (k >= this.first && k <= this.until))
      this.get(k).catch(() => {});
    return undefined;
  }

  // The decoded piece k, now the latest used.
  touch(k) {
    const piece = this.decoded.get(k);
    this.decoded.delete(k);
    this.decoded.set(k, piece);
    return piece;
  }

  // Piece k decoded, fetched first when needed.
  get(k) {
    if (this.decoded.has(k))
      return Promise.resolve(this.touch(k));
    if (!this.decoding.has(k)) {
      const decoding = (async () => {
        let bytes = this.bytes.get(k);
        while (!bytes)
          bytes = await (this.fetching.get(k)?.promise ?? this.fetch(k));
        const piece = await this.decode(bytes, k);
        this.decoded.set(k, piece);
        while (this.decoded.size > this.keep)
          this.decoded.delete(this.decoded.keys().next().value);
        return piece;
      })().finally(() => this.decoding.delete(k));
      this.decoding.set(k, decoding);
    }
    return this.decoding.get(k);
  }

  // Stops every fetch.
  close() {
    this.wanted = [];
    for (const request of this.fetching.values())
      request.abort.abort();
  }
}
