// The page around the show: it loads the core (vorlith.wasm) and the pack,
// waits for a gesture (sound needs one), then calls one pass of the show's
// frame loop per animation frame with the clock read from the music. Test
// and measurement modes run the show on the virtual clock instead.
import createVorlith from './vorlith.js';
import { readOptions, framesBefore, frameTicks, useCore } from './options.js';
import { frameLayout, frameWidth, frameHeight } from './layout.js';
import { ShowClock, secondsToTicks } from './clock.js';
import { Sound, soundAvailable } from './sound.js';
import { keepOffline } from './offline.js';

// Where presented frames go, and how the module is treated (web_port.cpp).
const present = { none: 0, canvas: 1, digests: 2, bench: 3 };
const audioMode = { play: 0, check: 1, silent: 2 };
// Frames that catch up to a start time run at this rate, as in the program.
const catchUpFps = 60;
// Longest stretch of frames run without giving the page back (ms).
const sliceMs = 40;

const status = { state: 'waiting', showTime: 0, audioTime: 0 };
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
};
const canvas2d = elements.canvas.getContext('2d', { alpha: false });
const { options, problems } = readOptions(location.search);

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
let prepared = false;
// While playing: the show's clock, and whether it listens for the music.
let clock = null;
let listening = false;
// The page says once that it has no sound.
let soundNoticed = false;
let movedMusicAt = -Infinity;

// Start-up, then the frames before the start time, drawn but not shown, so
// that frame k of the run is frame round(S * 60) + k of a whole run.
async function prepare() {
  prepared = false;
  const mode = options.mute ? audioMode.silent : audioMode.play;
  if (!core._vorlith_startup(mode)) notice('Vorlith', 'The show could not start.');
  core._vorlith_present_to(present.none);
  const before = framesBefore(options.start, catchUpFps);
  startTicks = frameTicks(before, catchUpFps);
  await runVirtual(catchUpFps, 0, before, (done) => {
    elements.progress.textContent = `Preparing: ${Math.floor((100 * done) / before)} %`;
  });
  elements.progress.textContent = '';
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
  if (status.state !== 'playing') return;
  const now = performance.now();
  const music = musicHeard(now);
  const ticks = Math.max(startTicks, secondsToTicks(clock.read(now, music, listening && sound.onItsWay)));
  keepSound(now);
  const goesOn = core._vorlith_frame(ticks);
  status.showTime = Math.round(ticks / 1000);
  status.audioTime = clock.source === 'music' && music !== null ? Math.round(music * 1000) : null;
  status.clock = clock.source;
  if (clock.heard && status.heardMs === undefined) status.heardMs = Math.round(now - status.clickedAt);
  if (goesOn) requestAnimationFrame(frame);
  else finish();
}

function go() {
  if (!prepared || status.state === 'playing') return;
  const now = performance.now();
  status.clickedAt = now;
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
}

function finish() {
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
    core._vorlith_key(event.key === 'Escape' ? 27 : event.keyCode || 0);
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
  const before = framesBefore(options.start, fps);
  await runVirtual(fps, 0, before);
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
  await loadPack(core);
  if (options.digestFps) return runDigests(options.digestFps);
  if (options.benchFps) return runBench(options.benchFps);
  await prepare();
  elements.play.disabled = false;
  elements.hint.textContent = 'click or press a key';
  elements.play.focus();
}

main().catch((error) => notice('Vorlith', `The page could not start: ${error}`));
