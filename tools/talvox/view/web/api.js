// The document's API. Every address is relative to the page's own, which
// carries the session token as its first path segment.
export class ApiError extends Error {}

async function check(response) {
  if (response.ok) return response;
  let message = `${response.status} ${response.statusText}`;
  try {
    const body = await response.json();
    if (body.error) message = body.error;
  } catch (_) { /* not JSON: keep the status line */ }
  throw new ApiError(message);
}

function query(params) {
  return new URLSearchParams(Object.entries(params).map(([k, v]) => [k, String(v)])).toString();
}

export async function getJson(path, params = {}) {
  const response = await check(await fetch(`api/${path}?${query(params)}`));
  return response.json();
}

export async function getBytes(path, params = {}) {
  const response = await check(await fetch(`api/${path}?${query(params)}`));
  return response.arrayBuffer();
}

export async function post(path, body = {}) {
  const response = await check(await fetch(`api/${path}`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  }));
  return response.json();
}

// The marks of a stretch, as the server packs them: marks inside, step,
// marks sent, intervals sent (int32); the marks; the intervals' starts,
// ends, periods (int32) and the F0 of their modified pitch (float32).
export async function getMarks(from, to, columns) {
  const buffer = await getBytes('marks', { from, to, columns });
  const [inside, step, count, intervals] = new Int32Array(buffer, 0, 4);
  let offset = 16;
  const take = (Type, n) => { const a = new Type(buffer, offset, n); offset += n * 4; return a; };
  const peaks = take(Int32Array, count);
  const starts = take(Int32Array, intervals), ends = take(Int32Array, intervals);
  const periods = take(Int32Array, intervals), modifiedF0 = take(Float32Array, intervals);
  return { inside, step, peaks, starts, ends, periods, modifiedF0, bytes: buffer.byteLength };
}

// The F0 track of a stretch: ready, current, signal version, hop, first
// frame, step, count (int32); the speaker's range (float32 x2); the frames'
// F0 (float32).
export async function getF0(from, to, columns) {
  const buffer = await getBytes('f0', { from, to, columns });
  const [ready, current, version, hop, first, step, count] = new Int32Array(buffer, 0, 7);
  const [low, high] = new Float32Array(buffer, 28, 2);
  const values = new Float32Array(buffer, 36, count);
  return { ready: !!ready, current: !!current, version, hop, first, step, values, low, high };
}

// Per channel, columns x [min, max].
export async function getWave(from, to, columns, channels) {
  const buffer = await getBytes('wave', { from, to, columns });
  const values = new Int16Array(buffer);
  const perChannel = values.length / channels;
  const result = [];
  for (let c = 0; c < channels; c++) result.push(values.subarray(c * perChannel, (c + 1) * perChannel));
  return result;
}

export async function getSpectrogram(from, to, columns) {
  return new Uint8Array(await getBytes('spectrogram', { from, to, columns, channel: 0 }));
}
