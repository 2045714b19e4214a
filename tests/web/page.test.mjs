// The page's own logic, run by Node: what the address asks for, the frame's
// layout, and the clock that follows the music.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { MusicClock, OutputClock, ShowClock, secondsToTicks } from '../../web/clock.js';
import { frameLayout } from '../../web/layout.js';
import { momentLink, parseFps, readOptions } from '../../web/options.js';

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

test('a link to a moment: #t= is read as ?start= is and wins over it; the link keeps the rest', () => {
  assert.equal(readOptions('', '#t=47.7').options.start, '47.7');
  assert.equal(readOptions('?start=10&mute', '#t=182.956').options.start, '182.956');
  assert.equal(readOptions('?mute', '#t=5').options.mute, true);
  assert.equal(readOptions('?start=10', '#other').options.start, '10');
  assert.equal(momentLink('http://127.0.0.1:8000/index.html', 47700), 'http://127.0.0.1:8000/index.html#t=47.7');
  assert.equal(momentLink('http://h/index.html?start=3&aspect#t=9', 120005), 'http://h/index.html?aspect=#t=120.005');
  assert.equal(momentLink('http://h/?start=1', 60000), 'http://h/#t=60');
  // What a link names, the page reads back as the same millisecond.
  for (const ms of [0, 1, 999, 47700, 100010, 182956]) {
    const url = new URL(momentLink('http://h/index.html?mute', ms));
    assert.equal(Number(readOptions(url.search, url.hash).options.start) * 1000, ms);
  }
});

test('after a seek back the music clock leaves out the reports from before it', () => {
  // Moved back to 5 s at context time 20; the worklet still reports 65 s for a moment.
  const clock = new MusicClock(5, 20);
  clock.report(65.01, 20.01);
  clock.report(65.02, 20.02);
  assert.equal(clock.running, false);
  clock.report(5.01, 20.03);
  assert.ok(Math.abs(clock.music(20.5) - 5.48) < 0.01, String(clock.music(20.5)));
  // Music moved on (a seek forward) is taken as it comes.
  const on = new MusicClock(120, 30);
  on.report(120.2, 30.25);
  assert.ok(Math.abs(on.music(30.5) - 120.45) < 0.01);
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

// The music as the page passes it to the show's clock: null until it is heard
// past where it was started.
function heardMusic(music, heardContextTime) {
  const seconds = music.music(heardContextTime);
  return music.running && seconds > music.start ? seconds : null;
}

// Frames every 1/60 s from context time `from` for `seconds`, the page's clock
// `pageAhead` seconds ahead of the context's, each reading the show's clock
// with the heard moment off by up to +-jitter; `stalled` holds the context
// time still. What each read gave.
function playFrames(show, music, { from, seconds, jitter, random, pageAhead = 0, stalled = false }) {
  const readings = [];
  for (let t = 0; t <= seconds + 1e-9; t += 1 / 60) {
    const context = stalled ? from : from + t;
    const heard = context + (stalled ? 0 : (2 * random() - 1) * jitter);
    readings.push({ context, show: show.read((from + t + pageAhead) * 1000, heardMusic(music, heard)) });
  }
  return readings;
}

function randomSource(seed) {
  return () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
}

test('the show follows the music: the best bound on the offset, then smooth, monotonic and locked', () => {
  const random = randomSource(7);
  const music = new MusicClock(100);
  const show = new ShowClock(100, 6400);
  assert.equal(show.read(6400, heardMusic(music, 5)), 100, 'before any report: the start');
  // Context time is 5 s ahead of the seconds the music has played.
  playMusic(music, { start: 100, seconds: 3, delays: () => 0.002 + 0.02 * random(), offsetFromContext: 5 });
  // Heard at context time 6.5: 1.5 s into the music, less at most a few ms
  // (the best report's delay and one block).
  assert.ok(music.music(6.5) <= 101.5 && music.music(6.5) > 101.5 - 0.006, String(music.music(6.5)));
  // The heard moment jumps by up to 8 ms either way from frame to frame.
  const readings = playFrames(show, music, { from: 6.5, seconds: 4, jitter: 0.008, random });
  let last = 100;
  readings.forEach(({ context, show: seconds }, i) => {
    assert.ok(seconds >= last, 'never backwards');
    if (i > 0) {
      const step = seconds - last;
      assert.ok(step > 0.009 && step < 0.024, `frame ${i} moved ${step * 1000} ms`);
    }
    if (i > 30) assert.ok(Math.abs(seconds - music.music(context)) < 0.004, `frame ${i}: show ${seconds}, music ${music.music(context)}`);
    last = seconds;
  });
  assert.equal(show.source, 'music');
});

test('the show leaves out reports from before a seek, rides out a short stall, goes on alone through a long one and takes the moved music up again', () => {
  const random = randomSource(3);
  const music = new MusicClock(100);
  music.report(0.003, 1.0); // one block rendered from the start before the seek
  assert.equal(music.running, false);
  playMusic(music, { start: 99.98, seconds: 1, delays: () => 0.001, offsetFromContext: 2, until: 100.5 });
  assert.equal(music.running, true);
  // The seek landed 20 ms early: the music and the show wait at the start.
  assert.equal(music.music(2.01), 100);
  const show = new ShowClock(100, 2000);
  assert.equal(show.read(2010, heardMusic(music, 2.01)), 100);
  playFrames(show, music, { from: 2.01, seconds: 0.3, jitter: 0.002, random });
  // The sound stalls for a third of a second while the page's clock runs: the
  // show runs on at most a tenth of a second, waits, and follows the music
  // again as soon as it moves.
  const stall = playFrames(show, music, { from: 2.31, seconds: 0.3, jitter: 0, random, stalled: true });
  const ahead = stall.at(-1).show - music.music(2.31);
  assert.ok(ahead > 0.05 && ahead <= 0.1, `ran ${ahead} s ahead of the stalled music`);
  const resumed = playFrames(show, music, { from: 2.31, seconds: 1, jitter: 0.002, random, pageAhead: 0.3 });
  const end = resumed.at(-1);
  assert.equal(show.source, 'music');
  assert.ok(Math.abs(end.show - music.music(end.context)) < 0.004, `${end.show} against ${music.music(end.context)}`);

  // A stall of two seconds: after half a second the show goes on by the
  // page's clock, from where it is, at real speed.
  const long = playFrames(show, music, { from: 3.31, seconds: 2, jitter: 0, random, pageAhead: 0.3, stalled: true });
  assert.equal(show.source, 'wall');
  const alone = long.at(-1).show - long[60].show;
  assert.ok(Math.abs(alone - 1) < 0.02, `moved ${alone} s in the last second`);
  // The sound comes back where it stopped, two seconds behind the picture: the
  // show goes on, and says the music is behind.
  const picture = show.read(5610, heardMusic(music, 3.5));
  assert.equal(show.behind, true);
  assert.equal(show.source, 'wall');
  // The page moves the music to the picture: it is taken up as it is heard.
  const moved = new MusicClock(picture + 0.05);
  show.follow(5610);
  playMusic(moved, { start: picture + 0.05, seconds: 1, delays: () => 0.002, offsetFromContext: 3.5 });
  const after = playFrames(show, moved, { from: 3.5, seconds: 1, jitter: 0.002, random, pageAhead: 2.11 });
  assert.equal(show.source, 'music');
  assert.equal(show.behind, false);
  assert.ok(Math.abs(after.at(-1).show - moved.music(after.at(-1).context)) < 0.004);
  // After the module's end the position stands still; the show goes on.
  playMusic(moved, { start: picture + 0.05, seconds: 2, delays: () => 0.002, offsetFromContext: 3.5, until: picture + 1.5 });
  const past = playFrames(show, moved, { from: 4.5, seconds: 8, jitter: 0.002, random, pageAhead: 2.11 });
  assert.ok(Math.abs(past.at(-1).show - moved.music(past.at(-1).context)) < 0.004);
  assert.equal(show.source, 'music');
});

// Frames every 1/60 s for `seconds` of page time from `fromMs`, the music as
// music(nowMs) gives it: the show time of each.
function frames(show, { fromMs, seconds, music = () => null }) {
  const readings = [];
  for (let k = 0; k <= seconds * 60; ++k) {
    const nowMs = fromMs + (k * 1000) / 60;
    readings.push({ nowMs, show: show.read(nowMs, music(nowMs)) });
  }
  return readings;
}

test('WebKit\'s output stamps (page time ahead by the context time) are set aside: the picture moves at real speed with the music', () => {
  // A context started at page time 7000 ms that WebKitGTK describes: the
  // current time a block ahead of what is heard, moving in steps of 40 ms,
  // and stamps whose page time is now + contextTime * 1000 less a little.
  const began = 7000;
  const context = (nowMs) => (nowMs - began) / 1000;
  const describe = (nowMs) => ({
    nowMs,
    currentTime: Math.floor(context(nowMs) / 0.04) * 0.04 + 128 / 44100,
    baseLatency: 128 / 44100,
    outputLatency: 0,
    stamp: { contextTime: context(nowMs), performanceTime: nowMs + 1000 * context(nowMs) - 38 },
  });
  const output = new OutputClock();
  const music = new MusicClock(100);
  // The worklet's reports from context time 0.2 s on: the music started at 100 s then.
  playMusic(music, { start: 100, seconds: 20, delays: () => 0.003, offsetFromContext: 0.2 });
  const show = new ShowClock(100, 7150);
  const readings = frames(show, { fromMs: 7150, seconds: 15, music: (nowMs) => heardMusic(music, output.read(describe(nowMs))) });
  assert.equal(show.source, 'music');
  // Between the steps of the current time the moment heard runs on: the show
  // stays within a few ms of the music actually heard.
  for (const { nowMs, show: seconds } of readings.slice(60))
    assert.ok(Math.abs(seconds - music.music(context(nowMs))) < 0.010, `${seconds} at ${nowMs} ms`);
  // 15 s later the context has run 15.15 s, the music 0.2 s less.
  assert.ok(Math.abs(readings.at(-1).show - 114.95) < 0.015, String(readings.at(-1).show));
  // Every second of page time is a second of show time.
  for (let i = 120; i + 60 < readings.length; i += 60) {
    const moved = readings[i + 60].show - readings[i].show;
    assert.ok(Math.abs(moved - 1) < 0.005, `${moved} s in a second from ${readings[i].nowMs} ms`);
  }
});

test('output stamps that make sense are believed; stamps that stop or wander are not', () => {
  // Firefox with a sound server: stamps 30 ms old; no latency given, but the
  // stamps say the sound is heard 60 ms after it is rendered.
  const output = new OutputClock();
  const firefox = (nowMs) => ({
    nowMs, currentTime: nowMs / 1000, baseLatency: 0, outputLatency: 0,
    stamp: { contextTime: nowMs / 1000 - 0.09, performanceTime: nowMs - 30 },
  });
  assert.ok(Math.abs(output.read(firefox(1000)) - 1.0) < 1e-9, 'not yet paced: the current time');
  for (let ms = 1000; ms <= 1600; ms += 16) output.read(firefox(ms));
  assert.ok(Math.abs(output.read(firefox(1700)) - 1.64) < 1e-9, 'paced: the stamp, 60 ms behind');
  // The output stops (the stamps too) while the page's clock runs: the stamp
  // carries the moment heard on to a little past the sound rendered, then
  // the current time is used, run on by no more than one of its steps.
  const stopped = (nowMs) => ({ ...firefox(1700), nowMs });
  assert.ok(Math.abs(output.read(stopped(1800)) - 1.74) < 1e-9);
  assert.equal(output.read(stopped(2100)), 1.75);
  assert.equal(output.read(stopped(5000)), 1.75);
  // Stamps of sound not rendered yet, or of long ago, are not believed.
  const early = new OutputClock();
  const ahead = (nowMs) => ({ ...firefox(nowMs), stamp: { contextTime: nowMs / 1000 + 0.2, performanceTime: nowMs } });
  for (let ms = 1000; ms <= 1600; ms += 16) early.read(ahead(ms));
  assert.equal(early.read(ahead(1700)), 1.7);
  const late = new OutputClock();
  const behind = (nowMs) => ({ ...firefox(nowMs), stamp: { contextTime: nowMs / 1000 - 0.8, performanceTime: nowMs } });
  for (let ms = 1000; ms <= 1600; ms += 16) late.read(behind(ms));
  assert.equal(late.read(behind(1700)), 1.7);
  // Latencies no output has are left out.
  assert.equal(new OutputClock().read({ nowMs: 0, currentTime: 3, baseLatency: 0.01, outputLatency: 40, stamp: null }), 2.99);
  assert.equal(new OutputClock().read({ nowMs: 0, currentTime: 0.005, baseLatency: 0.01, outputLatency: 0.02, stamp: null }), 0);
});

test('no sound at all (Firefox with no sound device): the show waits a second for it, then goes on by the page\'s clock', () => {
  const show = new ShowClock(100, 5000);
  const readings = frames(show, { fromMs: 5000, seconds: 6 });
  const at = (ms) => readings.find((r) => r.nowMs >= 5000 + ms).show;
  assert.equal(at(900), 100);
  assert.equal(show.unheardFor(7000), 2000);
  assert.ok(at(4000) >= 102.5 && at(4000) <= 103, String(at(4000)));
  assert.ok(Math.abs(at(6000) - at(4000) - 2) < 1e-6);
  assert.equal(show.source, 'wall');
  // Then the browser finds a device: the music starts where it was started,
  // 5 s behind the picture, until the page moves it there.
  const music = new MusicClock(100);
  playMusic(music, { start: 100, seconds: 1, delays: () => 0.002, offsetFromContext: 10 });
  show.read(11100, heardMusic(music, 11.0));
  assert.equal(show.behind, true);
  // While the output runs and the player loads the music, the show waits two
  // seconds for it; music heard a little behind the picture is taken up, the
  // picture waiting for it.
  const loading = new ShowClock(0, 0);
  for (let ms = 0; ms < 1990; ms += 16) loading.read(ms, null, true);
  assert.equal(loading.source, 'hold');
  assert.equal(loading.read(2000, null, true), 0);
  assert.equal(loading.source, 'wall');
  const late = frames(loading, { fromMs: 2016, seconds: 1, music: (ms) => (ms >= 2300 ? (ms - 2200) / 1000 : null) });
  assert.equal(loading.source, 'music');
  assert.ok(late.every((r, i) => i === 0 || r.show >= late[i - 1].show));
  assert.ok(Math.abs(late.at(-1).show - 0.816) < 0.004, String(late.at(-1).show));
  // Muted, the show starts on the page's clock at once.
  const muted = new ShowClock(30, 1000, { holdMs: 0 });
  assert.equal(muted.read(1000, null), 30);
  assert.equal(muted.read(3500, null), 31); // one step of at most a second
  assert.ok(Math.abs(muted.read(3516, null) - 31.016) < 1e-9);
});

test('a hidden page draws no frames: the show catches up with music that played on, and waits without it', () => {
  const music = new MusicClock(0);
  playMusic(music, { start: 0, seconds: 30, delays: () => 0.002, offsetFromContext: 0 });
  const show = new ShowClock(0, 0);
  frames(show, { fromMs: 0, seconds: 2, music: (ms) => heardMusic(music, ms / 1000) });
  assert.equal(show.read(12000, heardMusic(music, 12)), music.music(12));
  const alone = new ShowClock(0, 0, { holdMs: 0 });
  frames(alone, { fromMs: 0, seconds: 2 });
  assert.ok(Math.abs(alone.read(12000, null) - 3) < 1e-9);
});

test('seconds become the show\'s microsecond counter without float error', () => {
  for (const seconds of [0, 0.1, 100, 100.016666, 182.956]) assert.equal(secondsToTicks(seconds), Math.round(seconds * 1e6));
});
