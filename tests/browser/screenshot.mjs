// The README's picture of the catalogue page: writes a preview with the given
// catalogue, opens its index.html in the system's headless Chromium, stops
// every run on a chosen frame, points the inspector at a pixel and saves the
// top of the page as a PNG.
//
//   node tests/browser/screenshot.mjs build/test/catalogue/catalogue docs/catalogue-page.png
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from './browser.mjs';

const [catalogue, out] = process.argv.slice(2);
if (!out) {
  console.error('usage: node screenshot.mjs CATALOGUE OUT.png');
  process.exit(2);
}
const scratch = mkdtempSync(join(tmpdir(), 'catalogue-page-'));
const browser = await launch('chromium');
try {
  execFileSync(catalogue, ['preview', scratch], { stdio: 'ignore' });
  // Asked for less motion, every run starts paused on its first bitmap.
  const page = await browser.newPage({ viewport: { width: 1024, height: 820 }, reducedMotion: true });
  await page.goto(pathToFileURL(join(scratch, 'index.html')).href);
  await page.waitFor(() => document.documentElement.dataset.ready, null, 30000);
  // The bolt part way through its turn, the pointer on its pixel (40, 70).
  const zoomed = await page.evaluate(() => {
    document.querySelectorAll('#run-bolt tbody tr')[4].click();
    window.scrollTo(0, 0);
    const box = document.querySelector('#run-bolt canvas.zoomed').getBoundingClientRect();
    return { x: box.x, y: box.y };
  });
  await page.move(zoomed.x + 40 * 3 + 1, zoomed.y + 70 * 3 + 1);
  await page.screenshot(out);
  console.log(`${out}: the top of the catalogue page`);
} finally {
  await browser.close();
  rmSync(scratch, { recursive: true, force: true });
}
