// The show's clock in the page. With sound, the show follows the music: the
// worklet reports the module's playing position after each block it renders,
// and the context's own clock (the sound card's, once the context runs) says
// which moment of the rendered sound is being heard. The position runs one
// for one with context time while the module plays, so one offset links the
// two: position = contextTime + offset. A report reaches the page a little
// after its block was rendered, when the context clock has moved on, so every
// report gives a lower bound on the offset and the largest bound seen is the
// best estimate. The show time is then the offset plus the context time being
// heard now: smooth, paced by the sound card, never running ahead of the
// music. It never goes backwards and never reads before the start.
export class MusicClock {
  // startSeconds: where the music was started (a seek).
  constructor(startSeconds) {
    this.start = startSeconds;
    this.offset = null;
    this.lastPosition = null;
    this.lastArrival = null;
    this.reading = startSeconds;
  }

  // A progress report: the position (seconds) and the context's clock when
  // it arrived. Reports from before the seek took hold are left out.
  report(position, contextTime) {
    if (!Number.isFinite(position) || position < this.start - 0.5) return;
    this.lastPosition = position;
    this.lastArrival = contextTime;
    const bound = position - contextTime;
    if (this.offset === null || bound > this.offset) this.offset = bound;
  }

  get running() {
    return this.offset !== null;
  }

  // The show time in seconds when the sound of the given context time is
  // being heard.
  read(heardContextTime) {
    if (this.offset !== null) this.reading = Math.max(this.reading, this.offset + heardContextTime);
    return this.reading;
  }

  // Where the music is as the listener hears it, from the latest report
  // alone: its position, moved on by the context time from its arrival to
  // the moment being heard. A check on read(), which rests on all reports;
  // null before any report.
  heardPosition(heardContextTime) {
    if (this.lastPosition === null) return null;
    return this.lastPosition + (heardContextTime - this.lastArrival);
  }
}

// Without sound the show follows the page's clock (milliseconds) from the
// moment it began.
export class WallClock {
  constructor(startSeconds, nowMs) {
    this.start = startSeconds;
    this.began = nowMs;
    this.reading = startSeconds;
  }

  read(nowMs) {
    this.reading = Math.max(this.reading, this.start + (nowMs - this.began) / 1000);
    return this.reading;
  }
}

// Seconds of show time as the counter the show reads: whole microseconds.
export function secondsToTicks(seconds) {
  return Math.floor(seconds * 1000000 + 1e-6);
}
