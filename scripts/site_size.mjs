// Prints the size of a built site as a browser would download it: every
// file compressed with gzip at its best level, and the total.
//   node scripts/site_size.mjs DIR
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join, relative } from 'node:path';
import { gzipSync } from 'node:zlib';

export function siteSize(directory) {
  const files = [];
  const walk = (dir) => {
    for (const name of readdirSync(dir)) {
      const path = join(dir, name);
      if (statSync(path).isDirectory()) walk(path);
      else {
        const bytes = readFileSync(path);
        files.push({ path: relative(directory, path), raw: bytes.length, gzip: gzipSync(bytes, { level: 9 }).length });
      }
    }
  };
  walk(directory);
  return { files, raw: files.reduce((s, f) => s + f.raw, 0), gzip: files.reduce((s, f) => s + f.gzip, 0) };
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const size = siteSize(process.argv[2]);
  const mb = (n) => (n / 1e6).toFixed(2);
  console.log(`site: ${size.files.length} files, ${mb(size.raw)} MB, ${mb(size.gzip)} MB gzipped`);
}
