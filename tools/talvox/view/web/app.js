// The editor page: fetches what it draws from the server, turns the user's
// mouse and keys into the server's changes, plays through Web Audio.
import * as api from './api.js';
import { draw, layout, laneAt, yToHz, hzToY, pitchTargets, pitchRangeOf, LEFT } from './draw.js';
import { Viewport } from './viewport.js';

const $ = (id) => document.getElementById(id);
const canvas = $('canvas');
const ctx = canvas.getContext('2d');
const state = {
  info: null, elements: [], marks: null, f0: null, waves: null, spectrum: null, vp: null, lanes: null,
  settings: { ceiling: 5000, range: 40, snap: true },
  selection: null, drag: null, playhead: null, pitchStroke: null, pitchRange: [50, 400],
  mouseSample: 0, fetchId: 0, marksId: 0, f0Id: 0,
};
const TARGET_PICK = 6;  // pixels within which a drag takes a pitch target
// For the browser tests: when the page first showed everything, and how it
// stands.
window.talvox = { state, openedAt: null, draws: 0, lastError: null };

function message(text, isError = false) {
  const el = $('message');
  el.textContent = text;
  el.className = isError ? 'error' : '';
  if (isError) window.talvox.lastError = text;
}

function seconds(sample) { return (sample / state.info.rate).toFixed(sample < state.info.rate * 10 ? 4 : 2); }

function updateStatus(notes = []) {
  const vp = state.vp;
  const sel = state.selection && state.selection.to > state.selection.from
    ? `selection ${seconds(state.selection.from)}–${seconds(state.selection.to)} s` : 'no selection';
  $('status').textContent = `${seconds(vp.start)}–${seconds(vp.end())} s · ${sel}` + (notes.length ? ` · ${notes.join(' · ')}` : '');
  $('undo').disabled = !state.info.canUndo;
  $('redo').disabled = !state.info.canRedo;
  $('undo').title = state.info.canUndo ? `Undo ${state.info.undoLabel} (Ctrl+Z)` : 'Nothing to undo';
  $('redo').title = state.info.canRedo ? `Redo ${state.info.redoLabel} (Ctrl+Y)` : 'Nothing to redo';
  $('paste').disabled = !state.info.clipboard;
  $('save-textgrid').disabled = !state.info.textGrid;
  $('save-textgrid').title = state.info.textGrid ? `Save ${state.info.textGridFile} (Ctrl+Alt+S)` : 'No TextGrid file name is known';
}

let frameQueued = false;
function redraw() {
  if (frameQueued) return;
  frameQueued = true;
  requestAnimationFrame(() => {
    frameQueued = false;
    const notes = draw(ctx, state);
    window.talvox.draws++;
    updateStatus(notes);
  });
}

function resize() {
  const box = $('view').getBoundingClientRect();
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.floor(box.width * ratio);
  canvas.height = Math.floor(box.height * ratio);
  ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
  state.lanes = layout(box.width, box.height, state.info.channels);
  if (!state.vp) state.vp = new Viewport(state.info.length, state.lanes.plotWidth);
  else state.vp.resize(state.lanes.plotWidth);
}

function visibleStretch() {
  const vp = state.vp;
  return { from: Math.max(0, Math.floor(vp.start)), to: Math.min(state.info.length, Math.ceil(vp.end()) + 1),
    columns: Math.max(1, Math.round(vp.width)) };
}

// The signal views of the visible stretch; a newer request wins.
async function fetchView() {
  const id = ++state.fetchId, { from, to, columns } = visibleStretch();
  const [waves, spectrum] = await Promise.all([
    api.getWave(from, to, columns, state.info.channels),
    api.getSpectrogram(from, to, columns),
    refreshF0(),
  ]);
  if (id !== state.fetchId) return;
  state.waves = waves;
  state.spectrum = { data: spectrum, columns: spectrum.length / 64 };
  redraw();
}

// The F0 track is computed by the server after each change of the signal;
// until it is done the server gives the one before (not current), and the
// page asks again.
let f0Timer = null;
async function refreshF0() {
  const id = ++state.f0Id, { from, to, columns } = visibleStretch();
  const f0 = await api.getF0(from, to, columns);
  if (id !== state.f0Id) return;
  state.f0 = f0;
  const timeline = window.talvox.timeline;
  if (f0.current && timeline && !timeline.f0) timeline.f0 = performance.now();
  clearTimeout(f0Timer);
  if (!f0.current) f0Timer = setTimeout(() => refreshF0().then(redraw, (e) => message(e.message, true)), 250);
  redraw();
}

let viewTimer = null;
function viewChanged() {
  redraw();
  clearTimeout(viewTimer);
  viewTimer = setTimeout(() => Promise.all([fetchView(), refreshMarks()]).catch((e) => message(e.message, true)), 30);
}

async function refreshElements() {
  state.elements = (await api.getJson('elements')).elements;
}
// Only the marks of the visible stretch: an hour holds 200 000.
async function refreshMarks() {
  const id = ++state.marksId, { from, to, columns } = visibleStretch();
  const marks = await api.getMarks(from, to, columns);
  if (id === state.marksId) state.marks = marks;
}
async function refreshAnnotation(knownInfo = null) {
  const [info] = await Promise.all([knownInfo || api.getJson('info'), refreshElements(), refreshMarks()]);
  state.info = info;
  if (state.vp && state.vp.length !== info.length) {
    state.vp.length = info.length;
    state.vp.clamp();
  }
}

// Runs a change on the server; a refusal is shown and nothing changes.
// Changes of the elements alone wait only for the element table; the marks
// (whose F0 depends on the elements) follow. Changes of marks and pitch
// leave the elements as they were.
async function change(path, body, done) {
  const elementsOnly = path.startsWith('boundary/') || path === 'description';
  const marksOnly = path.startsWith('mark/') || path.startsWith('pitch/');
  const t0 = performance.now();
  try {
    const info = await api.post(path, body);
    const posted = performance.now();
    if (elementsOnly && info.length === state.info.length) {
      state.info = info;
      await refreshElements();
      window.talvox.lastChange = { path, postMs: posted - t0, elementsMs: performance.now() - posted };
      refreshMarks().then(redraw, (e) => message(e.message, true));
    } else if (marksOnly && info.length === state.info.length) {
      state.info = info;
      await refreshMarks();
      window.talvox.lastChange = { path, postMs: posted - t0, marksMs: performance.now() - posted,
        marksBytes: state.marks.bytes };
    } else {
      await refreshAnnotation();
    }
    if (done) message(done);
    viewChanged();
    return true;
  } catch (e) {
    message(`${e.message}`, true);
    await refreshAnnotation().catch(() => {});
    redraw();
    return false;
  }
}

// ---------------------------------------------------------------- audio
let audio = null, playing = null;
async function play(kind) {
  stop();
  const vp = state.vp, sel = state.selection;
  let from = Math.floor(vp.start), to = Math.ceil(vp.end());
  if (kind === 'all') { from = 0; to = state.info.length; }
  if ((kind === 'selection' || kind === 'resynth') && sel && sel.to > sel.from) { from = sel.from; to = sel.to; }
  to = Math.min(to, state.info.length);
  try {
    audio = audio || new AudioContext();
    const path = kind === 'resynth' ? 'resynthesis' : 'audio';
    const buffer = await audio.decodeAudioData(await api.getBytes(path, { from, to }));
    const source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    const begin = audio.currentTime;
    playing = { source, from, to, begin, duration: buffer.duration };
    source.onended = () => { if (playing && playing.source === source) stop(); };
    source.start();
    animatePlayhead();
    message(kind === 'resynth' ? 'playing the new pitch' : '');
  } catch (e) { message(`cannot play: ${e.message}`, true); }
}
function animatePlayhead() {
  if (!playing) return;
  const elapsed = audio.currentTime - playing.begin;
  state.playhead = playing.from + Math.min(1, elapsed / playing.duration) * (playing.to - playing.from);
  redraw();
  requestAnimationFrame(animatePlayhead);
}
function stop() {
  if (playing) {
    try { playing.source.stop(); } catch (_) { /* already ended */ }
    if ($('message').textContent.startsWith('playing')) message('');
  }
  playing = null;
  state.playhead = null;
  redraw();
}

// ---------------------------------------------------------------- mouse
function canvasPoint(event) {
  const box = canvas.getBoundingClientRect();
  return { x: event.clientX - box.left, y: event.clientY - box.top };
}
function sampleAt(x) {
  return Math.max(0, Math.min(state.info.length, Math.round(state.vp.sample(x - LEFT))));
}
// The drawn pitch target nearest the point, within a few pixels.
function nearestTarget(p) {
  let best = null, bestDistance = TARGET_PICK;
  for (const t of pitchTargets(state.marks)) {
    const x = LEFT + state.vp.x(t.middle), y = hzToY(state.lanes.pitch, state.pitchRange, t.hz);
    const distance = Math.hypot(x - p.x, y - p.y);
    if (distance <= bestDistance) { best = { ...t, x }; bestDistance = distance; }
  }
  return best;
}

canvas.addEventListener('mousedown', async (event) => {
  if (event.button !== 0) return;
  const p = canvasPoint(event);
  if (p.x < LEFT) return;
  const lane = laneAt(state.lanes, p.y), sample = sampleAt(p.x), scale = state.vp.scale();
  if (lane === 'pitch') {
    const target = nearestTarget(p);
    if (target) { state.drag = { kind: 'target', target, startY: p.y, y: p.y }; redraw(); return; }
    state.drag = { kind: 'pitch' }; state.pitchStroke = [p]; return;
  }
  const drag = { kind: 'pending', startX: p.x, startSample: sample, x: p.x };
  state.drag = drag;
  let hit = { boundary: null, mark: null };
  if (lane === 'elements' || lane === 'marks') try { hit = await api.getJson('hit', { position: sample, scale }); } catch (e) { message(e.message, true); }
  if (event.shiftKey) {
    state.drag = null;
    if (lane === 'marks' && hit.mark) return change('mark/delete', { position: hit.mark.position, scale }, 'mark deleted');
    if (hit.boundary) return change('boundary/delete', hit.boundary, 'boundary deleted');
    return message('nothing to delete here');
  }
  if (state.drag !== drag) return;  // released before the answer came
  if (lane === 'marks' && hit.mark) Object.assign(drag, { kind: 'mark', mark: hit.mark });
  else if (lane === 'elements' && hit.boundary)
    Object.assign(drag, { kind: 'boundary', boundary: hit.boundary });
  else Object.assign(drag, { kind: 'select' });
  if (drag.kind === 'select') state.selection = { from: sample, to: sample, anchor: sample };
  if (drag.released) finishDrag(drag, drag.releasedX);
  redraw();
});

window.addEventListener('mousemove', (event) => {
  if (!state.info) return;
  const p = canvasPoint(event);
  state.mouseSample = sampleAt(p.x);
  $('position').textContent = `${seconds(state.mouseSample)} s (${state.mouseSample})`;
  const drag = state.drag;
  if (!drag) {
    const near = laneAt(state.lanes, p.y) === 'pitch' && nearestTarget(p);
    canvas.style.cursor = near ? 'ns-resize' : '';
    return;
  }
  if (drag.kind === 'target') {
    const lane = state.lanes.pitch;
    drag.y = Math.max(lane.y, Math.min(lane.y + lane.h, p.y));
    return redraw();
  }
  drag.x = Math.max(LEFT, Math.min(LEFT + state.vp.width, p.x));
  if (drag.kind === 'select') {
    const a = state.selection.anchor, b = sampleAt(drag.x);
    state.selection = { from: Math.min(a, b), to: Math.max(a, b), anchor: a };
  }
  if (drag.kind === 'pitch') state.pitchStroke.push(p);
  redraw();
});

window.addEventListener('mouseup', (event) => {
  const drag = state.drag;
  if (!drag) return;
  if (drag.kind === 'target') return finishDrag(drag, drag.target.x);
  const x = Math.max(LEFT, Math.min(LEFT + state.vp.width, canvasPoint(event).x));
  if (drag.kind === 'pending') { drag.released = true; drag.releasedX = x; return; }
  finishDrag(drag, x);
});

async function finishDrag(drag, x) {
  state.drag = null;
  const sample = sampleAt(x), scale = state.vp.scale();
  const moved = Math.abs(x - drag.startX) >= 2;
  window.talvox.lastDrop = sample;
  if (drag.kind === 'boundary' && moved) {
    const t0 = performance.now();
    await change('boundary/move', { ...drag.boundary, position: sample, snap: state.settings.snap ? 'zerocross' : 'none' });
    window.talvox.lastDragMs = performance.now() - t0;
  } else if (drag.kind === 'mark' && moved) {
    await change('mark/move', { from: drag.mark.position, to: sample, scale, snap: state.settings.snap ? 'maximum' : 'none' });
  } else if (drag.kind === 'target') {
    if (Math.abs(drag.y - drag.startY) >= 2) {
      const hertz = yToHz(state.lanes.pitch, state.pitchRange, drag.y);
      window.talvox.lastTarget = { position: Math.floor(drag.target.middle), hertz };
      await change('pitch/move', { position: Math.floor(drag.target.middle), hertz }, 'pitch target moved: R plays it');
    }
  } else if (drag.kind === 'pitch') {
    const stroke = state.pitchStroke || [];
    state.pitchStroke = null;
    const points = stroke.map((p) => [sampleAt(p.x), yToHz(state.lanes.pitch, state.pitchRange, p.y)]);
    if (points.length) await change('pitch/draw', { points }, 'new pitch drawn: R plays it');
  } else if (drag.kind === 'select' && !moved) {
    state.selection = null;
  }
  redraw();
}

canvas.addEventListener('dblclick', (event) => {
  const p = canvasPoint(event);
  if (laneAt(state.lanes, p.y) !== 'elements') return;
  const sample = sampleAt(p.x);
  const index = state.elements.findIndex((e) => e.start <= sample && sample < e.end);
  if (index < 0) return;
  const e = state.elements[index], editor = $('desc-editor');
  editor.hidden = false;
  editor.style.left = `${LEFT + Math.max(0, state.vp.x(e.start))}px`;
  editor.style.top = `${state.lanes.elements.y}px`;
  editor.style.width = `${Math.max(80, Math.min(300, state.vp.x(e.end) - state.vp.x(e.start)))}px`;
  editor.value = e.desc;
  editor.dataset.element = index;
  editor.focus();
  editor.select();
});
$('desc-editor').addEventListener('keydown', async (event) => {
  const editor = $('desc-editor');
  if (event.key === 'Enter') {
    editor.hidden = true;
    await change('description', { element: Number(editor.dataset.element), text: editor.value }, 'description kept');
  } else if (event.key === 'Escape') editor.hidden = true;
  event.stopPropagation();
});

canvas.addEventListener('wheel', (event) => {
  event.preventDefault();
  const p = canvasPoint(event);
  if (event.shiftKey || Math.abs(event.deltaX) > Math.abs(event.deltaY)) state.vp.scroll((event.deltaX || event.deltaY) * 0.5);
  else state.vp.zoom(Math.pow(1.0015, event.deltaY), event.ctrlKey ? p.x - LEFT : state.vp.width / 2);
  viewChanged();
}, { passive: false });

// ---------------------------------------------------------------- acts
function selectionOrRefuse() {
  const s = state.selection;
  if (!s || s.to <= s.from) { message('select a stretch first', true); return null; }
  return s;
}
const acts = {
  'play-selection': () => play(state.selection && state.selection.to > state.selection.from ? 'selection' : 'visible'),
  'play-visible': () => play('visible'),
  'play-all': () => play('all'),
  'play-resynth': () => { if (selectionOrRefuse()) play('resynth'); },
  stop,
  'zoom-in': () => { state.vp.zoom(0.5); viewChanged(); },
  'zoom-out': () => { state.vp.zoom(2); viewChanged(); },
  'zoom-selection': () => { const s = selectionOrRefuse(); if (s) { state.vp.show(s.from, s.to); viewChanged(); } },
  'zoom-all': () => { state.vp.show(0, state.info.length); viewChanged(); },
  undo: () => change('undo', {}, 'undone'),
  redo: () => change('redo', {}, 'redone'),
  copy: async () => { const s = selectionOrRefuse(); if (s) await change('edit/copy', { from: s.from, to: s.to }, 'copied'); },
  cut: async () => {
    const s = selectionOrRefuse();
    if (s && await change('edit/cut', { from: s.from, to: s.to }, 'cut')) state.selection = { from: s.from, to: s.from };
  },
  delete: async () => {
    const s = selectionOrRefuse();
    if (s && await change('edit/delete', { from: s.from, to: s.to }, 'deleted')) state.selection = { from: s.from, to: s.from };
  },
  paste: async () => {
    const s = state.selection || { from: state.mouseSample, to: state.mouseSample };
    await change('edit/paste', { from: s.from, to: s.to }, 'pasted');
  },
  'save-peaks': async () => {
    try { message(`saved ${(await api.post('save/peaks')).saved}`); } catch (e) { message(e.message, true); }
  },
  'save-wave': async () => {
    try { message(`saved ${(await api.post('save/wave')).saved}`); } catch (e) { message(e.message, true); }
  },
  'save-textgrid': async () => {
    if (!state.info.textGrid) return message('no TextGrid file name is known', true);
    try { message(`saved ${(await api.post('save/textgrid')).saved}`); } catch (e) { message(e.message, true); }
  },
  help: () => { $('help-overlay').hidden = !$('help-overlay').hidden; },
};
for (const [id, act] of Object.entries(acts)) if ($(id)) $(id).addEventListener('click', act);
$('help-overlay').addEventListener('click', () => { $('help-overlay').hidden = true; });
for (const id of ['ceiling', 'range']) {
  $(id).addEventListener('change', () => {
    const value = Number($(id).value);
    if (Number.isFinite(value) && value > 0) state.settings[id] = value;
    redraw();
  });
}
$('snap').addEventListener('change', () => { state.settings.snap = $('snap').checked; });

window.addEventListener('keydown', (event) => {
  if (event.target instanceof HTMLInputElement) return;
  const ctrl = event.ctrlKey || event.metaKey, key = event.key.toLowerCase();
  const run = (name) => { event.preventDefault(); acts[name](); };
  if (key === ' ') return run(ctrl ? 'play-all' : event.shiftKey ? 'play-visible' : 'play-selection');
  if (key === 'escape') { $('help-overlay').hidden = true; return run('stop'); }
  if (ctrl && key === 'z') return run(event.shiftKey ? 'redo' : 'undo');
  if (ctrl && key === 'y') return run('redo');
  if (ctrl && event.altKey && event.code === 'KeyS') return run('save-textgrid');
  if (ctrl && key === 's') return run(event.shiftKey ? 'save-wave' : 'save-peaks');
  if (ctrl && key === 'x') return run('cut');
  if (ctrl && key === 'c') return run('copy');
  if (ctrl && key === 'v') return run('paste');
  if (ctrl) return;
  if (key === 'delete' || key === 'backspace') return run('delete');
  if (key === '+' || key === '=') return run('zoom-in');
  if (key === '-') return run('zoom-out');
  if (key === 'z') return run('zoom-selection');
  if (key === '0') return run('zoom-all');
  if (key === 'r') return run('play-resynth');
  if (key === '?') return run('help');
  if (key === 'arrowleft') { state.vp.scroll(-state.vp.width / 4); return viewChanged(); }
  if (key === 'arrowright') { state.vp.scroll(state.vp.width / 4); return viewChanged(); }
  if (key === 'b') {
    event.preventDefault();
    return change('boundary/add', { position: state.mouseSample, snap: state.settings.snap ? 'zerocross' : 'none' }, 'boundary added');
  }
  if (key === 'm') {
    event.preventDefault();
    return change('mark/add', { position: state.mouseSample, snap: state.settings.snap ? 'maximum' : 'none' }, 'mark added');
  }
});

async function start() {
  const timeline = window.talvox.timeline = { script: performance.now() };
  try {
    state.info = await api.getJson('info');
    $('name').textContent = state.info.name;
    document.title = `${state.info.name} · talvox`;
    resize();
    await Promise.all([refreshAnnotation(state.info).then(() => { timeline.annotation = performance.now(); }),
      fetchView().then(() => { timeline.view = performance.now(); })]);
    redraw();
    await new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done)));
    window.talvox.openedAt = performance.now();
    message('');
  } catch (e) {
    message(`cannot load the document: ${e.message}`, true);
  }
}
window.addEventListener('resize', () => { if (state.info) { resize(); viewChanged(); } });
start();
