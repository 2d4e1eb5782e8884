// The catalogue page in a real browser: `catalogue preview` writes it, the
// system's headless Chromium or Firefox opens it from the file system, and
// every check holds it against the bytes the program carries, read by
// bitmap_dump and expanded to colours here, not by the page's own decoder.
//
//   node page-test.mjs CATALOGUE BITMAP_DUMP [chromium|firefox]
//
// Exit status 0 when every check passes, 1 when one fails, 77 (skipped) when
// the browser or its driver is missing.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from './browser.mjs';

const [catalogue, bitmapDump, browserName = 'chromium'] = process.argv.slice(2);
if (!bitmapDump) {
  console.error('usage: node page-test.mjs CATALOGUE BITMAP_DUMP [chromium|firefox]');
  process.exit(2);
}

let failures = 0, passes = 0;
function check(ok, what) {
  if (ok) ++passes;
  else {
    ++failures;
    console.log(`FAILED (${browserName}): ${what}`);
  }
}
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

// Counts the canvas draws of each run (by its section's id) from before the
// page's own script runs. The page's worker draws them: it is started here
// with a prelude of the test's own, which counts there, tells the page, and
// paints, when asked, a run's views with each pixel's coordinates (red 3x,
// green y: window.paintCoordinates(run)).
function countDraws() {
  window.draws = {};
  window.idleFrames = 0;
  // What the page holds when it marks its first screen drawn.
  const mark = performance.mark.bind(performance);
  performance.mark = (name, ...rest) => {
    if (name === 'first-screen-drawn') {
      window.firstScreen = { segments: document.querySelectorAll('#flash-bar a').length,
        summary: document.getElementById('summary').textContent, bolt: window.draws['run-bolt'] >= 2 };
    }
    return mark(name, ...rest);
  };
  const prelude = () => {
    const runOf = new WeakMap(), viewsOf = new Map();
    let drawn = 0;
    addEventListener('message', (event) => {
      const { name, views, coordinates } = event.data;
      if (views) viewsOf.set(name, views);
      views?.forEach((view) => runOf.set(view, 'run-' + name));
      if (!coordinates) return;
      event.stopImmediatePropagation();
      for (const view of viewsOf.get(coordinates)) {
        const image = new ImageData(view.width, view.height);
        for (let i = 0; i < view.width * view.height; ++i) image.data.set([(i % view.width) * 3, Math.floor(i / view.width), 200, 255], 4 * i);
        view.getContext('2d').putImageData(image, 0, 0);
      }
    });
    for (const name of ['putImageData', 'drawImage']) {
      const original = OffscreenCanvasRenderingContext2D.prototype[name];
      OffscreenCanvasRenderingContext2D.prototype[name] = function (...args) {
        ++drawn;
        postMessage({ counted: runOf.get(this.canvas) });
        return original.apply(this, args);
      };
    }
    // The frames asked for in which nothing was drawn.
    const ask = self.requestAnimationFrame;
    self.requestAnimationFrame = (callback) => ask((now) => {
      const before = drawn;
      callback(now);
      if (drawn === before) postMessage({ idle: true });
    });
  };
  const PageBlob = Blob, PageWorker = Worker, url = URL.createObjectURL, parts = new WeakMap(), scripts = new Map();
  window.Blob = function (content, options) {
    const blob = new PageBlob(content, options);
    parts.set(blob, content);
    return blob;
  };
  URL.createObjectURL = (blob) => {
    const made = url(blob);
    if (parts.has(blob)) scripts.set(made, parts.get(blob));
    return made;
  };
  window.Worker = function (script, options) {
    const worker = new PageWorker(url(new PageBlob([`(${prelude})();\n(function () {\n`, ...scripts.get(script), '\n})();'])), options);
    window.paintCoordinates = (name) => worker.postMessage({ coordinates: name });
    worker.addEventListener('message', (event) => {
      const { counted, idle } = event.data;
      if (idle) ++window.idleFrames;
      else if ('counted' in event.data) window.draws[counted] = (window.draws[counted] ?? 0) + 1;
      else return;
      event.stopImmediatePropagation();
    });
    return worker;
  };
}

const scratch = mkdtempSync(join(tmpdir(), 'catalogue-page-'));
const browser = await launch(browserName);
try {
  execFileSync(catalogue, ['preview', scratch], { stdio: 'ignore' });
  execFileSync(catalogue, ['flash-image', join(scratch, 'flash.bin')], { stdio: 'ignore' });
  const flash = readFileSync(join(scratch, 'flash.bin'));
  const listed = execFileSync(catalogue, ['list'], { encoding: 'utf8' }).trim().split('\n').slice(1)
    .map((line) => line.trim().split(/\s+/));
  // The bitmaps' lines, each named as the commands take it ("smoke:22", from
  // 0 within its run); then the image's record, "(record)", which the flash map shows.
  const listing = listed.filter((fields) => !fields[1].startsWith('('))
    .map((fields, i, all) => [`${fields[1]}:${all.slice(0, i).filter((f) => f[1] === fields[1]).length}`, ...fields]);
  const recordLine = listed.filter((fields) => fields[1] === '(record)');

  // The bitmaps as carried: run, entry, size, bytes.
  const bitmaps = execFileSync(bitmapDump, { encoding: 'latin1', maxBuffer: 64 << 20 }).trim().split('\n')
    .map((line) => {
      const [run, entry, width, height, hex] = line.split(' ');
      return { run, entry, width: Number(width), height: Number(height), bytes: Buffer.from(hex, 'hex') };
    });
  const runs = [...new Set(bitmaps.map((b) => b.run))].map((name) => ({ name, bitmaps: bitmaps.filter((b) => b.run === name) }));
  // The colours the display shows: RGB565 high byte first, each channel
  // widened by bit replication.
  const expectedRgba = (b) => {
    const rgba = Buffer.alloc(b.bytes.length * 2);
    for (let i = 0; i < b.bytes.length; i += 2) {
      const v = b.bytes.readUInt16BE(i), r = v >> 11, g = (v >> 5) & 0x3f, bl = v & 0x1f;
      rgba.set([(r << 3) | (r >> 2), (g << 2) | (g >> 4), (bl << 3) | (bl >> 2), 255], i * 2);
    }
    return rgba;
  };

  const pagePath = join(scratch, 'index.html'), url = pathToFileURL(pagePath).href;
  // A page of its own, opened and drawn: options as for browser.newPage, 1366 x 768 unless given.
  const open = async (options) => {
    const opened = await browser.newPage({ viewport: { width: 1366, height: 768 }, ...options });
    await opened.goto(url);
    return (await opened.waitFor(() => document.documentElement.dataset.ready, null, 30000)) && opened;
  };
  const pageSize = statSync(pagePath).size;
  check(pageSize <= 10e6, `the page with its data is at most 10 MB: ${pageSize} bytes`);

  const page = await browser.newPage({ viewport: { width: 1366, height: 768 }, init: countDraws });
  const started = Date.now();
  await page.goto(url);
  await page.waitFor(() => document.documentElement.dataset.ready, null, 30000);
  const gotoToReady = Date.now() - started;
  const [firstRun, firstScreen, everyRun] = await page.evaluate(() => ['first-run-drawn', 'first-screen-drawn',
    'first-frames-drawn'].map((mark) => performance.getEntriesByName(mark)[0].startTime));
  console.log(`${browserName}: the first run painted ${firstRun.toFixed(0)} ms, the first screen with the whole flash map ` +
    `${firstScreen.toFixed(0)} ms, every run's first bitmap ${everyRun.toFixed(0)} ms after navigation start (page marks), ` +
    `${gotoToReady} ms from goto to the ready flag`);
  const atFirstScreen = await page.evaluate(() => [window.firstScreen, document.querySelectorAll('#flash-bar a').length,
    document.getElementById('summary').textContent]);
  check(same(atFirstScreen[0], { segments: atFirstScreen[1], summary: atFirstScreen[2], bolt: true }),
    `the first screen, when marked drawn, has the whole flash map, the summary and the first run: ${JSON.stringify(atFirstScreen)}`);


  // Scrolls an element to the middle of the window and waits for the page to
  // have seen it there; returns its box.
  const settle = () => page.evaluate(() => new Promise((resolve) =>
    requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(resolve, 0)))));
  const reveal = async (selector) => {
    const box = await page.evaluate((s) => {
      const e = document.querySelector(s);
      e.scrollIntoView({ block: 'center', inline: 'nearest' });
      const r = e.getBoundingClientRect();
      return { x: r.x, y: r.y, width: r.width, height: r.height };
    }, selector);
    await settle();
    return box;
  };
  const clickOn = async (selector) => {
    const box = await reveal(selector);
    await page.click(box.x + box.width / 2, box.y + box.height / 2);
  };
  const frameOf = (name) => page.evaluate((n) => Number(document.getElementById('run-' + n).dataset.frame), name);

  // axe-core finds nothing serious; every run is in the accessibility tree at
  // load; at the top, with bolt playing, the page is not laid out again.
  await page.evaluate(readFileSync(join(import.meta.dirname, 'node_modules/axe-core/axe.min.js'), 'utf8'));
  const axe = await page.evaluate(async () => (await window.axe.run()).violations
    .filter((v) => ['serious', 'critical'].includes(v.impact)).map((v) => `${v.id}: ${v.nodes.map((n) => n.target)}`));
  check(same(axe, []), `axe-core finds no serious violation: ${axe}`);
  const cdp = await page.cdp?.();
  if (cdp) {
    const roles = (await cdp.send('Accessibility.getFullAXTree')).nodes.filter((n) => !n.ignored).map((n) => n.role?.value);
    const count = (role) => roles.filter((r) => r === role).length;
    check(count('heading') === runs.length + 1 && count('row') === 281 + runs.length,
      `every run's heading and listing is in the accessibility tree: ${count('heading')} headings, ${count('row')} rows`);
    await cdp.send('Performance.enable');
    const layouts = async () => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'LayoutCount').value;
    const [before, frame] = [await layouts(), await frameOf('bolt')];
    await page.wait(1000);
    check((await layouts()) === before && (await frameOf('bolt')) !== frame, 'a run playing at the top lays nothing out again');
  }

  // Every run in catalogue order, each listing the same values as `catalogue list`.
  const sections = await page.evaluate(() => [...document.querySelectorAll('section.run')].map((s) => ({
    id: s.id, rows: [...s.querySelectorAll('tbody tr')].map((tr) => [...tr.cells].map((td) => td.textContent)),
  })));
  check(same(sections.map((s) => s.id), runs.map((r) => 'run-' + r.name)), `the runs in catalogue order: ${sections.map((s) => s.id)}`);
  const pageRows = sections.flatMap((s) => s.rows.map((cells) => [cells[0], cells[1], s.id.slice(4), cells[2],
    cells[3].replaceAll(',', ''), cells[4], cells[5]]));
  check(pageRows.length === 281 && same(pageRows, listing),
    'every bitmap shows its name and the entry, size, bytes, offset and CRC-32 that catalogue list prints');
  const headings = await page.evaluate(() => [...document.querySelectorAll('section.run h2 small')]
    .map((small) => small.textContent.split(' \u00b7 ')[0]));
  check(same(headings, runs.map(({ bitmaps: [first, ...rest] }) => (first.entry === '-' ? 'outside bitmap_table'
    : `entries ${first.entry}\u2013${(rest.at(-1) ?? first).entry}`))), `each run's heading names its table entries: ${headings}`);

  // Nothing is drawn that nobody sees: at the top only the runs whose views
  // are in the window, and nothing at all with no animated run in view.
  const drawsOver = async (ms) => {
    await page.evaluate(() => { window.draws = {}; window.idleFrames = 0; });
    await page.wait(ms);
    return page.evaluate(() => ({ ...window.draws, idle: window.idleFrames }));
  };
  const inView = () => page.evaluate(() => [...document.querySelectorAll('section.run')].filter((s) => {
    const r = s.querySelector('.views').getBoundingClientRect();
    return r.bottom > 0 && r.top < innerHeight;
  }).map((s) => s.id));
  await page.evaluate(() => window.scrollTo(0, 0));
  await settle();
  const { idle, ...topDraws } = await drawsOver(1000), topInView = await inView();
  check(topDraws['run-bolt'] > 0 && Object.keys(topDraws).every((id) => topInView.includes(id)),
    `at the top only the runs in view are drawn (${topInView}): ${JSON.stringify(topDraws)}`);
  check(idle <= 2, `a run playing asks for a frame only to show its next bitmap: ${idle} frames drew nothing`);
  await reveal('#run-farewell');
  const stillInView = await inView();
  check(same(stillInView.filter((id) => !id.startsWith('run-farewell')), []), `only the farewell screens in view: ${stillInView}`);
  const { idle: _, ...stillDraws } = await drawsOver(1000);
  check(same(stillDraws, {}), `with no animated run in view nothing is drawn: ${JSON.stringify(stillDraws)}`);

  // The runs that play by themselves advance when in view.
  const animated = await page.evaluate(() => [...document.querySelectorAll('section.run')]
    .map((s, i) => (s.querySelector('button.play')?.textContent === 'Pause' ? i : -1)).filter((i) => i >= 0));
  // Pictures that move: runs of more than one bitmap at least 16 pixels each way (not the fonts).
  const moving = runs.flatMap((r, i) => (r.bitmaps.length > 1 && r.bitmaps[0].width >= 16 && r.bitmaps[0].height >= 16 ? [i] : []));
  check(same(animated, moving), `the runs that play by themselves: ${animated}`);
  for (const i of animated) {
    const name = runs[i].name, before = await frameOf(name);
    await reveal(`#run-${name} .views`);
    const advanced = await page.waitFor(([n, f]) => Number(document.getElementById('run-' + n).dataset.frame) !== f, [name, before], 5000);
    check(advanced, `${name}, in view, moves on to another frame`);
  }
  await clickOn('#run-bolt button.play');
  const paused = await frameOf('bolt');
  await page.wait(400);
  check((await frameOf('bolt')) === paused, 'a paused run stays on its frame');

  // The pixels a view shows (a canvas, or an image of a glyph strip), drawn
  // into a canvas of the test's own, with the box it takes on the page.
  // (The pixels come back as a latin1 string: an array of numbers takes long.)
  const pixelsOf = (selector, i = 0) => page.evaluate(([s, at]) => {
    const view = document.querySelectorAll(s)[at], c = document.createElement('canvas'), r = view.getBoundingClientRect();
    Object.assign(c, { width: view.naturalWidth ?? view.width, height: view.naturalHeight ?? view.height });
    c.getContext('2d').drawImage(view, 0, 0);
    return { rgba: String.fromCharCode(...c.getContext('2d').getImageData(0, 0, c.width, c.height).data), box: [r.width, r.height] };
  }, [selector, i]);
  // At 1x the canvas holds exactly the bytes' colours; single steps move by
  // one. (The worker draws what the page tells it: given a moment to.)
  for (const run of runs) {
    const shows = async (i, what) => {
      const b = run.bitmaps[i], which = async () => {
        const { rgba, box } = await pixelsOf(`#run-${run.name} canvas.actual`);
        return [run.bitmaps.findIndex((other) => Buffer.from(rgba, 'latin1').equals(expectedRgba(other))), box];
      };
      let [shown, box] = await which();
      for (let tries = 0; shown !== i && tries < 20; ++tries) {
        await page.wait(50);
        [shown, box] = await which();
      }
      check(box[0] === b.width && box[1] === b.height, `${run.name}: the 1x view is ${b.width}x${b.height}: ${box}`);
      check(shown === i, `${run.name}: ${what} shows bitmap ${i}'s bytes, not ${shown}'s`);
    };
    if (run.bitmaps.length === 1) {
      await reveal(`#run-${run.name} .views`);
      await shows(0, 'its only bitmap');
      continue;
    }
    // A playing run keeps its listing on the line it shows: pause it first.
    if ((await page.evaluate((n) => document.querySelector(`#run-${n} button.play`).textContent, run.name)) === 'Pause')
      await clickOn(`#run-${run.name} button.play`);
    await clickOn(`#run-${run.name} tbody tr:nth-child(2)`);
    await shows(1, 'the second listed bitmap, clicked,');
    await clickOn(`#run-${run.name} button.forward`);
    check((await frameOf(run.name)) === 2 % run.bitmaps.length, `${run.name}: step forward`);
    await shows(2 % run.bitmaps.length, 'a step forward');
    await clickOn(`#run-${run.name} button.back`);
    await clickOn(`#run-${run.name} button.back`);
    await shows(0, 'two steps back');
  }

  // From the keyboard: Tab from the top reaches the first run's listing, on
  // the line shown; the arrows move the focus, Enter shows the line, "." steps,
  // "p" plays and pauses; the listing is one tab stop; focus is always visible.
  const focused = () => page.evaluate(() => {
    const e = document.activeElement, style = getComputedStyle(e);
    return { run: e.closest('section')?.id, row: e.matches('tbody tr') ? e.sectionRowIndex : -1,
      tag: e.tagName, visible: style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2 };
  });
  await clickOn('#run-bolt tbody tr:nth-child(8)');
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.click(4, 20);  // beside the title: Tab starts from the top
  let tabs = 0, at = await focused();
  const unseen = [], stops = [];
  while (!(at.run === 'run-bolt' && at.row >= 0) && tabs < 30) {
    await page.press('Tab');
    ++tabs;
    at = await focused();
    stops.push(at.tag);
    if (!at.visible) unseen.push(at.tag);
  }
  check(at.row === 7, `Tab reaches bolt's listing on the line shown (7): line ${at.row} after ${tabs} tabs`);
  check(stops.at(-2) === 'CANVAS', `the enlarged view's next stop is the listing's line, not its scroll box: ${stops.slice(-3)}`);
  check(unseen.length === 0, `focus is visible on every stop on the way: not on ${unseen}`);
  await page.press('ArrowDown');
  await page.press('ArrowDown');
  check((await focused()).row === 9 && (await frameOf('bolt')) === 7, 'the arrows move the focus, not the frame');
  await page.press('Enter');
  check((await frameOf('bolt')) === 9, `Enter shows the focused line: frame ${await frameOf('bolt')}`);
  await page.press('.');
  check((await frameOf('bolt')) === 10, `"." steps the focused run: frame ${await frameOf('bolt')}`);
  const told = () => page.evaluate(() => [document.getElementById('spoken').textContent,
    document.querySelector('#run-bolt canvas.zoomed').getAttribute('aria-label')]);
  const [stepSaid, stepLabel] = await told();
  await page.press('p');
  const playing = await page.evaluate(() => document.querySelector('#run-bolt button.play').textContent);
  const [playSaid] = await told();
  await page.press('p');
  check(playing === 'Pause', `"p" plays the focused run: ${playing}`);
  const boltName = (i) => `bolt:${i} \u00b7 entry ${runs.find((r) => r.name === 'bolt').bitmaps[i].entry}`;
  const [pauseSaid] = await told();
  check(stepSaid === boltName(10) && stepLabel.startsWith(boltName(10) + ', enlarged') && playSaid === `bolt playing from ${boltName(10)}` &&
    pauseSaid === boltName(await frameOf('bolt')),
    `a step, Play and Pause are said with the frame, which the enlarged view names: ${stepSaid}; ${stepLabel}; ${playSaid}; ${pauseSaid}`);
  for (const key of ['End', 'PageDown']) await page.press(key);
  check((await focused()).row === 29 && page.errors.length === 0, `End, then PageDown, stay on the last line: ${(await focused()).row}`);
  await page.press('Tab');
  check((await focused()).run !== 'run-bolt' || (await focused()).row === -1, 'the listing is a single tab stop');
  await page.evaluate(() => document.querySelector('#run-capitals .strip [tabindex="0"]').focus());
  const glyph = await frameOf('capitals');
  await page.press('ArrowRight');
  await page.press('ArrowRight');
  await page.press(' ');
  check((await frameOf('capitals')) === glyph + 2, `a font glyph is chosen with the arrows and Space: ${await frameOf('capitals')}`);
  const glyphs = await page.evaluate(() => {
    const strip = document.querySelector('#run-capitals .strip'), marks = [...strip.children].map((c) => c.getAttribute('aria-selected'));
    return [strip.getAttribute('aria-orientation'), marks.indexOf('true'), marks.filter((m) => m === 'false').length];
  });
  check(same(glyphs, ['horizontal', glyph + 2, 25]), `the glyph strip is horizontal and marks the glyph shown alone: ${glyphs}`);
  // Each glyph of the strip holds its own bitmap's colours.
  await page.waitFor(() => [...document.querySelectorAll('#run-capitals .strip img')].every((g) => g.complete && g.naturalWidth), null, 5000);
  const capitals = runs.find((r) => r.name === 'capitals').bitmaps;
  for (const i of [0, glyph + 2, capitals.length - 1])
    check(Buffer.from((await pixelsOf('#run-capitals .strip img', i)).rgba, 'latin1').equals(expectedRgba(capitals[i])), `the strip's glyph ${i} shows its bitmap`);

  // The inspector: several pixels of a digit and of a full screen, against
  // the bytes and the offsets `catalogue list` prints; the flash image holds
  // the same bytes there.
  // (Outside the table there is no flash offset.)
  const expectedReading = (b, x, y) => {
    const at = 2 * (y * b.width + x), pair = b.bytes.subarray(at, at + 2), value = pair.toString('hex').toUpperCase();
    const row = b.entry !== '-' && listing.find((line) => line[1] === b.entry);
    if (!row) return [String(x), String(y), value, value.replace(/(..)(..)/, '$1 $2'), '-'];
    const offset = Number(row[5]) + at;
    check(flash.subarray(offset, offset + 2).equals(pair), `the flash image holds entry ${b.entry} (${x}, ${y}) at ${offset}`);
    return [String(x), String(y), value, value.replace(/(..)(..)/, '$1 $2'), '0x' + offset.toString(16).padStart(8, '0')];
  };
  const reading = () => page.evaluate(() => ({
    fields: [...document.querySelectorAll('#inspector b')].map((b) => b.textContent),
    bitmap: document.getElementById('inspect-bitmap').textContent,
    shown: getComputedStyle(document.querySelector('#inspector .reading')).visibility !== 'hidden',
  }));
  const pointAt = async (selector, x, y) => {
    const box = await reveal(selector);
    const scale = box.width / (await page.evaluate((s) => document.querySelector(s).width, selector));
    // The middle of where the pixel is painted: the box's edges moved to
    // whole pixels of the window.
    await page.move(Math.round(box.x) + x * scale + (scale >> 1), Math.round(box.y) + y * scale + (scale >> 1));
  };
  const zero = bitmaps.find((b) => b.entry === '269'), boltRun = runs.find((r) => r.name === 'bolt').bitmaps, bolt4 = boltRun[4];
  await clickOn('#run-digits_cool tbody tr:nth-child(1)');
  await clickOn('#run-bolt tbody tr:nth-child(5)');
  const probes = [['digits_cool', 'canvas.actual', zero, 1, 0], ['digits_cool', 'canvas.zoomed', zero, 1, 0],
    ['digits_cool', 'canvas.zoomed', zero, 4, 6], ['digits_cool', 'canvas.actual', zero, 7, 10], ['digits_cool', 'canvas.zoomed', zero, 8, 11],
    ['bolt', 'canvas.zoomed', bolt4, 40, 70], ['bolt', 'canvas.zoomed', bolt4, 79, 159], ['bolt', 'canvas.actual', bolt4, 3, 100]];
  for (const [run, view, b, x, y] of probes) {
    await pointAt(`#run-${run} ${view}`, x, y);
    const got = await reading(), want = expectedReading(b, x, y);
    check(same(got.fields, want) && got.bitmap === `${run}:${boltRun.includes(b) ? 4 : 0} \u00b7 entry ${b.entry}`,
      `the inspector on entry ${b.entry} (${x}, ${y}) in ${view}: ${got.bitmap} ${got.fields}, not ${want}`);
  }
  await pointAt('#run-farewell canvas.zoomed', 40, 5);
  const farewellWant = expectedReading(bitmaps.find((b) => b.run === 'farewell'), 40, 5);
  // (named without an entry: it has none)
  const farewellGot = await reading();
  check(same([farewellGot.bitmap, ...farewellGot.fields], ['farewell:0', ...farewellWant]),
    `the inspector on farewell (40, 5): ${farewellGot.bitmap} ${farewellGot.fields}`);
  // It clears when the pointer leaves.
  await page.move(1, 1);
  check(!(await reading()).shown, 'the reading clears when the pointer leaves the bitmap');

  // A still pointer over a playing run reads the bitmap under it.
  await clickOn('#run-bolt button.play');
  await page.evaluate(() => new MutationObserver(() => { window.said = (window.said ?? 0) + 1; })
    .observe(document.getElementById('spoken'), { childList: true }));
  await pointAt('#run-bolt canvas.zoomed', 40, 70);
  const firstRead = await frameOf('bolt');
  await page.waitFor((f) => Number(document.getElementById('run-bolt').dataset.frame) !== f, firstRead, 3000);
  const { frame: playedTo, got: followed, reads } = await page.evaluate(() => new Promise((resolve) => {
    const frame = Number(document.getElementById('run-bolt').dataset.frame);
    const got = [...document.querySelectorAll('#inspector b')].map((b) => b.textContent);
    // Every bitmap shown is read: 15 a second, not only as the line moves on.
    let reads = 0;
    const count = new MutationObserver(() => ++reads);
    count.observe(document.getElementById('inspect-bitmap'), { childList: true });
    setTimeout(() => resolve({ frame, got, reads }), 1000);
  }));
  check(playedTo !== firstRead && same(followed, expectedReading(boltRun[playedTo], 40, 70)) && reads >= 10,
    `a still pointer reads each frame: frame ${playedTo}, ${followed}, ${reads} bitmaps read in 1 s`);
  // The highlighted line stays in its listing's view, and the page holds still.
  const scrolled = await page.evaluate(() => scrollY);
  await page.waitFor(() => Number(document.getElementById('run-bolt').dataset.frame) >= 25, null, 3000);
  const followsLine = await page.evaluate(() => {
    const listing = document.querySelector('#run-bolt .listing').getBoundingClientRect();
    const line = document.querySelector('#run-bolt tr.current').getBoundingClientRect();
    return line.top >= listing.top - 0.5 && line.bottom <= listing.bottom + 0.5;
  });
  check(followsLine && (await page.evaluate(() => scrollY)) === scrolled,
    'the playing line stays in its listing\'s view without moving the page');
  check((await page.evaluate(() => window.said)) === 1, 'the move onto the pixel is said, the frames played are not');
  // Scrolled by the reader, the listing of a playing run stays where the reader put it.
  const boltListing = await page.evaluate(() => {
    const listing = document.querySelector('#run-bolt .listing'), r = listing.getBoundingClientRect();
    return [r.x + r.width / 2, r.y + r.height / 2, listing.scrollTop];
  });
  await page.wheel(boltListing[0], boltListing[1], boltListing[2] > 0 ? -boltListing[2] : 60);
  await page.wait(300);
  const [wheeledTo, wheeledAt] = await page.evaluate(() => {
    const listing = document.querySelector('#run-bolt .listing');
    window.listingMoves = [];
    listing.addEventListener('scroll', () => window.listingMoves.push(listing.scrollTop));
    return [listing.scrollTop, Number(document.getElementById('run-bolt').dataset.frame)];
  });
  await page.wait(2100);  // every line of the run shown once
  const afterWheel = await page.evaluate(() => [window.listingMoves, Number(document.getElementById('run-bolt').dataset.frame)]);
  check(wheeledTo !== boltListing[2] && same(afterWheel[0], []) && afterWheel[1] !== wheeledAt,
    `a listing the reader scrolled (to ${wheeledTo}) stays put while its run plays on: ${afterWheel}`);
  // Paused and stepped at once, the listing marks the bitmap shown (playing, its line may lag).
  const pausedOn = await page.evaluate(() => {
    for (const button of ['play', 'forward']) document.querySelector('#run-bolt button.' + button).click();
    return [Number(document.getElementById('run-bolt').dataset.frame),
      [...document.querySelectorAll('#run-bolt tbody tr')].findIndex((tr) => tr.matches('.current[aria-selected="true"]'))];
  });
  check(pausedOn[0] === pausedOn[1], `paused and stepped, the listing marks the line shown: ${pausedOn}`);

  // The keyboard's pixel cursor reads what pointing reads.
  await page.move(1, 1);
  await reveal('#run-digits_cool canvas.zoomed');
  await page.evaluate(() => document.querySelector('#run-digits_cool select').focus());
  await page.press('Tab');
  for (const key of ['ArrowRight', 'ArrowRight', 'ArrowRight', 'ArrowRight', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown']) await page.press(key);
  const cursor = await page.evaluate(() => {
    const c = document.querySelector('#run-digits_cool canvas.zoomed').getBoundingClientRect();
    const k = document.querySelector('#run-digits_cool .cursor').getBoundingClientRect();
    return [Math.round((k.x - c.x) / k.width), Math.round((k.y - c.y) / k.height), k.width > 0];
  });
  const keyed = await reading();
  check(same(keyed.fields, expectedReading(zero, 4, 6)) && same(cursor, [4, 6, true]),
    `the keyboard cursor at (4, 6) shows there and reads it: ${cursor} ${keyed.fields}`);
  const spoken = () => page.evaluate(() => document.getElementById('spoken').textContent);
  const said = [await spoken(), await page.press('.') ?? await spoken(), await page.press('Escape') ?? await spoken()];
  check(said[0].includes('x 4 y 6') && said[1].startsWith('digits_cool:1 ') && said[2] === '' &&
    !(await reading()).shown && (await page.evaluate(() => document.querySelector('#run-digits_cool .cursor').hidden)),
    `the cursor's reading is said, a step says the next bitmap, Escape clears both: ${said}`);

  // At 200 % on a laptop and on a phone held sideways, the enlarged view fits
  // the window and the cursor, moved ten at a time past the bottom, stays in view.
  // (Ten at a time to the right: 30, then past the right edge to 79.)
  for (const [width, height, right, x] of [[683, 384, 3, 30], [844, 390, 6, 79]]) {
    await page.setViewport({ width, height });
    await reveal('#run-bolt .controls');
    await page.evaluate(() => document.querySelector('#run-bolt select').focus());
    await page.press('Tab');
    await page.evaluate(() => window.scrollBy(0, -innerHeight / 2));  // the view's foot below the window
    for (const key of [...Array(right).fill('Shift+ArrowRight'), ...Array(16).fill('Shift+ArrowDown'), 'ArrowUp']) await page.press(key);
    const inView = await page.evaluate(() => {
      const top = document.getElementById('inspector').offsetHeight, k = document.querySelector('#run-bolt .cursor').getBoundingClientRect();
      return [k.top >= top && k.bottom <= innerHeight, document.querySelector('#run-bolt canvas.zoomed').offsetHeight <= innerHeight - top];
    });
    const got = (await reading()).fields;
    check(same(inView, [true, true]) && same(got, expectedReading(boltRun[await frameOf('bolt')], x, 158)),
      `at ${width}x${height} the cursor at (${x}, 158) is in view, the view fits the window (${inView}), and reads it: ${got}`);
  }

  // Every layout: no sideways scroll; on the desktop sizes the first run's
  // controls are on the first screen and free; the inspector overlaps nothing
  // at the top of the page; no listing is cut off by its scrollbar.
  const layout = () => page.evaluate(() => {
    window.scrollTo(0, 0);
    const inspector = document.getElementById('inspector').getBoundingClientRect();
    // (Lines scrolled out of a listing are clipped there: the listing stands for them.)
    const overlaps = [...document.querySelectorAll('header *, #run-bolt *:not(.listing *)')].filter((e) => {
      const r = e.getBoundingClientRect();
      return r.width && r.height && r.bottom > inspector.top + 0.5 && r.top < inspector.bottom - 0.5 &&
        r.right > inspector.left && r.left < inspector.right;
    }).map((e) => e.tagName + '.' + e.className);
    const hidden = [...document.querySelectorAll('#run-bolt .controls > *')].filter((e) => {
      const r = e.getBoundingClientRect(), hit = document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2);
      return r.bottom > innerHeight || !(hit && e.contains(hit));
    }).map((e) => e.className || e.tagName);
    const cut = [...document.querySelectorAll('.listing')].filter((l) => l.scrollWidth > l.clientWidth
      || l.firstChild.getBoundingClientRect().right > l.getBoundingClientRect().left + l.clientWidth + 0.5)
      .map((l) => l.closest('section').id);
    const wide = [...document.querySelectorAll('canvas, .listing, .controls')].filter((e) =>
      e.getBoundingClientRect().right > document.documentElement.clientWidth + 0.5).map((e) => e.closest('section').id);
    const sideways = document.documentElement.scrollWidth - document.documentElement.clientWidth;
    // The smallest listing text, and the lowest link of the legend (a target 24 px tall at the least).
    const least = (selector, of) => Math.min(...[...document.querySelectorAll(selector)].map(of));
    const small = [least('.listing th, .listing td', (e) => parseFloat(getComputedStyle(e).fontSize)),
      least('#flash-legend a', (a) => a.getBoundingClientRect().height)];
    return { sideways, overlaps, hidden, cut, small, wide: [...new Set(wide)], inspector: [inspector.top, inspector.bottom, inspector.right],
      clipped: document.getElementById('inspector').scrollWidth > document.getElementById('inspector').clientWidth };
  });
  const sizes = [[1280, 720], [1366, 768], [1920, 1080], [390, 844], [320, 640]];
  for (const [width, height] of sizes) {
    await page.setViewport({ width, height });
    await settle();
    const got = await layout(), what = `at ${width}x${height}`;
    check(got.sideways <= 0, `${what} the page does not scroll sideways: ${got.sideways} px`);
    check(same(got.wide, []), `${what} every player and listing fits the width: not ${got.wide}`);
    check(same(got.overlaps, []), `${what} the inspector overlaps nothing: ${got.overlaps}`);
    check(same(got.cut, []), `${what} no listing is cut off by its scrollbar: ${got.cut}`);
    check(got.inspector[0] >= 0 && got.inspector[1] <= height && got.inspector[2] <= width && !got.clipped,
      `${what} the inspector is on screen and whole: ${got.inspector}`);
    if (width >= 1280) check(same(got.hidden, []), `${what} the first run's controls are on the first screen, free: not ${got.hidden}`);
    check(got.small[0] >= 12 && got.small[1] >= 24, `${what} listing text of 12 px at least, legend links 24 px tall: ${got.small}`);
  }
  // Scrolled down, the inspector stays on screen, and what is jumped to lands below it.
  await page.setViewport({ width: 390, height: 844 });
  await clickOn('#flash-legend a[href="#run-smoke"]');
  await settle();
  const below = await page.evaluate(() => [document.getElementById('inspector').getBoundingClientRect().top,
    document.getElementById('inspector').getBoundingClientRect().bottom, document.getElementById('run-smoke').getBoundingClientRect().top]);
  check(below[0] === 0 && below[2] >= below[1] - 1, `a run jumped to shows below the inspector at the top: ${below}`);
  await page.setViewport({ width: 1366, height: 768 });
  await settle();
  // Text twice its size (as a zoom of the text alone makes it): every control grows with its label.
  const grown = await page.evaluate(async () => {
    const style = document.head.appendChild(Object.assign(document.createElement('style'),
      { textContent: '.controls button, .controls select { font-size: 28px; line-height: 36px; }' }));
    const low = [...document.querySelectorAll('.controls button, .controls select')].filter((e) => e.offsetHeight < 34)
      .map((e) => e.className || e.tagName);
    style.remove();
    return [...new Set(low)];
  });
  check(same(grown, []), `with text twice its size every button and zoom choice holds its label: not ${grown}`);
  check((await page.evaluate(() => document.querySelector('meta[name="description"]')?.content.length)) > 50,
    'the page has a description');

  // The flash map: one segment per run of the image, in its order, then the
  // record, adding up to the image, each leading to its run; widths to scale,
  // except that the thinnest keep 8 px and the rest share what is left in
  // proportion.
  const bar = await page.evaluate(() => document.getElementById('flash-bar').clientWidth);
  const segments = await page.evaluate(() => [...document.querySelectorAll('#flash-bar a')].map((a) => ({
    href: a.getAttribute('href'), bytes: Number(a.dataset.bytes), width: a.getBoundingClientRect().width,
    title: a.title })));
  check(recordLine.length === 1 && segments.at(-1).title.startsWith(`record: 16 bytes from ${recordLine[0][4]}`),
    `the record's segment where catalogue list puts it: ${segments.at(-1).title}`);
  const inImage = runs.filter((r) => r.bitmaps[0].entry !== '-')
    .map((r) => ({ href: '#run-' + r.name, bytes: r.bitmaps.reduce((s, b) => s + b.bytes.length, 0) }))
    .concat({ href: '#flash-map', bytes: 16 });  // the record that identifies the image
  check(same(segments.map((s) => [s.href, s.bytes]), inImage.map((s) => [s.href, s.bytes])),
    `a segment per run of the image, in its order, with its byte count: ${JSON.stringify(segments)}`);
  // The legend: each run of the image, then those outside it.
  const legendLinks = await page.evaluate(() => [...document.querySelectorAll('#flash-legend a')].map((a) => a.getAttribute('href')));
  const notInImage = runs.filter((r) => r.bitmaps[0].entry === '-').map((r) => '#run-' + r.name);
  check(same(legendLinks, inImage.slice(0, -1).map((s) => s.href).concat(notInImage)) && notInImage.length === 2,
    `the legend leads to every run, those outside the image last: ${legendLinks}`);
  const total = segments.reduce((sum, s) => sum + s.bytes, 0);
  check(total === flash.length && total === 5892540 + 16, `the segments add up to the image: ${total}`);
  check(Math.abs(segments.reduce((sum, s) => sum + s.width, 0) - bar) < 1, 'the segments fill the bar');
  const thin = new Set();
  for (let grew = true; grew;) {
    grew = false;
    const rest = segments.filter((s) => !thin.has(s)), restBytes = rest.reduce((sum, s) => sum + s.bytes, 0);
    for (const s of rest) if (((bar - 8 * thin.size) * s.bytes) / restBytes < 8) grew = thin.add(s);
  }
  const restBytes = segments.filter((s) => !thin.has(s)).reduce((sum, s) => sum + s.bytes, 0);
  check(thin.size >= 3 && segments.every((s) => Math.abs(s.width - (thin.has(s) ? 8 : ((bar - 8 * thin.size) * s.bytes) / restBytes)) < 1),
    `each segment is drawn to scale, the thinnest at 8 px: ${segments.map((s) => s.width.toFixed(1))}`);
  for (const run of ['digits_cool', 'smoke']) {
    await clickOn(`#flash-bar a[href="#run-${run}"]`);
    check(await page.evaluate(() => document.querySelector(':target')?.id) === 'run-' + run, `a segment leads to ${run}`);
  }

  // A phone: a tap on a pixel inspects it.
  const phone = await open({ viewport: { width: 390, height: 844 }, touch: true });
  await phone.evaluate(() => document.querySelector('#run-bolt button.play').click());
  const bolt = await phone.evaluate(() => {
    const c = document.querySelector('#run-bolt canvas.zoomed');
    c.scrollIntoView({ block: 'center' });
    const r = c.getBoundingClientRect();
    return { x: r.x, y: r.y, scale: r.width / c.width, frame: Number(c.closest('section').dataset.frame) };
  });
  // At the pixel's middle, not its edge: there, Firefox sometimes read the row above.
  await phone.tap(Math.round(bolt.x + 40.5 * bolt.scale), Math.round(bolt.y + 70.5 * bolt.scale));
  const tapped = await phone.evaluate(() => [...document.querySelectorAll('#inspector b')].map((b) => b.textContent));
  check(same(tapped, expectedReading(boltRun[bolt.frame], 40, 70)), `a tap on bolt (40, 70) reads it: ${tapped}`);
  check(phone.errors.length === 0, `no console errors on the phone: ${phone.errors}`);

  // The pixel under the pointer is the pixel read, at device pixel ratios 1,
  // 2, 3 and 1.25, the page scrolled three ways: bolt's views, paused and
  // painted with each pixel's coordinates (red 3x, green y: countDraws), pointed at
  // random, every other point three quarters across the last device pixel of
  // a CSS pixel (where a rounding reads the next); what lies under the pointer, where the page was
  // told it is, is read from a screenshot. (Where a device pixel's middle
  // falls exactly on the border of two bitmap pixels, at 1.25 one border in
  // four, or a view's edge on the middle of a device pixel, the browsers
  // paint either side, each its own way: such points prove nothing.)
  let seed = 7;
  const random = (n) => (seed = (seed * 48271) % 2147483647) % n;
  for (const dpr of [1, 2, 3, 1.25]) {
    const sharp = await open({ dpr, init: countDraws });
    for (const scroll of [0, 45, 131]) {
      const points = (await sharp.evaluate(async (by) => {
        addEventListener('pointermove', (e) => { window.pointed = [e.clientX, e.clientY]; }, true);
        window.scrollTo(0, by);
        document.querySelector('#run-bolt button.play').textContent === 'Pause' && document.querySelector('#run-bolt button.play').click();
        window.paintCoordinates('bolt');
        await new Promise((resolve) => setTimeout(resolve, 300));
        return [...document.querySelectorAll('#run-bolt canvas')].map((c) => {
          const r = c.getBoundingClientRect();
          return [Math.ceil(r.x), Math.ceil(r.y), Math.floor(r.width) - 1, Math.floor(r.height) - 1, [r.left, r.right, c.width, r.top, r.bottom, c.height]];
        });
      }, scroll)).flatMap(([x, y, w, h, box]) => Array.from({ length: 16 }, (_, i) =>
        [x + random(w), y + random(h)].map((v) => (i % 2 ? (Math.ceil((v + 1) * dpr) - 0.25) / dpr : v)).concat([box])));
      const onBorder = (at, from, to, count) => {
        const first = Math.round(from * dpr);
        return [from, to].some((edge) => (edge * dpr) % 1 === 0.5) ||
          Number.isInteger(((Math.floor(at * dpr) - first + 0.5) * count) / (Math.round(to * dpr) - first));
      };
      const shot = (await sharp.screenshot()).toString('base64'), seen = [];
      for (const [x, y] of points) {
        await sharp.move(x, y);
        seen.push(await sharp.evaluate(() => [window.pointed,
          [...document.querySelectorAll('#inspector b')].slice(0, 2).map((f) => Number(f.textContent))]));
      }
      const under = await sharp.evaluate(async ([png, at, ratio]) => {
        const image = await createImageBitmap(new Blob([Uint8Array.from(atob(png), (c) => c.charCodeAt(0))]), { colorSpaceConversion: 'none' });
        const context = new OffscreenCanvas(image.width, image.height).getContext('2d');
        context.drawImage(image, 0, 0);
        return at.map(([x, y]) => [...context.getImageData(Math.floor(x * ratio), Math.floor(y * ratio), 1, 1).data]);
      }, [shot, seen.map(([at]) => at), dpr]);
      const wrong = [];
      for (const [i, [at, read]] of seen.entries()) {
        const [r, g, b] = under[i], painted = [Math.round(r / 3), g], [left, right, wide, top, bottom, tall] = points[i][2];
        if (onBorder(at[0], left, right, wide) || onBorder(at[1], top, bottom, tall)) continue;
        if (Math.abs(b - 200) < 3 && !same(read, painted)) wrong.push(`(${at}) painted ${painted} read ${read}`);
      }
      check(wrong.length === 0, `at ratio ${dpr}, scrolled ${scroll} px, the pixel under the pointer is read: ${wrong.slice(0, 4)}`);
    }
    await sharp.close();
  }

  // Asked for less motion, nothing plays by itself.
  const calm = await open({ reducedMotion: true });
  await calm.wait(500);
  const still = await calm.evaluate(() => [...document.querySelectorAll('section.run')].map((s) =>
    [Number(s.dataset.frame), s.querySelector('button.play')?.textContent ?? 'Play']));
  check(still.every(([frame, button]) => frame === 0 && button === 'Play'), `with reduced motion every run starts paused: ${still}`);

  // Colours forced by the system (Chromium alone emulates them): the line
  // shown, the swatch, the cursor's two tones and the map's runs keep apart.
  if (browserName === 'chromium') {
    const forced = await open({ forcedColors: true });
    await forced.evaluate(() => document.querySelector('#run-bolt select').focus());
    await forced.press('Tab');
    const kept = await forced.evaluate(() => {
      const css = (selector) => getComputedStyle(document.querySelector(selector));
      return [css('#run-bolt tr.current').backgroundColor !== css('#run-bolt tr:not(.current)').backgroundColor,
        css('#swatch').backgroundColor === document.getElementById('swatch').style.backgroundColor,
        css('#run-bolt .cursor').borderTopColor !== css('#run-bolt .cursor').outlineColor,
        new Set([...document.querySelectorAll('#flash-bar a')].map((a) => getComputedStyle(a).backgroundColor)).size];
    });
    check(same(kept, [true, true, true, segments.length]), `with forced colours line, swatch, cursor, runs stay apart: ${kept}`);
    // On paper (Chromium alone emulates it): every listing whole, no controls, no empty inspector.
    await page.press('Escape');
    await page.emulateMedia('print');
    const paper = await page.evaluate(() => ({
      cut: [...document.querySelectorAll('.listing')].filter((l) => l.scrollHeight > l.clientHeight + 1).map((l) => l.closest('section').id),
      shown: [...document.querySelectorAll('.controls, #inspector')].filter((e) => e.getClientRects().length).map((e) => e.className || e.id),
    }));
    await page.emulateMedia('screen');
    check(same(paper, { cut: [], shown: [] }), `printed, every listing line, no controls, no empty inspector: ${JSON.stringify(paper)}`);
  }

  // A browser without what the page needs is told what is missing, which
  // browsers have it and where the previews are.
  const lacking = await browser.newPage({ viewport: { width: 1366, height: 768 }, init: () => { delete window.DecompressionStream; } });
  await lacking.goto(url);
  const warned = await lacking.evaluate(() => {
    const message = document.getElementById('lacking');
    return [message.getClientRects().length, message.textContent.replace(/\s+/g, ' '), [...message.querySelectorAll('a')].map((a) => a.getAttribute('href'))];
  });
  check(warned[0] === 1 && warned[1].includes('lacks DecompressionStream,') && warned[1].includes('Firefox 113') &&
    same(warned[2], ['./', ...runs.map((r) => r.name + '.png')]) &&
    lacking.errors.length === 0, `without DecompressionStream the page says what is missing and where to look: ${warned} ${lacking.errors}`);
  await lacking.close();
  // Without Uint8Array.fromBase64 the page decodes the base64 itself: every run's bytes whole.
  const noBase64 = await open({ init: () => { delete Uint8Array.fromBase64; } });
  const carried = noBase64 && await noBase64.evaluate(() => players.map((p) => {
    const parts = [];
    for (const b of p.run.bitmaps) for (let i = 0; i < b.pixels.length; i += 8192) parts.push(String.fromCharCode(...b.pixels.subarray(i, i + 8192)));
    return parts.join('');
  }));
  const whole = runs.filter((r, i) => carried && Buffer.from(carried[i], 'latin1').equals(Buffer.concat(r.bitmaps.map((b) => b.bytes))));
  check(whole.length === runs.length, `without Uint8Array.fromBase64 every run's bytes are whole: ${whole.length} of ${runs.length}`);
  await noBase64?.close();
  // A run whose bytes do not inflate is an error that names it, not a page waiting without a word.
  const spoiled = await browser.newPage({ viewport: { width: 1366, height: 768 }, init: () => {
    const decode = Uint8Array.fromBase64;
    Uint8Array.fromBase64 = (text) => Object.assign(decode(text), { [2]: 0xff, [3]: 0xff, [4]: 0xff });
  } });
  await spoiled.goto(url);
  const named = () => spoiled.errors.some((e) => e.includes('bolt: its pixel bytes do not inflate'));
  for (let waited = 0; !named() && waited < 5000; waited += 100) await spoiled.wait(100);
  check(named(), `a run that does not inflate is named: ${spoiled.errors}`);
  await spoiled.close();

  check(page.errors.length === 0, `no console errors: ${page.errors}`);
  const outside = page.requests.filter((u) => !u.startsWith('file:'));
  check(outside.length === 0, `no request but the file: ${outside}`);
} finally {
  await browser.close();
  rmSync(scratch, { recursive: true, force: true });
}
console.log(`browser (${browserName}): ${passes} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
