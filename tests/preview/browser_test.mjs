// The gallery page in Debian's Chromium, at a desktop and a phone width: no
// console error or failed request, no request off the machine, one card per
// row of the library's index, every card's preview decoded (natural width
// above zero) and animated (more than one frame, counted by ffprobe), and no
// sideways scrolling on the phone.
// Usage: node browser_test.mjs PAGE.html INDEX.tsv
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [pagePath, indexPath] = process.argv.slice(2);
if (!pagePath || !indexPath) {
  console.error('usage: node browser_test.mjs PAGE.html INDEX.tsv');
  process.exit(2);
}
const failures = [];
function check(ok, what) {
  console.log(`  ${ok ? 'ok  ' : 'FAIL'}  ${what}`);
  if (!ok) failures.push(what);
}

function framesOf(file) {
  try {
    const out = execFileSync('ffprobe', ['-v', 'error', '-count_frames', '-select_streams', 'v:0',
      '-show_entries', 'stream=nb_read_frames', '-of', 'csv=p=0', file],
      { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
    return parseInt(out.trim(), 10) || 0;
  } catch {
    return 0;
  }
}

const rows = readFileSync(indexPath, 'utf8').split('\n')
  .filter((line) => line.trim() && !line.startsWith('#')).length - 1;
const pageUrl = pathToFileURL(path.resolve(pagePath)).href;
// Playwright gives the browser a fresh temporary --user-data-dir of its own.
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const views = [
    { viewport: { width: 1280, height: 900 } },
    { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true },
  ];
  for (const view of views) {
    const name = view.isMobile ? 'phone' : 'desktop';
    console.log(`browser: ${name} ${view.viewport.width}x${view.viewport.height}`);
    const context = await browser.newContext(view);
    const page = await context.newPage();
    const problems = [];
    page.on('console', (m) => { if (m.type() === 'error') problems.push(`console: ${m.text()}`); });
    page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
    page.on('requestfailed', (r) => problems.push(`request failed: ${r.url()}`));
    await page.route('**/*', (route) => {
      const url = route.request().url();
      if (url.startsWith('file:') || url.startsWith('data:')) return route.continue();
      problems.push(`request off the machine: ${url}`);
      return route.abort();
    });
    await page.goto(pageUrl, { waitUntil: 'load' });
    // Images decode after load on a busy machine; wait for each in turn.
    await page.evaluate(() => Promise.all([...document.images].map((i) => i.decode().catch(() => {}))));
    const cards = await page.$$eval('.card', (all) => all.map((card) => {
      const img = card.querySelector('img.preview');
      return {
        name: card.querySelector('h2')?.textContent ?? '?',
        src: img?.getAttribute('src') ?? '',
        width: img?.naturalWidth ?? 0,
        verdict: card.querySelector('.verdict')?.textContent ?? '',
      };
    }));
    check(cards.length === rows, `${cards.length} cards for ${rows} rows of the index`);
    const undecoded = cards.filter((c) => !(c.width > 0)).map((c) => c.name);
    check(undecoded.length === 0, `every preview decodes${undecoded.length ? `; not: ${undecoded.join(', ')}` : ''}`);
    const unjudged = cards.filter((c) => !/check (passed|failed)/.test(c.verdict)).map((c) => c.name);
    check(unjudged.length === 0, `every card shows its check verdict${unjudged.length ? `; not: ${unjudged.join(', ')}` : ''}`);
    const sheet = await page.$eval('.sheet img', (i) => i.naturalWidth).catch(() => 0);
    check(sheet > 0, 'the contact sheet decodes');
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
    check(overflow <= 0, `no sideways scrolling (${overflow} px over)`);
    check(problems.length === 0, `no console errors or failed requests${problems.length ? `: ${problems.join('; ')}` : ''}`);
    if (!view.isMobile) {
      const still = cards.filter((c) => framesOf(path.resolve(path.dirname(pagePath), c.src)) < 2)
        .map((c) => c.name);
      check(still.length === 0, `every preview has more than one frame (ffprobe)${still.length ? `; not: ${still.join(', ')}` : ''}`);
    }
    await context.close();
  }
} finally {
  await browser.close();
}
console.log(`browser test: ${failures.length ? `FAILED (${failures.length})` : 'PASSED'}`);
process.exit(failures.length ? 1 : 0);
