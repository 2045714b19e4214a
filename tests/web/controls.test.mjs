// The viewer's controls in a real browser: a link to a moment, exact seeks
// (the program's frame at the page's rate, to the digest, quickly), pause and
// resume, the arrow keys, the seek bar, the list of keys, and Escape.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { openBrowser, openPage } from './browser.mjs';

const assets = process.env.VORLITH_ASSETS || 'build/assets';
const program = process.env.VORLITH_PROGRAM || 'build/vorlith';

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const status = (page) => page.evaluate(() => ({ ...window.vorlith, frameDigest: window.vorlith.frameDigest }));

// The program's digest of every frame of a whole run at fps, by index.
function programDigests(fps) {
  const dir = mkdtempSync(join(tmpdir(), 'vorlith-digests-'));
  try {
    const list = join(dir, 'digests.txt');
    execFileSync(program, ['--assets', assets, '--capture', list, '--fps', String(fps)], { stdio: 'ignore' });
    return readFileSync(list, 'utf8').trimEnd().split('\n').map((line) => line.split(' ')[1]);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

let session;
before(async () => {
  session = await openBrowser({ autoplay: true });
});
after(async () => {
  await session?.close();
});

async function startShow(path) {
  const opened = await openPage(session, path);
  await opened.page.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 60000 });
  await opened.page.click('#play');
  await opened.page.waitForFunction(() => window.vorlith.state === 'playing', { timeout: 5000 });
  return opened;
}

test('a link to a moment starts there; seeks show the program\'s frame at once, the music with them',
  { timeout: 180000 }, async (t) => {
    const { page, problems } = await startShow('index.html#t=47.7');
    await page.waitForFunction(() => performance.now() - window.vorlith.clickedAt >= 1000, { polling: 10 });
    const started = await status(page);
    assert.ok(started.showTime >= 48000 && started.showTime <= 49000, `show time ${started.showTime} ms`);
    const rate = started.rate;
    assert.ok(rate >= 24 && rate <= 240, `rate ${rate}`);
    const digests = programDigests(rate);

    for (const seconds of [170, 5, 120.5, 33.3]) {
      const shown = await page.evaluate((s) => window.vorlith.seek(s).then(() => ({
        frameIndex: window.vorlith.frameIndex,
        frameDigest: window.vorlith.frameDigest,
        lastSeekMs: window.vorlith.lastSeekMs,
        audioTime: window.vorlith.audioTime,
      })), seconds);
      const k = Math.floor((2 * Math.round(seconds * 1000) * rate + 1000) / 2000);
      t.diagnostic(`seek(${seconds}) at ${rate} fps: frame ${shown.frameIndex} in ${shown.lastSeekMs.toFixed(1)} ms`);
      assert.equal(shown.frameIndex, k, `seek(${seconds})`);
      assert.equal(shown.frameDigest, digests[k], `seek(${seconds}): frame ${k}`);
      assert.ok(shown.lastSeekMs <= 150, `seek(${seconds}) took ${shown.lastSeekMs} ms`);
      // The music goes on from there: heard within a little of the picture.
      await sleep(700);
      const after = await status(page);
      assert.ok(after.showTime > seconds * 1000 && after.showTime < seconds * 1000 + 1500, `${after.showTime} ms`);
      assert.ok(Math.abs(after.showTime - after.audioTime) <= 60, `show ${after.showTime}, music ${after.audioTime}`);
    }
    assert.deepEqual(problems, []);
    await page.close();
  });

test('pause holds picture and music, Space plays on, the arrows move five seconds, link() names the moment',
  { timeout: 120000 }, async () => {
    const { page, problems } = await startShow('index.html?start=60');
    await sleep(800);
    await page.evaluate(() => window.vorlith.pause());
    const held = await status(page);
    assert.equal(held.paused, true);
    await sleep(1000);
    const still = await status(page);
    assert.equal(still.showTime, held.showTime);
    assert.equal(still.frameDigest, held.frameDigest);
    assert.ok(Math.abs(still.audioTime - held.audioTime) <= 20, `music ${held.audioTime} -> ${still.audioTime}`);

    await page.keyboard.press('Space');
    await sleep(600);
    const playing = await status(page);
    assert.equal(playing.paused, false);
    assert.ok(playing.showTime > held.showTime + 200, `${held.showTime} -> ${playing.showTime}`);

    const before = (await status(page)).showTime;
    await page.keyboard.press('ArrowRight');
    const moved = await status(page);
    assert.ok(moved.showTime - before >= 4950 && moved.showTime - before <= 5200, `${before} -> ${moved.showTime}`);
    await page.keyboard.press('ArrowLeft');
    const back = await status(page);
    assert.ok(Math.abs(back.showTime - before) <= 200, `${before} -> ${back.showTime}`);

    const link = await page.evaluate(() => window.vorlith.link());
    const now = (await status(page)).showTime;
    const match = link.match(/#t=(\d+(?:\.\d+)?)$/);
    assert.ok(match, link);
    assert.ok(!link.includes('start='), link);
    assert.ok(Math.abs(Number(match[1]) * 1000 - now) <= 100, `${link} at ${now} ms`);

    await page.keyboard.press('Home');
    assert.ok((await status(page)).showTime < 200);
    assert.deepEqual(problems, []);
    await page.close();
  });

test('the seek bar comes with the pointer and marks the scenes; ? lists the keys; Escape still ends the show',
  { timeout: 60000 }, async () => {
    const { page, problems } = await startShow('index.html?start=20');
    await sleep(300);
    await page.mouse.move(300, 300);
    await page.mouse.move(320, 310);
    assert.equal(await page.$eval('#bar', (bar) => bar.hidden), false);
    assert.deepEqual(await page.$$eval('#marks .mark', (marks) => marks.map((m) => m.textContent)),
      ['logo', 'title', 'cube', 'ribbons', 'tunnel', 'end']);
    await sleep(3200);
    assert.equal(await page.$eval('#bar', (bar) => bar.hidden), true, 'hidden while watching');

    // A click on the bar's track seeks there: the middle of the show.
    await page.mouse.move(320, 300);
    const box = await page.$eval('#track', (track) => {
      const r = track.getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
    });
    await page.mouse.click(box.x, box.y);
    const middle = (await status(page)).showTime;
    assert.ok(Math.abs(middle - 91478) < 1500, `${middle} ms`);

    await page.keyboard.press('?');
    assert.equal(await page.$eval('#help', (help) => help.hidden), false);
    await page.keyboard.press('?');
    assert.equal(await page.$eval('#help', (help) => help.hidden), true);

    // A click on the picture pauses, Escape ends a paused show too.
    await page.mouse.click(100, 100);
    assert.equal((await status(page)).paused, true);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.vorlith.state === 'ended', { timeout: 5000 });
    assert.deepEqual(problems, []);
    await page.close();
  });
