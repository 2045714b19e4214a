// Writes the site's service worker (from web/sw.js): its version, a hash of
// every other file of the site, and the list of those files, in a fixed
// order. The same files give the same bytes.
//   node scripts/offline.mjs SITE_DIR
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { listFiles } from './site_size.mjs';

const worker = 'sw.js';

// The site's files but the worker, in a fixed order.
export function siteFiles(directory) {
  return listFiles(directory).filter((file) => file !== worker);
}

// The first 16 hex digits of the SHA-256 of, file after file, its path, a
// newline, its length in bytes, a newline and its bytes (as sw.js checks).
export function siteVersion(directory, files) {
  const hash = createHash('sha256');
  for (const file of files) {
    const bytes = readFileSync(join(directory, file));
    hash.update(`${file}\n${bytes.length}\n`);
    hash.update(bytes);
  }
  return hash.digest('hex').slice(0, 16);
}

export function writeWorker(directory, template) {
  const files = siteFiles(directory);
  const version = siteVersion(directory, files);
  const places = ["'VORLITH_VERSION'", "['VORLITH_FILES']"];
  if (!places.every((place) => template.includes(place))) throw new Error(`${worker}: no place for the version and the files`);
  const source = template
    .replace(places[0], JSON.stringify(version))
    .replace(places[1], `[\n  ${files.map((file) => JSON.stringify(file)).join(',\n  ')},\n]`);
  writeFileSync(join(directory, worker), source);
  return { version, files };
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const directory = process.argv[2];
  if (!directory) {
    console.error('usage: node scripts/offline.mjs SITE_DIR');
    process.exit(2);
  }
  const template = readFileSync(new URL('../web/sw.js', import.meta.url), 'utf8');
  const { version, files } = writeWorker(directory, template);
  console.log(`offline: version ${version}, ${files.length} files kept by ${worker}`);
}
