// Keeps the site for use without a network. The site's assembly writes in the
// version (a hash of every other file of the site) and the list of those
// files. The worker keeps one cache per version: it fills the new one whole,
// checks that what it fetched hashes to its version (a server half-way
// through an update could serve files of two), and only then serves from it
// and drops the caches of other versions. Pages are answered from the cache
// of the worker that controls them, so a page never mixes files of two
// versions.
const version = 'VORLITH_VERSION';
const files = ['VORLITH_FILES'];
const cacheName = `vorlith-${version}`;

// The version of a list of files: the first 16 hex digits of the SHA-256 of,
// file after file in the list's order, its path, a newline, its length in
// bytes, a newline and its bytes (scripts/offline.mjs computes the same).
async function versionOf(responses) {
  const encoder = new TextEncoder();
  const parts = [];
  for (let i = 0; i < files.length; ++i) {
    const bytes = new Uint8Array(await responses[i].clone().arrayBuffer());
    parts.push(encoder.encode(`${files[i]}\n${bytes.length}\n`), bytes);
  }
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', await new Blob(parts).arrayBuffer()));
  return [...digest.slice(0, 8)].map((byte) => byte.toString(16).padStart(2, '0')).join('');
}

async function keep() {
  const responses = await Promise.all(
    files.map(async (file) => {
      const response = await fetch(new Request(file, { cache: 'reload' }));
      if (!response.ok) throw new Error(`${file}: HTTP ${response.status}`);
      return response;
    }),
  );
  const found = await versionOf(responses);
  if (found !== version) throw new Error(`the site's files are of version ${found}, not ${version}`);
  const cache = await caches.open(cacheName);
  await Promise.all(files.map((file, i) => cache.put(file, responses[i])));
}

self.addEventListener('install', (event) => event.waitUntil(keep()));

self.addEventListener('activate', (event) => {
  event.waitUntil(
    caches.keys().then((names) =>
      Promise.all(names.filter((name) => name.startsWith('vorlith-') && name !== cacheName).map((name) => caches.delete(name)))),
  );
});

// A page of the old version that waits on its start screen asks the new
// worker to take over at once (and then reloads).
self.addEventListener('message', (event) => {
  if (event.data === 'take over') self.skipWaiting();
});

async function answer(request) {
  const cache = await caches.open(cacheName);
  let key = request;
  if (request.mode === 'navigate') {
    // index.html with any address options, or the site's directory.
    const url = new URL(request.url);
    if (url.pathname.endsWith('/')) url.pathname += 'index.html';
    url.search = '';
    key = url.href;
  }
  return (await cache.match(key)) || fetch(request);
}

self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(answer(request));
});
