// Tremolux's core for JavaScript: the same reading, summary, sound and plot
// as the desktop program and tremolux-cli, compiled to WebAssembly. Runs in
// a page, in a Worker and under node.
//
//   import createTremolux from './tremolux.mjs';
//   const tlx = await createTremolux();
//   tlx.info(bytes, {samples: true});            // the object of `tremolux-cli info --json`
//   tlx.wav(bytes, {channel: 0, rate: 8000, bits: 16});  // WAVE bytes, or throws the CLI's message
//   const file = tlx.open(bytes, {path: 'walk.c3d'});     // loaded once, used many times
//   file.plot(0, 800, 300);                      // the plot's grid, trace and markers
//   file.close();
import createTremoluxCore from './tremolux-core.mjs';

const isNode = typeof process === 'object' && !!(process.versions && process.versions.node);

async function compileCore() {
  const url = new URL('./tremolux-core.wasm', import.meta.url);
  if (isNode) {
    const fs = await import('node:fs/promises');
    return WebAssembly.compile(await fs.readFile(url));
  }
  const response = fetch(url);
  if (WebAssembly.compileStreaming) {
    try {
      return await WebAssembly.compileStreaming(response);
    } catch (e) {
      // A server that does not say application/wasm: compile from the bytes.
    }
  }
  return WebAssembly.compile(await (await fetch(url)).arrayBuffer());
}

// An Error carrying tremolux-cli's message and exit status.
export class TremoluxError extends Error {
  constructor(message, status) {
    super(message);
    this.name = 'TremoluxError';
    this.status = status;
  }
}

const encoder = new TextEncoder();
const decoder = new TextDecoder();

// The options of `tremolux-cli wav`, as the module takes them.
const kWavDefaults = {
  channel: 0, rate: '', bits: 16, level: 'recorded', mode: 'waveform', pitch: '', filter: '',
  speed: 1, ticks: false, from: undefined, to: undefined, right: '',
};

export default async function createTremolux() {
  const compiled = await compileCore();
  let messages = [];
  const core = await createTremoluxCore({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(compiled, imports).then((instance) => receive(instance, compiled));
      return {};
    },
    print: (line) => messages.push(line),
    printErr: (line) => messages.push(line),
  });

  const heap = () => core.HEAPU8;
  const resultBytes = () => {
    const at = core._tlx_result() >>> 0;
    return heap().subarray(at, at + (core._tlx_result_size() >>> 0));
  };
  const cText = (pointer) => (pointer ? core.UTF8ToString(pointer >>> 0) : null);
  // Runs fn with each text as a NUL-terminated UTF-8 block in the module's memory.
  const withTexts = (texts, fn) => {
    const blocks = texts.map((t) => {
      const bytes = encoder.encode(String(t));
      const at = core._tlx_alloc(bytes.length + 1) >>> 0;
      if (at === 0) throw new TremoluxError('Not Enough memory to open file', 1);
      heap().set(bytes, at);
      heap()[at + bytes.length] = 0;
      return at;
    });
    try {
      return fn(...blocks);
    } finally {
      blocks.forEach((at) => core._tlx_free(at));
    }
  };
  // Runs fn, collecting what the core says on stderr meanwhile.
  const collecting = (fn) => {
    messages = [];
    const value = fn();
    const said = messages.join('\n');
    messages = [];
    return [value, said];
  };

  // Grows the module's memory at once to at least `room` bytes, instead of
  // step by step as a load asks; memory an earlier file left is reused.
  function grow(room) {
    room = Math.min(2 ** 32 - 2 ** 26, room);
    if (room > heap().length) {
      const probe = core._tlx_alloc(room) >>> 0;
      if (probe !== 0) core._tlx_free(probe);
    }
  }

  // A block of `size` bytes in the module's memory, or 0 when it cannot grow so far.
  function reserve(size) {
    if (size >= 2 ** 32) return 0;  // past the 32-bit memory of the module
    // A load holds the file's bytes and about as much sample storage.
    grow(2 * size + 2 ** 24);
    return core._tlx_alloc(size) >>> 0;
  }

  // Loads from a block made by reserve() and filled by the caller (0: it
  // could not be made); the block is released.
  function openReserved(at, size, path) {
    const doc = core._tlx_load(at, size) >>> 0;
    if (at !== 0) core._tlx_free(at);
    if (doc === 0) throw new TremoluxError(cText(core._tlx_out_of_memory_reason()), 1);
    return new TremoluxFile(doc, path);
  }

  // One recording loaded in the module's memory; close() releases it.
  class TremoluxFile {
    constructor(doc, path) {
      this.doc = doc;
      this.path = path;
      this.reason = cText(core._tlx_reason(doc));
      this.loaded = this.reason === '';
    }

    // The text of `tremolux-cli info PATH --json [--samples] [--points]`.
    infoText({samples = false, points = false} = {}) {
      const [at, said] = collecting(() =>
        withTexts([this.path], (p) => core._tlx_info_json(this.doc, p, samples ? 1 : 0, points ? 1 : 0)));
      if (!at) throw new TremoluxError(said, 1);
      return decoder.decode(resultBytes().subarray(0, -1));
    }

    info(options) {
      return JSON.parse(this.infoText(options));
    }

    // The document window's summary text.
    summary() {
      return cText(core._tlx_summary(this.doc));
    }

    // null when the dialog's Play accepts the rate text at this speed, else its message.
    checkRate(rate, speed = 1) {
      return withTexts([rate], (r) => cText(core._tlx_check_rate(this.doc, r, speed)));
    }

    // The WAVE bytes of `tremolux-cli wav` with these options (a copy);
    // throws a TremoluxError with the command's message and status.
    wav(options = {}) {
      const o = {...kWavDefaults, ...options};
      const time = (t) => (t === undefined || t === null ? NaN : Number(t));
      const [status, said] = collecting(() =>
        withTexts([this.path, o.channel, o.rate, o.level, o.mode, o.pitch, o.filter, o.right ?? ''],
          (p, c, r, l, m, pi, f, rt) => core._tlx_wav(this.doc, p, c, r, Number(o.bits), l, m, pi, f,
            Number(o.speed), o.ticks ? 1 : 0, time(o.from), time(o.to), rt)));
      if (status !== 0) throw new TremoluxError(said, status);
      return resultBytes().slice();
    }

    // The plot of a channel at width x height pixels over samples [first,
    // last): grid lines (x1 y1 x2 y2), trace vertices (x y) and markers
    // (left top right bottom) as Int32Arrays. merged: the path the desktop
    // paints (merged per pixel column) instead of a vertex for every sample.
    plot(channel, width, height, {first = 0, last = -1, merged = false} = {}) {
      if (!core._tlx_plot(this.doc, channel, width, height, first, last, merged ? 1 : 0)) return null;
      const bytes = resultBytes();
      const all = new Int32Array(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
      let at = 3;
      const take = (per) => {
        const n = all[at];
        const part = all.subarray(at + 1, at + 1 + n * per);
        at += 1 + n * per;
        return part;
      };
      const grid = take(4);
      const trace = take(2);
      const markers = take(4);
      return {width: all[0], height: all[1], samples: all[2], grid, trace, markers};
    }

    close() {
      if (this.doc) core._tlx_close(this.doc);
      this.doc = 0;
    }
  }

  // Loads a recording from bytes (ArrayBuffer or typed array). A file that
  // does not fit into the page's memory gives a file whose reason says so.
  function open(bytes, {path = ''} = {}) {
    const view = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes.buffer || bytes,
      bytes.byteOffset || 0, bytes.byteLength);
    const at = reserve(view.length);
    if (at !== 0) heap().set(view, at);
    return openReserved(at, view.length, path);
  }

  // Loads a recording of `size` bytes that arrives in chunks (a File's
  // stream; Uint8Arrays), decoding its frames as they come, so that its
  // bytes never sit in memory beside its samples; onProgress(bytesSoFar).
  // Stops reading once the core needs no more bytes. timings, when given,
  // receives the milliseconds of each step: reserve (memory grown for the
  // samples), read (waiting for chunks), copy (chunks into the module's
  // memory), load (the core's reading). head: the bytes gathered before
  // the core first tries to read the header and the parameters from them.
  async function openStream(size, chunks, {path = '', onProgress, timings, head = 2 ** 16} = {}) {
    const t = timings || {};
    let mark = performance.now();
    const lap = (name) => {
      const now = performance.now();
      t[name] = (t[name] || 0) + (now - mark);
      mark = now;
    };
    if (size >= 2 ** 32) return openReserved(0, size, path);  // past the 32-bit memory
    // The samples take about as many bytes as the file.
    grow(size + 2 ** 24);
    const doc = core._tlx_stream_open() >>> 0;
    lap('reserve');
    if (doc === 0) return openReserved(0, size, path);
    const kNeedMore = 0;
    const kFeeding = 1;
    let step = kNeedMore;
    // The block the chunks pass through: first the head (the bytes the core
    // reads the header and the parameters from, gathered until it has them
    // all), then each chunk.
    let block = 0;
    let capacity = 0;
    let held = 0;
    let want = Math.min(size, Math.max(1, head));  // head bytes to gather before trying
    const room = (n) => {
      if (n <= capacity) return true;
      const bigger = Math.max(n, 2 * capacity);
      const at = core._tlx_alloc(bigger) >>> 0;
      if (at === 0) return false;
      if (block !== 0) {
        heap().copyWithin(at, block, block + held);
        core._tlx_free(block);
      }
      block = at;
      capacity = bigger;
      return true;
    };
    let done = 0;
    let fits = true;
    try {
      for await (const chunk of chunks) {
        lap('read');
        const n = Math.min(chunk.length, size - done);
        const piece = n === chunk.length ? chunk : chunk.subarray(0, n);
        done += n;
        if (!(fits = room(step === kNeedMore ? held + n : n))) break;
        if (step === kNeedMore) {
          heap().set(piece, block + held);
          held += n;
          lap('copy');
          if (held >= want) {
            step = core._tlx_stream_head(doc, block, held, size);
            want = Math.min(size, 2 * held);
          }
        } else {
          heap().set(piece, block);
          lap('copy');
          step = core._tlx_stream_feed(doc, block, n);
        }
        lap('load');
        if (onProgress) onProgress(done);
        if (step !== kNeedMore && step !== kFeeding) break;
      }
      // All the bytes there are came in the head.
      if (fits && step === kNeedMore) core._tlx_stream_head(doc, block, held, held);
      if (fits) core._tlx_stream_end(doc);
      lap('load');
    } finally {
      if (block !== 0) core._tlx_free(block);
    }
    if (!fits) {
      core._tlx_close(doc);
      return openReserved(0, size, path);  // a chunk found no room
    }
    return new TremoluxFile(doc, path);
  }

  const withFile = (bytes, path, fn) => {
    const file = open(bytes, {path});
    try {
      return fn(file);
    } finally {
      file.close();
    }
  };

  return {
    open,
    openStream,
    // The object `tremolux-cli info PATH --json [--samples] [--points]` prints.
    info: (bytes, {samples = false, points = false, path = ''} = {}) =>
      withFile(bytes, path, (f) => f.info({samples, points})),
    infoText: (bytes, {samples = false, points = false, path = ''} = {}) =>
      withFile(bytes, path, (f) => f.infoText({samples, points})),
    // The WAVE bytes `tremolux-cli wav PATH ...` writes, or throws its message.
    wav: (bytes, options = {}) => withFile(bytes, options.path || '', (f) => f.wav(options)),
    // Bytes of module memory in use (it grows, never shrinks).
    memoryBytes: () => heap().length,
  };
}
