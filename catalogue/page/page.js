// The catalogue page: decodes each run's pixel bytes as the program carries
// them (RGB565, high byte first, row-major) and shows every run playing, the
// listing of its bitmaps, a pixel inspector and a map of the flash image.
'use strict';

const catalogue = JSON.parse(document.getElementById('catalogue').textContent);

function decodeBase64(text) {
  if (Uint8Array.fromBase64) return Uint8Array.fromBase64(text);
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// RGB565 as stored, high byte first, to RGBA: each channel widened to 8 bits
// by bit replication, as the previews do (5-bit 31 becomes 255, 0 stays 0).
function toImageData(bytes, width, height) {
  const image = new ImageData(width, height);
  const rgba = image.data;
  for (let i = 0; i < width * height; ++i) {
    const value = (bytes[2 * i] << 8) | bytes[2 * i + 1];
    const r = value >> 11, g = (value >> 5) & 63, b = value & 31;
    rgba[4 * i] = (r << 3) | (r >> 2);
    rgba[4 * i + 1] = (g << 2) | (g >> 4);
    rgba[4 * i + 2] = (b << 3) | (b >> 2);
    rgba[4 * i + 3] = 255;
  }
  return image;
}

const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');
const grouped = (n) => n.toLocaleString('en');

function element(tag, properties = {}, children = []) {
  const e = Object.assign(document.createElement(tag), properties);
  e.append(...children);
  return e;
}

// A bitmap's bytes are decoded when it is first drawn or pointed at.
for (const run of catalogue.runs) for (const bitmap of run.bitmaps) bitmap.run = run;
function bytesOf(bitmap) {
  bitmap.decoded ??= decodeBase64(bitmap.pixels);
  return bitmap.decoded;
}
function imageOf(bitmap) {
  bitmap.image ??= toImageData(bytesOf(bitmap), bitmap.width, bitmap.height);
  return bitmap.image;
}

// The pixel inspector: every canvas maps to the bitmap it shows now.
const shownOn = new WeakMap();
const inspector = document.getElementById('inspector');
const field = (name) => document.getElementById('inspect-' + name);

function inspect(event) {
  const canvas = event.currentTarget, bitmap = shownOn.get(canvas)();
  const box = canvas.getBoundingClientRect();
  const x = Math.floor(((event.clientX - box.left) * bitmap.width) / box.width);
  const y = Math.floor(((event.clientY - box.top) * bitmap.height) / box.height);
  if (x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) return;
  const at = 2 * (y * bitmap.width + x), high = bytesOf(bitmap)[at], low = bytesOf(bitmap)[at + 1];
  const rgba = imageOf(bitmap).data.subarray(2 * at, 2 * at + 3);
  const name = bitmap.entry === '-' ? bitmap.run.name : 'entry ' + bitmap.entry;
  field('bitmap').textContent = `${bitmap.run.name}: ${name}`;
  field('x').textContent = x;
  field('y').textContent = y;
  field('value').textContent = hex((high << 8) | low, 4);
  field('bytes').textContent = `${hex(high, 2)} ${hex(low, 2)}`;
  field('offset').textContent =
    bitmap.offset === null ? '-' : '0x' + (bitmap.offset + at).toString(16).padStart(8, '0');
  document.getElementById('swatch').style.background = `rgb(${rgba.join(',')})`;
  inspector.classList.add('active');
}

function bitmapCanvas(width, height, shows) {
  const canvas = element('canvas', { width, height });
  shownOn.set(canvas, shows);
  canvas.addEventListener('pointermove', inspect);
  return canvas;
}

// A run's player: the current bitmap at 1x and zoomed, play, pause and step.
class Player {
  constructor(run) {
    this.run = run;
    this.frame = 0;
    this.playing = false;
    const first = run.bitmaps[0], current = () => run.bitmaps[this.frame];
    this.actual = bitmapCanvas(first.width, first.height, current);
    this.zoomed = bitmapCanvas(first.width, first.height, current);
    this.actual.className = 'actual';
    this.zoomed.className = 'zoomed';
    this.playButton = element('button', { className: 'play', textContent: 'Play', onclick: () => this.toggle() });
    const step = (by, text, className) =>
      element('button', { className, textContent: text, title: 'one frame', onclick: () => this.step(by) });
    this.frameText = element('span', { className: 'frame' });
    const zoom = element('select', { title: 'zoom', onchange: () => this.setZoom(Number(zoom.value)) },
      [1, 2, 3, 4, 5, 6, 8].map((z) => element('option', { value: z, textContent: z + '\u00d7', selected: z === run.zoom })));
    this.zoomCaption = element('figcaption');
    this.rows = run.bitmaps.map((b, i) =>
      element('tr', { onclick: () => this.pauseAt(i, true) },
        [b.entry, b.size, grouped(b.bytes), b.offsetText, b.crc32].map((text) => element('td', { textContent: text }))));
    this.listing = element('div', { className: 'listing' }, [element('table', {}, [
      element('thead', {}, [element('tr', {}, ['entry', 'size', 'bytes', 'offset', 'crc32'].map((t) => element('th', { textContent: t })))]),
      element('tbody', {}, this.rows)])]);
    const many = run.bitmaps.length > 1;
    this.strip = many && !run.animated
      ? run.bitmaps.map((b) => {
          const canvas = bitmapCanvas(b.width, b.height, () => b);
          canvas.getContext('2d').putImageData(imageOf(b), 0, 0);
          canvas.onclick = () => this.pauseAt(run.bitmaps.indexOf(b), true);
          return canvas;
        })
      : [];
    const entries = run.bitmaps[0].entry === '-' ? 'outside bitmap_table'
      : `entries ${run.bitmaps[0].entry}\u2013${run.bitmaps[run.bitmaps.length - 1].entry}`;
    this.section = element('section', { className: 'run', id: 'run-' + run.name }, [
      element('h2', {}, [run.name + ' ', element('small', { textContent:
        `${entries} \u00b7 ${run.bitmaps.length} \u00d7 ${first.size}` +
        (run.animated ? ` \u00b7 ${run.fps} frames a second` : '') })]),
      element('div', {}, [
        element('div', { className: 'views' }, [
          element('figure', {}, [this.actual, element('figcaption', { textContent: '1\u00d7' })]),
          element('figure', {}, [this.zoomed, this.zoomCaption])]),
        element('div', { className: 'controls' }, many
          ? [this.playButton, step(-1, '\u25c0 step', 'back'), step(1, 'step \u25b6', 'forward'), zoom, this.frameText]
          : [zoom, this.frameText]),
        element('div', { className: 'strip' }, this.strip)]),
      this.listing]);
    this.setZoom(run.zoom);
    this.show(0);
    if (run.animated) this.play();
  }

  setZoom(zoom) {
    for (const canvas of [this.zoomed, ...this.strip]) {
      canvas.style.width = canvas.width * zoom + 'px';
      canvas.style.height = canvas.height * zoom + 'px';
    }
    this.zoomCaption.textContent = zoom + '\u00d7';
  }

  show(frame) {
    const bitmap = this.run.bitmaps[frame];
    this.rows[this.frame].classList.remove('current');
    this.frame = frame;
    this.rows[frame].classList.add('current');
    for (const canvas of [this.actual, this.zoomed]) canvas.getContext('2d').putImageData(imageOf(bitmap), 0, 0);
    this.frameText.textContent = `${frame + 1} of ${this.run.bitmaps.length} \u00b7 ` +
      (bitmap.entry === '-' ? this.run.name : 'entry ' + bitmap.entry);
    this.section.dataset.frame = frame;
  }

  play() {
    this.playing = true;
    this.startTime = performance.now();
    this.startFrame = this.frame;
    this.playButton.textContent = 'Pause';
  }

  pauseAt(frame, reveal) {
    this.playing = false;
    this.playButton.textContent = 'Play';
    this.show(frame);
    if (reveal) this.rows[frame].scrollIntoView({ block: 'nearest' });
  }

  toggle() {
    if (this.playing) this.pauseAt(this.frame, true);
    else this.play();
  }

  step(by) {
    const count = this.run.bitmaps.length;
    this.pauseAt((this.frame + by + count) % count, true);
  }

  tick(now) {
    if (!this.playing) return;
    const elapsed = Math.max(0, now - this.startTime);
    const frame = (this.startFrame + Math.floor((elapsed * this.run.fps) / 1000)) % this.run.bitmaps.length;
    if (frame !== this.frame) this.show(frame);
  }
}

// The flash map: the image as one bar, a segment per run, widths to scale.
function flashMap() {
  const inImage = catalogue.runs
    .map((run) => ({ run, bitmaps: run.bitmaps.filter((b) => b.offset !== null) }))
    .filter((s) => s.bitmaps.length)
    .map((s) => ({ ...s, start: s.bitmaps[0].offset, bytes: s.bitmaps.reduce((sum, b) => sum + b.bytes, 0) }))
    .sort((a, b) => a.start - b.start);
  const bar = document.getElementById('flash-bar'), legend = document.getElementById('flash-legend');
  inImage.forEach((s, i) => {
    const colour = `hsl(${(i * 360) / inImage.length} 55% 65%)`;
    const title = `${s.run.name}: ${grouped(s.bytes)} bytes from ${s.bitmaps[0].offsetText}`;
    bar.append(element('a', { href: '#run-' + s.run.name, textContent: s.run.name, title }));
    Object.assign(bar.lastChild.style, { flexGrow: s.bytes, background: colour });
    bar.lastChild.dataset.bytes = s.bytes;
    legend.append(element('a', { href: '#run-' + s.run.name, title },
      [element('span', { textContent: '\u25a0 ', style: `color: ${colour}` }),
        `${s.run.name} ${(100 * s.bytes / catalogue.imageLength).toFixed(2)} %`]));
  });
  // After the pixel arrays, the record that identifies the image (and any
  // padding before it): a few bytes, in the bar for the sum, in the legend.
  catalogue.imageEnd.forEach((s) => {
    const title = `${s.name}: ${grouped(s.bytes)} bytes from ${s.offsetText}` +
      (s.name === 'record' ? ', which identifies the image' : '');
    bar.append(element('a', { href: '#flash-map', textContent: s.name, title }));
    Object.assign(bar.lastChild.style, { flexGrow: s.bytes, background: '#fff' });
    bar.lastChild.dataset.bytes = s.bytes;
    legend.append(element('span', { textContent: `${s.name} ${grouped(s.bytes)} bytes at ${s.offsetText}`, title }));
  });
  const outside = catalogue.runs.filter((run) => run.bitmaps.every((b) => b.offset === null));
  if (outside.length)
    legend.append(element('span', { textContent: 'not in the image:' }), ...outside.map((run) =>
      element('a', { href: '#run-' + run.name, textContent: run.name })));
}

const count = catalogue.runs.reduce((sum, run) => sum + run.bitmaps.length, 0);
document.getElementById('summary').textContent =
  `${count} bitmaps in ${catalogue.runs.length} runs, shown from the bytes the program carries. ` +
  `Flash image: ${grouped(catalogue.imageLength)} bytes, to scale:`;
flashMap();
const players = catalogue.runs.map((run) => new Player(run));
document.getElementById('runs').append(...players.map((p) => p.section));

function tick(now) {
  for (const player of players) player.tick(now);
  requestAnimationFrame(tick);
}
requestAnimationFrame((now) => {
  // Every run's first bitmap is drawn; this frame shows them.
  performance.mark('first-frames-drawn');
  document.documentElement.dataset.ready = performance.now().toFixed(1);
  tick(now);
});
