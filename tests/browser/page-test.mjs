// The catalogue page in a real browser: `catalogue preview` writes it, the
// system's headless Chromium opens it from the file system, and every check
// holds it against the bytes the program carries, read by bitmap_dump and
// expanded to colours here, not by the page's own decoder.
//
//   node page-test.mjs CATALOGUE BITMAP_DUMP
//
// Exit status 0 when every check passes, 1 when one fails, 77 (skipped) when
// Chromium or playwright-core is missing.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from './browser.mjs';

const [catalogue, bitmapDump] = process.argv.slice(2);
if (!bitmapDump) {
  console.error('usage: node page-test.mjs CATALOGUE BITMAP_DUMP');
  process.exit(2);
}

let failures = 0, passes = 0;
function check(ok, what) {
  if (ok) ++passes;
  else {
    ++failures;
    console.log(`FAILED: ${what}`);
  }
}

const scratch = mkdtempSync(join(tmpdir(), 'catalogue-page-'));
const { context, close } = await launch();
try {
  execFileSync(catalogue, ['preview', scratch], { stdio: 'ignore' });
  execFileSync(catalogue, ['flash-image', join(scratch, 'flash.bin')], { stdio: 'ignore' });
  const flash = readFileSync(join(scratch, 'flash.bin'));
  const listed = execFileSync(catalogue, ['list'], { encoding: 'utf8' }).trim().split('\n').slice(1)
    .map((line) => line.trim().split(/\s+/));
  // The bitmaps' lines; then the image's record, "(record)", which the flash map shows.
  const listing = listed.filter((fields) => !fields[1].startsWith('('));
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

  const pagePath = join(scratch, 'index.html');
  const pageSize = statSync(pagePath).size;
  check(pageSize <= 10e6, `the page with its data is at most 10 MB: ${pageSize} bytes`);

  // Nothing but the file itself may be asked for: no server, no network.
  const requests = [], errors = [];
  await context.route((url) => url.protocol !== 'file:', (route) => route.abort());
  const page = await context.newPage();
  page.on('request', (r) => requests.push(r.url()));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  page.on('pageerror', (e) => errors.push(e.message));

  const started = Date.now();
  await page.goto(pathToFileURL(pagePath).href);
  await page.waitForFunction(() => document.documentElement.dataset.ready, null, { timeout: 30000 });
  const gotoToReady = Date.now() - started;
  const markedAt = await page.evaluate(() => performance.getEntriesByName('first-frames-drawn')[0].startTime);
  console.log(`first screen of every run drawn: ${markedAt.toFixed(0)} ms after navigation start ` +
    `(page mark), ${gotoToReady} ms from goto to the ready flag`);

  // Every run in catalogue order, each listing the same values as `catalogue list`.
  const sections = await page.$$eval('section.run', (all) => all.map((s) => ({
    id: s.id, rows: [...s.querySelectorAll('tbody tr')].map((tr) => [...tr.cells].map((td) => td.textContent)),
  })));
  check(JSON.stringify(sections.map((s) => s.id)) === JSON.stringify(runs.map((r) => 'run-' + r.name)),
    `the runs in catalogue order: ${sections.map((s) => s.id)}`);
  const pageRows = sections.flatMap((s) => s.rows.map((cells) => [cells[0], s.id.slice(4), cells[1],
    cells[2].replaceAll(',', ''), cells[3], cells[4]]));
  check(pageRows.length === 281 && JSON.stringify(pageRows) === JSON.stringify(listing),
    'every bitmap shows the entry, size, bytes, offset and CRC-32 that catalogue list prints');

  // Animations advance, by themselves, and not when paused.
  const frames = () => page.$$eval('section.run', (all) => all.map((s) => Number(s.dataset.frame)));
  const animated = await page.$$eval('section.run', (all) =>
    all.map((s, i) => (s.querySelector('button.play')?.textContent === 'Pause' ? i : -1)).filter((i) => i >= 0));
  // Pictures that move: runs of more than one bitmap at least 16 pixels each way (not the fonts).
  const moving = runs.flatMap((r, i) => (r.bitmaps.length > 1 && r.bitmaps[0].width >= 16 && r.bitmaps[0].height >= 16 ? [i] : []));
  check(JSON.stringify(animated) === JSON.stringify(moving), `the runs that play by themselves: ${animated}`);
  const before = await frames();
  const advanced = await page.waitForFunction((before) => {
    const now = [...document.querySelectorAll('section.run')].map((s) => Number(s.dataset.frame));
    return before.every((f, i) => f === -1 || now[i] !== f);
  }, before.map((f, i) => (animated.includes(i) ? f : -1)), { timeout: 5000 }).then(() => true, () => false);
  check(advanced, 'every animated run moves on to another frame');
  const bolt = page.locator('#run-bolt');
  await bolt.locator('button.play').click();
  const paused = (await frames())[0];
  await page.waitForTimeout(400);
  check((await frames())[0] === paused, 'a paused run stays on its frame');

  // At 1x the canvas holds exactly the bytes' colours; single steps move by one.
  // (The pixels come back as a latin1 string: an array of numbers takes Playwright long.)
  const drawn = async (section) => {
    const { rgba, box } = await section.locator('canvas.actual').evaluate((c) => ({
      rgba: String.fromCharCode(...c.getContext('2d').getImageData(0, 0, c.width, c.height).data),
      box: [c.getBoundingClientRect().width, c.getBoundingClientRect().height],
    }));
    return { rgba: Buffer.from(rgba, 'latin1'), box };
  };
  for (const run of runs) {
    const section = page.locator('#run-' + run.name);
    const shows = async (i, what) => {
      const { rgba, box } = await drawn(section);
      const b = run.bitmaps[i];
      check(box[0] === b.width && box[1] === b.height, `${run.name}: the 1x view is ${b.width}x${b.height}: ${box}`);
      check(rgba.equals(expectedRgba(b)), `${run.name}: ${what} shows bitmap ${i}'s bytes`);
    };
    if (run.bitmaps.length === 1) {
      await shows(0, 'its only bitmap');
      continue;
    }
    await section.locator('tbody tr').nth(1).click();
    await shows(1, 'the second listed bitmap, clicked,');
    await section.locator('button.forward').click();
    check(Number(await section.getAttribute('data-frame')) === 2 % run.bitmaps.length, `${run.name}: step forward`);
    await shows(2 % run.bitmaps.length, 'a step forward');
    await section.locator('button.back').click();
    await section.locator('button.back').click();
    await shows(0, 'two steps back');
  }

  // The inspector, on the second-style digit 0 (entry 269), pixel (1, 0), in
  // both views; its flash offset is counted here from the bitmaps before it.
  const zero = bitmaps.find((b) => b.entry === '269');
  const zeroAt = bitmaps.filter((b) => b.entry !== '-' && Number(b.entry) < 269)
    .reduce((sum, b) => sum + b.width * b.height * 2, 0);
  check(flash.subarray(zeroAt, zeroAt + zero.bytes.length).equals(zero.bytes), 'the flash image holds entry 269 there');
  const reading = () => page.$$eval('#inspector b', (all) => all.map((b) => b.textContent));
  const pointAt = async (canvas, x, y) => {
    await canvas.evaluate((c) => c.scrollIntoView({ block: 'center' }));
    const box = await canvas.boundingBox();
    const scale = box.width / (await canvas.evaluate((c) => c.width));
    await page.mouse.move(box.x + (x + 0.5) * scale, box.y + (y + 0.5) * scale);
  };
  const cool = page.locator('#run-digits_cool');
  await cool.locator('tbody tr').nth(0).click();
  const zeroExpected = JSON.stringify(['1', '0', '80EC', '80 EC', '0x' + (zeroAt + 2).toString(16).padStart(8, '0')]);
  for (const view of ['canvas.actual', 'canvas.zoomed']) {
    await pointAt(cool.locator(view), 1, 0);
    const got = await reading();
    check(JSON.stringify(got) === zeroExpected, `the inspector on entry 269 (1, 0) in ${view}: ${got}, not ${zeroExpected}`);
    check((await page.textContent('#inspect-bitmap')).includes('entry 269'), `the inspector names entry 269 in ${view}`);
  }
  // Outside the table there is no flash offset.
  const farewell = bitmaps.find((b) => b.run === 'farewell');
  const v = farewell.bytes.readUInt16BE(2 * (5 * 80 + 40));
  await pointAt(page.locator('#run-farewell canvas.zoomed'), 40, 5);
  const farewellExpected = JSON.stringify(['40', '5', v.toString(16).toUpperCase().padStart(4, '0'),
    farewell.bytes.subarray(2 * (5 * 80 + 40), 2 * (5 * 80 + 40) + 2).toString('hex').toUpperCase().replace(/(..)(..)/, '$1 $2'), '-']);
  check(JSON.stringify(await reading()) === farewellExpected, `the inspector on farewell (40, 5): ${await reading()}`);

  // The flash map: one segment per run of the image, in its order, then the
  // record, sized to scale, adding up to the image, each leading to its run.
  const bar = await page.$eval('#flash-bar', (e) => e.clientWidth);
  const segments = await page.$$eval('#flash-bar a', (all) => all.map((a) => ({
    href: a.getAttribute('href'), bytes: Number(a.dataset.bytes), width: a.getBoundingClientRect().width,
    title: a.title })));
  check(recordLine.length === 1 && segments.at(-1).title.startsWith(`record: 16 bytes from ${recordLine[0][4]}`),
    `the record's segment where catalogue list puts it: ${segments.at(-1).title}`);
  const inImage = runs.filter((r) => r.bitmaps[0].entry !== '-')
    .map((r) => ({ href: '#run-' + r.name, bytes: r.bitmaps.reduce((s, b) => s + b.bytes.length, 0) }))
    .concat({ href: '#flash-map', bytes: 16 });  // the record that identifies the image
  check(JSON.stringify(segments.map((s) => [s.href, s.bytes])) === JSON.stringify(inImage.map((s) => [s.href, s.bytes])),
    `a segment per run of the image, in its order, with its byte count: ${JSON.stringify(segments)}`);
  const total = segments.reduce((sum, s) => sum + s.bytes, 0);
  check(total === flash.length && total === 5892540 + 16, `the segments add up to the image: ${total}`);
  check(Math.abs(segments.reduce((sum, s) => sum + s.width, 0) - bar) < 1, 'the segments fill the bar');
  check(segments.every((s) => Math.abs(s.width - (bar * s.bytes) / flash.length) < 1), 'each segment is drawn to scale');
  await page.click('#flash-bar a[href="#run-smoke"]');
  check(await page.evaluate(() => document.querySelector(':target')?.id) === 'run-smoke', 'a segment leads to its run');

  check(errors.length === 0, `no console errors: ${errors}`);
  const outside = requests.filter((url) => !url.startsWith('file:'));
  check(outside.length === 0, `no request but the file: ${outside}`);
} finally {
  await close();
  rmSync(scratch, { recursive: true, force: true });
}
console.log(`browser: ${passes} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
