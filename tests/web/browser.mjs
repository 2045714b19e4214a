// Shared by the browser tests: the site served from this machine and Debian's
// Chromium driven headless by puppeteer-core, with everything that would
// reach out to the network turned off.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { startServer } from '../../scripts/serve.mjs';

export const site = process.env.VORLITH_SITE || 'build-web/site';

export async function openBrowser({ autoplay = false, width = 960, height = 600 } = {}) {
  const server = await startServer(site, 0);
  const origin = `http://127.0.0.1:${server.address().port}`;
  const profile = mkdtempSync(join(tmpdir(), 'vorlith-chromium-'));
  const args = [
    '--headless=new',
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
    `--user-data-dir=${profile}`,
    `--window-size=${width},${height}`,
  ];
  if (autoplay) args.push('--autoplay-policy=no-user-gesture-required');
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args,
    defaultViewport: { width, height },
    protocolTimeout: 120000,
  });
  return {
    origin,
    browser,
    async close() {
      await browser.close().catch(() => {});
      await new Promise((done) => server.close(done));
      server.closeAllConnections?.();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A page that records what goes wrong in it: uncaught errors, console errors
// and requests that failed or went anywhere but the site.
export async function openPage(session, path) {
  const page = await session.browser.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
  });
  page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(session.origin) && !url.startsWith('data:') && !url.startsWith('blob:'))
      problems.push(`request outside the site: ${url}`);
  });
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  await page.goto(`${session.origin}/${path}`, { waitUntil: 'load' });
  return { page, problems };
}
