// The page's own logic, run by Node: what the address asks for, the frame's
// layout, and the clock that follows the music.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { MusicClock, WallClock, secondsToTicks } from '../../web/clock.js';
import { frameLayout } from '../../web/layout.js';
import { framesBefore, frameTicks, parseFps, parseSeconds, readOptions } from '../../web/options.js';

test('start times are read as the program reads --start', () => {
  assert.equal(parseSeconds('100'), 100000);
  assert.equal(parseSeconds('.5'), 500);
  assert.equal(parseSeconds('0.0004'), 0);
  assert.equal(parseSeconds('0.0005'), 1);
  assert.equal(parseSeconds('182.956'), 182956);
  for (const bad of ['182.957', '', '.', '-1', '1e2', '1,5', ' 1', 'Infinity', '0x10']) assert.equal(parseSeconds(bad), null, bad);
  assert.equal(parseFps('30'), 30);
  for (const bad of ['0', '1001', '2.5', '', '+3']) assert.equal(parseFps(bad), null, bad);
});

test('the address: options, defaults and reported mistakes', () => {
  assert.deepEqual(readOptions('?start=12.5&aspect&mute').options, {
    startMs: 12500, aspect: true, mute: true, digestFps: 0, benchFps: 0,
  });
  assert.equal(readOptions('?bench').options.benchFps, 60);
  assert.equal(readOptions('?bench=25&digest=30').options.digestFps, 30);
  const { options, problems } = readOptions('?start=200&digest=fast');
  assert.equal(options.startMs, 0);
  assert.equal(options.digestFps, 0);
  assert.equal(problems.length, 2);
  assert.match(problems[0], /'200'/);
});

test('frames before a start: round(S * F), halves up, with no float error', () => {
  assert.equal(framesBefore(100000, 60), 6000);
  assert.equal(framesBefore(100000, 30), 3000);
  assert.equal(framesBefore(25, 20), 1); // 0.5 frames
  assert.equal(framesBefore(24, 20), 0);
  assert.equal(framesBefore(182956, 7), 1281); // 1280.692
  // Every start in whole milliseconds at a few rates, against exact integers.
  for (const fps of [1, 7, 30, 60, 144, 1000])
    for (let ms = 0; ms <= 182956; ms += 997) {
      const exact = (2n * BigInt(ms) * BigInt(fps) + 1000n) / 2000n;
      assert.equal(BigInt(framesBefore(ms, fps)), exact, `${ms} ms at ${fps}`);
    }
});

test('the counter of frame k is floor(k * 1e6 / fps), and ticks survive seconds', () => {
  for (const fps of [1, 7, 30, 60, 144, 1000])
    for (let k = 0; k <= 200000; k += k < 100 ? 1 : 997) {
      const exact = (BigInt(k) * 1000000n) / BigInt(fps);
      assert.equal(BigInt(frameTicks(k, fps)), exact, `frame ${k} at ${fps}`);
      assert.equal(secondsToTicks(frameTicks(k, fps) / 1e6), frameTicks(k, fps));
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

test('the music clock: the best bound on the offset, smooth and monotonic', () => {
  let seed = 7;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  const clock = new MusicClock(100);
  assert.equal(clock.read(5), 100, 'before any report: the start');
  // Context time is 5 s ahead of the seconds the music has played.
  playMusic(clock, { start: 100, seconds: 3, delays: () => 0.002 + 0.02 * random(), offsetFromContext: 5 });
  // Heard at context time 6.5: 1.5 s into the music, so 101.5 less at most
  // a few ms (the best report's delay and one block).
  const reading = clock.read(6.5);
  assert.ok(reading <= 101.5 && reading > 101.5 - 0.006, String(reading));
  let last = reading;
  for (let heard = 6.5; heard < 7.5; heard += 0.001 + 0.004 * random()) {
    const now = clock.read(heard);
    assert.ok(now >= last);
    last = now;
  }
  // Going back in context time never takes the clock back.
  assert.equal(clock.read(6), last);
});

test('the music clock leaves out reports from before a seek, and runs on after the music ends', () => {
  const clock = new MusicClock(100);
  clock.report(0.003, 1.0); // one block rendered from the start before the seek
  assert.equal(clock.running, false);
  playMusic(clock, { start: 99.98, seconds: 1, delays: () => 0.001, offsetFromContext: 2, until: 100.5 });
  assert.equal(clock.running, true);
  // The seek landed 20 ms early: the show waits at its start for the music.
  assert.equal(clock.read(2.01), 100);
  assert.ok(Math.abs(clock.read(2.5) - 100.48) < 0.005);
  // After the module's end the position stands still; the show goes on.
  assert.ok(Math.abs(clock.read(10) - 107.98) < 0.005);
  assert.ok(Math.abs(clock.heardPosition(10) - (100.5 + (10 - clock.lastArrival))) < 1e-9);
});

test('without music the show follows the page clock from its start', () => {
  const clock = new WallClock(30, 1000);
  assert.equal(clock.read(1000), 30);
  assert.equal(clock.read(3500), 32.5);
  assert.equal(clock.read(3000), 32.5);
});
