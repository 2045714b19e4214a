// A small static file server for the browser edition: serves one directory
// on 127.0.0.1 with plain headers, as any web server would.
//   node scripts/serve.mjs DIR [PORT]     (PORT 0: any free port)
// Prints "serving DIR at http://127.0.0.1:PORT/" once it listens.
import { createServer } from 'node:http';
import { createReadStream, statSync } from 'node:fs';
import { extname, join, normalize, resolve, sep } from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.webmanifest': 'application/manifest+json',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.txt': 'text/plain; charset=utf-8',
};

export function startServer(directory, port = 0) {
  const root = resolve(directory);
  const server = createServer((request, response) => {
    let path;
    try {
      path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (path.endsWith('/')) path += 'index.html';
    const file = normalize(join(root, path));
    let stat = null;
    try {
      stat = file.startsWith(root + sep) ? statSync(file) : null;
    } catch {
      stat = null;
    }
    if (!stat || !stat.isFile() || (request.method !== 'GET' && request.method !== 'HEAD')) {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
      return;
    }
    response.writeHead(200, {
      'Content-Type': types[extname(file)] || 'application/octet-stream',
      'Content-Length': stat.size,
      'Cache-Control': 'no-cache',
    });
    if (request.method === 'HEAD') response.end();
    else createReadStream(file).pipe(response);
  });
  return new Promise((done, fail) => {
    server.once('error', fail);
    server.listen(port, '127.0.0.1', () => done(server));
  });
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const [directory, port = '8000'] = process.argv.slice(2);
  if (!directory) {
    console.error('usage: node scripts/serve.mjs DIR [PORT]');
    process.exit(2);
  }
  const server = await startServer(directory, Number(port));
  console.log(`serving ${directory} at http://127.0.0.1:${server.address().port}/`);
}
