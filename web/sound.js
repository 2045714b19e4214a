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
    // Firefox (ESR 153 here, with PulseAudio) may block the page for good
    // when asked for getOutputTimestamp() or outputLatency while its output
    // starts: about one start in four in the tests. There the moment heard
    // is the context's time less its base latency.
    this.asksOutput = !navigator.userAgent.includes('Firefox/');
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
    // The module's playing position as the worklet last reported it (seconds).
    this.position = null;
    this.started = false;
    this.held = false;
    this.player.onProgress((report) => {
      this.position = report.pos;
      if (this.clock) this.clock.report(report.pos, this.contextNow());
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

  // The output's latency as the context reports it (seconds), where it can be
  // asked.
  get outputLatency() {
    return this.asksOutput ? this.context.outputLatency : 0;
  }

  get running() {
    return this.context.state === 'running';
  }

  // Where the music is heard at the page's moment nowMs (seconds): null
  // while none is heard past where it was started.
  heard(nowMs) {
    if (!this.clock || !this.clock.running || !this.running) return null;
    const context = this.context;
    const stamp = this.asksOutput && typeof context.getOutputTimestamp === 'function' ? context.getOutputTimestamp() : null;
    const heardTime = this.output.read({
      nowMs,
      currentTime: context.currentTime,
      baseLatency: context.baseLatency,
      outputLatency: this.outputLatency,
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
    const latency = (this.context.baseLatency || 0) + (this.outputLatency || 0);
    return Math.min(0.5, 0.05 + latency);
  }

  // Starts the module at startSeconds; must follow a gesture the first time.
  // this.clock follows the music from then on. A seek or a pause that comes
  // while the worklet still loads is where the music starts.
  async play(startSeconds) {
    this.resume();
    this.clock = new MusicClock(startSeconds);
    this.movedAt = performance.now();
    this.held = false;
    await this.ready;
    // Stopped meanwhile, or started by an earlier call.
    if (!this.clock || this.started) return;
    this.started = true;
    this.player.play(this.moduleBytes);
    if (this.clock.start > 0) this.player.setPos(this.clock.start);
    if (this.held) this.player.pause();
  }

  // The context time of the page's moment: the clock reports are read against.
  contextNow() {
    return this.output.now(performance.now(), this.context.currentTime);
  }

  // Moves the music to the given second. Reports the worklet sends from
  // where it was before are left out (see MusicClock).
  seek(seconds) {
    this.clock = new MusicClock(seconds, this.contextNow());
    this.movedAt = performance.now();
    this.position = seconds;
    if (this.started) this.player.setPos(seconds);
  }

  // Holds the music where it is: the worklet renders silence and reports
  // nothing, so its position stands.
  pause() {
    this.held = true;
    this.movedAt = null;
    if (this.started) this.player.pause();
  }

  // Plays on (from where a seek last moved it).
  unpause() {
    this.held = false;
    if (this.started) this.player.unpause();
  }

  stop() {
    this.clock = null;
    this.movedAt = null;
    this.started = false;
    this.held = false;
    this.player.stop();
  }
}
