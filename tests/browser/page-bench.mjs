// What the catalogue page costs the browser's main thread, in headless
// Chromium or Firefox (a benchmark: it reports and never judges a time):
// - how soon it shows its first screen, in every round: the browser's first
//   contentful paint and the page's own marks, each set once the frame that
//   shows what it names has been painted: the first run; the first screen
//   (the summary, the whole flash map and every run that begins in the
//   window); every run's first bitmap;
// - the longest task of the load, up to every run's first bitmap painted
//   (Chromium: the long tasks, 50 ms and over, that the browser reports to
//   the page; 0 when there was none);
// - the main thread's busy time (task and script duration from the DevTools
//   protocol) over 5 s left alone, with the top of the page in view (one run
//   playing there) and with no animated run in view (scrolled to the farewell
//   screens), in the first three rounds (Chromium only);
// - input to paint: from a key's event to the paint that shows what it did
//   (ten arrow keys moving the pixel cursor over the playing run at the top,
//   then ten with it paused; the median of each), first three rounds.
// Each round opens the page afresh; the median and the worst of each column
// follow. Given several pages (or programs), it takes them in turn, round by
// round, so that whatever else the machine is doing weighs on each alike; at
// each CPU slowdown asked for (Chromium's throttling: 4 runs the page as a
// machine four times slower would), all of that again.
//
//   node tests/browser/page-bench.mjs CATALOGUE|PAGE.html... [ROUNDS] [chromium|firefox] [--throttle=1,4,6]
//
// Given a page rather than the program, it measures that page (one made by
// an older build, say).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from './browser.mjs';

const args = process.argv.slice(2);
const rounds = Number(args.find((a) => /^\d+$/.test(a)) ?? 9);
const browserName = args.find((a) => a === 'chromium' || a === 'firefox') ?? 'chromium';
const rates = (args.find((a) => a.startsWith('--throttle='))?.slice(11) ?? '1').split(',').map(Number);
const sources = args.filter((a) => !/^\d+$/.test(a) && a !== 'chromium' && a !== 'firefox' && !a.startsWith('--'));
if (!sources.length || rates.some((r) => !(r >= 1))) {
  console.error('usage: node page-bench.mjs CATALOGUE|PAGE.html... [ROUNDS] [chromium|firefox] [--throttle=1,4,6]');
  process.exit(2);
}

// Set before the page's script: the long tasks, and the key-to-paint times.
function watch() {
  window.longTasks = [];
  try {
    new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map((e) => e.duration)))
      .observe({ type: 'longtask', buffered: true });
  } catch {
    window.longTasks = null;  // (Firefox reports none)
  }
  window.keyToPaint = [];
  addEventListener('keydown', (event) => requestAnimationFrame(() => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => window.keyToPaint.push(performance.now() - event.timeStamp);
    channel.port2.postMessage(null);
  }), true);
}

const scratch = mkdtempSync(join(tmpdir(), 'catalogue-bench-'));
const browser = await launch(browserName);
try {
  const pages = sources.map((source, i) => {
    if (source.endsWith('.html')) return { label: source, url: pathToFileURL(resolve(source)).href };
    const folder = join(scratch, String(i));
    execFileSync(source, ['preview', folder], { stdio: 'ignore' });
    return { label: source, url: pathToFileURL(join(folder, 'index.html')).href };
  });
  const median = (values) => values.sort((x, y) => x - y)[(values.length - 1) >> 1];

  async function round(url, rate, measureIdle) {
    const page = await browser.newPage({ viewport: { width: 1366, height: 768 }, init: watch });
    const cdp = await page.cdp?.();
    await cdp?.send('Performance.enable');
    if (rate > 1) await cdp?.send('Emulation.setCPUThrottlingRate', { rate });
    const busy = async () => {
      const { metrics } = await cdp.send('Performance.getMetrics');
      const get = (name) => metrics.find((m) => m.name === name).value * 1000;
      return { task: get('TaskDuration'), script: get('ScriptDuration') };
    };
    await page.goto(url);
    // Until the page marks every run drawn, told by the mark itself, within a
    // minute. (In Chromium, asked of the page itself: the driver's own
    // script, which its first call would put in the page, would be one of
    // the long tasks.)
    const drawn = `new Promise((resolve) => {
      const seen = () => performance.getEntriesByName('first-frames-drawn').length > 0;
      if (seen()) return resolve(true);
      setTimeout(() => resolve(false), 60000);
      new PerformanceObserver(() => seen() && resolve(true)).observe({ type: 'mark' });
    })`;
    const ready = cdp ? (await cdp.send('Runtime.evaluate', { expression: drawn, awaitPromise: true, returnByValue: true })).result.value
      : await page.evaluate(drawn);
    if (!ready) throw new Error(`${url}: every run was not drawn within a minute`);
    const longest = cdp && (await cdp.send('Runtime.evaluate', { expression: 'Math.max(0, ...window.longTasks)', returnByValue: true })).result.value;
    await page.wait(500);
    const shown = await page.evaluate(() => ({
      // (Older pages lack the first two marks.)
      run: performance.getEntriesByName('first-run-drawn')[0]?.startTime ?? NaN,
      screen: performance.getEntriesByName('first-screen-drawn')[0]?.startTime ?? NaN,
      mark: performance.getEntriesByName('first-frames-drawn')[0].startTime,
      fcp: performance.getEntriesByName('first-contentful-paint')[0]?.startTime ?? NaN,
    }));
    shown.longest = longest ?? NaN;
    const over5s = async (scroll) => {
      await page.evaluate(scroll);
      await page.wait(500);
      const before = await busy();
      await page.wait(5000);
      const after = await busy();
      return { task: (after.task - before.task) / 5000, script: (after.script - before.script) / 5000 };
    };
    const keys = async () => {
      await page.evaluate(() => { window.keyToPaint = []; });
      for (let i = 0; i < 10; ++i) {
        await page.press(i % 2 ? 'ArrowLeft' : 'ArrowRight');
        await page.wait(150);
      }
      return page.evaluate(() => window.keyToPaint.slice());
    };
    const row = { ...shown };
    if (measureIdle) {
      if (cdp) {
        row.top = await over5s(() => window.scrollTo(0, 0));
        row.still = await over5s(() => document.getElementById('run-farewell').scrollIntoView());
      }
      // The first run's enlarged view at the top, playing, then paused.
      await page.evaluate(() => {
        window.scrollTo(0, 0);
        document.querySelector('canvas.zoomed').focus();
      });
      await page.wait(300);
      row.playingKey = median(await keys());
      await page.press('p');
      row.pausedKey = median(await keys());
    }
    await cdp?.detach();
    await page.close();
    return row;
  }

  const ms = (x, width) => (Number.isNaN(x) || x === undefined ? '-' : `${x.toFixed(0)} ms`).padStart(width);
  const pct = (x) => (x === undefined ? '-' : `${(100 * x).toFixed(1)} %`).padStart(6);
  const line = (label, r) => console.log(`${label.padStart(7)} ${ms(r.fcp, 11)} ${ms(r.run, 9)} ${ms(r.screen, 12)} ${ms(r.mark, 9)}` +
    ` ${ms(r.longest, 12)} ${pct(r.top?.task)} ${pct(r.still?.task)} ${ms(r.playingKey, 13)} ${ms(r.pausedKey, 12)}`);
  const header = '  round first paint first run first screen every run longest task   top  still key, playing key, paused';
  for (const rate of rates) {
    const rows = pages.map(() => []);
    for (let r = 0; r < rounds; ++r) {
      for (const [i, { url }] of pages.entries()) rows[i].push(await round(url, rate, r < 3));
    }
    for (const [i, { label, url }] of pages.entries()) {
      const { size } = statSync(new URL(url));
      console.log(`\n${label} (${size} bytes), ${browserName}, CPU ${rate}x slower; load average ${execFileSync('cat', ['/proc/loadavg'], { encoding: 'utf8' }).split(' ').slice(0, 3).join(' ')}`);
      console.log(header);
      rows[i].forEach((row, n) => line(String(n + 1), row));
      // The median and the worst of each column.
      const pick = (at) => {
        const of = (get) => {
          const values = rows[i].map(get).filter((v) => v !== undefined && !Number.isNaN(v)).sort((x, y) => x - y);
          return at === 'worst' ? values.at(-1) : values[(values.length - 1) >> 1];
        };
        const result = {};
        for (const key of ['fcp', 'run', 'screen', 'mark', 'longest', 'playingKey', 'pausedKey']) result[key] = of((row) => row[key]);
        result.top = { task: of((row) => row.top?.task) };
        result.still = { task: of((row) => row.still?.task) };
        return result;
      };
      line('median', pick('median'));
      line('worst', pick('worst'));
    }
  }
  console.log('\n(after navigation; longest task: of the load, Chromium only; top, still: the main thread busy as a share of one core' +
    ' over 5 s left alone, one run playing at the top / no animated run in view, first three rounds; key: from the key\'s event' +
    ' to the paint that shows it, median of ten, first three rounds; 1366 x 768)');
} finally {
  await browser.close();
  rmSync(scratch, { recursive: true, force: true });
}
