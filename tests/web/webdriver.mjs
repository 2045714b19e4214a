// A small WebDriver client (the W3C protocol over HTTP, with Node's fetch):
// enough to drive WebKitGTK's MiniBrowser through WebKitWebDriver, which runs
// on a virtual display (xvfb-run) of its own.
import { spawn } from 'node:child_process';
import { createServer } from 'node:net';

const elementKey = 'element-6066-11e4-a52e-4f735466cecf';

// The key values WebDriver uses for the keys the tests press.
const keyValues = { Escape: '\uE00C', Enter: '\uE007', Tab: '\uE004', Home: '\uE011', ArrowLeft: '\uE012', ArrowRight: '\uE014' };

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

function freePort() {
  return new Promise((done, fail) => {
    const server = createServer();
    server.once('error', fail);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => done(port));
    });
  });
}

// Starts `driver --port=P` on a virtual display; resolves once it answers.
// The driver and its display run in a process group of their own, which
// stop() ends.
export async function startDriver(driver, { env = process.env, display = '1280x1024x24' } = {}) {
  const port = await freePort();
  const child = spawn('xvfb-run', ['-a', '-s', `-screen 0 ${display}`, driver, `--port=${port}`], {
    env,
    detached: true,
    stdio: ['ignore', 'ignore', 'pipe'],
  });
  let log = '';
  child.stderr.on('data', (chunk) => {
    log = (log + chunk).slice(-4000);
  });
  const exited = new Promise((done) => child.once('exit', done));
  const url = `http://127.0.0.1:${port}`;
  const stop = async () => {
    try {
      process.kill(-child.pid, 'SIGTERM');
    } catch {
      return;
    }
    await Promise.race([exited, sleep(3000)]);
    try {
      process.kill(-child.pid, 'SIGKILL');
    } catch {
      // already gone
    }
  };
  for (const deadline = Date.now() + 20000; Date.now() < deadline; ) {
    if (child.exitCode !== null) break;
    try {
      const response = await fetch(`${url}/status`);
      if (response.ok && (await response.json()).value?.ready) return { url, stop };
    } catch {
      // not listening yet
    }
    await sleep(100);
  }
  await stop();
  throw new Error(`${driver} did not start: ${log}`);
}

async function call(url, method, path, body) {
  const response = await fetch(`${url}${path}`, {
    method,
    headers: { 'Content-Type': 'application/json; charset=utf-8' },
    body: body === undefined ? undefined : JSON.stringify(body),
  });
  const reply = await response.json();
  if (!response.ok || reply.value?.error)
    throw new Error(`WebDriver ${method} ${path}: ${reply.value?.error}: ${reply.value?.message}`);
  return reply.value;
}

// One browser session: one window, one page at a time.
export class WebDriverSession {
  static async create(url, capabilities) {
    const value = await call(url, 'POST', '/session', { capabilities: { alwaysMatch: capabilities } });
    return new WebDriverSession(url, value.sessionId, value.capabilities);
  }

  constructor(url, id, capabilities) {
    this.url = url;
    this.id = id;
    this.capabilities = capabilities;
  }

  command(method, path, body) {
    return call(this.url, method, `/session/${this.id}${path}`, body);
  }

  goto(address) {
    return this.command('POST', '/url', { url: address });
  }

  setWindowSize(width, height) {
    return this.command('POST', '/window/rect', { width, height });
  }

  // Runs fn(...args) in the page and returns its result (JSON values).
  evaluate(fn, ...args) {
    return this.command('POST', '/execute/sync', { script: `return (${fn}).apply(null, arguments);`, args });
  }

  async click(selector) {
    const element = await this.command('POST', '/element', { using: 'css selector', value: selector });
    await this.command('POST', `/element/${element[elementKey]}/click`, {});
  }

  press(key) {
    const value = keyValues[key] || key;
    return this.command('POST', '/actions', {
      actions: [{ type: 'key', id: 'keyboard', actions: [{ type: 'keyDown', value }, { type: 'keyUp', value }] }],
    });
  }

  // The window's picture as PNG bytes.
  async screenshot() {
    return Buffer.from(await this.command('GET', '/screenshot'), 'base64');
  }

  close() {
    return call(this.url, 'DELETE', `/session/${this.id}`).catch(() => {});
  }
}
