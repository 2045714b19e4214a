// The music: libopenmpt in an AudioWorklet (chiptune3), fed the module's
// bytes that the show read at start-up, and the clock that follows it.
import { ChiptuneJsPlayer } from './chiptune3.js';
import { MusicClock } from './clock.js';

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
    this.player = new ChiptuneJsPlayer({ repeatCount: 0 });
    this.context = this.player.context;
    this.clock = null;
    this.moduleBytes = null;
    // True once the worklet runs, false when it could not be had in time.
    this.ready = new Promise((resolve) => {
      this.player.onInitialized(() => resolve(true));
      setTimeout(() => resolve(false), readyTimeoutMs);
    });
    this.player.onProgress((report) => {
      if (this.clock) this.clock.report(report.pos, this.context.currentTime);
    });
    this.player.onError((error) => {
      if (!this.clock) return;
      this.clock = null;
      onError(error && error.type);
    });
  }

  // The moment of context time being heard now: what the sound card plays,
  // as the context stamps it, moved on to this instant.
  heardTime() {
    const context = this.context;
    if (typeof context.getOutputTimestamp === 'function') {
      const stamp = context.getOutputTimestamp();
      if (stamp.contextTime > 0 && stamp.performanceTime > 0)
        return stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
    }
    return context.currentTime - (context.baseLatency || 0) - (context.outputLatency || 0);
  }

  // Starts the module at startSeconds; must follow a gesture the first time.
  // this.clock follows the music from then on.
  async play(startSeconds) {
    if (this.context.state !== 'running') this.context.resume().catch(() => {});
    this.clock = new MusicClock(startSeconds);
    await this.ready;
    this.player.play(this.moduleBytes);
    this.started = true;
    // From where the music was last sent (a seek may have come meanwhile).
    const at = this.clock ? this.clock.start : startSeconds;
    if (at > 0) this.player.setPos(at);
  }

  // Moves the music to `seconds` (a seek); the clock follows it from there.
  moveTo(seconds) {
    this.clock = new MusicClock(seconds, this.context.currentTime);
    if (this.started) this.player.setPos(seconds);
  }

  // Holds the music where it is, and lets it go on.
  pause() {
    if (this.context.state === 'running') this.context.suspend().catch(() => {});
  }

  resume() {
    if (this.context.state !== 'running' && this.context.state !== 'closed') this.context.resume().catch(() => {});
  }

  stop() {
    this.clock = null;
    this.started = false;
    this.player.stop();
  }
}
