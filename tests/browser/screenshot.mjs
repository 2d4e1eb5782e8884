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
const { context, close } = await launch({ width: 1024, height: 820 });
try {
  execFileSync(catalogue, ['preview', scratch], { stdio: 'ignore' });
  const page = await context.newPage();
  await page.goto(pathToFileURL(join(scratch, 'index.html')).href);
  await page.waitForFunction(() => document.documentElement.dataset.ready);
  // Every run stopped on its first bitmap (the bolt part way through its turn).
  for (const section of await page.locator('section.run').all()) {
    const play = section.locator('button.play');
    if (await play.count() && (await play.textContent()) === 'Pause') await play.click();
    if (await section.locator('tbody tr').count() > 1) await section.locator('tbody tr').nth(0).click();
  }
  await page.locator('#run-bolt tbody tr').nth(4).click();
  await page.evaluate(() => window.scrollTo(0, 0));
  const zoomed = await page.locator('#run-bolt canvas.zoomed').boundingBox();
  await page.mouse.move(zoomed.x + 40 * 3 + 1, zoomed.y + 70 * 3 + 1);  // pixel (40, 70)
  await page.screenshot({ path: out });
  console.log(`${out}: the top of the catalogue page`);
} finally {
  await close();
  rmSync(scratch, { recursive: true, force: true });
}
