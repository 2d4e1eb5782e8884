// The catalogue page: decodes each run's pixel bytes as the program carries
// them (RGB565, high byte first, row-major) and shows every run playing, the
// listing of its bitmaps, a pixel inspector and a map of the flash image.
// It draws only what is in view, and nothing while the tab is hidden; a
// worker draws the runs, off the thread that lays out the page and answers
// the reader.
'use strict';

// A run's pixel bytes come deflated (the zlib format) and in base64: the page
// decodes the base64, the worker inflates.
async function inflate(deflated) {
  const stream = new DecompressionStream('deflate'), writer = stream.writable.getWriter();
  const written = Promise.all([writer.write(deflated), writer.close()]);
  const [bytes] = await Promise.all([new Response(stream.readable).arrayBuffer(), written]);
  return new Uint8Array(bytes);
}

// Each bitmap's own stretch of its run's pixel bytes.
function placePixels(bitmaps, pixels) {
  let at = 0;
  for (const bitmap of bitmaps) bitmap.pixels = pixels.subarray(at, (at += 2 * bitmap.width * bitmap.height));
}

function decodeBase64(text) {
  if (Uint8Array.fromBase64) return Uint8Array.fromBase64(text);
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// An RGB565 value to red, green and blue: each channel widened to 8 bits by
// bit replication, as the previews do (5-bit 31 becomes 255, 0 stays 0).
function rgbOf(value) {
  const r = value >> 11, g = (value >> 5) & 63, b = value & 31;
  return [(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)];
}

// A bitmap's pixels as stored (RGB565, high byte first) to RGBA.
// (Written channel by channel: a bitmap's worth of small arrays would cost
// a slow machine a frame.)
function toImageData(bytes, width, height) {
  const image = new ImageData(width, height), rgba = image.data;
  for (let i = 0; i < width * height; ++i) {
    const rgb = rgbOf((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    rgba[4 * i] = rgb[0];
    rgba[4 * i + 1] = rgb[1];
    rgba[4 * i + 2] = rgb[2];
    rgba[4 * i + 3] = 255;
  }
  return image;
}

const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');
// An offset in the flash image as `catalogue list` writes it, "0x0059e14e",
// or "-" where there is none (a bitmap outside the image).
const offsetText = (offset) => (offset === null ? '-' : '0x' + offset.toString(16).padStart(8, '0'));
// A count with its digits in threes, "25,600", as toLocaleString('en') would
// put it, without the 20 ms that starting the browser's number formatting takes.
const grouped = (n) => String(n).replace(/\B(?=(\d{3})+$)/g, ',');
// A bitmap as the commands name it, "smoke:22", with its table entry.
const nameOf = (bitmap) => bitmap.name + (bitmap.entry === null ? '' : ' \u00b7 entry ' + bitmap.entry);

function element(tag, properties = {}, children = []) {
  const e = Object.assign(document.createElement(tag), properties);
  e.append(...children);
  return e;
}

// A run playing: from bitmap `frame` at time `at` (ms since the epoch, the
// clock the page and its worker share), `fps` bitmaps a second, round its
// `count`. The bitmap it shows at time t, and when the next is due after t:
// the page and the worker that draws go by the same two rules.
function frameAt({ frame, at, fps, count }, t) {
  return (frame + Math.floor((Math.max(0, t - at) * fps) / 1000)) % count;
}
function dueAfter({ at, fps }, t) {
  return at + ((Math.floor((Math.max(0, t - at) * fps) / 1000) + 1) * 1000) / fps;
}
const clock = () => performance.timeOrigin + performance.now();
// A frame's work begins this long (ms) before the bitmap it shows is due.
const early = 12;

// The worker that draws every run: it inflates a run's pixel bytes, keeps
// them and gives the page a copy; then the run's two canvases are handed to
// it (OffscreenCanvas), and it is told what the run shows (a bitmap, or
// playing from one) and whether its views are in view. A run playing costs
// the page's own thread nothing per frame. For a font it also makes each
// glyph an image (a PNG) for the page's strip.
// It answers the page with { answer, value }: 'inflated:' and the run's name
// with the bytes, 'drawn:' when a run is first drawn, 'strip:' with the glyphs.
// It draws a run's first bitmap when given the run, then only runs in view,
// nothing while the tab is hidden, and for runs playing asks for a frame
// only when one of them is due to show its next bitmap: a timer wakes it a
// little before, and the frame after shows the bitmaps due by the time that
// frame can be on screen.
// A bitmap's colours are worked out once, when it is first drawn, and kept as
// an ImageBitmap: from then on a frame is a copy (drawImage), not a conversion.
function drawer() {
  const runs = new Map(), pixelsOf = new Map();
  const answer = (key, value, transfer) => postMessage({ answer: key, value }, transfer ?? []);
  const nextFrame = self.requestAnimationFrame ? (f) => requestAnimationFrame(f) : (f) => setTimeout(f);
  let hidden = false, asked = false;
  const shows = (run, t) => (run.play ? frameAt(run.play, t) : run.frame);
  function draw(run, frame) {
    const bitmap = run.bitmaps[frame];
    if (!bitmap.drawable && !bitmap.image) {
      bitmap.image = toImageData(bitmap.pixels, bitmap.width, bitmap.height);
      createImageBitmap(bitmap.image).then((drawable) => {
        bitmap.drawable = drawable;
        bitmap.image = null;
      });
    }
    for (const context of run.contexts) {
      if (bitmap.drawable) context.drawImage(bitmap.drawable, 0, 0);
      else context.putImageData(bitmap.image, 0, 0);
    }
    if (run.drawn < 0) answer('drawn:' + run.name);
    run.drawn = frame;
  }
  function animate() {
    const moving = [...runs.values()].filter((run) => run.play && run.visible);
    if (asked || hidden || !moving.length) return;
    asked = true;
    const wait = Math.min(...moving.map((run) => dueAfter(run.play, clock() + early))) - clock();
    if (wait > early + 8) setTimeout(() => nextFrame(tick), wait - early + 4);
    else nextFrame(tick);
  }
  function tick() {
    asked = false;
    const soon = clock() + early;
    for (const run of runs.values()) {
      if (run.play && run.visible && shows(run, soon) !== run.drawn) draw(run, shows(run, soon));
    }
    animate();
  }
  async function strip({ name, bitmaps }) {
    const glyphs = await Promise.all(bitmaps.map(({ pixels, width, height }) => {
      const canvas = new OffscreenCanvas(width, height);
      canvas.getContext('2d').putImageData(toImageData(pixels, width, height), 0, 0);
      return canvas.convertToBlob();
    }));
    answer('strip:' + name, glyphs);
  }
  onmessage = async ({ data }) => {
    if ('hidden' in data) {
      hidden = data.hidden;
    } else if (data.deflated) {
      try {
        const pixels = await inflate(data.deflated), copy = pixels.slice();
        pixelsOf.set(data.name, pixels);
        answer('inflated:' + data.name, copy, [copy.buffer]);
      } catch (error) {
        answer('inflated:' + data.name, String(error));  // the page says so
      }
      return;
    } else {
      if (data.views) {
        placePixels(data.bitmaps, pixelsOf.get(data.name));
        runs.set(data.name, { name: data.name, contexts: data.views.map((view) => view.getContext('2d')),
          bitmaps: data.bitmaps, frame: 0, play: null, visible: false, drawn: -1 });
        if (data.strip) strip(runs.get(data.name));
      }
      const run = runs.get(data.name);
      for (const key of ['frame', 'play', 'visible']) if (key in data) run[key] = data[key];
      const frame = shows(run, clock() + early);
      if ((run.visible || run.drawn < 0) && frame !== run.drawn) draw(run, frame);
    }
    animate();
  };
}
let painter = null;
const answers = new Map();
function startPainter() {
  const source = ["'use strict';", inflate, placePixels, rgbOf, toImageData, frameAt, dueAfter,
    `const clock = ${clock}, early = ${early};`, drawer, 'drawer();'];
  painter = new Worker(URL.createObjectURL(new Blob([source.join('\n')], { type: 'text/javascript' })));
  painter.onmessage = ({ data }) => answers.get(data.answer)?.(data.value);
}
// The worker's answer to come: 'drawn:smoke', say.
const answerOf = (key) => new Promise((resolve) => answers.set(key, resolve));

// The one live region: what the reader's own actions bring (a reading, a
// step, Play or Pause) is said; the frames of a run playing are not.
const say = (text) => { document.getElementById('spoken').textContent = text; };

// The pixel inspector: every canvas maps to the bitmap it shows now. It reads
// the pixel under the pointer, under a tap, or under a view's keyboard cursor,
// and reads it again whenever that view moves on to another bitmap. What the
// reader does (a move, a step, a pause) is also said to screen readers; a
// run playing under a still pointer is not.
const shownOn = new WeakMap();
const inspector = document.getElementById('inspector');
const field = (name) => document.getElementById('inspect-' + name);
let inspected = null;  // { canvas, x, y }

// (`bitmap`: the one the view shows now, unless told.)
function readInspected(speak, bitmap = shownOn.get(inspected.canvas)()) {
  const { x, y } = inspected;
  const at = 2 * (y * bitmap.width + x), high = bitmap.pixels[at], low = bitmap.pixels[at + 1];
  const value = (high << 8) | low;
  field('bitmap').textContent = nameOf(bitmap);
  field('x').textContent = x;
  field('y').textContent = y;
  field('value').textContent = hex(value, 4);
  field('bytes').textContent = `${hex(high, 2)} ${hex(low, 2)}`;
  field('offset').textContent = offsetText(bitmap.offset === null ? null : bitmap.offset + at);
  document.getElementById('swatch').style.background = `rgb(${rgbOf(value).join(',')})`;
  inspector.classList.add('active');
  if (speak) say(inspector.querySelector('.reading').textContent.replace(/\s+/g, ' ').trim());
}

function inspectAt(canvas, x, y) {
  const same = inspected?.canvas === canvas && inspected.x === x && inspected.y === y;
  inspected = { canvas, x, y };
  readInspected(!same);
}

function stopInspecting(canvas) {
  if (!inspected || (canvas && inspected.canvas !== canvas)) return;
  inspected = null;
  inspector.classList.remove('active');
  say('');
}

// The pixel under the pointer is the one painted there: the browser paints a
// box with its edges moved to whole device pixels, where its layout may put
// them between two, and gives each device pixel the bitmap's pixel under its
// middle (at a ratio such as 1.25, not always the one under its left or top
// edge; where the middle falls on the border of two, either, as the browser's
// arithmetic has it).
function inspectPointer(event) {
  const canvas = event.currentTarget, bitmap = shownOn.get(canvas)();
  const box = canvas.getBoundingClientRect(), ratio = devicePixelRatio;
  const painted = (from, to, at, count) => {
    const first = Math.round(from * ratio);
    return Math.floor(((Math.floor(at * ratio) - first + 0.5) * count) / (Math.round(to * ratio) - first));
  };
  const x = painted(box.left, box.right, event.clientX, bitmap.width);
  const y = painted(box.top, box.bottom, event.clientY, bitmap.height);
  if (x >= 0 && y >= 0 && x < bitmap.width && y < bitmap.height) inspectAt(canvas, x, y);
}

function bitmapCanvas(width, height, shows) {
  return inspectable(element('canvas', { width, height }), shows);
}

// A view (a canvas, or a glyph's image) the inspector reads: `shows` gives
// the bitmap it shows now.
function inspectable(view, shows) {
  shownOn.set(view, shows);
  view.addEventListener('pointermove', inspectPointer);
  view.addEventListener('pointerdown', inspectPointer);
  // A finger lifted leaves its reading; a mouse or pen moved away clears it.
  view.addEventListener('pointerleave', (event) => event.pointerType !== 'touch' && stopInspecting(view));
  return view;
}

// A glyph of a strip: an image, which the browser paints with the page,
// where a canvas would be a layer of its own to commit with every frame of a
// run playing. Its picture, a PNG, comes from the worker.
function glyphView(bitmap) {
  const { width, height } = bitmap;
  return inspectable(element('img', { width, height, alt: bitmap.name, draggable: false }), () => bitmap);
}
function showGlyph(glyph, png) {
  glyph.onload = () => URL.revokeObjectURL(glyph.src);
  glyph.src = URL.createObjectURL(png);
}

// A list of choices with one tab stop: the arrow keys move the focus, Enter
// or Space chooses.
function roving(items, choose, { vertical, container }) {
  let focused = 0;
  const focusOn = (i) => {
    items[focused].tabIndex = -1;
    focused = i;
    items[i].tabIndex = 0;
  };
  items.forEach((item, i) => {
    item.tabIndex = i ? -1 : 0;
    item.addEventListener('focus', () => focusOn(i));
  });
  container.addEventListener('keydown', (event) => {
    const page = vertical ? 10 : 0;
    const to = { ArrowUp: -1, ArrowLeft: -1, ArrowDown: 1, ArrowRight: 1, PageUp: -page, PageDown: page,
      Home: -Infinity, End: Infinity }[event.key];
    if (to) {
      focusOn(Math.min(items.length - 1, Math.max(0, focused + to)));
      items[focused].focus({ preventScroll: vertical });
      if (vertical) keepInView(container, items[focused]);
    } else if (event.key === 'Enter' || event.key === ' ') {
      choose(focused);
    } else {
      return;
    }
    event.preventDefault();
  });
  return { focusOn, has: () => container.contains(document.activeElement) };
}

// Where a listing must be scrolled, and only the listing, for the line to
// show below its header, or null where it shows. (Read before the page is
// written to in the same turn, it costs no layout.)
function scrollFor(listing, row) {
  const box = listing.getBoundingClientRect(), line = row.getBoundingClientRect();
  const head = listing.querySelector('thead').offsetHeight;
  if (line.top < box.top + head) return listing.scrollTop - (box.top + head - line.top);
  if (line.bottom > box.top + listing.clientHeight) return listing.scrollTop + line.bottom - box.top - listing.clientHeight;
  return null;
}
// Scrolls it there, noting where, so that a scroll of the reader's own can be
// told from the page's.
function scrollListing(listing, to) {
  if (to === null) return;
  listing.scrollTop = to;
  listing.dataset.scrolledTo = listing.scrollTop;
}
const keepInView = (listing, row) => scrollListing(listing, scrollFor(listing, row));

// The page itself follows a run playing in view only to move its listing's
// line on (at most every `lineEvery` ms), and, while the inspector reads one
// of its views, to read each bitmap shown: a timer wakes it then, and no
// frame is asked for.
const players = [];
let woken = false;
function animate() {
  const moving = players.filter((p) => p.playing && p.visible);
  if (woken || document.hidden || !moving.length) return;
  woken = true;
  setTimeout(tick, Math.max(0, Math.min(...moving.map((p) => p.due())) - early - clock()));
}
function tick() {
  woken = false;
  const soon = clock() + early;
  for (const player of players) if (player.playing && player.visible) player.tick(soon);
  animate();
}

// How often a playing run's listing moves its line on, at most (ms).
const lineEvery = 250;

const reducedMotion = matchMedia('(prefers-reduced-motion: reduce)');

// A run's player: the current bitmap at 1x and zoomed, play, pause and step.
// Keys within the run: "." and "," step, "p" plays or pauses; on the enlarged
// view the arrow keys move the inspector's pixel cursor.
class Player {
  constructor(run) {
    this.run = run;
    this.frame = 0;
    this.marked = 0;
    this.markedAt = -Infinity;
    this.keptInView = 0;  // the line the listing was last scrolled to show
    this.playing = false;
    this.visible = false;
    this.zoom = run.zoom;
    const many = run.bitmaps.length > 1;
    this.buildViews();
    this.buildListing();
    this.buildStrip(many && !run.animated);
    this.section = element('section', { className: 'run', id: 'run-' + run.name }, [
      this.heading(),
      element('div', { className: 'player' }, [this.controls(many), this.views, this.stripBox]),
      this.listing]);
    if (many) this.stepKeys();
    this.handOver();
    this.show(0);
    if (run.animated && !reducedMotion.matches) this.play(false);
  }

  // The views handed to the worker, which has the run's bytes: `drawn` comes
  // true once it has drawn them, and a font's glyph images come from it.
  handOver() {
    const { name, bitmaps } = this.run;
    this.drawn = answerOf('drawn:' + name);
    const glyphs = this.strip.length ? answerOf('strip:' + name) : null;
    const views = [this.actual, this.zoomed].map((canvas) => canvas.transferControlToOffscreen());
    painter.postMessage({ name, views, bitmaps: bitmaps.map(({ width, height }) => ({ width, height })), strip: !!glyphs }, views);
    glyphs?.then(async (pngs) => {
      // A few at a time: each image the browser starts to load costs a slow
      // machine some milliseconds.
      for (const [i, png] of pngs.entries()) {
        if (i && i % 4 === 0) await new Promise((resolve) => setTimeout(resolve));
        showGlyph(this.strip[i], png);
      }
    });
  }

  // The current bitmap at 1x and enlarged, with the enlarged view's pixel
  // cursor, which the arrow keys move.
  buildViews() {
    const first = this.run.bitmaps[0], current = () => this.run.bitmaps[this.shown()];
    this.actual = bitmapCanvas(first.width, first.height, current);
    this.zoomed = bitmapCanvas(first.width, first.height, current);
    this.actual.className = 'actual';
    this.zoomed.className = 'zoomed';
    this.zoomed.tabIndex = 0;
    this.cursor = { x: 0, y: 0, box: element('div', { className: 'cursor', hidden: true }) };
    // The cursor shows when the view is reached from the keyboard, not clicked.
    this.zoomed.addEventListener('focus', () => this.zoomed.matches(':focus-visible') && this.moveCursor(0, 0));
    this.zoomed.addEventListener('blur', () => this.clearCursor());
    this.zoomed.addEventListener('keydown', (event) => {
      const by = event.shiftKey ? 10 : 1;
      const move = { ArrowLeft: [-by, 0], ArrowRight: [by, 0], ArrowUp: [0, -by], ArrowDown: [0, by] }[event.key];
      if (!move) return;
      this.moveCursor(...move);
      event.preventDefault();
    });
    this.zoomCaption = element('figcaption');
    this.views = element('div', { className: 'views' }, [
      element('figure', {}, [this.actual, element('figcaption', { textContent: '1\u00d7' })]),
      element('figure', {}, [element('div', { className: 'zoom-box' }, [this.zoomed, this.cursor.box]), this.zoomCaption])]);
  }

  // Play, the steps (for a run of more than one bitmap), the zoom and the
  // name of the bitmap shown.
  controls(many) {
    this.playButton = element('button', { className: 'play', textContent: 'Play', onclick: () => this.toggle() });
    this.playButton.setAttribute('aria-keyshortcuts', 'P');
    const step = (by, text, className, key) => {
      const button = element('button', { className, textContent: text, title: `one frame (${key})`, onclick: () => this.step(by) });
      button.setAttribute('aria-keyshortcuts', key);
      return button;
    };
    this.frameText = element('span', { className: 'frame' });
    this.zoomChoice = element('select', { onchange: () => this.fitZoom(room) },
      [1, 2, 3, 4, 5, 6, 8].map((z) => element('option', { value: z, textContent: z + '\u00d7', selected: z === this.run.zoom })));
    const zoomLabel = element('label', {}, ['zoom ', this.zoomChoice]);
    return element('div', { className: 'controls' }, many
      ? [this.playButton, step(-1, '\u25c0 step', 'back', ','), step(1, 'step \u25b6', 'forward', '.'), zoomLabel, this.frameText]
      : [zoomLabel, this.frameText]);
  }

  // The run's name, its table entries and the size of its bitmaps.
  heading() {
    const { name, bitmaps, animated, fps } = this.run, first = bitmaps[0];
    const entries = first.entry === null ? 'outside bitmap_table' : `entries ${first.entry}\u2013${bitmaps.at(-1).entry}`;
    return element('h2', {}, [name + ' ', element('small', { textContent:
      `${entries} \u00b7 ${bitmaps.length} \u00d7 ${first.size}` + (animated ? ` \u00b7 ${fps} frames a second` : '') })]);
  }

  // The listing: a line for each bitmap, one tab stop for them all.
  buildListing() {
    const run = this.run;
    this.rows = run.bitmaps.map((b, i) =>
      element('tr', { onclick: () => this.pauseAt(i) },
        [b.name, b.entry ?? '-', b.size, grouped(b.bytes), offsetText(b.offset), b.crc32].map((text) => element('td', { textContent: text }))));
    const body = element('tbody', {}, this.rows);
    // The lines are the listing's one tab stop, not its scroll box as well.
    this.listing = element('div', { className: 'listing', tabIndex: -1 }, [element('table', {}, [
      element('thead', {}, [element('tr', {}, ['name', 'entry', 'size', 'bytes', 'offset', 'crc32'].map((t) => element('th', { textContent: t })))]),
      body])]);
    // The line shown is kept in view until the reader scrolls the listing
    // away from where the page put it; what the reader then does in the run
    // (a step, Play, a line chosen) brings it back.
    // (A wheel or a finger says so at once: Firefox's smooth scroll reports
    // its steps late; a scroll bar dragged is told by where the box now is.)
    this.following = true;
    const away = () => { this.following = false; };
    this.listing.addEventListener('wheel', away, { passive: true });
    this.listing.addEventListener('touchmove', away, { passive: true });
    this.listing.addEventListener('scroll', () => {
      if (Math.abs(this.listing.scrollTop - (this.listing.dataset.scrolledTo ?? 0)) >= 1) away();
    });
    this.listing.firstChild.setAttribute('role', 'grid');
    this.listing.firstChild.setAttribute('aria-label', `${run.name}: Enter or Space shows the bitmap of the focused line`);
    this.rows.forEach((row) => row.setAttribute('aria-selected', 'false'));
    this.rowFocus = roving(this.rows, (i) => this.pauseAt(i), { vertical: true, container: this.listing });
  }

  // A font's glyphs side by side, each a choice (an empty strip for a run
  // that plays).
  buildStrip(glyphs) {
    this.strip = glyphs
      ? this.run.bitmaps.map((b, i) => {
          const glyph = glyphView(b);
          glyph.onclick = () => this.pauseAt(i);
          glyph.setAttribute('role', 'option');
          glyph.setAttribute('aria-selected', 'false');
          glyph.setAttribute('aria-label', b.name);
          return glyph;
        })
      : [];
    this.stripBox = element('div', { className: 'strip' }, this.strip);
    if (!glyphs) return;
    this.stripBox.setAttribute('role', 'listbox');
    this.stripBox.setAttribute('aria-orientation', 'horizontal');
    this.stripBox.setAttribute('aria-label', `${this.run.name}, every glyph: Enter or Space shows it`);
    this.glyphFocus = roving(this.strip, (i) => this.pauseAt(i), { vertical: false, container: this.stripBox });
  }

  // Within the run, "." and "," step and "p" plays or pauses.
  stepKeys() {
    this.section.addEventListener('keydown', (event) => {
      if (event.target.tagName === 'SELECT' || event.ctrlKey || event.altKey || event.metaKey) return;
      const action = { '.': () => this.step(1), ',': () => this.step(-1), p: () => this.toggle() }[event.key];
      if (!action) return;
      action();
      event.preventDefault();
    });
  }

  // The chosen zoom, or the largest below it that fits the room [width, height].
  fitZoom([wide, tall]) {
    let zoom = Number(this.zoomChoice.value);
    const { width, height } = this.run.bitmaps[0];
    while (zoom > 1 && (width * zoom > wide || height * zoom > tall)) --zoom;
    if (zoom === this.zoom && this.zoomCaption.textContent) return;
    this.zoom = zoom;
    for (const view of [this.zoomed, ...this.strip]) {
      view.style.width = width * zoom + 'px';
      view.style.height = height * zoom + 'px';
    }
    this.zoomCaption.textContent = zoom + '\u00d7' + (zoom < Number(this.zoomChoice.value) ? ' (to fit)' : '');
    this.placeCursor();
  }

  moveCursor(dx, dy) {
    const bitmap = this.run.bitmaps[this.shown()], c = this.cursor;
    c.x = Math.min(bitmap.width - 1, Math.max(0, c.x + dx));
    c.y = Math.min(bitmap.height - 1, Math.max(0, c.y + dy));
    c.box.hidden = false;
    this.placeCursor();
    c.box.scrollIntoView({ block: 'nearest', inline: 'nearest' });
    inspectAt(this.zoomed, c.x, c.y);
  }

  clearCursor() {
    this.cursor.box.hidden = true;
    stopInspecting(this.zoomed);
  }

  placeCursor() {
    const c = this.cursor;
    Object.assign(c.box.style, { left: c.x * this.zoom + 'px', top: c.y * this.zoom + 'px',
      width: this.zoom + 'px', height: this.zoom + 'px' });
  }

  // What the run's views show now: while it plays, told by the clock, as the
  // worker draws it.
  shown() {
    return this.playing ? frameAt(this.playback, clock() + early) : this.frame;
  }

  // Tells the worker what the run shows.
  tell(what) {
    painter.postMessage({ name: this.run.name, ...what });
  }

  // Shows a frame; said to screen readers when the reader chose it (with the
  // reading, when a view of this run is inspected).
  show(frame, speak) {
    const bitmap = this.run.bitmaps[frame];
    if (speak) this.following = true;
    // Playing, the listing's line (and the glyph strip's mark) moves on at
    // most every `lineEvery` ms: a line repainted costs a slow machine as
    // much as the frame itself. Paused or stepped, it is the bitmap shown.
    const now = clock(), mark = !this.playing || now - this.markedAt >= lineEvery;
    const scrollTo = mark && this.visible && this.following ? scrollFor(this.listing, this.rows[frame]) : null;
    if (mark) this.markLine(frame, now);
    this.frame = frame;
    if (!this.playing) this.tell({ frame, play: null });
    if (this.visible && mark && this.following) {
      scrollListing(this.listing, scrollTo);
      this.keptInView = frame;
    }
    // Playing, the frames are named in the listing: nothing of the page but
    // now and then the line's colour changes (the worker draws the views),
    // and the page is not laid out anew.
    if (!this.playing) this.name(nameOf(bitmap));
    this.section.dataset.frame = frame;
    if (this.inspecting()) readInspected(speak, bitmap);
    else if (speak) say(nameOf(bitmap));
  }

  // The listing's line and the strip's glyph of a bitmap marked as the one shown.
  markLine(frame, now) {
    for (const [line, on] of [[this.rows[this.marked], false], [this.rows[frame], true]]) {
      line.classList.toggle('current', on);
      line.setAttribute('aria-selected', on);
    }
    if (this.strip.length) {
      this.strip[this.marked].setAttribute('aria-selected', 'false');
      this.strip[frame].setAttribute('aria-selected', 'true');
    }
    this.marked = frame;
    this.markedAt = now;
    if (!this.rowFocus.has()) this.rowFocus.focusOn(frame);
    if (this.glyphFocus && !this.glyphFocus.has()) this.glyphFocus.focusOn(frame);
  }

  // What the player and its enlarged view say they show.
  name(text, shown = text) {
    this.frameText.textContent = text;
    this.zoomed.setAttribute('aria-label', `${shown}, enlarged: the arrow keys move the inspector's pixel cursor`);
  }

  // Whether the views are on screen: called as they come and go.
  seen(visible) {
    this.visible = visible;
    this.tell({ visible });
    if (!visible) return;
    // (Read only when the line has moved on: the page may be in the middle
    // of being built, and a layout read now would be a whole page's layout.)
    if (this.following && this.keptInView !== this.marked) {
      keepInView(this.listing, this.rows[this.marked]);
      this.keptInView = this.marked;
    }
    animate();
  }

  // Plays from the frame shown; said when the reader pressed Play.
  play(speak = true) {
    this.playing = true;
    this.playback = { frame: this.frame, at: clock(), fps: this.run.fps, count: this.run.bitmaps.length };
    this.tell({ play: this.playback });
    this.playButton.textContent = 'Pause';
    this.name(`playing, ${this.run.bitmaps.length} frames`, `${this.run.name} playing`);
    if (speak) {
      this.following = true;
      say(`${this.run.name} playing from ${nameOf(this.run.bitmaps[this.frame])}`);
    }
    animate();
  }

  // When the page next follows the run playing: at its next bitmap while one
  // of its views is inspected, else at the first due once its line may move on.
  due() {
    const soon = clock() + early;
    return dueAfter(this.playback, this.inspecting() ? soon : Math.max(soon, this.markedAt + lineEvery + early));
  }

  inspecting() {
    return inspected?.canvas === this.actual || inspected?.canvas === this.zoomed;
  }

  pauseAt(frame) {
    this.playing = false;
    this.playButton.textContent = 'Play';
    this.show(frame, true);
  }

  toggle() {
    if (this.playing) this.pauseAt(this.shown());
    else this.play();
  }

  step(by) {
    const count = this.run.bitmaps.length;
    this.pauseAt((this.shown() + by + count) % count);
  }

  tick(soon) {
    const frame = frameAt(this.playback, soon);
    if (frame !== this.frame) this.show(frame);
  }
}

// The flash map, drawn whole from the head of the data: the image as one
// bar, a segment per run in image order, widths to scale, then the segments
// after the pixel arrays (the record); the legend beneath gives each run's
// share and names the runs outside the image.
function mapImage({ imageLength, imageRuns, imageEnd, outside }) {
  const bar = document.getElementById('flash-bar'), legend = document.getElementById('flash-legend');
  const segment = (s, href, background) => {
    const a = element('a', { href, textContent: s.name, tabIndex: -1,
      title: `${s.name}: ${grouped(s.bytes)} bytes from ${offsetText(s.offset)}` +
        (s.name === 'record' ? ', which identifies the image' : '') });
    Object.assign(a.style, { flexGrow: s.bytes, background });
    a.dataset.bytes = s.bytes;
    bar.append(a);
    return a;
  };
  imageRuns.forEach((s, i) => {
    // Hues a golden angle apart stay apart however many runs there are; light
    // enough for the dark names on them to read (contrast 5:1 at the least).
    const colour = `hsl(${(i * 137.5) % 360} 55% 70%)`, href = '#run-' + s.name;
    const { title } = segment(s, href, colour);
    legend.append(element('a', { href, title }, [element('span', { className: 'key', textContent: '\u25a0 ', style: `color: ${colour}` }),
      `${s.name} ${(100 * s.bytes / imageLength).toFixed(2)} %`]));
  });
  for (const s of imageEnd) {
    const { title } = segment(s, '#flash-map', '#fff');
    legend.append(element('span', { textContent: `${s.name} ${grouped(s.bytes)} bytes at ${offsetText(s.offset)}`, title }));
  }
  if (outside.length) legend.append(element('span', { textContent: 'not in the image:' }));
  for (const name of outside) legend.append(element('a', { href: '#run-' + name, textContent: name }));
}

// Marks, once painted, the frame that shows what has just been drawn.
function markPainted(name, then) {
  requestAnimationFrame(() => {
    // A message posted in the frame arrives after its paint.
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      performance.mark(name);
      then?.();
    };
    channel.port2.postMessage(null);
  });
}

// The data follows this script in the page, an element for each piece: a
// head with all that the flash map and the summary need, then one for each
// run. The map and the summary are drawn from the head, and each run of the
// first screen as soon as the parser has gone past its element, long before
// the last has arrived.
const runList = document.getElementById('runs');
const runData = document.getElementsByClassName('catalogue-run');
let headRead = false, runsRead = 0;
let placed = Promise.resolve();  // the runs are placed in their order

// Below the first screen, runs wait for the end of the data: the parser is
// not kept from it by building what nobody sees yet.
const later = [];
let screenFull = false;

// A run's pixel bytes, inflated by the worker.
async function unpack(run) {
  const inflated = answerOf('inflated:' + run.name), deflated = decodeBase64(run.pixels);
  painter.postMessage({ name: run.name, deflated }, [deflated.buffer]);
  const pixels = await inflated;
  if (typeof pixels === 'string') throw new Error(`${run.name}: its pixel bytes do not inflate: ${pixels}`);
  return pixels;
}

async function placeRun(run, pixels) {
  placePixels(run.bitmaps, pixels);
  if (screenFull) {
    later.push(run);
    return;
  }
  addRun(run);
  // Laid out and painted in a frame of its own; after it, whether the first
  // screen is full is read from that frame's layout, at no cost.
  await nextFrame();
  if (screenFull || runList.getBoundingClientRect().bottom < innerHeight) return;
  // The map, the summary and every run that begins on the first screen, once
  // the worker has drawn them.
  screenFull = true;
  await Promise.all(players.map((player) => player.drawn));
  markPainted('first-screen-drawn');
}

// The room an enlarged view has, [width, height]: a run's width (every run is
// as wide as the list) and the window's height below the inspector. Read
// once before anything is built, then told by the observers as it changes,
// never read back from the page just written.
const room = [parseFloat(getComputedStyle(runList).width), innerHeight - inspector.offsetHeight];
const fitAll = () => players.forEach((player) => player.fitZoom(room));

function addRun(run) {
  const player = new Player(run);
  player.fitZoom(room);
  runList.append(player.section);
  byViews.set(player.views, player);
  watcher.observe(player.views);
  // The first run is the top of the first screen.
  if (!players.length) player.drawn.then(() => markPainted('first-run-drawn'));
  players.push(player);
}

// Lets the browser lay out and paint the run just built, and take input,
// before the next is built: after a frame (or a moment, in a hidden tab).
const nextFrame = () => new Promise((resolve) => {
  requestAnimationFrame(() => setTimeout(resolve));
  if (document.hidden) setTimeout(resolve, 100);
});

// The elements the parser has gone past: all of them once the page is loaded.
function readData(loaded) {
  const whole = (e) => loaded || e.nextSibling;
  if (!headRead) {
    const data = document.querySelector('.catalogue-head');
    if (!data || !whole(data)) return;
    headRead = true;
    const head = JSON.parse(data.textContent);
    mapImage(head);
    document.getElementById('summary').textContent =
      `${head.bitmapCount} bitmaps in ${head.runCount} runs, shown from the bytes the program carries. ` +
      `Flash image: ${grouped(head.imageLength)} bytes, to scale:`;
  }
  for (; runsRead < runData.length && whole(runData[runsRead]); ++runsRead) {
    // One at a time, in order, each read when the one before is placed: the
    // first run is not kept waiting by the rest, nor one task by them all.
    const data = runData[runsRead];
    placed = placed.then(async () => {
      const run = JSON.parse(data.textContent);
      await placeRun(run, await unpack(run));
    });
  }
}

// With every run read, those below the first screen.
async function finish() {
  parsing?.disconnect();
  readData(true);
  await placed;
  for (const run of later) {
    await nextFrame();
    addRun(run);
  }
  await Promise.all(players.map((player) => player.drawn));
  if (!screenFull) markPainted('first-screen-drawn');
  screenFull = true;
  // Every run's first bitmap is drawn, and the flash map.
  markPainted('first-frames-drawn', () => {
    document.documentElement.dataset.ready = performance.now().toFixed(1);
  });
}

const byViews = new Map();
let watcher = null, parsing = null;

// The page's life, in a browser that has what it needs (index.html has told
// any other reader what is missing, and this does nothing there).
function start() {
  addEventListener('resize', () => {
    room[1] = innerHeight - inspector.offsetHeight;
    fitAll();
  });
  new ResizeObserver(([entry]) => {
    room[0] = entry.contentRect.width;
    fitAll();
  }).observe(runList);
  // Whatever is scrolled to lands below the inspector, however many lines it takes.
  new ResizeObserver(() => {
    document.documentElement.style.setProperty('--inspector-height', inspector.offsetHeight + 8 + 'px');
    room[1] = innerHeight - inspector.offsetHeight;
    fitAll();
  }).observe(inspector);
  // Escape clears the keyboard's cursor and the reading.
  addEventListener('keydown', (event) => {
    if (event.key !== 'Escape') return;
    players.forEach((player) => { player.cursor.box.hidden = true; });
    stopInspecting();
  });
  startPainter();
  document.addEventListener('visibilitychange', () => {
    painter.postMessage({ hidden: document.hidden });
    animate();
  });
  watcher = new IntersectionObserver((entries) => {
    for (const entry of entries) byViews.get(entry.target).seen(entry.isIntersecting);
  });
  readData(false);
  if (document.readyState === 'loading') {
    // Told of each piece of the data as the parser adds it to the page.
    parsing = new MutationObserver(() => readData(false));
    parsing.observe(document.body, { childList: true });
    document.addEventListener('DOMContentLoaded', finish);
  } else {
    finish();
  }
}
if (!document.documentElement.classList.contains('lacking')) start();
