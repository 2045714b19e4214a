// The music: libopenmpt in an AudioWorklet (chiptune3), fed the module's
// bytes that the show read at start-up, and where it is as heard.
import { ChiptuneJsPlayer } from './chiptune3.js';
import { MusicClock, OutputClock } from './clock.js';

// Whether this browser can play the module at all: an AudioWorklet needs
// a secure context (https, or a page from this machine).
export function soundAvailable() {
  return typeof AudioContext === 'function' && typeof AudioWorkletNode === 'function' && window.isSecureContext;
}

// How long the worklet (libopenmpt, 1.7 MB) may take to load and start.
const readyTimeoutMs = 10000;

export class Sound {
  // onError(what): the player could not use the module.
  constructor(onError) {
    // Web Audio is "ambient" on iOS by default: the ringer switch mutes it.
    if (navigator.audioSession) navigator.audioSession.type = 'playback';
    this.player = new ChiptuneJsPlayer({ repeatCount: 0 });
    this.context = this.player.context;
    this.output = new OutputClock();
    this.clock = null;
    this.moduleBytes = null;
    this.worklet = false;
    // When the music was last started or moved (page ms), and how long it
    // took from then to hearing it.
    this.movedAt = null;
    this.moveMs = null;
    // True once the worklet runs, false when it could not be had in time.
    this.ready = new Promise((resolve) => {
      this.player.onInitialized(() => resolve((this.worklet = true)));
      setTimeout(() => resolve(false), readyTimeoutMs);
    });
    this.player.onProgress((report) => {
      if (this.clock) this.clock.report(report.pos, this.output.now(performance.now(), this.context.currentTime));
    });
    this.player.onError((error) => {
      if (!this.clock) return;
      this.clock = null;
      onError(error && error.type);
    });
  }

  // Asks the browser to run the context; it may want a gesture first, and
  // with no sound device Firefox never answers, so nothing waits for it.
  resume() {
    if (this.context.state !== 'running' && this.context.state !== 'closed') this.context.resume().catch(() => {});
  }

  get running() {
    return this.context.state === 'running';
  }

  // Where the music is heard at the page's moment nowMs (seconds): null
  // while none is heard past where it was started.
  heard(nowMs) {
    if (!this.clock || !this.clock.running || !this.running) return null;
    const context = this.context;
    const stamp = typeof context.getOutputTimestamp === 'function' ? context.getOutputTimestamp() : null;
    const heardTime = this.output.read({
      nowMs,
      currentTime: context.currentTime,
      baseLatency: context.baseLatency,
      outputLatency: context.outputLatency,
      stamp,
    });
    const music = this.clock.music(heardTime);
    if (music <= this.clock.start) return null;
    if (this.movedAt !== null) {
      this.moveMs = nowMs - this.movedAt;
      this.movedAt = null;
    }
    return music;
  }

  // Whether music is on its way: the output runs and the player has it, but
  // it is not heard yet.
  get onItsWay() {
    return this.running && this.worklet && this.movedAt !== null;
  }

  // Seconds from a move of the music to hearing it: as long as the last one
  // took, or at first a few blocks' way to the worklet and the output's latency.
  get lead() {
    if (this.moveMs !== null) return Math.min(1, this.moveMs / 1000);
    const latency = (this.context.baseLatency || 0) + (this.context.outputLatency || 0);
    return Math.min(0.5, 0.05 + latency);
  }

  // Starts the module at startSeconds; must follow a gesture the first time.
  // this.clock follows the music from then on.
  async play(startSeconds) {
    this.resume();
    this.clock = new MusicClock(startSeconds);
    this.movedAt = performance.now();
    const clock = this.clock;
    await this.ready;
    if (this.clock !== clock) return;
    this.player.play(this.moduleBytes);
    if (startSeconds > 0) this.player.setPos(startSeconds);
  }

  // Moves the playing music to the given second.
  seek(seconds) {
    this.clock = new MusicClock(seconds);
    this.movedAt = performance.now();
    this.player.setPos(seconds);
  }

  stop() {
    this.clock = null;
    this.movedAt = null;
    this.player.stop();
  }
}
