// Prints the size of a built site as a browser would download it: every
// file compressed with gzip at its best level, and the total.
//   node scripts/site_size.mjs DIR
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join, relative, sep } from 'node:path';
import { gzipSync } from 'node:zlib';

// Every file below a directory, as paths relative to it with '/', sorted by
// their UTF-16 code units as JavaScript sorts.
export function listFiles(directory) {
  const files = [];
  const walk = (dir) => {
    for (const name of readdirSync(dir)) {
      const path = join(dir, name);
      if (statSync(path).isDirectory()) walk(path);
      else files.push(relative(directory, path).split(sep).join('/'));
    }
  };
  walk(directory);
  return files.sort();
}

export function siteSize(directory) {
  const files = listFiles(directory).map((path) => {
    const bytes = readFileSync(join(directory, path));
    return { path, raw: bytes.length, gzip: gzipSync(bytes, { level: 9 }).length };
  });
  return { files, raw: files.reduce((s, f) => s + f.raw, 0), gzip: files.reduce((s, f) => s + f.gzip, 0) };
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const size = siteSize(process.argv[2]);
  const mb = (n) => (n / 1e6).toFixed(2);
  console.log(`site: ${size.files.length} files, ${mb(size.raw)} MB, ${mb(size.gzip)} MB gzipped`);
}
