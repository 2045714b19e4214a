// A link to a moment, run by Node: #t=S starts there as ?start=S does, and
// the link the page gives names the moment of the frame on the canvas.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { momentLink, readOptions } from '../../web/options.js';

test('#t= is read as ?start= is, and wins over it', () => {
  assert.equal(readOptions('', '#t=47.7').options.startMs, 47700);
  assert.equal(readOptions('?start=10&mute', '#t=182.956').options.startMs, 182956);
  assert.equal(readOptions('?mute', '#t=5').options.mute, true);
  assert.equal(readOptions('?start=10', '').options.startMs, 10000);
  const { options, problems } = readOptions('', '#t=soon');
  assert.equal(options.startMs, 0);
  assert.match(problems[0], /'soon'/);
});

test('the link keeps the other options and names the moment in seconds', () => {
  assert.equal(momentLink('http://127.0.0.1:8000/index.html', 47700), 'http://127.0.0.1:8000/index.html#t=47.7');
  assert.equal(momentLink('http://h/index.html?start=3&aspect#t=9', 120005), 'http://h/index.html?aspect=#t=120.005');
  assert.equal(momentLink('http://h/', 0), 'http://h/#t=0');
  assert.equal(momentLink('http://h/?start=1', 60000), 'http://h/#t=60');
  // What the link names, the page reads back to the same millisecond.
  for (const ms of [0, 1, 999, 47700, 100010, 182956]) {
    const url = new URL(momentLink('http://h/index.html?mute', ms));
    assert.equal(readOptions(url.search, url.hash).options.startMs, ms);
  }
});

test('after a seek back the music clock leaves out the reports from before it', async () => {
  const { MusicClock } = await import('../../web/clock.js');
  // Moved back to 5 s at context time 20; the worklet still reports 65 s for a moment.
  const clock = new MusicClock(5, 20);
  clock.report(65.01, 20.01);
  clock.report(65.02, 20.02);
  assert.equal(clock.running, false);
  clock.report(5.01, 20.03);
  assert.equal(clock.running, true);
  assert.ok(Math.abs(clock.music(20.5) - 5.48) < 0.01, String(clock.music(20.5)));
  // Music moved on (a seek forward) is taken as it comes.
  const on = new MusicClock(120, 30);
  on.report(120.2, 30.25);
  assert.ok(Math.abs(on.music(30.5) - 120.45) < 0.01);
});
