// The three browser engines Debian ships, driven alike for the page tests:
// Chromium and Firefox ESR through puppeteer-core (Chrome's protocol and
// WebDriver BiDi), WebKitGTK's MiniBrowser through WebKitWebDriver. Each
// serves the site from this machine and turns off whatever would reach out to
// the network. A session opens pages; a page runs functions, waits, clicks,
// presses keys and takes pictures the same way in every engine.
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { startServer } from '../../scripts/serve.mjs';
import { startDriver, WebDriverSession } from './webdriver.mjs';

export const site = process.env.VORLITH_SITE || 'build-web/site';
export const engineNames = ['chromium', 'firefox', 'webkit'];

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// A PulseAudio server of this test's own with a null sink: an output device
// that plays at the sound card's pace and is heard by no one.
export async function startSoundServer() {
  const dir = mkdtempSync(join(tmpdir(), 'vorlith-pulse-'));
  const socket = join(dir, 'native');
  const child = spawn('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1', '--use-pid-file=no',
    '-L', `module-native-protocol-unix socket=${socket} auth-anonymous=1`, '-L', 'module-null-sink sink_name=null'], {
    env: { ...process.env, HOME: dir, XDG_CONFIG_HOME: dir, XDG_RUNTIME_DIR: dir },
    stdio: 'ignore',
  });
  const exited = new Promise((done) => child.once('exit', done));
  const stop = async () => {
    if (child.exitCode === null) child.kill('SIGTERM');
    await Promise.race([exited, sleep(3000)]);
    rmSync(dir, { recursive: true, force: true });
  };
  for (const deadline = Date.now() + 10000; Date.now() < deadline && child.exitCode === null; await sleep(50))
    if (existsSync(socket)) return { env: { PULSE_SERVER: `unix:${socket}` }, stop };
  await stop();
  throw new Error('pulseaudio did not start');
}

// A page in Chromium or Firefox (puppeteer), recording what goes wrong in it:
// uncaught errors, console errors and requests that failed or went anywhere
// but the site. beforeLoad(page) may prepare the puppeteer page first.
async function puppeteerPage(browser, origin, path, beforeLoad) {
  const page = await browser.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
  });
  page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(origin) && !url.startsWith('data:') && !url.startsWith('blob:'))
      problems.push(`request outside the site: ${url}`);
  });
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  page.on('dialog', (dialog) => problems.push(`dialog: ${dialog.message()}`) && dialog.dismiss());
  if (beforeLoad) await beforeLoad(page);
  await page.goto(`${origin}/${path}`, { waitUntil: 'load' });
  return {
    raw: page,
    problems,
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    waitFor: (fn, timeout) => page.waitForFunction(fn, { timeout, polling: 100 }),
    click: (selector) => page.click(selector),
    press: (key) => page.keyboard.press(key),
    screenshot: async (file) => {
      await page.mouse.move(1, 1);
      await page.screenshot({ path: file });
    },
    close: () => page.close(),
  };
}

// The WebKit session shows one page at a time; it reports no console, so its
// problems are what the page lists in its notices.
function webdriverPage(session) {
  return {
    problems: [],
    evaluate: (fn, ...args) => session.evaluate(fn, ...args),
    async waitFor(fn, timeout) {
      for (const deadline = Date.now() + timeout; ; await sleep(100)) {
        if (await session.evaluate(fn)) return;
        if (Date.now() > deadline) throw new Error(`timed out after ${timeout} ms waiting for ${fn}`);
      }
    },
    click: (selector) => session.click(selector),
    press: (key) => session.press(key),
    screenshot: async (file) => writeFileSync(file, await session.screenshot()),
    close: () => session.goto('about:blank'),
  };
}

const chromiumArgs = ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// Firefox's own calls home, off.
const firefoxPrefs = {
  'app.normandy.enabled': false,
  'browser.safebrowsing.downloads.remote.enabled': false,
  'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false,
  'dom.push.connection.enabled': false,
  'media.gmp-manager.updateEnabled': false,
  // Only PulseAudio: with no server there is no sound device, whatever the
  // machine's sound card.
  'media.cubeb.backend': 'pulse',
};

// Opens an engine on the site in directory. sound: false gives it no sound
// device (Firefox: no sound server); the other engines play to a null sink or
// a sound card of their own.
export async function openEngine(name, { sound = true, width = 960, height = 600, directory = site } = {}) {
  const server = await startServer(directory, 0);
  const origin = `http://127.0.0.1:${server.address().port}`;
  const stopServer = async () => {
    server.closeAllConnections?.();
    await new Promise((done) => server.close(done));
  };
  const cleanups = [stopServer];
  const close = async () => {
    for (const cleanup of cleanups.reverse()) await cleanup().catch(() => {});
  };
  try {
    let env = { ...process.env };
    delete env.PULSE_SERVER;
    if (name !== 'chromium' && sound) {
      const pulse = await startSoundServer();
      cleanups.push(pulse.stop);
      env = { ...env, ...pulse.env };
    } else if (!sound) {
      env.PULSE_SERVER = `unix:${join(tmpdir(), 'vorlith-no-sound-server')}`;
    }
    if (name === 'webkit') {
      const driver = await startDriver(process.env.WEBKIT_WEBDRIVER || '/usr/bin/WebKitWebDriver', { env });
      cleanups.push(driver.stop);
      const session = await WebDriverSession.create(driver.url, {
        'webkitgtk:browserOptions': {
          binary: process.env.WEBKIT_MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
          args: ['--automation', '--autoplay-policy=allow'],
        },
      });
      cleanups.push(() => session.close());
      await session.setWindowSize(width, height);
      return {
        name, origin, close, stopServer,
        async open(path) {
          await session.goto(`${origin}/${path}`);
          return webdriverPage(session);
        },
      };
    }
    let browser;
    if (name === 'firefox') {
      browser = await puppeteer.launch({
        browser: 'firefox',
        executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
        headless: true,
        env,
        extraPrefsFirefox: firefoxPrefs,
        args: [`--width=${width}`, `--height=${height}`],
        defaultViewport: { width, height },
        protocolTimeout: 120000,
      });
    } else {
      const profile = mkdtempSync(join(tmpdir(), 'vorlith-chromium-'));
      cleanups.push(async () => rmSync(profile, { recursive: true, force: true }));
      browser = await puppeteer.launch({
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        headless: true,
        args: [...chromiumArgs, `--user-data-dir=${profile}`, `--window-size=${width},${height}`],
        defaultViewport: { width, height },
        protocolTimeout: 120000,
      });
    }
    cleanups.push(() => browser.close());
    return { name, origin, close, stopServer, browser, open: (path, beforeLoad) => puppeteerPage(browser, origin, path, beforeLoad) };
  } catch (error) {
    await close();
    throw error;
  }
}
