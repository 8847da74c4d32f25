// The clock and the playback state. The heard position comes from the
// sound worklet's segments (from context frame F on, the position is P,
// moving on or not) read at the context time being heard now, the audio
// output's timestamp, which trails the time the browser renders by the
// output's latency. After a seek the position holds at the target until
// the worklet says where it is; it never goes back in between.
//
// Playback states:
//   loading  what the play position needs is not in yet (before Play, or
//            a stall while playing)
//   ready    it is in, and nothing has been played yet (before Play)
//   playing  the heard position moves on
//   paused   the viewer paused
//   seeking  after a seek, until the position moves on from its target (or,
//            paused, until the frame there is shown)
//   ended    at the demo's end

export const states = ['loading', 'ready', 'playing', 'paused', 'seeking', 'ended'];

export class Clock {
  constructor(rate, endSample) {
    this.rate = rate;
    this.endSample = endSample;
    this.token = 0;
    this.segments = [];   // of the current token, oldest first
    this.held = 0;        // the position before the first segment
    this.heard = 0;       // the last position read
  }

  // From here the position is `position` (samples); returns the token the
  // worklet's segments for it carry.
  seek(position) {
    this.token += 1;
    this.segments = [];
    this.held = position;
    this.heard = position;
    return this.token;
  }

  // A segment posted by the worklet.
  take(segment) {
    if (segment.token !== this.token)
      return;
    this.segments.push(segment);
    // What is heard is at most a second behind what is rendered.
    while (this.segments.length > 2 && this.segments[1].frame < segment.frame - this.rate)
      this.segments.shift();
  }

  // The segment in effect at context frame `frame`, or null.
  segmentAt(frame) {
    for (let i = this.segments.length - 1; i >= 0; --i)
      if (this.segments[i].frame <= frame)
        return this.segments[i];
    return null;
  }

  // The position heard at context frame `frame` (null: none yet, the
  // position holds).
  position(frame) {
    const segment = frame === null ? null : this.segmentAt(frame);
    let position = this.held;
    if (segment) {
      position = segment.position + (segment.moving ? frame - segment.frame : 0);
      // Not past the start of a later segment, which says where it stopped.
      const next = this.segments[this.segments.indexOf(segment) + 1];
      if (next && !next.moving)
        position = Math.min(position, next.position);
    }
    this.heard = Math.min(Math.max(this.heard, position), this.endSample);
    return this.heard;
  }

  // Whether the sound heard at context frame `frame` moves on.
  moving(frame) {
    const segment = frame === null ? null : this.segmentAt(frame);
    return Boolean(segment && segment.moving);
  }
}

// The playback state and what the viewer asked for: `intent` is 'play' or
// 'pause'. The element moves it along from what is in and what is heard.
export class Playback {
  constructor(onChange) {
    this.state = 'loading';
    this.intent = 'pause';
    this.started = false;  // Play was clicked
    this.onChange = onChange;
  }

  set(state) {
    if (state !== this.state) {
      this.state = state;
      this.onChange(state);
    }
  }

  // The element's view on each animation frame: whether what the position
  // needs is in (`ready`), whether the heard position moves on (`moving`:
  // after a pause it does until the sound already on its way is heard),
  // and whether it is at the end.
  update({ready, moving, atEnd}) {
    if (!this.started) {
      this.set(ready ? 'ready' : 'loading');
    } else if (atEnd) {
      this.intent = 'pause';
      this.set('ended');
    } else if (moving) {
      this.set('playing');
    } else if (this.state === 'seeking' && !(this.intent === 'pause' && ready)) {
      // Until it moves on from the target, or, paused, the frame there shows.
    } else if (this.state !== 'ended') {
      this.set(this.intent === 'pause' ? 'paused' : 'loading');
    }
  }
}
