// Canvas drawing of the document: time axis, elements, waveform of every
// channel with amplitude axes and marks, spectrogram with a frequency axis,
// and the F0 lane with the source and the modified pitch.
export const LEFT = 56;            // pixels for the axes' labels
const AXIS = 20, ELEMENTS = 26, SPECTRUM = 130, PITCH = 110, GAP = 4;
const MIN_LABEL_GAP = 6;          // pixels between boundaries drawn on long views
const MOST_MARK_TICKS_PER_PIXEL = 0.5;
export const MARK_STRIP = 16;     // pixels at the top of a waveform where the marks are picked up

export function layout(width, height, channels) {
  const waveTotal = Math.max(60 * channels, height - AXIS - ELEMENTS - SPECTRUM - PITCH - 4 * GAP);
  const lanes = {};
  let y = 0;
  lanes.axis = { y, h: AXIS }; y += AXIS;
  lanes.elements = { y, h: ELEMENTS }; y += ELEMENTS + GAP;
  lanes.waves = [];
  const each = waveTotal / channels;
  for (let c = 0; c < channels; c++) { lanes.waves.push({ y, h: each - (c + 1 < channels ? GAP : 0) }); y += each; }
  y += GAP;
  lanes.spectrum = { y, h: SPECTRUM }; y += SPECTRUM + GAP;
  lanes.pitch = { y, h: PITCH }; y += PITCH;
  lanes.plotWidth = Math.max(1, width - LEFT);
  lanes.height = y;
  return lanes;
}

// Which lane a y coordinate is in.
export function laneAt(lanes, y) {
  const inside = (lane) => y >= lane.y && y < lane.y + lane.h;
  if (inside(lanes.elements) || inside(lanes.axis)) return 'elements';
  for (let c = 0; c < lanes.waves.length; c++) {
    if (inside(lanes.waves[c])) return y < lanes.waves[c].y + MARK_STRIP ? 'marks' : 'wave';
  }
  if (inside(lanes.spectrum)) return 'spectrum';
  if (inside(lanes.pitch)) return 'pitch';
  return 'none';
}

function niceStep(range, targetTicks) {
  const raw = range / Math.max(1, targetTicks);
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  for (const m of [1, 2, 5, 10]) if (m * power >= raw) return m * power;
  return 10 * power;
}

function timeLabel(seconds, step) {
  if (seconds >= 3600) {
    const h = Math.floor(seconds / 3600), m = Math.floor((seconds % 3600) / 60), s = seconds % 60;
    return `${h}:${String(m).padStart(2, '0')}:${s.toFixed(0).padStart(2, '0')}`;
  }
  if (seconds >= 60 && step >= 1) {
    const m = Math.floor(seconds / 60), s = seconds % 60;
    return `${m}:${s.toFixed(0).padStart(2, '0')}`;
  }
  const digits = Math.max(0, Math.min(6, -Math.floor(Math.log10(step) + 1e-9)));
  return seconds.toFixed(digits);
}

function drawTimeAxis(ctx, vp, rate, lane) {
  const from = vp.start / rate, to = vp.end() / rate;
  const step = niceStep(to - from, vp.width / 90);
  ctx.fillStyle = '#444'; ctx.strokeStyle = '#999'; ctx.font = '11px sans-serif'; ctx.textBaseline = 'middle';
  for (let t = Math.ceil(from / step) * step; t <= to; t += step) {
    const x = LEFT + vp.x(t * rate);
    ctx.beginPath(); ctx.moveTo(x, lane.y + lane.h - 5); ctx.lineTo(x, lane.y + lane.h); ctx.stroke();
    ctx.fillText(timeLabel(t, step), x + 2, lane.y + lane.h / 2);
  }
  ctx.fillText('s', 4, lane.y + lane.h / 2);
}

// The boundaries worth drawing: on a long view, only those at least a few
// pixels from the last one drawn.
function visibleBoundaries(vp, elements) {
  const shown = [];
  let lastX = -Infinity, total = 0;
  for (let i = 0; i < elements.length; i++) {
    const b = elements[i].start;
    if (b < vp.start || b > vp.end()) continue;
    total++;
    const x = vp.x(b);
    if (x - lastX >= MIN_LABEL_GAP) { shown.push({ x, element: i }); lastX = x; }
  }
  return { shown, total };
}

function drawElements(ctx, vp, elements, lane, notes) {
  ctx.font = '12px sans-serif'; ctx.textBaseline = 'middle';
  let hiddenLabels = 0;
  for (const e of elements) {
    if (e.end < vp.start || e.start > vp.end()) continue;
    const x0 = LEFT + Math.max(0, vp.x(e.start)), x1 = LEFT + Math.min(vp.width, vp.x(e.end));
    ctx.fillStyle = e.desc === 'SIL' ? '#eceae4' : '#dde8f4';
    ctx.fillRect(x0, lane.y, Math.max(1, x1 - x0), lane.h);
    const text = e.desc || '·';
    const w = ctx.measureText(text).width;
    if (w + 4 <= x1 - x0) { ctx.fillStyle = '#222'; ctx.fillText(text, (x0 + x1 - w) / 2, lane.y + lane.h / 2); }
    else if (e.desc) hiddenLabels++;
  }
  if (hiddenLabels) notes.push(`${hiddenLabels} descriptions too narrow to show: zoom in`);
}

function amplitudeAxis(ctx, lane, peak) {
  const mid = lane.y + lane.h / 2;
  ctx.fillStyle = '#555'; ctx.font = '10px sans-serif'; ctx.textBaseline = 'middle';
  const labels = [[peak, lane.y + 6], [0, mid], [-peak, lane.y + lane.h - 6]];
  for (const [value, y] of labels) {
    const text = Math.abs(value) >= 1000 ? `${(value / 1000).toFixed(0)}k` : `${value}`;
    ctx.fillText(text, LEFT - 6 - ctx.measureText(text).width, y);
  }
  ctx.strokeStyle = '#bbb';
  ctx.beginPath(); ctx.moveTo(LEFT - 3, lane.y); ctx.lineTo(LEFT - 3, lane.y + lane.h); ctx.stroke();
}

function drawWave(ctx, vp, wave, lane, channel) {
  ctx.fillStyle = '#fff'; ctx.fillRect(LEFT, lane.y, vp.width, lane.h);
  const mid = lane.y + lane.h / 2, half = lane.h / 2 - 2;
  let peak = 1;
  for (let i = 0; i < wave.length; i++) peak = Math.max(peak, Math.abs(wave[i]));
  const fullScale = peak > 16384 ? 32768 : Math.pow(2, Math.ceil(Math.log2(peak)));
  const y = (v) => mid - (v / fullScale) * half;
  ctx.strokeStyle = '#ddd'; ctx.beginPath(); ctx.moveTo(LEFT, mid); ctx.lineTo(LEFT + vp.width, mid); ctx.stroke();
  const columns = wave.length / 2;
  const visible = vp.end() - vp.start;
  ctx.strokeStyle = '#234'; ctx.fillStyle = '#234';
  ctx.beginPath();
  if (columns >= Math.floor(visible) && vp.samplesPerPixel < 1) {
    // Sample level: a line through the samples and a dot on each.
    for (let k = 0; k < columns; k++) {
      const x = LEFT + vp.x(Math.floor(vp.start) + k);
      if (k === 0) ctx.moveTo(x, y(wave[2 * k])); else ctx.lineTo(x, y(wave[2 * k]));
    }
    ctx.stroke();
    if (vp.samplesPerPixel < 0.2)
      for (let k = 0; k < columns; k++) ctx.fillRect(LEFT + vp.x(Math.floor(vp.start) + k) - 1.5, y(wave[2 * k]) - 1.5, 3, 3);
  } else {
    const pixelsPerColumn = vp.width / columns;
    for (let k = 0; k < columns; k++) {
      const x = LEFT + k * pixelsPerColumn + 0.5;
      ctx.moveTo(x, y(wave[2 * k + 1]) - 0.5); ctx.lineTo(x, y(wave[2 * k]) + 0.5);
    }
    ctx.stroke();
  }
  amplitudeAxis(ctx, lane, fullScale);
  ctx.fillStyle = '#888'; ctx.font = '10px sans-serif';
  ctx.fillText(`ch ${channel}`, 4, lane.y + 10);
}

// The marks come from the server for the visible stretch (all of them
// when there are few enough to draw).
function drawMarks(ctx, vp, marks, lanes, notes) {
  if (!marks) return;
  for (const lane of lanes.waves) { ctx.fillStyle = '#f6eeee'; ctx.fillRect(LEFT, lane.y, vp.width, MARK_STRIP - 4); }
  const { peaks } = marks;
  if (marks.inside > vp.width * MOST_MARK_TICKS_PER_PIXEL || marks.step > 1) {
    notes.push(`${marks.inside} marks: zoom in to see them`);
    return;
  }
  const first = lowerBound(peaks, vp.start), last = lowerBound(peaks, vp.end());
  ctx.strokeStyle = '#c62828';
  ctx.beginPath();
  for (let i = first; i < last; i++) {
    const x = LEFT + Math.round(vp.x(peaks[i])) + 0.5;
    for (const lane of lanes.waves) { ctx.moveTo(x, lane.y); ctx.lineTo(x, lane.y + 10); }
  }
  ctx.stroke();
}

export function lowerBound(array, value) {
  let lo = 0, hi = array.length;
  while (lo < hi) { const mid = (lo + hi) >> 1; if (array[mid] < value) lo = mid + 1; else hi = mid; }
  return lo;
}

// The library's spectrum byte v stands for 60 + v/4 dB; the range setting
// maps the loudest value shown to black and range dB below it to white.
function drawSpectrum(ctx, vp, spectrum, rate, settings, lane) {
  ctx.fillStyle = '#fff'; ctx.fillRect(LEFT, lane.y, vp.width, lane.h);
  if (!spectrum || spectrum.columns === 0) return;
  const ceiling = Math.min(settings.ceiling, rate / 2);
  const binsShown = Math.max(1, Math.min(64, Math.ceil(ceiling * 128 / rate)));
  let loudest = 0;
  for (const v of spectrum.data) loudest = Math.max(loudest, v);
  const floor = loudest - settings.range * 4;
  const image = ctx.createImageData(spectrum.columns, binsShown);
  for (let c = 0; c < spectrum.columns; c++) {
    for (let k = 0; k < binsShown; k++) {
      const v = spectrum.data[c * 64 + k];
      const level = Math.max(0, Math.min(1, (v - floor) / Math.max(1, loudest - floor)));
      const shade = Math.round(255 * (1 - level));
      const at = ((binsShown - 1 - k) * spectrum.columns + c) * 4;
      image.data[at] = shade; image.data[at + 1] = shade; image.data[at + 2] = shade; image.data[at + 3] = 255;
    }
  }
  const scratch = new OffscreenCanvas(spectrum.columns, binsShown);
  scratch.getContext('2d').putImageData(image, 0, 0);
  const binTop = binsShown * rate / 128;  // frequency at the top of the image
  const height = lane.h * Math.min(1, binTop / ceiling);
  ctx.imageSmoothingEnabled = binsShown < lane.h / 2;
  ctx.drawImage(scratch, LEFT, lane.y + lane.h - height, vp.width, height);
  ctx.fillStyle = '#555'; ctx.font = '10px sans-serif'; ctx.textBaseline = 'middle';
  const step = niceStep(ceiling, 4);
  for (let f = 0; f <= ceiling; f += step) {
    const y = lane.y + lane.h - (f / ceiling) * lane.h;
    const text = f >= 1000 ? `${f / 1000}k` : `${f}`;
    ctx.fillText(text, LEFT - 6 - ctx.measureText(text).width, Math.min(lane.y + lane.h - 5, Math.max(lane.y + 5, y)));
  }
  ctx.fillText('Hz', 4, lane.y + 10);
}

// The F0 axis spans the speaker's range: the voiced frames' F0 of the whole
// track between their 2nd and 98th percentiles (the server's), widened a
// little, never 0 to Nyquist.
export function pitchRangeOf(f0) {
  if (!f0 || !f0.ready || !(f0.high > 0)) return [50, 400];
  return [Math.max(20, Math.floor(f0.low * 0.8 / 10) * 10), Math.max(60, Math.ceil(f0.high * 1.2 / 10) * 10)];
}

export function hzToY(lane, range, hz) {
  const [low, high] = range;
  const y = lane.y + lane.h - ((Math.log(hz) - Math.log(low)) / (Math.log(high) - Math.log(low))) * lane.h;
  return Math.max(lane.y, Math.min(lane.y + lane.h, y));
}

// The modified pitch where it differs from the marks' own periods: the
// targets a stroke or a drag set, one per mark interval.
export function pitchTargets(marks) {
  const targets = [];
  if (!marks) return targets;
  const { starts, ends, periods, modifiedF0 } = marks;
  for (let k = 0; k < starts.length; k++) {
    if (!(modifiedF0[k] > 0) || periods[k] === ends[k] - starts[k]) continue;
    targets.push({ middle: (starts[k] + ends[k]) / 2, hz: modifiedF0[k] });
  }
  return targets;
}

// The library's F0 track (blue; paler while the server recomputes it after
// a change of the signal) and the modified pitch's targets (orange).
function drawPitch(ctx, vp, f0, marks, lane, range, drag, notes) {
  ctx.fillStyle = '#fff'; ctx.fillRect(LEFT, lane.y, vp.width, lane.h);
  const [low, high] = range;
  const y = (hz) => hzToY(lane, range, hz);
  ctx.fillStyle = '#555'; ctx.font = '10px sans-serif'; ctx.textBaseline = 'middle'; ctx.strokeStyle = '#eee';
  for (const hz of [50, 75, 100, 150, 200, 300, 400, 600, 800, 1000, 1500]) {
    if (hz < low || hz > high) continue;
    ctx.beginPath(); ctx.moveTo(LEFT, y(hz)); ctx.lineTo(LEFT + vp.width, y(hz)); ctx.stroke();
    ctx.fillText(`${hz}`, LEFT - 6 - ctx.measureText(`${hz}`).width, y(hz));
  }
  ctx.fillText('F0 Hz', 4, lane.y + 10);
  if (f0 && f0.ready) {
    if (!f0.current) notes.push('F0 track being updated');
    ctx.fillStyle = f0.current ? '#1d5fa8' : '#9db8d8';
    for (let k = 0; k < f0.values.length; k++) {
      const v = f0.values[k];
      if (!(v > 0)) continue;
      const x = LEFT + vp.x((f0.first + k * f0.step) * f0.hop);
      if (x < LEFT || x > LEFT + vp.width) continue;
      ctx.fillRect(x - 1, y(v) - 1, 2, 2);
    }
  } else if (f0) {
    notes.push('F0 track being computed');
  }
  ctx.fillStyle = '#e07000';
  const size = 3;
  for (const t of pitchTargets(marks)) {
    const x = LEFT + vp.x(t.middle);
    if (x < LEFT || x > LEFT + vp.width) continue;
    ctx.fillRect(x - size / 2, y(t.hz) - size / 2, size, size);
  }
  if (drag && drag.kind === 'target') {
    ctx.strokeStyle = '#e07000'; ctx.lineWidth = 2;
    ctx.beginPath(); ctx.arc(drag.target.x, drag.y, 5, 0, 2 * Math.PI); ctx.stroke();
    ctx.lineWidth = 1;
  }
}

export function yToHz(lane, range, yPixel) {
  const [low, high] = range;
  const t = (lane.y + lane.h - yPixel) / lane.h;
  return Math.exp(Math.log(low) + t * (Math.log(high) - Math.log(low)));
}

export function draw(ctx, state) {
  const { vp, lanes, info, elements, marks, f0, waves, spectrum, settings, selection, drag, playhead, pitchStroke } = state;
  const notes = [];
  ctx.fillStyle = '#fbfbf8'; ctx.fillRect(0, 0, ctx.canvas.width, ctx.canvas.height);
  drawTimeAxis(ctx, vp, info.rate, lanes.axis);
  drawElements(ctx, vp, elements, lanes.elements, notes);
  if (waves) waves.forEach((wave, c) => drawWave(ctx, vp, wave, lanes.waves[c], c));
  drawMarks(ctx, vp, marks, lanes, notes);
  drawSpectrum(ctx, vp, spectrum, info.rate, settings, lanes.spectrum);
  // The axis changes with the track only, not while scrolling or drawing.
  if (state.pitchRangeOf !== f0) { state.pitchRange = pitchRangeOf(f0); state.pitchRangeOf = f0; }
  drawPitch(ctx, vp, f0, marks, lanes.pitch, state.pitchRange, drag, notes);
  // Thinned boundaries stay in the element lane, so that they do not hide
  // the waveform of a long view.
  const { shown, total } = visibleBoundaries(vp, elements);
  const bottom = shown.length < total ? lanes.elements.y + lanes.elements.h : lanes.spectrum.y + lanes.spectrum.h;
  ctx.strokeStyle = 'rgba(20,60,140,0.75)';
  ctx.beginPath();
  for (const b of shown) {
    const x = LEFT + Math.round(b.x) + 0.5;
    ctx.moveTo(x, lanes.elements.y); ctx.lineTo(x, bottom);
  }
  ctx.stroke();
  if (shown.length < total) notes.push(`${shown.length} of ${total} boundaries shown: zoom in for all`);
  if (selection && selection.to > selection.from) {
    const x0 = LEFT + Math.max(0, vp.x(selection.from)), x1 = LEFT + Math.min(vp.width, vp.x(selection.to));
    if (x1 > LEFT && x0 < LEFT + vp.width) {
      ctx.fillStyle = 'rgba(29,95,168,0.16)';
      ctx.fillRect(x0, lanes.elements.y, Math.max(1, x1 - x0), lanes.pitch.y + lanes.pitch.h - lanes.elements.y);
    }
  }
  if (drag && drag.kind !== 'select' && drag.kind !== 'target' && drag.x !== undefined) {
    ctx.strokeStyle = drag.kind === 'mark' ? '#c62828' : '#1d5fa8'; ctx.setLineDash([4, 3]);
    ctx.beginPath(); ctx.moveTo(drag.x, lanes.elements.y); ctx.lineTo(drag.x, lanes.pitch.y + lanes.pitch.h); ctx.stroke();
    ctx.setLineDash([]);
  }
  if (pitchStroke && pitchStroke.length > 1) {
    ctx.strokeStyle = '#e07000'; ctx.lineWidth = 2; ctx.beginPath();
    pitchStroke.forEach((p, i) => (i ? ctx.lineTo(p.x, p.y) : ctx.moveTo(p.x, p.y)));
    ctx.stroke(); ctx.lineWidth = 1;
  }
  if (playhead !== null && playhead !== undefined) {
    const x = LEFT + vp.x(playhead);
    ctx.strokeStyle = '#2e7d32'; ctx.lineWidth = 2;
    ctx.beginPath(); ctx.moveTo(x, lanes.axis.y); ctx.lineTo(x, lanes.pitch.y + lanes.pitch.h); ctx.stroke();
    ctx.lineWidth = 1;
  }
  ctx.fillStyle = '#fbfbf8'; ctx.fillRect(0, lanes.elements.y, 0, 0);
  return notes;
}
