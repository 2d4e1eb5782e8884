// What the catalogue page costs the browser's main thread, in headless
// Chromium or Firefox (a benchmark: it reports and never judges a time):
// - how soon it shows its first screen, in every round: the browser's first
//   contentful paint and the page's own marks, each set once the frame that
//   shows what it names has been painted: the first run; the first screen
//   (the summary, the whole flash map and every run that begins in the
//   window); every run's first bitmap;
// - the main thread's busy time (task and script duration from the DevTools
//   protocol) over 5 s left alone, with the top of the page in view and with
//   no animated run in view (scrolled to the farewell screens), in the first
//   three rounds (10 s each; Chromium only, from the DevTools protocol).
// Each round opens the page afresh; the median and the worst of each column
// follow.
//
//   node tests/browser/page-bench.mjs CATALOGUE|PAGE.html [ROUNDS] [chromium|firefox]
//
// Given a page rather than the program, it measures that page (one made by
// an older build, say).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from './browser.mjs';

const [catalogue, rounds = 9, browserName = 'chromium'] = process.argv.slice(2);
if (!catalogue) {
  console.error('usage: node page-bench.mjs CATALOGUE|PAGE.html [ROUNDS] [chromium|firefox]');
  process.exit(2);
}
const scratch = mkdtempSync(join(tmpdir(), 'catalogue-bench-'));
const browser = await launch(browserName);
try {
  const given = catalogue.endsWith('.html');
  if (!given) execFileSync(catalogue, ['preview', scratch], { stdio: 'ignore' });
  const url = pathToFileURL(given ? resolve(catalogue) : join(scratch, 'index.html')).href;
  const rows = [];
  for (let round = 0; round < Number(rounds); ++round) {
    const page = await browser.newPage({ viewport: { width: 1366, height: 768 } });
    const cdp = await page.cdp?.();
    await cdp?.send('Performance.enable');
    const busy = async () => {
      const { metrics } = await cdp.send('Performance.getMetrics');
      const get = (name) => metrics.find((m) => m.name === name).value * 1000;
      return { task: get('TaskDuration'), script: get('ScriptDuration') };
    };
    await page.goto(url);
    await page.waitFor(() => document.documentElement.dataset.ready, null, 30000);
    const shown = await page.evaluate(() => ({
      // (Older pages lack the first two marks.)
      run: performance.getEntriesByName('first-run-drawn')[0]?.startTime ?? NaN,
      screen: performance.getEntriesByName('first-screen-drawn')[0]?.startTime ?? NaN,
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
    const idle = cdp && round < 3;
    const top = idle ? await over5s(() => window.scrollTo(0, 0)) : null;
    const still = idle ? await over5s(() => document.getElementById('run-farewell').scrollIntoView()) : null;
    rows.push({ ...shown, top, still });
    await cdp?.detach();
    await page.close();
  }
  const ms = (x, label) => `${x.toFixed(0)} ms`.padStart(label.length);
  const pct = (x) => `${(100 * x).toFixed(1)} %`.padStart(6);
  const line = (label, r) => console.log(`${label.padStart(6)}  ${ms(r.fcp, 'first paint')}  ${ms(r.run, 'first run')}` +
    `  ${ms(r.screen, 'first screen')}  ${ms(r.mark, 'every run')}` +
    (r.top ? `  ${pct(r.top.task)} / ${pct(r.top.script)}  ${pct(r.still.task)} / ${pct(r.still.script)}` : ''));
  console.log(' round  first paint  first run  first screen  every run  top: task / script  no animation in view: task / script');
  rows.forEach((r, i) => line(String(i + 1), r));
  // The median and the worst of each column.
  const pick = (at) => {
    const of = (get) => {
      const values = rows.map(get).filter((v) => v !== undefined).sort((x, y) => x - y);
      return at === 'worst' ? values.at(-1) : values[(values.length - 1) >> 1];
    };
    const busy = (side, kind) => of((r) => r[side]?.[kind]);
    return { fcp: of((r) => r.fcp), run: of((r) => r.run), screen: of((r) => r.screen), mark: of((r) => r.mark),
      top: rows[0].top && { task: busy('top', 'task'), script: busy('top', 'script') },
      still: rows[0].still && { task: busy('still', 'task'), script: busy('still', 'script') } };
  };
  line('median', pick('median'));
  line('worst', pick('worst'));
  const { size } = await import('node:fs').then((fs) => fs.statSync(new URL(url)));
  console.log(`(${browserName}, a page of ${size} bytes; after navigation; busy time as a share of one core over 5 s ` +
    'left alone, first three rounds; 1366 x 768)');
} finally {
  await browser.close();
  rmSync(scratch, { recursive: true, force: true });
}
