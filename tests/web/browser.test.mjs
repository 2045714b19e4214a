// The browser edition in a real browser (Debian's Chromium, headless): the
// same frames as the program, to the byte; the live show on the music's
// clock; the show's notices in the page; the benchmark. scripts/web.sh test
// builds the site and the program's reference first.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { inflateSync } from 'node:zlib';
import { after, before, test } from 'node:test';
import { siteSize } from '../../scripts/site_size.mjs';
import { openBrowser, openPage, site } from './browser.mjs';

const assets = process.env.VORLITH_ASSETS || 'build/assets';
const program = process.env.VORLITH_PROGRAM || 'build/vorlith';

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const status = (page) => page.evaluate(() => ({ ...window.vorlith }));

// The program's digest lines at fps: its own digest list capture, or the file
// web.sh made with it.
function nativeDigests(fps, more = []) {
  const file = process.env.VORLITH_NATIVE_DIGESTS;
  if (file && fps === 30 && !more.length) return readFileSync(file, 'utf8');
  const dir = mkdtempSync(join(tmpdir(), 'vorlith-digests-'));
  try {
    const list = join(dir, 'digests.txt');
    execFileSync(program, ['--assets', assets, '--capture', list, '--fps', String(fps), ...more], { stdio: 'ignore' });
    return readFileSync(list, 'utf8');
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

// The R, G, B bytes of an 8-bit RGB PNG file, as the program's captures write them.
function pngPixels(file) {
  const bytes = readFileSync(file);
  const width = bytes.readUInt32BE(16);
  const height = bytes.readUInt32BE(20);
  if (bytes[24] !== 8 || bytes[25] !== 2 || bytes[28] !== 0) throw new Error(`${file}: not 8-bit RGB`);
  const chunks = [];
  for (let at = 8; at < bytes.length; ) {
    const length = bytes.readUInt32BE(at);
    if (bytes.toString('latin1', at + 4, at + 8) === 'IDAT') chunks.push(bytes.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const data = inflateSync(Buffer.concat(chunks));
  const stride = width * 3;
  const out = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = data[y * (stride + 1)];
    const line = data.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= 3 ? out[y * stride + x - 3] : 0;
      const b = y > 0 ? out[(y - 1) * stride + x] : 0;
      const c = x >= 3 && y > 0 ? out[(y - 1) * stride + x - 3] : 0;
      const p = a + b - c;
      const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      out[y * stride + x] = (line[x] + predictor) & 0xff;
    }
  }
  return out;
}

// The program's frames at fps, each as R, G, B bytes, by index: its own PNG capture.
function nativeFrames(fps, frames) {
  const dir = mkdtempSync(join(tmpdir(), 'vorlith-frames-'));
  try {
    execFileSync(program, ['--assets', assets, '--capture', join(dir, 'frames'), '--fps', String(fps),
                           '--frames', frames.join(',')], { stdio: 'ignore' });
    const name = (k) => join(dir, 'frames', `frame_${String(k).padStart(6, '0')}.png`);
    return new Map(frames.map((k) => [k, pngPixels(name(k))]));
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

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

// A frame as the mean colours of its 16x16 blocks: what a viewer takes in at
// a glance. A live frame is drawn at its own moment after frames at other
// moments than a capture's (some effects carry a frame over), so its pixels
// differ from the capture's nearest frame; its blocks hardly do.
function blockMeans(rgb, size = 16) {
  const columns = 320 / size;
  const rows = Math.ceil(200 / size);
  const sums = new Float64Array(columns * rows * 3);
  const counts = new Float64Array(columns * rows);
  for (let y = 0; y < 200; ++y)
    for (let x = 0; x < 320; ++x) {
      const block = Math.floor(y / size) * columns + Math.floor(x / size);
      counts[block] += 1;
      for (let c = 0; c < 3; ++c) sums[block * 3 + c] += rgb[(y * 320 + x) * 3 + c];
    }
  return sums.map((sum, i) => sum / counts[Math.floor(i / 3)]);
}

function meanDifference(a, b) {
  let sum = 0;
  for (let i = 0; i < a.length; ++i) sum += Math.abs(a[i] - b[i]);
  return sum / a.length;
}

test('the site is small, static and carries the licences of what it bundles', () => {
  const { files, gzip } = siteSize(site);
  assert.ok(gzip <= 3e6, `${gzip} bytes gzipped`);
  const names = files.map((file) => file.path);
  for (const name of ['index.html', 'vorlith.wasm', 'chiptune3.worklet.js', 'libopenmpt.worklet.js',
    'licenses/chiptune3.txt', 'licenses/libopenmpt.txt', 'assets/pack.json', 'assets/music/brimtale.it'])
    assert.ok(names.includes(name), name);
  assert.match(readFileSync(join(site, 'licenses/libopenmpt.txt'), 'utf8'), /OpenMPT/);
});

let session;
before(async () => {
  session = await openBrowser();
});
after(async () => {
  await session?.close();
});

test('every frame at 30 fps is the program\'s, byte for byte, from the start and from 100 s', { timeout: 300000 }, async () => {
  const expected = nativeDigests(30).trimEnd().split('\n');
  assert.equal(expected.length, 5490);
  const { page, problems } = await openPage(session, 'index.html?digest=30');
  await page.waitForFunction(() => document.title === 'digests ready', { timeout: 280000, polling: 250 });
  const actual = (await page.$eval('#digests', (pre) => pre.textContent)).trimEnd().split('\n');
  const first = expected.findIndex((line, k) => actual[k] !== line);
  assert.equal(first, -1, `frame ${first}: page "${actual[first]}", program "${expected[first]}"`);
  assert.equal(actual.length, expected.length);
  assert.deepEqual(problems, []);
  await page.close();

  // From a start at 100 s, frame k is frame 3000 + k of the whole run.
  const from = await openPage(session, 'index.html?digest=30&start=100');
  await from.page.waitForFunction(() => document.title === 'digests ready', { timeout: 280000, polling: 250 });
  const started = (await from.page.$eval('#digests', (pre) => pre.textContent)).trimEnd().split('\n');
  assert.equal(started.length, expected.length - 3000);
  started.forEach((line, k) => {
    const [index, digest] = line.split(' ');
    assert.equal(Number(index), k);
    assert.equal(digest, expected[3000 + k].split(' ')[1], `frame ${k} from 100 s`);
  });
  assert.deepEqual(from.problems, []);
  await from.page.close();
});

// The page's digest lines for the address, once the page says they are ready.
async function pageDigests(path) {
  const { page, problems } = await openPage(session, path);
  await page.waitForFunction(() => document.title === 'digests ready', { timeout: 280000, polling: 250 });
  const lines = (await page.$eval('#digests', (pre) => pre.textContent)).trimEnd().split('\n');
  const { show, notices } = await page.evaluate(() => ({
    show: window.vorlith.show,
    notices: [...document.querySelectorAll('#notices li')].map((item) => item.innerText),
  }));
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

test('a live run from 100 s: started by a click, locked to the music, ended by Escape, played again',
  { timeout: 120000 }, async (t) => {
    const { page, problems } = await openPage(session, 'index.html?start=100');
    const dialogs = [];
    page.on('dialog', (dialog) => dialogs.push(dialog.message()) && dialog.dismiss());
    await page.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 60000 });
    assert.equal((await status(page)).state, 'waiting');
    await page.click('#play');
    await sleep(1500);

    // Picture and music together, frame after frame.
    const samples = [];
    for (let i = 0; i < 40; ++i) {
      samples.push(await status(page));
      await sleep(50);
    }
    for (const s of samples) {
      assert.equal(s.state, 'playing');
      assert.ok(Math.abs(s.showTime - s.audioTime) <= 40, `show ${s.showTime} ms, audio ${s.audioTime} ms`);
    }
    const first = samples[0].showTime;
    const last = samples[samples.length - 1].showTime;
    assert.ok(first >= 100000 && first < 104000, `show time ${first} ms`);
    assert.ok(last - first > 1500, `the show moved ${last - first} ms in about 2 s`);
    assert.ok(samples[0].firstFrameMs < 1000, `first frame ${samples[0].firstFrameMs} ms after the click`);
    const drift = Math.max(...samples.map((s) => Math.abs(s.showTime - s.audioTime)));
    t.diagnostic(`first frame ${samples[0].firstFrameMs.toFixed(1)} ms after the click; |show - audio| at most ${drift} ms`);

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

    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.vorlith.state === 'ended', { timeout: 5000 });
    assert.equal(await page.$eval('#end', (end) => end.hidden), false);

    await page.click('#again');
    await page.waitForFunction(() => window.vorlith.state === 'playing', { timeout: 30000 });
    await sleep(500);
    await page.keyboard.press('x');
    assert.equal((await status(page)).state, 'playing', 'only Escape ends the show');
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.vorlith.state === 'ended', { timeout: 5000 });
    assert.deepEqual(dialogs, []);
    assert.deepEqual(problems, []);
    await page.close();
  });

test('the show\'s notices are listed in the page, and it plays on without what is missing',
  { timeout: 90000 }, async () => {
    const page = await session.browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    page.on('dialog', (dialog) => errors.push(`dialog: ${dialog.message()}`) && dialog.dismiss());
    await page.setRequestInterception(true);
    page.on('request', (request) => {
      if (/gfx\/code_qev\.tga$|music\/brimtale\.it$|libopenmpt\.worklet\.js$/.test(request.url()))
        request.respond({ status: 404, body: '' });
      else request.continue();
    });
    await page.goto(`${session.origin}/index.html?start=30`);
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
  const { page, problems } = await openPage(session, 'index.html?bench');
  await page.waitForFunction(() => document.title === 'bench ready', { timeout: 280000, polling: 250 });
  const report = await page.$eval('#bench', (pre) => pre.textContent);
  for (const scene of ['logo', 'title', 'cube', 'ribbons', 'tunnel', 'end'])
    assert.match(report, new RegExp(`^\\d ${scene} +\\d+ +[\\d.]+ +[\\d.]+ +[\\d.]+$`, 'm'));
  assert.equal(report.match(/frames digest: (\w+)/)[1], native.match(/frames digest: (\w+)/)[1]);
  assert.deepEqual(problems, []);
  await page.close();
});
