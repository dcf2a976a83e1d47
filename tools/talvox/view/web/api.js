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

// count, peaks, periods (int32) and the F0 of the source and of the modified
// pitch (float32), as the server packs them.
export async function getMarks() {
  const buffer = await getBytes('marks');
  const count = new Int32Array(buffer, 0, 1)[0];
  const intervals = Math.max(0, count - 1);
  let offset = 4;
  const take = (Type, n) => { const a = new Type(buffer, offset, n); offset += n * 4; return a; };
  const peaks = take(Int32Array, count);
  const periods = take(Int32Array, intervals);
  const f0 = take(Float32Array, intervals);
  const modifiedF0 = take(Float32Array, intervals);
  return { peaks, periods, f0, modifiedF0 };
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
