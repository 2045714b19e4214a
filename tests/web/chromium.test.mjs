// The page in Chromium (headless, Chrome's protocol): the tests every engine
// runs, then what only Chromium's protocol lets a test do: requests answered
// by the test, the network taken away. Also the site itself and the benchmark.
// scripts/web.sh test builds the site and the program's reference first.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { appendFileSync, cpSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import { siteFiles, siteVersion, writeWorker } from '../../scripts/offline.mjs';
import { siteSize } from '../../scripts/site_size.mjs';
import { openEngine, site } from './engines.mjs';
import { assets, nativeDigests, program } from './reference.mjs';
import { digestsOf, lockedSamples, showTests, status } from './show.mjs';

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

const session = showTests('chromium', { fromStartDigests: true });
const waitForStatus = (page, fn, timeout) => page.waitForFunction(fn, { timeout, polling: 100 });

test('the site is small, static, carries the licences of what it bundles, and its worker keeps all of it', (t) => {
  const { files, gzip } = siteSize(site);
  t.diagnostic(`${files.length} files, ${(gzip / 1e6).toFixed(2)} MB gzipped`);
  assert.ok(gzip <= 3e6, `${gzip} bytes gzipped`);
  const names = files.map((file) => file.path);
  for (const name of ['index.html', 'vorlith.wasm', 'chiptune3.worklet.js', 'libopenmpt.worklet.js', 'sw.js',
    'manifest.webmanifest', 'licenses/chiptune3.txt', 'licenses/libopenmpt.txt', 'assets/pack.json',
    'assets/music/brimtale.it'])
    assert.ok(names.includes(name), name);
  assert.match(readFileSync(join(site, 'licenses/libopenmpt.txt'), 'utf8'), /OpenMPT/);
  // The manifest's icons are the program's, each of its size.
  const manifest = JSON.parse(readFileSync(join(site, 'manifest.webmanifest'), 'utf8'));
  assert.equal(manifest.name, 'Vorlith');
  assert.ok(manifest.icons.length >= 7);
  for (const icon of manifest.icons) {
    const png = readFileSync(join(site, icon.src));
    assert.equal(`${png.readUInt32BE(16)}x${png.readUInt32BE(20)}`, icon.sizes, icon.src);
  }
  // The worker keeps every other file, under the hash of them all.
  const worker = readFileSync(join(site, 'sw.js'), 'utf8');
  const kept = siteFiles(site);
  assert.deepEqual(kept, names.filter((name) => name !== 'sw.js').sort());
  assert.match(worker, new RegExp(`^const version = "${siteVersion(site, kept)}";$`, 'm'));
  for (const file of kept) assert.ok(worker.includes(`  ${JSON.stringify(file)},\n`), file);
});

test('the show\'s notices are listed in the page, and it plays on without what is missing',
  { timeout: 90000 }, async () => {
    const page = await session().browser.newPage();
    // The site's worker, kept by the tests before, would answer past the test.
    await page.setBypassServiceWorker(true);
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    page.on('dialog', (dialog) => errors.push(`dialog: ${dialog.message()}`) && dialog.dismiss());
    await page.setRequestInterception(true);
    page.on('request', (request) => {
      if (/gfx\/code_qev\.tga$|music\/brimtale\.it$|libopenmpt\.worklet\.js$/.test(request.url()))
        request.respond({ status: 404, body: '' });
      else request.continue();
    });
    await page.goto(`${session().origin}/index.html?start=30`);
    // Without its worklet the player never starts: the page gives up on it.
    await page.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 60000 });
    const notices = await page.$$eval('#notices li', (items) => items.map((item) => item.innerText));
    assert.equal(notices.length, 3, notices.join(' | '));
    assert.match(notices[0], /DUMP imageLoad\(\)[\s\S]*Can't open file -> gfx\/code_qev\.tga/);
    assert.match(notices[1], /Error[\s\S]*Can't play the file[\s\S]*error code: 2/);
    assert.match(notices[2], /Error[\s\S]*Can't initialize device[\s\S]*error code: 23/);
    // Silent, the show follows the page's clock.
    await page.keyboard.press('Enter');
    await sleep(1000);
    const s = await status(page);
    assert.equal(s.state, 'playing');
    assert.ok(s.showTime > 30500, `show time ${s.showTime}`);
    assert.deepEqual(errors, []);
    await page.close();
  });

test('the benchmark reports every scene and draws the program\'s frames', { timeout: 300000 }, async () => {
  const native = execFileSync(program, ['--assets', assets, '--bench'], { encoding: 'utf8' });
  const page = await session().open('index.html?bench');
  await page.waitFor(() => document.title === 'bench ready', 280000);
  const report = await page.evaluate(() => document.getElementById('bench').textContent);
  for (const scene of ['logo', 'title', 'cube', 'ribbons', 'tunnel', 'end'])
    assert.match(report, new RegExp(`^\\d ${scene} +\\d+ +[\\d.]+ +[\\d.]+ +[\\d.]+$`, 'm'));
  assert.equal(report.match(/frames digest: (\w+)/)[1], native.match(/frames digest: (\w+)/)[1]);
  assert.deepEqual(page.problems, []);
  await page.close();
});

test('a second visit with the network gone opens and plays', { timeout: 120000 }, async (t) => {
  const fresh = await openEngine('chromium');
  try {
    const page = await fresh.open('index.html?start=100');
    await waitForStatus(page.raw, () => window.vorlith.offline === 'kept', 60000);
    const caches = await page.evaluate(() => caches.keys());
    assert.equal(caches.length, 1);
    // No network, and no server either.
    await page.raw.setOfflineMode(true);
    await fresh.stopServer();
    await page.raw.reload({ waitUntil: 'load' });
    await waitForStatus(page.raw, () => !document.getElementById('play').disabled, 60000);
    await page.click('#play');
    await sleep(2500);
    const a = await status(page);
    await sleep(1000);
    const b = await status(page);
    t.diagnostic(`offline: ${caches[0]}, the show at ${a.showTime} then ${b.showTime} ms on the ${b.clock} clock`);
    assert.equal(b.clock, 'music');
    assert.ok(b.showTime - a.showTime > 800, `${a.showTime} -> ${b.showTime}`);
    assert.ok(Math.abs(b.showTime - b.audioTime) <= 40);
    const listed = await page.evaluate(() => [...document.querySelectorAll('#notices li')].map((item) => item.textContent));
    assert.deepEqual(listed, []);
    // Only the first visit went out for files.
    assert.deepEqual(page.problems, []);
  } finally {
    await fresh.close();
  }
});

test('the browser suspends the sound and runs it again: the picture goes on, then the music is moved to it',
  { timeout: 120000 }, async (t) => {
    // A hand on the page's audio context.
    const page = await session().open('index.html?start=100', (raw) => raw.evaluateOnNewDocument(() => {
      const Original = window.AudioContext;
      window.AudioContext = class extends Original {
        constructor(...args) {
          super(...args);
          window.audioContextForTest = this;
        }
      };
    }));
    await waitForStatus(page.raw, () => !document.getElementById('play').disabled, 60000);
    await page.click('#play');
    await waitForStatus(page.raw, () => window.vorlith.clock === 'music', 10000);
    await page.evaluate(() => window.audioContextForTest.suspend());
    await sleep(1500);
    const alone = await status(page);
    await sleep(1000);
    const later = await status(page);
    assert.equal(later.clock, 'wall');
    assert.ok(later.showTime - alone.showTime > 800, `${alone.showTime} -> ${later.showTime}`);
    const resumed = Date.now();
    await page.evaluate(() => window.audioContextForTest.resume());
    await waitForStatus(page.raw, () => window.vorlith.clock === 'music', 10000);
    const back = Date.now() - resumed;
    await sleep(1000);
    const samples = await lockedSamples(page, 20);
    assert.ok(samples[0].showTime > later.showTime);
    t.diagnostic(`the show went on alone at ${later.showTime} ms; music taken up again ${back} ms after the resume`);
    await page.press('Escape');
    assert.deepEqual(page.problems, []);
    await page.close();
  });

test('a new version of the site replaces the kept one at the next visit, whole or not at all', { timeout: 120000 }, async (t) => {
  const directory = mkdtempSync(join(tmpdir(), 'vorlith-site-'));
  const template = readFileSync('web/sw.js', 'utf8');
  const kept = (page) => page.evaluate(async () => ({
    caches: await caches.keys(),
    style: await (await fetch('style.css')).text(),
    reloaded: !window.visited,
  }));
  // The next visit; the page marked, to tell when it reloads by itself.
  const visit = async (page) => {
    await page.raw.reload({ waitUntil: 'load' });
    await page.evaluate(() => {
      window.visited = true;
    });
  };
  cpSync(site, directory, { recursive: true });
  const fresh = await openEngine('chromium', { directory });
  try {
    const page = await fresh.open('index.html');
    await waitForStatus(page.raw, () => window.vorlith.offline === 'kept', 60000);
    const first = await kept(page);

    // A second version: one file changed, the worker written again. At the
    // next visit the page changes over to it by itself, on its start screen.
    appendFileSync(join(directory, 'style.css'), '/* the second version */\n');
    const { version } = writeWorker(directory, template);
    await visit(page);
    await page.raw.waitForFunction(async (name) => !window.visited && (await caches.keys()).join() === name,
      { timeout: 60000, polling: 200 }, `vorlith-${version}`);
    const second = await kept(page);
    t.diagnostic(`${first.caches} -> ${second.caches}`);
    assert.deepEqual(second.caches, [`vorlith-${version}`]);
    assert.notDeepEqual(second.caches, first.caches);
    assert.match(second.style, /the second version/);

    // A server half-way through an update: a new worker, but a file of
    // another version. The new worker is refused; the kept version stays.
    appendFileSync(join(directory, 'style.css'), '/* the third version */\n');
    writeWorker(directory, template);
    appendFileSync(join(directory, 'style.css'), '/* a fourth, half there */\n');
    await visit(page);
    await waitForStatus(page.raw, () => window.vorlith.offline === 'kept', 60000);
    await sleep(3000);
    const third = await kept(page);
    assert.equal(third.reloaded, false);
    assert.deepEqual(third.caches, second.caches);
    assert.equal(third.style, second.style);
    assert.deepEqual(page.problems.filter((problem) => !/sw\.js/.test(problem)), []);
  } finally {
    await fresh.close();
    rmSync(directory, { recursive: true, force: true });
  }
});

// The page's digest lines for the address, what it says of the show, and its notices.
async function pageDigests(path) {
  const page = await session().open(path);
  const lines = await digestsOf(page);
  const { show, notices } = await page.evaluate(() => ({
    show: window.vorlith.show,
    notices: [...document.querySelectorAll('#notices li')].map((item) => item.innerText),
  }));
  const problems = page.problems;
  await page.close();
  return { lines, show, notices, problems };
}

test('a start is read by the core: the page and the program agree below a millisecond, and on the show',
  { timeout: 300000 }, async () => {
    // 0.0166 s at 30 fps is 0.498 frames: frame 0. Read in whole milliseconds
    // it would be 0.51, frame 1.
    const near = await pageDigests('index.html?digest=30&start=0.0166');
    assert.deepEqual(near.lines, nativeDigests(30, ['--start', '0.0166']).trimEnd().split('\n'));
    assert.deepEqual(near.problems, []);
    assert.deepEqual(near.notices, []);
    // What the page knows of the show comes from the core: the program's scenes.
    const bench = execFileSync(program, ['--assets', assets, '--bench', '--fps', '1'], { encoding: 'utf8' });
    const names = [...bench.matchAll(/^\d (\w+) /gm)].map((m) => m[1]).filter((name) => name !== 'last');
    assert.deepEqual(near.show.scenes.map((scene) => scene.name), names);
    assert.equal(near.show.lengthMs, 182956);
    assert.equal(near.show.scenes.at(-1).endMs, near.show.lengthMs);
    near.show.scenes.slice(1).forEach((scene, k) => assert.equal(scene.startMs, near.show.scenes[k].endMs));

    // The last moment starts at the final frame; past it is refused, and the
    // page starts from the beginning with a notice.
    const end = await pageDigests('index.html?digest=30&start=182.956');
    assert.deepEqual(end.lines, nativeDigests(30, ['--start', '182.956']).trimEnd().split('\n'));
    const past = await pageDigests('index.html?digest=1&start=182.9561');
    assert.equal(past.lines[0].split(' ')[0], '0');
    assert.equal(past.lines.length, nativeDigests(1).trimEnd().split('\n').length);
    assert.equal(past.notices.length, 1);
    assert.match(past.notices[0], /start takes seconds from 0 to 182\.956, not '182\.9561'/);
  });

test('the seek bar comes with the pointer, marks the scenes, seeks where it is clicked; ? lists the keys; the link is copied',
  { timeout: 90000 }, async (t) => {
    const page = await session().open('index.html?start=20');
    const { raw } = page;
    await raw.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 60000 });
    await raw.click('#play');
    await raw.waitForFunction(() => window.vorlith.state === 'playing', { timeout: 5000 });
    await sleep(300);
    await raw.mouse.move(300, 300);
    await raw.mouse.move(320, 310);
    assert.equal(await raw.$eval('#bar', (bar) => bar.hidden), false);
    const scenes = await raw.evaluate(() => window.vorlith.show.scenes.map((scene) => scene.name));
    assert.deepEqual(await raw.$$eval('#marks .mark', (marks) => marks.map((m) => m.textContent)), scenes);
    assert.equal(scenes.length, 6);
    await raw.screenshot({ path: join(tmpdir(), 'vorlith-bar.png') });
    await sleep(3200);
    assert.equal(await raw.$eval('#bar', (bar) => bar.hidden), true, 'hidden while watching');

    // A click on the track seeks there: the middle of the show.
    await raw.mouse.move(320, 300);
    const box = await raw.$eval('#track', (track) => {
      const r = track.getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
    });
    await raw.mouse.click(box.x, box.y);
    const middle = await raw.evaluate(() => ({ at: window.vorlith.showTime, length: window.vorlith.show.lengthMs }));
    assert.ok(Math.abs(middle.at - middle.length / 2) < 1500, `${middle.at} ms`);

    await raw.keyboard.press('?');
    assert.equal(await raw.$eval('#help', (help) => help.hidden), false);
    await raw.keyboard.press('?');
    assert.equal(await raw.$eval('#help', (help) => help.hidden), true);

    // The link: copied, or shown where the clipboard is refused.
    await raw.click('#copylink');
    await raw.waitForFunction(() => !document.getElementById('toast').hidden, { timeout: 2000 });
    t.diagnostic(`link control: ${await raw.$eval('#toast', (toast) => toast.textContent)}`);

    // A click on the picture pauses and another plays on.
    await raw.mouse.click(100, 100);
    assert.equal((await status(raw)).paused, true);
    await raw.mouse.click(100, 100);
    assert.equal((await status(raw)).paused, false);
    assert.deepEqual(page.problems, []);
    await page.close();
  });
