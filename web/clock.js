// The show's clock in the page. With sound, the show follows the music: the
// worklet reports the module's playing position after each block it renders,
// and the context's own clock (the sound card's, once the context runs) says
// which moment of the rendered sound is being heard. The position runs one
// for one with context time while the module plays, so one offset links the
// two: position = contextTime + offset. A report reaches the page a little
// after its block was rendered, when the context clock has moved on, so every
// report gives a lower bound on the offset and the largest bound seen is the
// best estimate. The music as heard is then the offset plus the context time
// being heard now.
//
// That moment is read from the context's output stamps, which jump by a few
// milliseconds as the sound card's buffers go out. The show's clock runs on
// the page's own clock and is drawn towards the music a tenth of the way at
// every frame, so it moves smoothly and stays within a few milliseconds of
// it; it never goes backwards and never reads before the start. When the two
// part by more than a tenth of a second (the sound stalled, or jumped on) the
// show's clock goes straight to the music, or waits for it.
export class MusicClock {
  // startSeconds: where the music was started (a seek); sinceContextTime:
  // the context's time then, when the music was moved while playing.
  constructor(startSeconds, sinceContextTime = null) {
    this.start = startSeconds;
    this.since = sinceContextTime;
    this.offset = null;
    this.reading = startSeconds;
    this.readAt = null;
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

  // The show time in seconds at the page's moment nowMs, when the sound of
  // the given context time is being heard.
  read(heardContextTime, nowMs) {
    const target = this.music(heardContextTime);
    // Until the music is heard past the start, the show waits there.
    if (target <= this.start) return this.reading;
    // The first time the music is heard moving, the show starts right there.
    const first = this.readAt === null;
    const expected = this.reading + (first ? 0 : Math.max(0, (nowMs - this.readAt) / 1000));
    this.readAt = nowMs;
    const next = first || Math.abs(target - expected) > 0.1 ? target : expected + (target - expected) / 10;
    this.reading = Math.max(this.reading, next);
    return this.reading;
  }
}

// Without music the show follows the page's clock (milliseconds) from the
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
