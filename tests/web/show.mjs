// The page tests every engine runs alike: every frame the program's, byte for
// byte; a live run locked to the music and ended by Escape; and, where the
// engine can be given no sound device, the show going on without one.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { openEngine } from './engines.mjs';
import { blockMeans, meanDifference, nativeDigests, nativeFrames } from './reference.mjs';

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
export const status = (page) => page.evaluate(() => ({ ...window.vorlith }));

// The page's status, `count` times 50 ms apart, each playing on the music's
// clock with the picture within 40 ms of the music.
export async function lockedSamples(page, count) {
  const samples = [];
  for (let i = 0; i < count; ++i) {
    samples.push(await status(page));
    await sleep(50);
  }
  for (const s of samples) {
    assert.equal(s.state, 'playing');
    assert.equal(s.clock, 'music', `the show follows ${s.clock} at ${s.showTime} ms`);
    assert.ok(Math.abs(s.showTime - s.audioTime) <= 40, `show ${s.showTime} ms, audio ${s.audioTime} ms`);
  }
  return samples;
}
const notices = (page) => page.evaluate(() => [...document.querySelectorAll('#notices li')].map((item) => item.textContent));

// The canvas's pixels as R, G, B bytes, with the show time of the frame on it.
async function canvasFrame(page) {
  const { showTime, pixels } = await page.evaluate(() => {
    const data = document.getElementById('frame').getContext('2d').getImageData(0, 0, 320, 200).data;
    let text = '';
    for (let i = 0; i < data.length; i += 4) text += String.fromCharCode(data[i], data[i + 1], data[i + 2]);
    return { showTime: window.vorlith.showTime, pixels: btoa(text) };
  });
  return { showTime, rgb: Buffer.from(pixels, 'base64') };
}

export async function digestsOf(page) {
  await page.waitFor(() => document.title === 'digests ready', 280000);
  return (await page.evaluate(() => document.getElementById('digests').textContent)).trimEnd().split('\n');
}

async function readyToPlay(page) {
  await page.waitFor(() => !document.getElementById('play').disabled, 90000);
}

// Registers the tests of one engine. noSound: also run the show in a second
// session that has no sound device; fromStartDigests: also check the frames
// from a start at 100 s. Returns the session's getter, for an engine's own
// tests.
export function showTests(engine, { noSound = false, fromStartDigests = false } = {}) {
  let session;
  const current = () => session;
  before(async () => {
    session = await openEngine(engine);
  });
  after(async () => {
    await session?.close();
  });

  test(`${engine}: every frame at 30 fps is the program's, byte for byte`, { timeout: 300000 }, async (t) => {
    const expected = nativeDigests(30).trimEnd().split('\n');
    assert.equal(expected.length, 5490);
    const began = Date.now();
    const page = await session.open('index.html?digest=30');
    const actual = await digestsOf(page);
    const first = expected.findIndex((line, k) => actual[k] !== line);
    assert.equal(first, -1, `frame ${first}: page "${actual[first]}", program "${expected[first]}"`);
    assert.equal(actual.length, expected.length);
    assert.deepEqual(page.problems, []);
    t.diagnostic(`${actual.length} of ${expected.length} frames equal, in ${((Date.now() - began) / 1000).toFixed(1)} s`);
    await page.close();
    if (!fromStartDigests) return;

    // From a start at 100 s, frame k is frame 3000 + k of the whole run.
    const from = await session.open('index.html?digest=30&start=100');
    const started = await digestsOf(from);
    assert.equal(started.length, expected.length - 3000);
    started.forEach((line, k) => {
      const [index, digest] = line.split(' ');
      assert.equal(Number(index), k);
      assert.equal(digest, expected[3000 + k].split(' ')[1], `frame ${k} from 100 s`);
    });
    assert.deepEqual(from.problems, []);
    await from.close();
  });

  test(`${engine}: a live run from 100 s, started by a click, locked to the music, ended by Escape, played again`,
    { timeout: 150000 }, async (t) => {
      const page = await session.open('index.html?start=100');
      await readyToPlay(page);
      assert.equal((await status(page)).state, 'waiting');
      await page.click('#play');
      await page.waitFor(() => window.vorlith.clock === 'music', 20000).catch(async (error) => {
        throw new Error(`${error.message}: ${JSON.stringify(await status(page))}, notices ${await notices(page)}`);
      });
      await sleep(1000);

      // Picture and music together, frame after frame.
      const samples = await lockedSamples(page, 40);
      const first = samples[0].showTime;
      const last = samples.at(-1).showTime;
      assert.ok(first >= 100000 && first < 104000, `show time ${first} ms`);
      assert.ok(last - first > 1500, `the show moved ${last - first} ms in about 2 s or more`);
      const drift = Math.max(...samples.map((s) => Math.abs(s.showTime - s.audioTime)));
      t.diagnostic(`music heard ${samples[0].heardMs} ms after the click; |show - audio| at most ${drift} ms over ${samples.length} samples`);

      // The canvas shows the program's picture of that moment (the ribbons and
      // rays): at a glance nearer the program's frames of that moment than to
      // those a second away or of the scenes before and after.
      const shown = await canvasFrame(page);
      const k = Math.round((shown.showTime * 30) / 1000);
      const others = [k - 30, k + 30, 1500, 4000];
      const frames = nativeFrames(30, [k - 1, k, k + 1, ...others]);
      const blocks = blockMeans(shown.rgb);
      const near = Math.min(...[k - 1, k, k + 1].map((j) => meanDifference(blocks, blockMeans(frames.get(j)))));
      const away = Math.min(...others.map((j) => meanDifference(blocks, blockMeans(frames.get(j)))));
      const level = meanDifference(blocks, new Float64Array(blocks.length));
      t.diagnostic(`at ${shown.showTime} ms: ${near.toFixed(1)} from the program's frames then, ${away.toFixed(1)} from others`);
      assert.ok(level > 20, `mean level ${level}`);
      assert.ok(near < 0.7 * away, `${near} from the frames of its moment, ${away} from others`);

      await page.press('Escape');
      await page.waitFor(() => window.vorlith.state === 'ended', 5000);
      assert.equal(await page.evaluate(() => document.getElementById('end').hidden), false);

      await page.click('#again');
      await page.waitFor(() => window.vorlith.state === 'playing', 30000);
      await sleep(500);
      await page.press('x');
      assert.equal((await status(page)).state, 'playing', 'only Escape ends the show');
      await page.press('Escape');
      await page.waitFor(() => window.vorlith.state === 'ended', 5000);
      assert.deepEqual(await notices(page), []);
      assert.deepEqual(page.problems, []);
      await page.close();
    });

  test(`${engine}: a link to a moment, exact seeks at once, pause, Space, the arrows, Home, a link back, Escape`,
    { timeout: 200000 }, async (t) => {
      const page = await session.open('index.html#t=47.7');
      await readyToPlay(page);
      await page.click('#play');
      await page.waitFor(() => performance.now() - window.vorlith.clickedAt >= 1000, 10000);
      const started = await page.evaluate(() => ({ ...window.vorlith, since: performance.now() - window.vorlith.clickedAt }));
      // The show time a second after Play: what it was when read, less the
      // time since (the show runs at one second a second).
      const atSecond = started.showTime - (started.since - 1000);
      t.diagnostic(`#t=47.7: ${started.showTime} ms at ${started.since.toFixed(0)} ms after Play, at ${started.rate} fps`);
      // About 48 to 49 s: WebKitGTK's music clock, which knows no output
      // latency, runs up to a few hundred milliseconds ahead at first.
      assert.ok(atSecond >= 48000 && atSecond <= 49500, `show time ${started.showTime} ms ${started.since} ms after Play`);
      const rate = started.rate;

      // Each seek shows the program's frame round(S * rate) at that rate, at once.
      for (const seconds of [170, 5, 120.5, 33.3]) {
        const shown = await page.evaluate((s) => window.vorlith.seek(s).then(() => ({ ...window.vorlith })), seconds);
        const k = Math.round(seconds * rate);
        const [line] = nativeDigests(rate, ['--start', String(seconds), '--until', String(seconds + 0.05)]).split('\n');
        t.diagnostic(`seek(${seconds}): frame ${shown.frameIndex} in ${shown.lastSeekMs.toFixed(1)} ms`);
        assert.equal(shown.frameIndex, k, `seek(${seconds})`);
        assert.equal(shown.frameDigest, line.split(' ')[1], `seek(${seconds}): frame ${k}`);
        assert.ok(shown.lastSeekMs <= 150, `seek(${seconds}) took ${shown.lastSeekMs} ms`);
        // And plays on from there (on a loaded machine WebKit's music clock
        // may take a second or two to settle after a seek).
        await sleep(600);
        const after = await status(page);
        assert.ok(after.showTime > seconds * 1000 && after.showTime < seconds * 1000 + 3000, `${after.showTime} ms`);
      }

      // Pause holds the picture and the music; Space plays both on.
      await page.evaluate(() => window.vorlith.pause());
      const held = await status(page);
      assert.equal(held.paused, true);
      await sleep(1000);
      const still = await status(page);
      assert.equal(still.showTime, held.showTime);
      assert.equal(still.frameDigest, held.frameDigest);
      assert.ok(Math.abs(still.musicPosition - held.musicPosition) <= 0.05, `music ${held.musicPosition} -> ${still.musicPosition}`);
      await page.press(' ');
      await sleep(800);
      const playing = await status(page);
      assert.equal(playing.paused, false);
      assert.ok(playing.showTime > held.showTime + 200, `${held.showTime} -> ${playing.showTime} ms`);
      assert.ok(playing.musicPosition > still.musicPosition + 0.2, `music ${still.musicPosition} -> ${playing.musicPosition}`);

      // The arrows move five seconds; the link names the moment; Home the start.
      const before = (await status(page)).showTime;
      await page.press('ArrowRight');
      const on = (await status(page)).showTime;
      assert.ok(on - before >= 4950 && on - before <= 5300, `${before} -> ${on} ms`);
      await page.press('ArrowLeft');
      const back = (await status(page)).showTime;
      assert.ok(Math.abs(back - before) <= 300, `${before} -> ${back} ms`);
      const { link, showTime } = await page.evaluate(() => ({ link: window.vorlith.link(), showTime: window.vorlith.showTime }));
      const moment = link.match(/#t=(\d+(?:\.\d+)?)$/);
      assert.ok(moment && Math.abs(Number(moment[1]) * 1000 - showTime) <= 1, `${link} at ${showTime} ms`);
      await page.press('Home');
      assert.ok((await status(page)).showTime < 200);

      // A paused show still ends on Escape.
      await page.evaluate(() => window.vorlith.pause());
      await page.press('Escape');
      await page.waitFor(() => window.vorlith.state === 'ended', 5000);
      assert.deepEqual(await notices(page), []);
      assert.deepEqual(page.problems, []);
      await page.close();
    });

  if (!noSound) return current;
  test(`${engine}: with no sound device the show goes on by the page's clock and says there is no sound`,
    { timeout: 150000 }, async (t) => {
      const silent = await openEngine(engine, { sound: false });
      try {
        const page = await silent.open('index.html?start=100');
        await readyToPlay(page);
        await page.click('#play');
        const clicked = Date.now();
        await sleep(4000);
        const s = await status(page);
        const seconds = (Date.now() - clicked) / 1000;
        t.diagnostic(`${seconds.toFixed(2)} s after Play the show time is ${s.showTime} ms, on the ${s.clock} clock`);
        assert.ok(s.showTime >= 102500, `show time ${s.showTime} ms ${seconds} s after Play`);
        assert.equal(s.clock, 'wall');
        assert.equal(s.audioTime, null);
        const listed = await notices(page);
        assert.equal(listed.length, 1, listed.join(' | '));
        assert.match(listed[0], /no sound: .*suspended/);
        await page.press('Escape');
        await page.waitFor(() => window.vorlith.state === 'ended', 5000);
        assert.deepEqual(page.problems, []);
      } finally {
        await silent.close();
      }
    });
  return current;
}
