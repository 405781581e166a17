// The page's worker: holds the core and the one open recording, so that
// reading a large file, building a sound or a plot never blocks the page.
// Requests are {id, type, ...}; every answer carries the request's id and
// either the result or {error: message}. Progress of an open is posted as
// {type: 'progress', id, done, total} while the file's bytes arrive.
import createTremolux from './tremolux.mjs';

const ready = createTremolux();
let current = null;  // the open TremoluxFile, or null

// A File's bytes chunk by chunk. Read into two buffers of our own in turn
// where the browser allows it (a byte stream): the next chunk is read into
// one while the other is used, and no chunk needs fresh memory. Stopping
// early (the core needs no more) cancels the rest of the read.
const kChunkBytes = 2 ** 20;
async function* chunksOf(file) {
  const stream = file.stream();
  let reader;
  try {
    reader = stream.getReader({mode: 'byob'});
  } catch (e) {
    reader = stream.getReader();  // not a byte stream: the browser's chunks
  }
  const own = typeof ReadableStreamBYOBReader === 'function' && reader instanceof ReadableStreamBYOBReader;
  const ask = (buffer) => (own ? reader.read(new Uint8Array(buffer)) : reader.read());
  try {
    let spare = own ? new ArrayBuffer(kChunkBytes) : null;
    let next = ask(own ? new ArrayBuffer(kChunkBytes) : null);
    for (;;) {
      const {done, value} = await next;
      if (done) return;
      next = ask(spare);
      yield value;
      if (own) spare = value.buffer;
    }
  } finally {
    reader.cancel().catch(() => {});
  }
}

async function open({id, file}) {
  const tlx = await ready;
  if (current) current.close();
  current = null;
  let lastPost = 0;
  const timings = {memoryBefore: tlx.memoryBytes()};
  const doc = await tlx.openStream(file.size, chunksOf(file), {
    path: file.name,
    timings,
    onProgress(done) {
      const now = performance.now();
      if (now - lastPost < 50 && done < file.size) return;
      lastPost = now;
      self.postMessage({type: 'progress', id, done, total: file.size});
    },
  });
  if (!doc.loaded) {
    const reason = doc.reason;
    doc.close();
    return {loaded: false, reason, timings};
  }
  current = doc;
  const mark = performance.now();
  const info = doc.info();
  const h = info.header;
  const summary = doc.summary();
  timings.info = performance.now() - mark;
  timings.memoryAfter = tlx.memoryBytes();
  return {
    loaded: true,
    name: file.name,
    timings,
    summary,
    analogRate: Math.fround(h.analog_samples_per_frame * h.frame_rate),
    channels: info.analogs.map((a) => ({index: a.index, label: a.label, units: a.units,
      samples: a.sample_count})),
  };
}

// The merged path the page draws, unless merged is false (every vertex).
function plot({channel, width, height, first, last, merged = true}) {
  if (!current) return null;
  const start = performance.now();
  const p = current.plot(channel, width, height, {first, last, merged});
  return p && {width: p.width, height: p.height, samples: p.samples, grid: p.grid.slice(),
    trace: p.trace.slice(), markers: p.markers.slice(), ms: performance.now() - start};
}

self.onmessage = async ({data}) => {
  const {id, type} = data;
  try {
    let result;
    if (type === 'open') result = await open(data);
    else if (!current) throw new Error('No file is open');
    else if (type === 'plot') result = plot(data);
    else if (type === 'wav') result = current.wav(data.options);
    else if (type === 'checkRate') result = current.checkRate(data.rate, data.speed);
    else throw new Error(`Unknown request ${type}`);
    const transfer = result && result.buffer ? [result.buffer]
      : result && result.trace ? [result.grid.buffer, result.trace.buffer, result.markers.buffer] : [];
    self.postMessage({type: 'result', id, result}, transfer);
  } catch (e) {
    self.postMessage({type: 'result', id, error: e.message || String(e)});
  }
};
