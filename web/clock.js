// The show's clock in the page, in three parts that know nothing of the page:
//
// - OutputClock: which moment of the audio context's time is being heard
//   now, from what the context says of itself. The output's timestamps are
//   the finest word on it, but browsers differ in what they put there, so
//   they are believed only while they make sense.
// - MusicClock: where the music is when a given moment of context time is
//   heard, from the worklet's reports of its playing position.
// - ShowClock: the show time of each frame. It follows the music while the
//   music is heard moving, and the page's own clock while it is not: the
//   picture never freezes because the sound did not start or stopped.

// Seconds of context time being heard at the page's moment nowMs. A sample
// holds what the context says at that moment: { nowMs, currentTime,
// baseLatency, outputLatency, stamp } with stamp the result of
// getOutputTimestamp() (or null).
//
// A stamp says that the sound of stamp.contextTime came out of the speakers
// at page time stamp.performanceTime. Some engines fill in other times
// (WebKitGTK's performanceTime runs ahead of the page's clock by the context
// time itself), so a stamp is used only when it is about now (from half a
// second ago to a few milliseconds ahead), when over the last quarter second
// or more of context time stamps advanced on the page's clock as fast as in
// context time, and when the moment it gives is about rendered, less than
// half a second ago. Otherwise the moment heard is the context's current
// time less the latencies it reports.
export class OutputClock {
  constructor() {
    this.reference = null;
    this.paced = false;
    this.step = null;
  }

  // The context's time at the page's moment nowMs. Engines move currentTime
  // on in steps of their output's buffers (WebKitGTK 35 to 45 ms, Firefox
  // about 20): between two steps it runs on with the page's clock, for at
  // most a step's length.
  now(nowMs, currentTime) {
    if (this.step === null || currentTime !== this.step.currentTime) this.step = { currentTime, nowMs };
    return currentTime + Math.min(Math.max(0, nowMs - this.step.nowMs), maxStepMs) / 1000;
  }

  read({ nowMs, currentTime: stepped, baseLatency, outputLatency, stamp }) {
    const currentTime = this.now(nowMs, stepped);
    const latency = plausibleLatency(baseLatency) + plausibleLatency(outputLatency);
    const fallback = Math.max(0, currentTime - latency);
    if (!stamp || !(stamp.contextTime > 0) || !Number.isFinite(stamp.performanceTime)) return fallback;
    if (this.reference === null || stamp.contextTime < this.reference.contextTime) {
      this.reference = { contextTime: stamp.contextTime, performanceTime: stamp.performanceTime };
    } else if (stamp.contextTime - this.reference.contextTime >= 0.25) {
      const pace = (stamp.performanceTime - this.reference.performanceTime) /
        (1000 * (stamp.contextTime - this.reference.contextTime));
      this.paced = pace > 0.9 && pace < 1.1;
      this.reference = { contextTime: stamp.contextTime, performanceTime: stamp.performanceTime };
    }
    const ageMs = nowMs - stamp.performanceTime;
    if (!this.paced || ageMs < -20 || ageMs > 500) return fallback;
    // Sound is heard after it is rendered (the current time moves in steps
    // of a block or more), and not much later.
    const heard = stamp.contextTime + ageMs / 1000;
    return heard <= currentTime + 0.1 && heard >= currentTime - 0.5 ? heard : fallback;
  }
}

// The longest step of currentTime that is run on between (ms).
const maxStepMs = 50;

// A latency the context reports, in seconds; anything but a few tenths of a
// second counts as none.
function plausibleLatency(seconds) {
  return Number.isFinite(seconds) && seconds > 0 && seconds < 0.5 ? seconds : 0;
}

// The worklet reports the module's playing position after each block it
// renders. The position runs one for one with context time while the module
// plays, so one offset links the two: position = contextTime + offset. A
// report reaches the page a little after its block was rendered, when the
// context's clock has moved on, so every report gives a lower bound on the
// offset and the largest bound seen is the best estimate. The music as heard
// is the offset plus the context time being heard.
export class MusicClock {
  // startSeconds: where the music was started (a seek); sinceContextTime:
  // the context's time then, when the music was moved while playing.
  constructor(startSeconds, sinceContextTime = null) {
    this.start = startSeconds;
    this.since = sinceContextTime;
    this.offset = null;
  }

  // A progress report: the position (seconds) and the context's clock when
  // it arrived. Reports from before the seek took hold are left out: those
  // from before the start, and those further on than the music can have
  // played since it was moved (a seek back).
  report(position, contextTime) {
    if (!Number.isFinite(position) || position < this.start - 0.5) return;
    if (this.since !== null && position > this.start + Math.max(0, contextTime - this.since) + 0.05) return;
    const bound = position - contextTime;
    if (this.offset === null || bound > this.offset) this.offset = bound;
  }

  get running() {
    return this.offset !== null;
  }

  // Where the music is (seconds) when the sound of the given context time is
  // heard; the start until the first report, and never before it.
  music(heardContextTime) {
    return this.offset === null ? this.start : Math.max(this.start, this.offset + heardContextTime);
  }
}

// How the show's clock behaves (milliseconds):
const showClockDefaults = {
  // how long the picture waits at the start for the music, as the program
  // waits for its sound device: a second, or two while the page knows the
  // music is on its way (the output runs; the player is loading it);
  holdMs: 1000,
  onItsWayMs: 2000,
  // music found behind the picture by up to this much (seconds) is taken
  // up, the picture waiting for it; further behind, it must be moved;
  behindSeconds: 0.5,
  // music heard standing still this long has stopped;
  stallMs: 500,
  // the page's clock moves on at most this much from one frame to the next
  // (a hidden page draws no frames: the show waits for it, unless the music
  // plays on);
  stepMs: 1000,
};

// The show time of each frame, in seconds. Frame by frame it is given the
// music as heard now (seconds), or null while there is no music to follow,
// and whether music is on its way. It never goes backwards and never reads
// before the start.
//
// Its source is 'hold' (waiting at the start for the music), 'music', or
// 'wall' (the page's clock). While it follows the music it runs on the page's
// clock and is drawn a tenth of the way towards the music at every frame, so
// it moves smoothly and stays within a few milliseconds of it; when the two
// part by more than a tenth of a second (the sound jumped on, or stalled) it
// goes straight to the music, or waits for it. Music that stands still for
// stallMs is left, and the show goes on by the page's clock from where it is.
// On the page's clock it takes up music again that is heard at, or not far
// behind, the picture; music further behind is reported in `behind`, so that
// the page can move the music to the picture.
export class ShowClock {
  constructor(startSeconds, nowMs, options = {}) {
    this.settings = { ...showClockDefaults, ...options };
    this.start = startSeconds;
    this.reading = startSeconds;
    this.source = this.settings.holdMs > 0 ? 'hold' : 'wall';
    this.began = nowMs;
    this.readAt = nowMs;
    this.heard = false;
    this.behind = false;
    this.follow(nowMs);
  }

  // The music was started or moved: what was heard of it before is
  // forgotten.
  follow(nowMs) {
    this.lastMusic = null;
    this.movedAt = nowMs;
    this.behind = false;
  }

  read(nowMs, music, onItsWay = false) {
    const { holdMs, onItsWayMs, behindSeconds, stallMs, stepMs } = this.settings;
    const step = Math.min(stepMs, Math.max(0, nowMs - this.readAt)) / 1000;
    this.readAt = nowMs;
    if (music !== null && music > this.start && (this.lastMusic === null || music > this.lastMusic)) {
      this.lastMusic = music;
      this.movedAt = nowMs;
    }
    const moving = this.lastMusic !== null && music !== null && nowMs - this.movedAt < stallMs;
    const expected = this.source === 'hold' ? this.reading : this.reading + step;
    let next = expected;
    let taken = false;
    this.behind = false;

    if (this.source === 'hold') {
      if (moving) {
        // The music is heard moving: the show starts right there.
        this.source = 'music';
        taken = true;
        next = music;
      } else if (nowMs - this.began >= (onItsWay ? Math.max(holdMs, onItsWayMs) : holdMs)) {
        this.source = 'wall';
      }
    } else if (this.source === 'wall' && moving) {
      if (music >= expected - behindSeconds) this.source = 'music';
      else this.behind = true;
    } else if (this.source === 'music' && !moving && (this.lastMusic === null || nowMs - this.movedAt >= stallMs)) {
      this.source = 'wall';
    }

    if (this.source === 'music' && !taken) {
      const target = music === null ? this.lastMusic : music;
      next = Math.abs(target - expected) > 0.1 ? target : expected + (target - expected) / 10;
      // Ahead of music that stands still: a tenth of a second at most.
      if (!moving) next = Math.min(next, target + 0.1);
    }
    if (this.source === 'music') this.heard = true;
    this.reading = Math.max(this.reading, next);
    return this.reading;
  }

  // How long (ms) since the show began without ever following the music.
  unheardFor(nowMs) {
    return this.heard ? 0 : nowMs - this.began;
  }
}

// Seconds of show time as the counter the show reads: whole microseconds.
export function secondsToTicks(seconds) {
  return Math.floor(seconds * 1000000 + 1e-6);
}
