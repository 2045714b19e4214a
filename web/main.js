// The page around the show: it loads the core (vorlith.wasm) and the pack,
// waits for a gesture (sound needs one), then calls one pass of the show's
// frame loop per animation frame with the clock read from the music. Test
// and measurement modes run the show on the virtual clock instead.
import createVorlith from './vorlith.js';
import { readOptions, framesBefore, frameTicks, momentLink } from './options.js';
import { installControls } from './controls.js';
import { frameLayout, frameWidth, frameHeight } from './layout.js';
import { WallClock, secondsToTicks } from './clock.js';
import { Sound, soundAvailable } from './sound.js';

// Where presented frames go, and how the module is treated (web_port.cpp).
const present = { none: 0, canvas: 1, digests: 2, bench: 3 };
const audioMode = { play: 0, check: 1, silent: 2 };
// Longest stretch of frames run without giving the page back (ms).
const sliceMs = 40;

// What tests and tools read of the page: where the show stands (see README).
const status = {
  state: 'waiting',
  showTime: 0,
  audioTime: 0,
  paused: false,
  rate: 60,
  frameIndex: 0,
  lastSeekMs: null,
  // The digest of the frame on the canvas.
  get frameDigest() {
    return core ? core.UTF8ToString(core._vorlith_canvas_digest()) : '';
  },
  seek: (seconds) => seekTo(seconds),
  pause: () => pause(),
  play: () => resume(),
  link: () => momentLink(location.href, status.showTime),
};
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

// Reads the pack listed in assets/pack.json into the core's file system,
// under the paths the show opens. A file that can't be fetched is left out,
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
  const fs = module.FS;
  fs.mkdirTree('/pack');
  files.forEach((name, i) => {
    if (!contents[i]) return;
    const slash = name.lastIndexOf('/');
    if (slash > 0) fs.mkdirTree(`/pack/${name.slice(0, slash)}`);
    fs.writeFile(`/pack/${name}`, contents[i]);
  });
  fs.chdir('/pack');
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

let startTicks = 0;
// The tick of the frame last drawn for the canvas (-1: none since the show
// was brought to its start).
let lastTicks = -1;
let controls = null;
let clock = null;
let wallClock = false;
let prepared = false;

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
  const near = usual.find((r) => Math.abs(fps - r) < r * 0.04);
  return near || Math.min(1000, Math.max(1, Math.round(fps)));
}

// Start-up, then the show brought to the start time: frame k of the run is
// frame round(S * rate) + k of a whole run at the page's rate. On the way the
// core keeps snapshots along the whole show, so that a seek later is quick.
async function prepare() {
  prepared = false;
  const mode = options.mute ? audioMode.silent : audioMode.play;
  if (!core._vorlith_startup(mode)) notice('Vorlith', 'The show could not start.');
  core._vorlith_present_to(present.none);
  status.rate = await measureRate();
  const last = core._vorlith_final_frame(status.rate);
  core._vorlith_seek(status.rate, last - 1);
  const before = Math.min(framesBefore(options.startMs, status.rate), last - 1);
  core._vorlith_seek(status.rate, before);
  startTicks = frameTicks(before, status.rate);
  lastTicks = -1;
  status.frameIndex = before;
  status.paused = false;
  status.showTime = status.audioTime = Math.round(startTicks / 1000);
  if (sound && sound.usable === undefined) {
    sound.usable = await sound.ready;
    if (!sound.usable) {
      soundBroken = true;
      notice('Error', "Can't initialize device.\n(error code: 23)");
    }
  }
  prepared = true;
}

function showSeconds() {
  if (!clock) return startTicks / 1e6;
  return wallClock ? clock.read(performance.now()) : clock.read(sound.heardTime(), performance.now());
}

function frame() {
  if (status.state !== 'playing' || status.paused) return;
  if (!wallClock && (soundBroken || (sound && !sound.clock))) {
    // The player gave up: go on silently from where the picture is.
    clock = new WallClock(showSeconds(), performance.now());
    wallClock = true;
  }
  const ticks = Math.max(startTicks, secondsToTicks(showSeconds()));
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
  status.audioTime = !wallClock && clock ? Math.round(clock.music(sound.heardTime()) * 1000) : status.showTime;
  controls.update();
  if (goesOn) requestAnimationFrame(frame);
  else finish();
}

// The clock and the music from `seconds` on: the music moved there (or held
// there while paused) and the show's clock following it from there.
function follow(seconds) {
  const haveMusic = sound && sound.usable && sound.moduleBytes && !options.mute && !soundBroken;
  if (haveMusic) {
    sound.moveTo(seconds);
    clock = sound.clock;
    wallClock = false;
  } else {
    clock = new WallClock(seconds, performance.now());
    wallClock = true;
  }
}

// Shows frame round(seconds * rate) of a whole run at the page's rate, exactly,
// and plays on from there (or stays there while paused), the music with it.
// Resolves once that frame is on the canvas.
function seekTo(seconds) {
  if (status.state !== 'playing' || !Number.isFinite(seconds)) return Promise.resolve(false);
  const requested = performance.now();
  const last = core._vorlith_final_frame(status.rate);
  const ms = Math.round(Math.min(Math.max(seconds, 0), 1e6) * 1000);
  const n = Math.min(framesBefore(ms, status.rate), last - 1);
  if (core._vorlith_seek(status.rate, n) < 0) return Promise.resolve(false);
  startTicks = frameTicks(n, status.rate);
  lastTicks = startTicks;
  core._vorlith_frame(startTicks);
  status.frameIndex = n;
  status.showTime = status.audioTime = Math.round(startTicks / 1000);
  status.lastSeekMs = performance.now() - requested;
  if (status.paused) {
    pausedAt = startTicks / 1e6;
    if (sound && sound.clock) sound.moveTo(pausedAt);
  } else {
    follow(startTicks / 1e6);
  }
  controls.update();
  return Promise.resolve(true);
}

let pausedAt = 0;

// Holds the picture and the music where they are.
function pause() {
  if (status.state !== 'playing' || status.paused) return;
  status.paused = true;
  pausedAt = lastTicks >= 0 ? lastTicks / 1e6 : startTicks / 1e6;
  if (sound) sound.pause();
  controls.update();
  controls.showBar();
}

// Plays on from where the show was held.
function resume() {
  if (status.state !== 'playing' || !status.paused) return;
  status.paused = false;
  if (sound) sound.resume();
  startTicks = secondsToTicks(pausedAt);
  follow(pausedAt);
  controls.update();
  requestAnimationFrame(frame);
}

function go() {
  if (!prepared || status.state === 'playing') return;
  status.clickedAt = performance.now();
  status.firstFrameMs = undefined;
  elements.start.hidden = true;
  elements.end.hidden = true;
  status.state = 'playing';
  document.body.classList.add('playing');
  core._vorlith_present_to(present.canvas);
  soundBroken = false;
  const haveMusic = sound && sound.usable && sound.moduleBytes && !options.mute;
  if (haveMusic) {
    sound.play(startTicks / 1e6);
    clock = sound.clock;
    wallClock = false;
  } else {
    clock = new WallClock(startTicks / 1e6, performance.now());
    wallClock = true;
  }
  frame();
}

function finish() {
  status.paused = false;
  controls.hideBar();
  elements.help.hidden = true;
  core._vorlith_shutdown();
  clock = null;
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
      frame();
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
  const before = framesBefore(options.startMs, fps);
  core._vorlith_seek(fps, before);
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
  layout();
  addEventListener('resize', layout);
  elements.fullscreen.addEventListener('click', (event) => {
    event.stopPropagation();
    toggleFullscreen();
  });
  addEventListener('keydown', onKey);
  elements.start.addEventListener('click', go);
  elements.again.addEventListener('click', playAgain);

  core = await createVorlith({ vorlithPage: page });
  const scenes = [];
  for (let k = 1; k <= 6; k += 1)
    scenes.push({ name: core.UTF8ToString(core._vorlith_scene_name(k)), start: core._vorlith_scene_start_ms(k) / 1000 });
  controls = installControls(
    {
      playing: () => status.state === 'playing',
      paused: () => status.paused,
      time: () => status.showTime / 1000,
      length: core._vorlith_scene_start_ms(7) / 1000,
      scenes,
      pause,
      play: resume,
      seek: (seconds) => seekTo(seconds),
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
