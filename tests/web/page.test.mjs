// The page's own logic, run by Node: what the address asks for, the frame's
// layout, and the clock that follows the music.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { MusicClock, WallClock, secondsToTicks } from '../../web/clock.js';
import { frameLayout } from '../../web/layout.js';
import { parseFps, readOptions } from '../../web/options.js';

test('frame rates are whole numbers from 1 to 1000', () => {
  assert.equal(parseFps('30'), 30);
  for (const bad of ['0', '1001', '2.5', '', '+3']) assert.equal(parseFps(bad), null, bad);
});

test('the address: options, defaults and reported mistakes', () => {
  // A start is kept as written: the core reads it (the browser tests check it).
  assert.deepEqual(readOptions('?start=12.5&aspect&mute').options, {
    start: '12.5', aspect: true, mute: true, digestFps: 0, benchFps: 0,
  });
  assert.equal(readOptions('?aspect').options.start, null);
  assert.equal(readOptions('?bench').options.benchFps, 60);
  assert.equal(readOptions('?bench=25&digest=30').options.digestFps, 30);
  const { options, problems } = readOptions('?digest=fast&bench=0');
  assert.equal(options.digestFps, 0);
  assert.equal(options.benchFps, 0);
  assert.equal(problems.length, 2);
  assert.match(problems[0], /'fast'/);
});

test('a counter reading survives the trip through seconds', () => {
  // The counter of frame k is floor(k * 1e6 / fps) (the core's virtual clock).
  for (const fps of [1, 7, 30, 60, 144, 1000])
    for (let k = 0; k <= 200000; k += k < 100 ? 1 : 997) {
      const ticks = Number((BigInt(k) * 1000000n) / BigInt(fps));
      assert.equal(secondsToTicks(ticks / 1e6), ticks, `frame ${k} at ${fps}`);
    }
});

test('the frame is shown at the largest whole multiple that fits, in device pixels', () => {
  assert.deepEqual(frameLayout(960, 600, 1, false), { scale: 3, width: 960, height: 600 });
  assert.deepEqual(frameLayout(959, 600, 1, false), { scale: 2, width: 640, height: 400 });
  assert.deepEqual(frameLayout(1920, 1080, 1, false), { scale: 5, width: 1600, height: 1000 });
  // 4:3: each row 6/5 as tall.
  assert.deepEqual(frameLayout(1920, 1080, 1, true), { scale: 4, width: 1280, height: 960 });
  // Twice as many device pixels: a finer multiple, the same size or less on the page.
  assert.deepEqual(frameLayout(1000, 700, 2, false), { scale: 6, width: 960, height: 600 });
  // Never smaller than one frame pixel to a device pixel.
  assert.deepEqual(frameLayout(100, 50, 1, false), { scale: 1, width: 320, height: 200 });
});

// A music clock fed as a worklet feeds it: a report for every 128 sample
// frames at 48 kHz, arriving late by a random delay, in bursts.
function playMusic(clock, { start, seconds, delays, offsetFromContext, until = Infinity }) {
  const quantum = 128 / 48000;
  const events = [];
  for (let t = quantum; t <= seconds; t += quantum) {
    const rendered = t - quantum;
    const position = Math.min(start + rendered, until);
    events.push({ arrival: t + delays(), position });
  }
  events.sort((a, b) => a.arrival - b.arrival);
  for (const e of events) clock.report(e.position, e.arrival + offsetFromContext);
  return events;
}

// Frames every 1/60 s from context time `from` for `seconds`, each reading
// the clock with the heard moment off by up to +-jitter: what each read gave.
function playFrames(clock, { from, seconds, jitter, random, contextAhead = 0 }) {
  const readings = [];
  for (let t = 0; t <= seconds; t += 1 / 60) {
    const heard = from + t + (2 * random() - 1) * jitter;
    readings.push({ context: from + t, show: clock.read(heard, (from + t + contextAhead) * 1000) });
  }
  return readings;
}

function randomSource(seed) {
  return () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
}

test('the music clock: the best bound on the offset, then smooth, monotonic and locked', () => {
  const random = randomSource(7);
  const clock = new MusicClock(100);
  assert.equal(clock.read(5, 0), 100, 'before any report: the start');
  // Context time is 5 s ahead of the seconds the music has played.
  playMusic(clock, { start: 100, seconds: 3, delays: () => 0.002 + 0.02 * random(), offsetFromContext: 5 });
  // Heard at context time 6.5: 1.5 s into the music, less at most a few ms
  // (the best report's delay and one block).
  assert.ok(clock.music(6.5) <= 101.5 && clock.music(6.5) > 101.5 - 0.006, String(clock.music(6.5)));
  // The heard moment jumps by up to 8 ms either way from frame to frame.
  const readings = playFrames(clock, { from: 6.5, seconds: 4, jitter: 0.008, random });
  let last = 100;
  readings.forEach(({ context, show }, i) => {
    assert.ok(show >= last, 'never backwards');
    if (i > 0) {
      const step = show - last;
      assert.ok(step > 0.009 && step < 0.024, `frame ${i} moved ${step * 1000} ms`);
    }
    const music = clock.music(context);
    if (i > 30) assert.ok(Math.abs(show - music) < 0.004, `frame ${i}: show ${show}, music ${music}`);
    last = show;
  });
});

test('the music clock leaves out reports from before a seek, closes gaps, and runs on after the music', () => {
  const random = randomSource(3);
  const clock = new MusicClock(100);
  clock.report(0.003, 1.0); // one block rendered from the start before the seek
  assert.equal(clock.running, false);
  playMusic(clock, { start: 99.98, seconds: 1, delays: () => 0.001, offsetFromContext: 2, until: 100.5 });
  assert.equal(clock.running, true);
  // The seek landed 20 ms early: music and show wait at the start.
  assert.equal(clock.music(2.01), 100);
  assert.equal(clock.read(2.01, 2010), 100);
  // The music moves on; then the sound stalls for half a second while the
  // page's clock runs: the show runs on at most a tenth of a second, waits,
  // and follows the music again as soon as it moves.
  playFrames(clock, { from: 2.01, seconds: 0.3, jitter: 0.002, random });
  let ahead = 0;
  for (let ms = 2310; ms <= 2810; ms += 1000 / 60) ahead = Math.max(ahead, clock.read(2.31, ms) - clock.music(2.31));
  assert.ok(ahead > 0.05 && ahead <= 0.1, `ran ${ahead} s ahead of the stalled music`);
  const resumed = playFrames(clock, { from: 2.31, seconds: 1, jitter: 0.002, random, contextAhead: 0.5 });
  const end = resumed.at(-1);
  assert.ok(Math.abs(end.show - clock.music(end.context)) < 0.004, `${end.show} against ${clock.music(end.context)}`);
  // After the module's end the position stands still; the show goes on.
  const readings = playFrames(clock, { from: 2.51, seconds: 8, jitter: 0.002, random });
  assert.ok(Math.abs(readings.at(-1).show - (readings.at(-1).context + 97.98)) < 0.004);
});

test('without music the show follows the page clock from its start', () => {
  const clock = new WallClock(30, 1000);
  assert.equal(clock.read(1000), 30);
  assert.equal(clock.read(3500), 32.5);
  assert.equal(clock.read(3000), 32.5);
});
