// What the catalogue page costs the browser's main thread, in headless
// Chromium (a benchmark: it reports and never judges a time):
// - how soon it shows its first screen: the browser's first contentful
//   paint and the page's own marks (the first run drawn; every run's first
//   bitmap and the flash map drawn), after navigation;
// - the main thread's busy time (task and script duration from the DevTools
//   protocol) over 5 s left alone, with the top of the page in view and with
//   no animated run in view (scrolled to the farewell screens).
//
//   node tests/browser/page-bench.mjs CATALOGUE|PAGE.html [ROUNDS]
//
// Given a page rather than the program, it measures that page (one made by
// an older build, say).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from './browser.mjs';

const [catalogue, rounds = 3] = process.argv.slice(2);
if (!catalogue) {
  console.error('usage: node page-bench.mjs CATALOGUE|PAGE.html [ROUNDS]');
  process.exit(2);
}
const scratch = mkdtempSync(join(tmpdir(), 'catalogue-bench-'));
const browser = await launch('chromium');
try {
  const given = catalogue.endsWith('.html');
  if (!given) execFileSync(catalogue, ['preview', scratch], { stdio: 'ignore' });
  const url = pathToFileURL(given ? resolve(catalogue) : join(scratch, 'index.html')).href;
  const rows = [];
  for (let round = 0; round < Number(rounds); ++round) {
    const page = await browser.newPage({ viewport: { width: 1366, height: 768 } });
    const cdp = await page.cdp();
    await cdp.send('Performance.enable');
    const busy = async () => {
      const { metrics } = await cdp.send('Performance.getMetrics');
      const get = (name) => metrics.find((m) => m.name === name).value * 1000;
      return { task: get('TaskDuration'), script: get('ScriptDuration') };
    };
    await page.goto(url);
    await page.waitFor(() => document.documentElement.dataset.ready, null, 30000);
    const shown = await page.evaluate(() => ({
      run: performance.getEntriesByName('first-run-drawn')[0]?.startTime ?? NaN,  // (not marked by older pages)
      mark: performance.getEntriesByName('first-frames-drawn')[0].startTime,
      fcp: performance.getEntriesByName('first-contentful-paint')[0]?.startTime ?? NaN,
    }));
    const over5s = async (scroll) => {
      await page.evaluate(scroll);
      await page.wait(500);
      const before = await busy();
      await page.wait(5000);
      const after = await busy();
      return { task: (after.task - before.task) / 5000, script: (after.script - before.script) / 5000 };
    };
    const top = await over5s(() => window.scrollTo(0, 0));
    const still = await over5s(() => document.getElementById('run-farewell').scrollIntoView());
    rows.push({ ...shown, top, still });
    await cdp.detach();
    await page.close();
  }
  const pct = (x) => `${(100 * x).toFixed(1)} %`;
  console.log('round  first paint  first run  every run  top: task / script   no animation in view: task / script');
  rows.forEach((r, i) => console.log(`${String(i + 1).padStart(5)}  ${r.fcp.toFixed(0).padStart(8)} ms` +
    `  ${r.run.toFixed(0).padStart(6)} ms  ${r.mark.toFixed(0).padStart(6)} ms` +
    `  ${pct(r.top.task).padStart(10)} / ${pct(r.top.script).padStart(7)}` +
    `  ${pct(r.still.task).padStart(19)} / ${pct(r.still.script).padStart(7)}`));
  console.log('(busy time as a share of one core over 5 s left alone, 1366 x 768)');
} finally {
  await browser.close();
  rmSync(scratch, { recursive: true, force: true });
}
