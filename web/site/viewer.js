// zevart web viewer: the two files of an art set are loaded by the zevart core
// compiled to WebAssembly (zevart.wasm), which also draws every object,
// builds the structure tree's texts and writes the saved files. This script
// is the page around it: choosing files, the controls, playback on the
// library's 150 ms tick, zoom, backgrounds, the thumbnail grid and deep links.

const KINDS = { image: 1, picture: 2, frame: 3, group: 4 };
const KIND_NAMES = { 1: 'image', 2: 'picture', 3: 'frame', 4: 'group' };
const TICK_MS = 150;
const BACKGROUNDS = { orange: 0xff7f00, black: 0x000000, white: 0xffffff };
const TRANSPARENT = -1;

// What each load result code means; the core may say more (loadReason).
const LOAD_TEXTS = {
  1: 'the art-structure file cannot be opened or does not start with "CPAL"',
  2: "a palette's colour data is shorter than its size says",
  3: 'the art-structure file is truncated or inconsistent',
  4: 'the bitmap file is unreadable or misses an image\'s pixel block',
  5: 'not enough memory for the set',
  255: 'the handle was not empty',
};

// Save formats: the core's numbers, file extensions and MIME types.
const FORMATS = {
  png: { code: 1, ext: 'png', type: 'image/png', label: 'PNG' },
  gif: { code: 2, ext: 'gif', type: 'image/gif', label: 'GIF' },
  apng: { code: 3, ext: 'png', type: 'image/apng', label: 'APNG (animated)' },
  bmp32: { code: 10, ext: 'bmp', type: 'image/bmp', label: 'BMP 32-bit' },
  bmp24: { code: 11, ext: 'bmp', type: 'image/bmp', label: 'BMP 24-bit' },
  bmp16: { code: 12, ext: 'bmp', type: 'image/bmp', label: 'BMP 16-bit' },
  bmp8: { code: 13, ext: 'bmp', type: 'image/bmp', label: 'BMP 8-bit (own palette)' },
};

// ----- the core -----

// A stopped module (a trap: memory out, or a library's error that WASI
// builds cannot unwind) is replaced by a fresh one; the set is then gone.
class CoreStopped extends Error {}

class Core {
  static async create(url) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
    const core = new Core(await WebAssembly.compile(await response.arrayBuffer()));
    await core.start();
    return core;
  }

  constructor(module) {
    this.module = module;
  }

  async start() {
    // The C library's stdio would write to descriptors that a page has not:
    // every such call is answered "not supported" (52).
    const wasi = new Proxy({}, { get: () => () => 52 });
    this.instance = await WebAssembly.instantiate(this.module, { wasi_snapshot_preview1: wasi });
    this.x = this.instance.exports;
    this.x._initialize();
  }

  call(fn) {
    try {
      return fn(this.x);
    } catch (e) {
      if (!(e instanceof WebAssembly.RuntimeError)) throw e;
      this.restart = this.start();
      throw new CoreStopped(e.message);
    }
  }

  bytes() { return new Uint8Array(this.x.memory.buffer); }
  words(at, n) { return new Uint32Array(this.x.memory.buffer, at, n); }

  text(at) {
    const m = this.bytes();
    let end = at;
    while (m[end]) end++;
    return new TextDecoder().decode(m.subarray(at, end));
  }

  string(s) {
    const b = new TextEncoder().encode(`${s}\0`);
    const at = this.x.zw_alloc(b.length);
    this.bytes().set(b, at);
    return at;
  }

  // Reads a file straight into the module's memory; resolves to its address.
  async readInto(file) {
    const at = this.call((x) => x.zw_alloc(file.size));
    if (!at) throw new CoreStopped('no memory for the file');
    let offset = 0;
    const reader = file.stream().getReader();
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      this.bytes().set(value, at + offset);
      offset += value.length;
    }
    return at;
  }

  // Loads the two files (File or Blob objects); the loader's result code.
  async load(bmp, prt) {
    const names = [];
    const blocks = [];
    // The set shown goes first: its memory takes the new files.
    this.call((x) => x.zw_close());
    try {
      const bmpAt = await this.readInto(bmp);
      blocks.push(bmpAt);
      const prtAt = await this.readInto(prt);
      blocks.push(prtAt);
      names.push(this.string(bmp.name || 'zev_art.bmp'), this.string(prt.name || 'zev_art.prt'));
      return this.call((x) => x.zw_load(names[0], bmpAt, bmp.size, names[1], prtAt, prt.size));
    } finally {
      if (!this.restart) for (const at of [...blocks, ...names]) this.x.zw_free(at);
    }
  }

  loadReason() { return this.call((x) => this.text(x.zw_load_reason())); }
  count(kind) { return this.call((x) => x.zw_count(kind)); }
  frames(group) { return this.call((x) => x.zw_frames(group)); }

  rect(kind, index) {
    return this.call((x) => {
      const [left, top, right, bottom] = new Int32Array(x.memory.buffer, x.zw_rect(kind, index), 4);
      return { left, top, right, bottom };
    });
  }

  // The object as RGBA ImageData (a group as one frame), or null when there
  // is nothing to draw. The pixels lie in the module's memory: put them on a
  // canvas before the next call.
  render(kind, index, frame, background, scale = 1) {
    return this.call((x) => this.picture(x.zw_render(kind, index, frame, background, scale)));
  }

  // The object fit into a box of `box` pixels a side; as render.
  thumb(kind, index, background, box) {
    return this.call((x) => this.picture(x.zw_thumb(kind, index, background, box)));
  }

  picture(at) {
    const [width, height, pixels] = this.words(at, 3);
    if (!width || !height) return null;
    const px = new Uint8ClampedArray(this.x.memory.buffer, pixels, width * height * 4);
    return new ImageData(px, width, height);
  }

  tree(kind, index) { return this.call((x) => this.text(x.zw_tree(kind, index))); }

  // The bytes of a saved file; throws with the core's reason when there is none.
  save(kind, index, frame, format, background, scale) {
    return this.call((x) => {
      const at = x.zw_save(kind, index, frame, format, background, scale);
      if (!at) throw new Error(this.text(x.zw_error()));
      const [size, bytes] = this.words(at, 2);
      return this.bytes().slice(bytes, bytes + size);
    });
  }
}

// ----- state -----

const $ = (id) => document.getElementById(id);
const ui = {
  status: $('status'), fileInput: $('file-input'), kind: $('kind'), index: $('index'),
  prev: $('prev'), next: $('next'), count: $('count'), viewToggle: $('view-toggle'),
  playToggle: $('play-toggle'), step: $('step'), frame: $('frame'), frameCount: $('frame-count'),
  speed: $('speed'), zoom: $('zoom'), bg: $('bg'), bgColour: $('bg-colour'),
  saveFormat: $('save-format'), saveButton: $('save-button'), stage: $('stage'),
  canvas: $('canvas'), empty: $('empty'), grid: $('grid'), gridSpace: $('grid-space'),
  treePanel: $('tree-panel'), tree: $('tree'), drop: $('drop'),
};

const state = {
  loaded: false,
  kind: KINDS.image,
  index: 0,
  frame: 0,
  playing: true,
  speed: 1,
  zoom: 1, // 1..8 or 'fit'
  bg: 'orange', // orange, checker, black, white or '#rrggbb'
  view: 'object', // or 'grid'
  lastIndex: { 1: 0, 2: 0, 3: 0, 4: 0 }, // per kind, as the viewer remembers it
  link: null, // the files' URLs when they came from a link
};
let core = null;
let pending = {}; // files chosen so far: bmp and prt
let timer = null;
// Tests and the benchmark look at these.
const page = { state, renders: 0, ticks: 0, lastLoadMs: 0, ready: false };
window.zevart = page;

function count() { return state.loaded ? core.count(state.kind) : 0; }
function frameCount() { return state.loaded && state.kind === KINDS.group ? core.frames(state.index) : 0; }

function backgroundValue() {
  if (state.bg === 'checker') return TRANSPARENT;
  if (state.bg in BACKGROUNDS) return BACKGROUNDS[state.bg];
  return parseInt(state.bg.slice(1), 16);
}

function setStatus(text, error = false) {
  ui.status.textContent = text;
  ui.status.classList.toggle('error', error);
}

// ----- loading -----

function classify(file, head) {
  const name = file.name.toLowerCase();
  if (name.endsWith('.prt')) return 'prt';
  if (name.endsWith('.bmp')) return 'bmp';
  if (head === 'CPAL') return 'prt';
  if (head.startsWith('BM')) return 'bmp';
  return null;
}

async function chooseFiles(files) {
  for (const file of files) {
    const head = new TextDecoder('latin1').decode(await file.slice(0, 4).arrayBuffer());
    const role = classify(file, head);
    if (!role) {
      setStatus(`${file.name} is neither a bitmap file (.bmp) nor an art-structure file (.prt).`, true);
      return;
    }
    pending[role] = file;
  }
  if (!pending.bmp) setStatus(`${pending.prt.name} chosen; now the bitmap file (.bmp).`);
  else if (!pending.prt) setStatus(`${pending.bmp.name} chosen; now the art-structure file (.prt).`);
  else {
    const { bmp, prt } = pending;
    pending = {};
    state.link = null;
    await loadSet(bmp, prt);
  }
}

async function loadSet(bmp, prt, view = {}) {
  stopPlayback();
  const started = performance.now();
  state.loaded = false;
  let code;
  try {
    if (core.restart) await core.restart;
    core.restart = null;
    code = await core.load(bmp, prt);
  } catch (e) {
    if (!(e instanceof CoreStopped)) throw e;
    await core.restart;
    core.restart = null;
    code = 5;
  }
  if (code !== 0) {
    const reason = code === 5 ? '' : core.loadReason();
    setStatus(`Error loading art-structure. Code ${code}: ${LOAD_TEXTS[code] || 'unknown'}`
              + `${reason ? ` (${reason})` : ''}.`, true);
    showControls(false);
    ui.grid.hidden = true;
    ui.stage.hidden = false;
    ui.tree.replaceChildren();
    draw();
    page.lastLoadMs = performance.now() - started;
    return code;
  }
  state.loaded = true;
  const counts = [1, 2, 3, 4].map((k) => core.count(k));
  setStatus(`${bmp.name || 'bitmap'} + ${prt.name || 'art structure'}: ${counts[0]} images, `
            + `${counts[1]} pictures, ${counts[2]} frames, ${counts[3]} groups.`);
  state.lastIndex = { 1: 0, 2: 0, 3: 0, 4: 0 };
  showControls(true);
  applyView(view);
  page.lastLoadMs = performance.now() - started;
  return code;
}

// Deep links name files on the same origin (or any the server lets read).
async function loadFromLink(params) {
  const names = [params.get('bmp'), params.get('prt')];
  setStatus(`Loading ${names.join(' and ')}…`);
  const blobs = [];
  for (const url of names) {
    const response = await fetch(url);
    if (!response.ok) {
      setStatus(`${url}: ${response.status} ${response.statusText}`, true);
      return;
    }
    const blob = await response.blob();
    blobs.push(new File([blob], url.split('/').pop()));
  }
  state.link = { bmp: names[0], prt: names[1] };
  await loadSet(blobs[0], blobs[1], viewFromParams(params));
}

function viewFromParams(params) {
  const view = {};
  const kind = params.get('kind');
  if (kind) view.kind = KINDS[kind] || Number(kind) || KINDS.image;
  if (params.has('index')) view.index = Number(params.get('index')) || 0;
  if (params.has('frame')) view.frame = Number(params.get('frame')) || 0;
  if (params.has('play')) view.playing = params.get('play') !== '0';
  if (params.has('speed')) view.speed = Number(params.get('speed')) || 1;
  if (params.has('zoom')) view.zoom = params.get('zoom');
  if (params.has('bg')) view.bg = params.get('bg');
  if (params.has('view')) view.view = params.get('view');
  return view;
}

// ----- controls -----

function showControls(loaded) {
  for (const id of ['select', 'look', 'save']) $(id).hidden = !loaded;
  ui.treePanel.hidden = !loaded || state.view === 'grid';
  if (!loaded) $('play').hidden = true;
}

function applyView(view) {
  // A set opens on its images, as in the Windows viewer, unless a link says.
  state.kind = view.kind >= 1 && view.kind <= 4 ? view.kind : KINDS.image;
  if (view.speed) setSpeed(view.speed);
  if (view.zoom) setZoom(view.zoom);
  if (view.bg) setBackground(view.bg);
  if (view.playing !== undefined) state.playing = view.playing;
  state.view = view.view === 'grid' && !page.embed ? 'grid' : 'object';
  ui.kind.value = String(state.kind);
  select(view.index || 0, view.frame || 0);
}

function setZoom(zoom) {
  const z = zoom === 'fit' ? 'fit' : Math.min(8, Math.max(1, Math.round(Number(zoom)) || 1));
  state.zoom = z;
  ui.zoom.value = String(z);
}

function setBackground(bg) {
  let value = String(bg).toLowerCase();
  if (/^#?[0-9a-f]{6}$/.test(value)) value = value.startsWith('#') ? value : `#${value}`;
  else if (!(value in BACKGROUNDS) && value !== 'checker') value = 'orange';
  state.bg = value;
  const custom = value.startsWith('#');
  ui.bg.value = custom ? 'custom' : value;
  ui.bgColour.hidden = !custom;
  if (custom) ui.bgColour.value = value;
  ui.stage.classList.toggle('checker', value === 'checker');
  ui.grid.classList.toggle('checker', value === 'checker');
}

function setSpeed(speed) {
  const options = [...ui.speed.options].map((o) => Number(o.value));
  state.speed = options.includes(Number(speed)) ? Number(speed) : 1;
  ui.speed.value = String(state.speed);
}

// Shows object `index` of the current kind (clamped to the table), a
// group at frame `frame`.
function select(index, frame = 0) {
  const n = count();
  state.index = n ? Math.min(Math.max(0, Math.trunc(index) || 0), n - 1) : 0;
  state.lastIndex[state.kind] = state.index;
  const frames = frameCount();
  state.frame = frames ? ((Math.trunc(frame) % frames) + frames) % frames : 0;
  ui.index.value = String(state.index);
  ui.index.max = String(Math.max(0, n - 1));
  ui.count.textContent = n ? `of ${n}` : 'none';
  ui.viewToggle.textContent = state.view === 'grid' ? 'Object' : 'Grid';
  fillSaveFormats();
  if (state.view === 'grid') {
    ui.stage.hidden = true;
    ui.grid.hidden = false;
    ui.treePanel.hidden = true;
    $('play').hidden = true;
    stopPlayback();
    layoutGrid(true);
  } else {
    ui.stage.hidden = false;
    ui.grid.hidden = true;
    ui.treePanel.hidden = !state.loaded;
    showTree();
    draw();
    setupPlayback();
  }
  updateLink();
}

function setKind(kind) {
  state.lastIndex[state.kind] = state.index;
  state.kind = kind;
  ui.kind.value = String(kind);
  select(state.lastIndex[kind]);
}

function fillSaveFormats() {
  const keep = ui.saveFormat.value;
  const names = state.kind === KINDS.group
    ? ['apng', 'gif', 'png', 'bmp32', 'bmp24', 'bmp16']
    : state.kind === KINDS.frame ? ['png', 'gif', 'bmp32', 'bmp24', 'bmp16']
      : ['png', 'gif', 'bmp32', 'bmp24', 'bmp16', 'bmp8'];
  ui.saveFormat.replaceChildren(...names.map((name) => {
    let label = FORMATS[name].label;
    if (state.kind === KINDS.group && (name === 'png' || name.startsWith('bmp'))) label += ', this frame';
    return new Option(label, name);
  }));
  if (names.includes(keep)) ui.saveFormat.value = keep;
}

// ----- the object -----

function zoomFactor(width, height) {
  if (state.zoom !== 'fit') return state.zoom;
  const style = getComputedStyle(ui.stage);
  const room = (size, a, b) => size - parseFloat(style[a]) - parseFloat(style[b]);
  const w = room(ui.stage.clientWidth, 'paddingLeft', 'paddingRight');
  const h = room(ui.stage.clientHeight, 'paddingTop', 'paddingBottom');
  const f = Math.min(w / width, h / height);
  return f >= 1 ? Math.min(8, Math.floor(f)) : Math.max(f, 0.01);
}

function draw() {
  const canvas = ui.canvas;
  const image = state.loaded ? core.render(state.kind, state.index, state.frame, backgroundValue()) : null;
  page.renders++;
  ui.empty.hidden = !!image || !state.loaded;
  if (!image) {
    canvas.width = canvas.height = 0;
    if (state.loaded) {
      const r = core.rect(state.kind, state.index);
      const [w, h] = [r.right - r.left, r.bottom - r.top];
      const what = `${KIND_NAMES[state.kind]} ${state.index}`;
      if (!count()) ui.empty.textContent = `The set has no ${KIND_NAMES[state.kind]}s.`;
      else if (w > 0 && h > 0) ui.empty.textContent = `Nothing shown: ${what} (${w} x ${h} pixels) is too large to draw.`;
      else ui.empty.textContent = `Nothing to draw: ${what} covers no pixels.`;
    }
    return;
  }
  if (canvas.width !== image.width || canvas.height !== image.height) {
    canvas.width = image.width;
    canvas.height = image.height;
  }
  canvas.getContext('2d').putImageData(image, 0, 0);
  const z = zoomFactor(image.width, image.height);
  canvas.style.width = `${image.width * z}px`;
  canvas.style.height = `${image.height * z}px`;
  ui.frame.value = String(state.frame);
}

// ----- groups: the 150 ms tick -----

function setupPlayback() {
  stopPlayback();
  const frames = frameCount();
  $('play').hidden = state.kind !== KINDS.group || state.view === 'grid';
  ui.frameCount.textContent = frames ? `of ${frames}` : '';
  ui.frame.max = String(Math.max(0, frames - 1));
  ui.playToggle.textContent = state.playing ? 'Pause' : 'Play';
  if (state.kind === KINDS.group && state.playing && frames > 1) {
    timer = setInterval(tick, TICK_MS / state.speed);
  }
}

function stopPlayback() {
  if (timer) clearInterval(timer);
  timer = null;
}

// One tick: every frame is shown for one tick, then the next, round and round.
function tick() {
  const frames = frameCount();
  if (!frames) return;
  state.frame = (state.frame + 1) % frames;
  page.ticks++;
  draw();
}

// ----- the structure tree -----

const expanded = {}; // per kind: the paths of the open nodes
const DEFAULT_OPEN = { 1: ['', '/0'], 2: ['', '/0'], 3: [''], 4: [''] };

function parseTree(text) {
  const root = { children: [] };
  const stack = [root];
  for (const line of text.split('\n')) {
    if (!line) continue;
    const depth = line.length - line.replace(/^\t+/, '').length;
    const node = { text: line.slice(depth), children: [] };
    stack.length = depth + 1;
    stack[depth].children.push(node);
    stack.push(node);
  }
  return root.children[0];
}

function showTree() {
  if (!state.loaded || state.view === 'grid') return;
  const node = count() ? parseTree(core.tree(state.kind, state.index)) : null;
  if (!expanded[state.kind]) expanded[state.kind] = new Set(DEFAULT_OPEN[state.kind]);
  ui.tree.replaceChildren(...(node ? [treeNode(node, '', expanded[state.kind])] : []));
}

// Children are made when a node is first opened: a group's tree can be large.
function treeNode(node, path, open) {
  const element = document.createElement('div');
  element.className = 'node';
  element.setAttribute('role', 'treeitem');
  const label = document.createElement('div');
  label.className = 'label';
  label.textContent = node.text;
  element.append(label);
  if (!node.children.length) return element;
  element.classList.add('branch');
  const children = document.createElement('div');
  children.className = 'children';
  element.append(children);
  const show = (on) => {
    element.classList.toggle('open', on);
    element.setAttribute('aria-expanded', String(on));
    children.hidden = !on;
    if (on && !children.childElementCount) {
      children.append(...node.children.map((child, i) => treeNode(child, `${path}/${i}`, open)));
    }
  };
  show(open.has(path));
  label.addEventListener('click', () => {
    const on = !element.classList.contains('open');
    if (on) open.add(path); else open.delete(path);
    show(on);
  });
  return element;
}

// ----- the thumbnail grid -----

const CELL_W = 112;
const CELL_H = 128;
const THUMB = 104;
const grid = { cols: 1, cells: new Map(), spare: [], todo: [], drawing: false };

// Lays the cells out anew (after a resize, a new kind or background), and
// with `toIndex` scrolls the current object into the middle.
function layoutGrid(toIndex) {
  const n = count();
  const cols = Math.max(1, Math.floor(ui.grid.clientWidth / CELL_W));
  const firstShown = Math.floor(ui.grid.scrollTop / CELL_H) * grid.cols;
  grid.cols = cols;
  ui.gridSpace.style.height = `${Math.ceil(n / cols) * CELL_H}px`;
  for (const cell of grid.cells.values()) recycle(cell);
  grid.cells.clear();
  const row = Math.floor((toIndex ? state.index : firstShown) / cols);
  ui.grid.scrollTop = Math.max(0, toIndex ? row * CELL_H - ui.grid.clientHeight / 2 : row * CELL_H);
  fillGrid();
}

function recycle(cell) {
  cell.hidden = true;
  grid.spare.push(cell);
}

function makeCell() {
  const cell = document.createElement('div');
  cell.className = 'cell';
  const canvas = document.createElement('canvas');
  canvas.width = canvas.height = THUMB;
  const label = document.createElement('span');
  cell.append(canvas, label);
  cell.addEventListener('click', () => {
    state.view = 'object';
    select(Number(cell.dataset.index));
  });
  ui.gridSpace.append(cell);
  return cell;
}

// Cells for the rows in sight and two rows either side; the others go back
// to the pool, so the page holds a few dozen cells for any number of objects.
// Thumbnails are drawn after, rows in sight first, 3 milliseconds of them
// a frame, so the scrolling never waits for a whole row.
function fillGrid() {
  const n = count();
  const top = ui.grid.scrollTop;
  const seen = [Math.floor(top / CELL_H), Math.ceil((top + ui.grid.clientHeight) / CELL_H)];
  const first = Math.max(0, seen[0] - 2) * grid.cols;
  const last = Math.min(n, (seen[1] + 2) * grid.cols);
  for (const [index, cell] of grid.cells) {
    if (index < first || index >= last) {
      recycle(cell);
      grid.cells.delete(index);
    }
  }
  for (let i = first; i < last; i++) {
    if (grid.cells.has(i)) continue;
    const cell = grid.spare.pop() || makeCell();
    cell.hidden = false;
    cell.dataset.index = String(i);
    cell.style.transform = `translate(${(i % grid.cols) * CELL_W}px, ${Math.floor(i / grid.cols) * CELL_H}px)`;
    cell.lastChild.textContent = String(i);
    cell.firstChild.getContext('2d').clearRect(0, 0, THUMB, THUMB);
    cell.drawn = false;
    grid.cells.set(i, cell);
  }
  grid.todo = [...grid.cells.entries()].filter(([, cell]) => !cell.drawn)
    .sort(([a], [b]) => Math.abs(a / grid.cols - (seen[0] + seen[1]) / 2)
                        - Math.abs(b / grid.cols - (seen[0] + seen[1]) / 2));
  drawThumbs();
}

function drawThumbs() {
  const end = performance.now() + 3;
  while (grid.todo.length && performance.now() < end) {
    const [index, cell] = grid.todo.shift();
    if (grid.cells.get(index) !== cell) continue;
    drawThumb(cell.firstChild, index);
    cell.drawn = true;
  }
  if (grid.todo.length && !grid.drawing) {
    grid.drawing = true;
    requestAnimationFrame(() => {
      grid.drawing = false;
      drawThumbs();
    });
  }
}

// The object drawn whole into the cell: shrunk to fit, or enlarged by a
// whole number so its pixels stay square.
function drawThumb(canvas, index) {
  const image = core.thumb(state.kind, index, backgroundValue(), THUMB);
  if (image) canvas.getContext('2d').putImageData(image, (THUMB - image.width) >> 1, (THUMB - image.height) >> 1);
}

let gridQueued = false;
ui.grid.addEventListener('scroll', () => {
  if (gridQueued) return;
  gridQueued = true;
  requestAnimationFrame(() => {
    gridQueued = false;
    fillGrid();
  });
});

// ----- saving -----

function fileName(format) {
  const kind = KIND_NAMES[state.kind];
  const pad = (v, n) => String(v).padStart(n, '0');
  let name = state.kind === KINDS.group ? `group-${pad(state.index, 4)}` : `${kind}-${pad(state.index, 5)}`;
  if (state.kind === KINDS.group && format !== 'apng' && format !== 'gif') name += `-${pad(state.frame, 3)}`;
  return `${name}.${FORMATS[format].ext}`;
}

function saveScale() {
  if (state.zoom !== 'fit') return state.zoom;
  const r = core.rect(state.kind, state.index);
  return Math.max(1, Math.floor(zoomFactor(r.right - r.left, r.bottom - r.top)));
}

function save() {
  const format = ui.saveFormat.value;
  let bytes;
  try {
    bytes = core.save(state.kind, state.index, state.frame, FORMATS[format].code,
                      backgroundValue(), saveScale());
  } catch (e) {
    if (e instanceof CoreStopped) coreStopped(e);
    else setStatus(`Nothing saved: ${e.message}.`, true);
    return;
  }
  const url = URL.createObjectURL(new Blob([bytes], { type: FORMATS[format].type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = fileName(format);
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
  setStatus(`Saved ${a.download} (${bytes.length} bytes).`);
}

// ----- deep links -----

function updateLink() {
  if (!state.link || page.embed) return;
  const p = new URLSearchParams({ bmp: state.link.bmp, prt: state.link.prt, kind: KIND_NAMES[state.kind],
    index: state.index });
  if (state.kind === KINDS.group) {
    p.set('frame', state.frame);
    p.set('play', state.playing ? '1' : '0');
    if (state.speed !== 1) p.set('speed', state.speed);
  }
  p.set('zoom', state.zoom);
  p.set('bg', state.bg.replace('#', ''));
  if (state.view === 'grid') p.set('view', 'grid');
  history.replaceState(null, '', `?${p}`);
}

// ----- events -----

// Anything but a load or a save that stops the module (memory out while
// drawing) leaves a fresh module without the set.
function coreStopped(error) {
  stopPlayback();
  state.loaded = false;
  showControls(false);
  ui.canvas.width = ui.canvas.height = 0;
  ui.tree.replaceChildren();
  setStatus(`The viewer's core stopped (${error.message}); open the set again.`, true);
  core.restart.then(() => { core.restart = null; });
}

function wire() {
  window.addEventListener('error', (e) => { if (e.error instanceof CoreStopped) coreStopped(e.error); });
  window.addEventListener('unhandledrejection', (e) => {
    if (e.reason instanceof CoreStopped) coreStopped(e.reason);
  });
  ui.fileInput.addEventListener('change', () => {
    chooseFiles([...ui.fileInput.files]);
    ui.fileInput.value = '';
  });
  let drags = 0;
  document.addEventListener('dragenter', (e) => { e.preventDefault(); drags++; ui.drop.hidden = false; });
  document.addEventListener('dragleave', () => { if (--drags <= 0) { drags = 0; ui.drop.hidden = true; } });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    drags = 0;
    ui.drop.hidden = true;
    if (e.dataTransfer.files.length) chooseFiles([...e.dataTransfer.files]);
  });

  ui.kind.addEventListener('change', () => setKind(Number(ui.kind.value)));
  ui.index.addEventListener('change', () => select(Number(ui.index.value)));
  ui.prev.addEventListener('click', () => select(state.index - 1));
  ui.next.addEventListener('click', () => select(state.index + 1));
  ui.viewToggle.addEventListener('click', () => {
    state.view = state.view === 'grid' ? 'object' : 'grid';
    select(state.index);
  });
  ui.playToggle.addEventListener('click', togglePlay);
  ui.step.addEventListener('click', () => {
    state.playing = false;
    setupPlayback();
    tick();
    updateLink();
  });
  ui.frame.addEventListener('change', () => {
    state.playing = false;
    select(state.index, Number(ui.frame.value));
  });
  ui.speed.addEventListener('change', () => { setSpeed(ui.speed.value); setupPlayback(); updateLink(); });
  ui.zoom.addEventListener('change', () => { setZoom(ui.zoom.value); draw(); updateLink(); });
  ui.bg.addEventListener('change', () => {
    setBackground(ui.bg.value === 'custom' ? ui.bgColour.value : ui.bg.value);
    redrawAll();
  });
  ui.bgColour.addEventListener('input', () => { setBackground(ui.bgColour.value); redrawAll(); });
  ui.saveButton.addEventListener('click', save);
  window.addEventListener('resize', () => {
    if (state.view === 'grid') layoutGrid(false);
    else if (state.zoom === 'fit') draw();
  });
  document.addEventListener('keydown', (e) => {
    if (!state.loaded || e.altKey || e.ctrlKey || e.metaKey) return;
    const typing = e.target instanceof HTMLInputElement || e.target instanceof HTMLSelectElement;
    const moves = { ArrowLeft: state.index - 1, ArrowRight: state.index + 1, Home: 0, End: count() - 1 };
    if (e.key in moves && !typing) {
      e.preventDefault();
      select(moves[e.key]);
    } else if (e.key === ' ' && !typing && state.kind === KINDS.group) {
      e.preventDefault();
      togglePlay();
    }
  });
}

function togglePlay() {
  state.playing = !state.playing;
  setupPlayback();
  updateLink();
}

function redrawAll() {
  if (state.view === 'grid') layoutGrid(false);
  else draw();
  updateLink();
}

async function main() {
  const params = new URLSearchParams(location.search);
  page.embed = params.get('embed') === '1';
  document.body.classList.toggle('embed', page.embed);
  wire();
  try {
    core = await Core.create(new URL('zevart.wasm', import.meta.url));
  } catch (e) {
    setStatus(`The viewer's core could not be started: ${e.message}`, true);
    return;
  }
  Object.assign(page, {
    core, select, setKind, tick, fillGrid, gridColumns: () => grid.cols, load: loadSet,
  });
  if (params.has('bmp') && params.has('prt')) await loadFromLink(params);
  page.ready = true;
}

main();
