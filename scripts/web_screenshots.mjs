// Pictures of the page in headless Chromium: the start screen, the show
// playing at a moment, and the end screen after Escape.
//   node scripts/web_screenshots.mjs SITE_DIR OUT_DIR [SECONDS] [WIDTHxHEIGHT]
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { openBrowser, openPage } from '../tests/web/browser.mjs';

const [site, out, seconds = '100', size = '960x600'] = process.argv.slice(2);
if (!site || !out) {
  console.error('usage: node scripts/web_screenshots.mjs SITE_DIR OUT_DIR [SECONDS] [WIDTHxHEIGHT]');
  process.exit(2);
}
const [width, height] = size.split('x').map(Number);
process.env.VORLITH_SITE = site;
mkdirSync(out, { recursive: true });
const session = await openBrowser({ width, height });
try {
  const { page, problems } = await openPage(session, `index.html?start=${seconds}`);
  await page.waitForFunction(() => !document.getElementById('play').disabled, { timeout: 60000 });
  await page.screenshot({ path: join(out, 'web-start.png') });
  await page.click('#play');
  await new Promise((done) => setTimeout(done, 1200));
  await page.mouse.move(1, 1);
  await page.screenshot({ path: join(out, 'web-playing.png') });
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => window.vorlith.state === 'ended');
  await page.screenshot({ path: join(out, 'web-end.png') });
  if (problems.length) console.error(problems.join('\n'));
  console.log(`screenshots in ${out}`);
} finally {
  await session.close();
}
