// The system's browsers, headless, both driven by puppeteer-core: Chromium
// over the DevTools protocol, Firefox (firefox-esr) over WebDriver BiDi; never
// a browser that a tool downloads. Both are wrapped in the same few calls the
// scripts use. With the browser, its driver (npm ci) or a recent enough
// Node.js missing, the scripts exit with 77, which ctest reports as skipped.
import { existsSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

export const SKIP = 77;
const paths = {
  chromium: process.env.CHROMIUM ?? '/usr/bin/chromium',
  firefox: process.env.FIREFOX ?? '/usr/bin/firefox-esr',
};
const packages = { chromium: 'chromium', firefox: 'firefox-esr' };
const driver = 'puppeteer-core';

function skip(why) {
  console.log(`skipped: ${why}`);
  process.exit(SKIP);
}

// A page of either browser: what the scripts do with it.
function wrap(page, { setViewport, emulateMedia, cdp, close }) {
  const errors = [], requests = [];
  page.on('request', (r) => requests.push(r.url()));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  page.on('pageerror', (e) => errors.push(e.message));
  return {
    errors, requests,
    goto: (url) => page.goto(url),
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    // Whether fn(arg) came true within the time given.
    async waitFor(fn, arg, timeout = 5000) {
      const until = Date.now() + timeout;
      while (!(await page.evaluate(fn, arg))) {
        if (Date.now() > until) return false;
        await new Promise((resolve) => setTimeout(resolve, 50));
      }
      return true;
    },
    wait: (ms) => new Promise((resolve) => setTimeout(resolve, ms)),
    move: (x, y) => page.mouse.move(x, y),
    click: (x, y) => page.mouse.click(x, y),
    tap: (x, y) => page.touchscreen.tap(x, y),
    // The mouse wheel turned by dy pixels at (x, y).
    async wheel(x, y, dy) {
      await page.mouse.move(x, y);
      await page.mouse.wheel({ deltaY: dy });
    },
    // A key, or one with a modifier held: "Shift+ArrowDown".
    async press(key) {
      const [held, pressed] = key.length > 1 && key.includes('+') ? key.split('+') : [null, key];
      if (held) await page.keyboard.down(held);
      await page.keyboard.press(pressed);
      if (held) await page.keyboard.up(held);
    },
    setViewport,
    // 'print' or 'screen' (Chromium only; null in Firefox).
    emulateMedia,
    // The window's pixels as a PNG, saved when given a path.
    screenshot: async (path) => Buffer.from(await page.screenshot({ path })),
    cdp,
    close,
  };
}

// What this machine lacks to start the browser named, or null.
async function missing(name) {
  const node = Number(process.versions.node.split('.')[0]);
  if (node < 20) return `the browser driver needs Node.js 20 or later, this is ${process.version}`;
  if (!existsSync(paths[name])) return `no ${name} at ${paths[name]} (apt-get install ${packages[name]})`;
  try {
    await import(driver);
  } catch (error) {
    return `${driver} cannot be loaded (${error.message.split('\n')[0]}): (cd tests/browser && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)`;
  }
  return null;
}

// `node browser.mjs BROWSER` asks only whether the tests can start it: exit
// status 0, or 77 saying why not, as they would be skipped.
if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const why = await missing(process.argv[2]);
  if (why) skip(why);
}

// Starts the browser named ('chromium' or 'firefox'), or exits as skipped.
export async function launch(name = 'chromium') {
  const why = await missing(name);
  if (why) skip(why);
  const puppeteer = (await import(driver)).default;
  const chromium = name === 'chromium';
  // Firefox takes reduced motion as a preference of the whole browser: a
  // second one, started when first asked for, has it.
  const start = (prefs = {}) => puppeteer.launch(chromium ? {
    browser: 'chrome', executablePath: paths.chromium, headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-component-update'],
  } : {
    browser: 'firefox', executablePath: paths.firefox, headless: true,
    extraPrefsFirefox: { 'network.proxy.type': 0, 'browser.shell.checkDefaultBrowser': false, ...prefs },
  });
  const browser = await start();
  let calm = null;
  return {
    name,
    // viewport {width, height}; dpr: device pixels to a CSS pixel; touch:
    // taps work; reducedMotion: the page is told the reader asks for less
    // motion; forcedColors: the system forces its colours (Chromium only);
    // init: a script run before the page's.
    async newPage({ viewport, dpr = 1, touch = false, reducedMotion = false, forcedColors = false, init } = {}) {
      // In Chromium each page has a context of its own, as a new window would.
      const owner = chromium ? await browser.createBrowserContext()
        : reducedMotion ? (calm ??= await start({ 'ui.prefersReducedMotion': 1 })) : browser;
      const page = await owner.newPage();
      const setViewport = (size) => page.setViewport({ ...size, deviceScaleFactor: dpr, hasTouch: touch });
      await setViewport(viewport);
      // Chromium's media, with the features asked for, in one call that
      // sets both (puppeteer's own calls know nothing of forced colours).
      const media = chromium ? await page.createCDPSession() : null;
      const emulateMedia = media && ((type = '') => media.send('Emulation.setEmulatedMedia', { media: type, features: [
        { name: 'prefers-reduced-motion', value: reducedMotion ? 'reduce' : 'no-preference' },
        { name: 'forced-colors', value: forcedColors ? 'active' : 'none' }] }));
      await emulateMedia?.();
      // Nothing but the file itself may be fetched.
      await page.setRequestInterception(true);
      page.on('request', (r) => (r.url().startsWith('file:') ? r.continue() : r.abort()));
      if (init) await page.evaluateOnNewDocument(init);
      return wrap(page, {
        setViewport,
        emulateMedia: emulateMedia || null,
        cdp: chromium ? () => page.createCDPSession() : null,
        close: () => (chromium ? owner.close() : page.close()),
      });
    },
    close: () => Promise.all([browser, calm].filter(Boolean).map((b) => b.close())),
  };
}
