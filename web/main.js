// The page around the show: it loads the core (vorlith.wasm) and the pack,
// waits for a gesture (sound needs one), then calls one pass of the show's
// frame loop per animation frame with the clock read from the music. Test
// and measurement modes run the show on the virtual clock instead.
import createVorlith from './vorlith.js';
import { readOptions, framesBefore, frameTicks, useCore, momentLink } from './options.js';
import { installControls } from './controls.js';
import { frameLayout, frameWidth, frameHeight } from './layout.js';
import { ShowClock, secondsToTicks } from './clock.js';
import { Sound, soundAvailable } from './sound.js';
import { keepOffline } from './offline.js';

// Where presented frames go, and how the module is treated (web_port.cpp).
const present = { none: 0, canvas: 1, digests: 2, bench: 3 };
const audioMode = { play: 0, check: 1, silent: 2 };
// Longest stretch of frames run without giving the page back (ms).
const sliceMs = 40;

// What tests and tools read of the page (see README): where the show
// stands, and the player's methods (not enumerable, so that a copy of the
// status is plain data).
const status = {
  state: 'waiting',
  showTime: 0,
  audioTime: 0,
  paused: false,
  // The display's frames per second, the rate the page plays and seeks at,
  // and the frame of a whole run at that rate the show stands at.
  rate: 60,
  frameIndex: 0,
  // From a seek's request to its exact frame on the canvas (ms).
  lastSeekMs: null,
  // The digest of the frame on the canvas (the digest list's FNV-1a).
  get frameDigest() {
    return core ? core.UTF8ToString(core._vorlith_canvas_digest()) : '';
  },
  // Where the music player last said the module was (seconds), or null.
  get musicPosition() {
    return sound ? sound.position : null;
  },
};
Object.defineProperties(status, {
  seek: { value: (seconds) => seekTo(seconds) },
  pause: { value: () => pause() },
  play: { value: () => resume() },
  link: { value: () => momentLink(location.href, status.showTime) },
});
window.vorlith = status;

const elements = {
  stage: document.getElementById('stage'),
  canvas: document.getElementById('frame'),
  start: document.getElementById('start'),
  play: document.getElementById('play'),
  hint: document.getElementById('hint'),
  end: document.getElementById('end'),
  again: document.getElementById('again'),
  notices: document.getElementById('notices'),
  fullscreen: document.getElementById('fullscreen'),
  progress: document.getElementById('progress'),
  bar: document.getElementById('bar'),
  track: document.getElementById('track'),
  marks: document.getElementById('marks'),
  played: document.getElementById('played'),
  time: document.getElementById('time'),
  toggle: document.getElementById('toggle'),
  copy: document.getElementById('copylink'),
  keys: document.getElementById('keys'),
  help: document.getElementById('help'),
  toast: document.getElementById('toast'),
};
const canvas2d = elements.canvas.getContext('2d', { alpha: false });
const { options, problems } = readOptions(location.search, location.hash);

// The show's notices, and the page's own, in a small list over the picture.
function notice(caption, text) {
  const item = document.createElement('li');
  const title = document.createElement('strong');
  title.textContent = caption;
  const body = document.createElement('span');
  body.textContent = text;
  const close = document.createElement('button');
  close.type = 'button';
  close.textContent = '×';
  close.title = 'Dismiss';
  close.addEventListener('click', () => item.remove());
  item.append(title, body, close);
  elements.notices.append(item);
}

function layout() {
  const { width, height } = frameLayout(innerWidth, innerHeight, devicePixelRatio, options.aspect);
  elements.canvas.style.width = `${width}px`;
  elements.canvas.style.height = `${height}px`;
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else if (elements.stage.requestFullscreen) elements.stage.requestFullscreen().catch(() => {});
}

// --- the core and the pack -------------------------------------------------

let core = null;
let sound = null;
let soundBroken = false;
let frameImage = null;
const digestLines = [];

// What the core asks of the page (the EM_JS functions of web_port.cpp).
const page = {
  present(rgba) {
    if (!frameImage) frameImage = new ImageData(frameWidth, frameHeight);
    frameImage.data.set(rgba);
    canvas2d.putImageData(frameImage, 0, 0);
    if (status.clickedAt !== undefined && status.firstFrameMs === undefined)
      status.firstFrameMs = performance.now() - status.clickedAt;
  },
  digest(line) {
    digestLines.push(line);
  },
  notice,
  audioInit() {
    if (!soundAvailable()) return false;
    if (!sound)
      // libopenmpt refusing the module is the show's "not a module".
      sound = new Sound(() => {
        soundBroken = true;
        notice('Error', "Can't play the file\n(error code: 41)");
      });
    return true;
  },
  audioModule(bytes) {
    if (sound) sound.moduleBytes = bytes.buffer;
  },
  // The show starts its music at start-up; the page plays it when the viewer
  // starts the show, from where the show begins.
  audioPlay() {},
  audioFree() {
    if (sound) sound.stop();
  },
};

// Fetches the pack listed in assets/pack.json and hands each file to the
// core under its path in the pack. A file that can't be fetched is left out,
// so the show says so itself when it looks for it.
async function loadPack(module) {
  let files = [];
  try {
    const listing = await fetch('assets/pack.json');
    if (listing.ok) files = (await listing.json()).files;
  } catch (error) {
    files = [];
  }
  if (!files.length) notice('Vorlith', 'The pack (assets/pack.json) could not be read.');
  const contents = await Promise.all(
    files.map(async (name) => {
      try {
        const response = await fetch(`assets/${name}`);
        return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
      } catch (error) {
        return null;
      }
    }),
  );
  const encoder = new TextEncoder();
  files.forEach((name, i) => {
    if (!contents[i]) return;
    const path = encoder.encode(name);
    const at = module._vorlith_pack_file(path.length, contents[i].length);
    if (!at) return;
    // Read HEAPU8 after the call: the memory may have grown and moved.
    module.HEAPU8.set(path, at);
    module.HEAPU8.set(contents[i], at + path.length);
  });
}

// Gives the page back to the browser between slices of work.
function yieldToPage() {
  return new Promise((resolve) => setTimeout(resolve, 0));
}

// Frames first .. first + count - 1 on the virtual clock, in slices; stops
// early when the show ends. Returns the frames run.
async function runVirtual(fps, first, count, onSlice) {
  let done = 0;
  while (done < count && !core._vorlith_ended()) {
    done += core._vorlith_run_virtual(fps, first + done, count - done, sliceMs);
    status.showTime = Math.round(frameTicks(first + done - 1, fps) / 1000);
    if (onSlice) onSlice(done);
    await yieldToPage();
  }
  return done;
}

// --- the live show ---------------------------------------------------------

// When the music has not been heard this long after Play, the page says so.
const noSoundMs = 2000;

let startTicks = 0;
// The tick of the frame last drawn for the canvas (-1: none yet).
let lastTicks = -1;
let prepared = false;
let controls = null;
// While playing: the show's clock, and whether it listens for the music.
let clock = null;
let listening = false;
// The page says once that it has no sound.
let soundNoticed = false;
let movedMusicAt = -Infinity;

// The rate the page plays at: the display's frames per second, measured over
// a few animation frames and taken to a usual rate when it is near one.
async function measureRate() {
  const stamps = [];
  await new Promise((resolve) => {
    const step = (now) => {
      stamps.push(now);
      if (stamps.length < 16) requestAnimationFrame(step);
      else resolve();
    };
    requestAnimationFrame(step);
    setTimeout(resolve, 600); // a hidden page draws no frames
  });
  const gaps = stamps.slice(1).map((t, i) => t - stamps[i]).sort((a, b) => a - b);
  if (gaps.length < 4) return 60;
  const fps = 1000 / gaps[Math.floor(gaps.length / 2)];
  const usual = [24, 25, 30, 48, 50, 60, 72, 75, 90, 100, 120, 144, 165, 180, 240];
  return usual.find((r) => Math.abs(fps - r) < r * 0.04) || Math.min(1000, Math.max(1, Math.round(fps)));
}

// How far apart the seeks are that lay the snapshots along the show (s).
const snapshotStrideSeconds = 10;

// Start-up, then the show brought to the start time: the first frame shown
// is frame round(S * rate) of a whole run at the page's rate. On the way, in
// slices, the core runs the whole show once for its state alone and keeps
// snapshots along it, so that every seek later is quick.
async function prepare() {
  prepared = false;
  const began = performance.now();
  const mode = options.mute ? audioMode.silent : audioMode.play;
  if (!core._vorlith_startup(mode)) notice('Vorlith', 'The show could not start.');
  core._vorlith_present_to(present.none);
  status.rate = await measureRate();
  const final = core._vorlith_final_frame(status.rate);
  const stride = snapshotStrideSeconds * status.rate;
  for (let k = stride; k < final; k += stride) {
    if (core._vorlith_seek(status.rate, k) < 0) break;
    elements.progress.textContent = `Preparing: ${Math.floor((100 * k) / final)} %`;
    await yieldToPage();
  }
  elements.progress.textContent = '';
  const before = Math.min(framesBefore(options.start, status.rate), final);
  core._vorlith_seek(status.rate, before);
  startTicks = frameTicks(before, status.rate);
  lastTicks = -1;
  status.frameIndex = before;
  status.paused = false;
  status.showTime = status.audioTime = Math.round(startTicks / 1000);
  // What the snapshots hold, and how long the page took to be ready.
  status.snapshots = { count: core._vorlith_snapshot_count(), bytes: core._vorlith_snapshot_bytes() };
  status.preparedMs = Math.round(performance.now() - began);
  if (sound && sound.usable === undefined) {
    sound.usable = await sound.ready;
    if (!sound.usable) {
      soundBroken = true;
      notice('Error', "Can't initialize device.\n(error code: 23)");
    }
  }
  prepared = true;
}

// Where the music is heard now (seconds), or null.
function musicHeard(nowMs) {
  return listening && !soundBroken ? sound.heard(nowMs) : null;
}

// Why no music is heard, for the notice.
function whyNoSound() {
  if (soundBroken || !sound.worklet) return 'the music player did not start';
  if (!sound.running) return `the browser gives the page no sound output (its audio is ${sound.context.state})`;
  return 'the music did not start';
}

// The sound's side of a frame: says once that there is none, and moves the
// music to the picture when it comes back after the picture went on alone.
function keepSound(nowMs) {
  if (!listening) return;
  if (!soundNoticed && clock.unheardFor(nowMs) >= noSoundMs) {
    soundNoticed = true;
    notice('Vorlith', `no sound: ${whyNoSound()}. The show goes on without it.`);
  }
  if (clock.behind && nowMs - movedMusicAt > 1000) {
    movedMusicAt = nowMs;
    sound.seek(clock.reading + sound.lead);
    clock.follow(nowMs);
  }
}

// A hidden page, a gesture, a new device: the browser may run the sound again.
function askForSound() {
  if (listening && status.state === 'playing' && document.visibilityState === 'visible') sound.resume();
}

function frame() {
  if (status.state !== 'playing' || status.paused) return;
  const now = performance.now();
  const music = musicHeard(now);
  const ticks = Math.max(startTicks, secondsToTicks(clock.read(now, music, listening && sound.onItsWay)));
  keepSound(now);
  status.audioTime = clock.source === 'music' && music !== null ? Math.round(music * 1000) : null;
  status.clock = clock.source;
  if (clock.heard && status.heardMs === undefined) status.heardMs = Math.round(now - status.clickedAt);
  // While the clock stands (waiting for the music) the frame on the canvas
  // stays: drawing it again would move the show on without its time moving.
  if (ticks === lastTicks) {
    requestAnimationFrame(frame);
    return;
  }
  lastTicks = ticks;
  const goesOn = core._vorlith_frame(ticks);
  status.showTime = Math.round(ticks / 1000);
  status.frameIndex = Math.round((ticks * status.rate) / 1e6);
  controls.update();
  if (goesOn) requestAnimationFrame(frame);
  else finish();
}

// The show's clock from `seconds` on, with the music moved there: the
// picture waits at that moment until the music is heard moving, as it does
// at the start.
function followFrom(seconds, now) {
  clock = new ShowClock(seconds, now, listening ? {} : { holdMs: 0 });
  if (!listening) return;
  sound.seek(seconds);
  clock.follow(now);
}

// Shows frame round(seconds * rate) of a whole run at the page's rate,
// exactly, then plays on from there with the music (or stays there while
// paused). Resolves once that frame is on the canvas: true, or false when
// the show is not playing.
function seekTo(seconds) {
  if (status.state !== 'playing' || !Number.isFinite(seconds)) return Promise.resolve(false);
  const requested = performance.now();
  // Within the show, read by the core as a start is (halves up, the number
  // as written); its frames never pass the final one.
  const within = Math.min(Math.max(seconds, 0), status.show.lengthMs / 1000);
  const k = framesBefore(/e/.test(String(within)) ? within.toFixed(20) : String(within), status.rate);
  if (k < 0 || core._vorlith_seek(status.rate, k) < 0) return Promise.resolve(false);
  startTicks = lastTicks = frameTicks(k, status.rate);
  const goesOn = core._vorlith_frame(startTicks);
  status.frameIndex = k;
  status.showTime = status.audioTime = Math.round(startTicks / 1000);
  const now = performance.now();
  status.lastSeekMs = now - requested;
  // Paused, the music is moved when the show plays on.
  if (!goesOn) finish();
  else if (!status.paused) followFrom(startTicks / 1e6, now);
  controls.update(true);
  return Promise.resolve(true);
}

// Holds the picture and the music where they are.
function pause() {
  if (status.state !== 'playing' || status.paused) return;
  status.paused = true;
  if (listening) sound.pause();
  controls.update();
  controls.showBar();
}

// Plays on from the frame on the canvas, the music moved there.
function resume() {
  if (status.state !== 'playing' || !status.paused) return;
  status.paused = false;
  startTicks = lastTicks >= 0 ? lastTicks : startTicks;
  followFrom(startTicks / 1e6, performance.now());
  if (listening) sound.unpause();
  controls.update();
  requestAnimationFrame(frame);
}

function go() {
  if (!prepared || status.state === 'playing') return;
  const now = performance.now();
  status.clickedAt = now;
  status.paused = false;
  status.firstFrameMs = undefined;
  status.heardMs = undefined;
  elements.start.hidden = true;
  elements.end.hidden = true;
  status.state = 'playing';
  document.body.classList.add('playing');
  core._vorlith_present_to(present.canvas);
  soundBroken = false;
  listening = Boolean(sound && sound.usable && sound.moduleBytes && !options.mute);
  if (listening) sound.play(startTicks / 1e6);
  // Without music the show follows the page's clock from the first frame.
  clock = new ShowClock(startTicks / 1e6, now, listening ? {} : { holdMs: 0 });
  frame();
  controls.showBar();
}

function finish() {
  status.paused = false;
  controls.hideBar();
  elements.help.hidden = true;
  core._vorlith_shutdown();
  clock = null;
  listening = false;
  status.state = 'ended';
  document.body.classList.remove('playing');
  elements.end.hidden = false;
  elements.again.focus();
}

async function playAgain() {
  if (status.state !== 'ended') return;
  status.state = 'waiting';
  elements.end.hidden = true;
  await prepare();
  go();
}

function onKey(event) {
  if (event.ctrlKey || event.metaKey || event.altKey) return;
  if (event.key === 'f' || event.key === 'F') toggleFullscreen();
  if (status.state === 'playing') {
    event.preventDefault();
    if (controls.onKey(event)) return;
    core._vorlith_key(event.key === 'Escape' ? 27 : event.keyCode || 0);
    // A held show reads its keys at its next frame: Escape ends it now.
    if (event.key === 'Escape' && status.paused) {
      status.paused = false;
      if (core._vorlith_frame(lastTicks >= 0 ? lastTicks : startTicks)) requestAnimationFrame(frame);
      else finish();
    }
  } else if (status.state === 'waiting' && !elements.start.hidden && prepared) {
    if (event.key === 'Escape' || event.key === 'Tab' || event.key === 'f' || event.key === 'F') return;
    event.preventDefault();
    go();
  }
}

// --- test and measurement modes --------------------------------------------

async function runDigests(fps) {
  elements.start.hidden = true;
  status.state = 'playing';
  if (!core._vorlith_startup(audioMode.check)) notice('Vorlith', 'The show could not start.');
  core._vorlith_present_to(present.none);
  // Straight to the start: the frames before it are played for their state.
  const before = framesBefore(options.start, fps);
  if (before > 0 && core._vorlith_seek(fps, before) < 0) await runVirtual(fps, 0, before);
  core._vorlith_present_to(present.digests);
  await runVirtual(fps, before, Infinity, (done) => {
    elements.progress.textContent = `Frame digests: ${done}`;
  });
  core._vorlith_shutdown();
  document.getElementById('digests').textContent = `${digestLines.join('\n')}\n`;
  elements.progress.textContent = '';
  status.state = 'ended';
  document.title = 'digests ready';
}

// The browser compiles the hot code a second time, optimised, in the
// background once it has run a while: one unmeasured pass over the whole show
// first, so that the costs are those of the code every later frame runs.
const warmUpFps = 5;

async function runBench(fps) {
  elements.start.hidden = true;
  status.state = 'playing';
  elements.progress.textContent = 'Benchmark: warming up';
  core._vorlith_startup(audioMode.check);
  core._vorlith_present_to(present.none);
  await runVirtual(warmUpFps, 0, Infinity);
  core._vorlith_shutdown();
  if (!core._vorlith_startup(audioMode.check)) notice('Vorlith', 'The show could not start.');
  core._vorlith_present_to(present.bench);
  await runVirtual(fps, 0, Infinity, (done) => {
    elements.progress.textContent = `Benchmark: frame ${done}`;
  });
  const report = core.UTF8ToString(core._vorlith_bench_report(fps));
  core._vorlith_shutdown();
  document.getElementById('bench').textContent = report;
  elements.progress.textContent = '';
  status.state = 'ended';
  document.title = 'bench ready';
}

// --- start -----------------------------------------------------------------

async function main() {
  for (const text of problems) notice('Vorlith', text);
  keepOffline(status, () => status.state !== 'playing');
  layout();
  addEventListener('resize', layout);
  elements.fullscreen.addEventListener('click', (event) => {
    event.stopPropagation();
    toggleFullscreen();
  });
  addEventListener('keydown', onKey);
  addEventListener('pointerdown', askForSound);
  addEventListener('keydown', askForSound);
  document.addEventListener('visibilitychange', askForSound);
  navigator.mediaDevices?.addEventListener?.('devicechange', askForSound);
  elements.start.addEventListener('click', go);
  elements.again.addEventListener('click', playAgain);

  core = await createVorlith({ vorlithPage: page });
  const facts = useCore(core, options);
  status.show = facts.show;
  for (const text of facts.problems) notice('Vorlith', text);
  controls = installControls(
    {
      playing: () => status.state === 'playing',
      paused: () => status.paused,
      time: () => status.showTime / 1000,
      length: facts.show.lengthMs / 1000,
      scenes: facts.show.scenes.map((scene) => ({ name: scene.name, start: scene.startMs / 1000 })),
      pause,
      play: resume,
      seek: seekTo,
      link: () => status.link(),
    },
    elements,
  );
  await loadPack(core);
  if (options.digestFps) return runDigests(options.digestFps);
  if (options.benchFps) return runBench(options.benchFps);
  await prepare();
  elements.play.disabled = false;
  elements.hint.textContent = 'click or press a key';
  elements.play.focus();
}

main().catch((error) => notice('Vorlith', `The page could not start: ${error}`));
