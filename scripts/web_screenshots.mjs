// Pictures of the page in each browser engine: the start screen, the show
// playing at a moment, and the end screen after Escape, as
// OUT_DIR/web-ENGINE-{start,playing,end}.png.
//   node scripts/web_screenshots.mjs SITE_DIR OUT_DIR [SECONDS] [WIDTHxHEIGHT] [ENGINE...]
// ENGINE: chromium (the default), firefox, webkit.
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';

const [site, out, seconds = '100', size = '960x600', ...chosen] = process.argv.slice(2);
if (!site || !out) {
  console.error('usage: node scripts/web_screenshots.mjs SITE_DIR OUT_DIR [SECONDS] [WIDTHxHEIGHT] [ENGINE...]');
  process.exit(2);
}
const [width, height] = size.split('x').map(Number);
process.env.VORLITH_SITE = site;
const { engineNames, openEngine } = await import('../tests/web/engines.mjs');
const engines = chosen.length ? chosen : ['chromium'];
for (const engine of engines)
  if (!engineNames.includes(engine)) {
    console.error(`no engine '${engine}' (${engineNames.join(', ')})`);
    process.exit(2);
  }
mkdirSync(out, { recursive: true });
for (const engine of engines) {
  const session = await openEngine(engine, { width, height });
  try {
    const page = await session.open(`index.html?start=${seconds}`);
    const file = (what) => join(out, `web-${engine}-${what}.png`);
    await page.waitFor(() => !document.getElementById('play').disabled, 90000);
    await page.screenshot(file('start'));
    await page.click('#play');
    await page.waitFor(() => window.vorlith.clock === 'music' || window.vorlith.clock === 'wall', 10000);
    await new Promise((done) => setTimeout(done, 1200));
    await page.screenshot(file('playing'));
    await page.press('Escape');
    await page.waitFor(() => window.vorlith.state === 'ended', 5000);
    await page.screenshot(file('end'));
    if (page.problems.length) console.error(page.problems.join('\n'));
    console.log(`${engine}: ${file('*')}`);
  } finally {
    await session.close();
  }
}
