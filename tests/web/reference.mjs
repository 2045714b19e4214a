// The program's side of the page tests: its digest lists and PNG frames,
// and a glance-level comparison of two frames.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { inflateSync } from 'node:zlib';

export const assets = process.env.VORLITH_ASSETS || 'build/assets';
export const program = process.env.VORLITH_PROGRAM || 'build/vorlith';

// The program's digest lines at fps: its own digest list capture, or the file
// web.sh made with it.
export function nativeDigests(fps, more = []) {
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
export function nativeFrames(fps, frames) {
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

// A frame as the mean colours of its 16x16 blocks: what a viewer takes in at
// a glance. A live frame is drawn at its own moment after frames at other
// moments than a capture's (some effects carry a frame over), so its pixels
// differ from the capture's nearest frame; its blocks hardly do.
export function blockMeans(rgb, size = 16) {
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

export function meanDifference(a, b) {
  let sum = 0;
  for (let i = 0; i < a.length; ++i) sum += Math.abs(a[i] - b[i]);
  return sum / a.length;
}
