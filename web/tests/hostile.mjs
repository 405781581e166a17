// Hostile input through the browser build, in one node process: every file
// of the fuzz corpus (the seeds, fuzz/crashes, the real recordings), cuts of
// each at many lengths and byte mutations of each small one go through
// load, the info JSON, the summary, the rate check, sounds of every mode and
// both plots of every channel, as the load fuzzer drives the native core.
// A failure must be a reason or a message, never an abort of the module;
// after all of it a good file must still load and sound the same. Each
// file and cut also goes through openStream (the page's way: pieces of
// varying size, a head that grows as the reading asks) and must read as
// the whole bytes do. Also a file too big for the module's memory must
// fail with a reason.
//   node hostile.mjs --module build-web/tremolux.mjs [--shard K/N] DIR_OR_FILE...
// --shard K/N drives the files numbered K modulo N only (0 <= K < N), so that
// N processes share the work; shard 0 also tries the file too big.
import fs from 'node:fs';
import path from 'node:path';

const argv = process.argv.slice(2);
const option = (name) => (argv.includes(name) ? argv[argv.indexOf(name) + 1] : undefined);
const moduleAt = option('--module');
const [shard, shards] = (option('--shard') ?? '0/1').split('/').map(Number);
const roots = argv.filter((a, i) => !a.startsWith('--') && !argv[i - 1]?.startsWith('--'));
const {default: createTremolux} = await import(path.resolve(moduleAt));
const tlx = await createTremolux();
const started = Date.now();

const inputs = [];
const walk = (p) => {
  if (!fs.existsSync(p)) return;
  if (fs.statSync(p).isDirectory()) {
    for (const name of fs.readdirSync(p).sort()) walk(path.join(p, name));
  } else if (!/\.(md|txt)$/i.test(p)) {
    inputs.push(p);
  }
};
roots.forEach(walk);
const mine = inputs.filter((_, i) => i % shards === shard);

// A fixed pseudo-random walk, so every run tries the same mutations.
let seed = 0x2545f491;
const random = (n) => {
  seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
  return seed % n;
};

let runs = 0;
let loaded = 0;
const aborts = [];
const kMaxChannels = 6;

// Everything the page can ask of one input; a thrown TremoluxError is an
// answer, anything else (a RuntimeError of the module) is a fault. `full`:
// every sound choice and plot of the first channels; otherwise (cuts, where
// the reading is what is tried) one short sound and one plot of the first
// and last channel.
function drive(bytes, name, full) {
  runs += 1;
  let doc = null;
  try {
    doc = tlx.open(bytes, {path: name});
    const info = doc.info();
    if (!doc.loaded) {
      if (typeof info.reason !== 'string' || info.loaded !== false) throw new Error('no reason given');
      return;
    }
    loaded += 1;
    doc.summary();
    doc.checkRate('44100', 1);
    const channels = full ? info.analogs.slice(0, kMaxChannels)
      : [info.analogs[0], info.analogs[info.analogs.length - 1]].filter(Boolean);
    const choices = full ? kChoices : [{rate: '8000', bits: 16, mode: 'auto', to: 0.25}];
    for (const a of channels) {
      for (const options of choices) {
        try {
          doc.wav({...options, channel: a.index});
        } catch (e) {
          if (e.name !== 'TremoluxError') throw e;
        }
      }
      doc.plot(a.index, 300, 100, {merged: true});
      if (full) {
        doc.plot(a.index, 300, 100);
        doc.plot(a.index, 7000, 3, {first: 1, last: 9});
      }
    }
  } catch (e) {
    aborts.push(`${name}: ${e.message}`);
  } finally {
    if (doc) doc.close();
  }
}

// Every sound choice, each over at most a second of the channel.
const kChoices = [{rate: '44100', bits: 16}, {rate: '8000', bits: 8, level: 'fit'},
  {rate: '22050', bits: 16, mode: 'auto'}, {rate: '4000', bits: 16, mode: 'pitch'},
  {rate: '300', bits: 16, speed: 7, filter: 'highpass:1,notch:2', ticks: true}].map((o) => ({...o, to: 1}));

const good = mine.map((p) => fs.readFileSync(p));
for (let i = 0; i < mine.length; ++i) {
  const bytes = good[i];
  const name = mine[i];
  const small = bytes.length <= 102400;
  drive(bytes, name, true);
  // Cuts: lengths through the header and the first parameter block, then
  // lengths spread over the rest.
  const cuts = new Set();
  for (let n = 0; n < Math.min(bytes.length, 768); n += small ? 7 : 29) cuts.add(n);
  for (let k = 1; k < 32; ++k) cuts.add(Math.floor((bytes.length * k) / 32));
  for (const n of cuts) if (n < bytes.length) drive(bytes.subarray(0, n), `${name} cut at ${n}`, false);
  // Mutations of the small files: a few bytes overwritten each time.
  if (bytes.length <= 102400) {
    for (let m = 0; m < 16; ++m) {
      const copy = Uint8Array.from(bytes);
      const flips = 1 + random(8);
      for (let f = 0; f < flips; ++f) copy[random(Math.min(copy.length, 4096 + random(copy.length)))] = random(256);
      drive(copy, `${name} mutation ${m}`, true);
    }
  }
}

// The streamed load of one input against the load of its whole bytes:
// the same info text and the same plot of the first and last channel.
async function compareStreamed(bytes, name) {
  const pieces = function* () {
    for (let at = 0; at < bytes.length;) {
      const n = 1 + random(random(2) ? 64 : 70000);
      yield bytes.subarray(at, at + n);
      at += n;
    }
  };
  const whole = tlx.open(bytes, {path: name});
  const streamed = await tlx.openStream(bytes.length, pieces(), {path: name, head: 1 + random(2000)});
  try {
    const said = (f) => {
      const info = f.infoText();
      const count = f.loaded ? f.info().analogs.length : 0;
      const plots = (count ? [0, count - 1] : []).map((c) => Array.from(f.plot(c, 300, 100, {merged: true}).trace));
      return JSON.stringify([f.reason, info, plots]);
    };
    if (said(streamed) !== said(whole)) aborts.push(`${name}: read in pieces, it differs`);
  } catch (e) {
    aborts.push(`${name} in pieces: ${e.message}`);
  } finally {
    whole.close();
    streamed.close();
  }
}
// Files up to 1 MB (the core's own tests read large ones in pieces).
for (let i = 0; i < mine.length; ++i) {
  const bytes = good[i];
  if (bytes.length > 2 ** 20) continue;
  await compareStreamed(bytes, mine[i]);
  for (let k = 1; k < 6; ++k) {
    const n = k < 3 ? random(Math.min(bytes.length, 2048)) : Math.floor((bytes.length * k) / 6);
    await compareStreamed(bytes.subarray(0, n), `${mine[i]} cut at ${n}`);
  }
}

// Still alive: the first good recording loads and sounds as before.
const firstGood = good.findIndex((b) => {
  const d = tlx.open(b);
  const ok = d.loaded && d.info().analogs.length > 0;
  d.close();
  return ok;
});
if (firstGood >= 0) {
  const a = tlx.wav(good[firstGood], {channel: 0, rate: '44100', bits: 16});
  const b = tlx.wav(Uint8Array.from(good[firstGood]), {channel: 0, rate: '44100', bits: 16});
  if (Buffer.compare(Buffer.from(a), Buffer.from(b)) !== 0) aborts.push('a good file sounds different afterwards');
}

// A recording larger than the module's 4 GB: refused with the memory reason.
let reasonTooBig = '';
if (shard === 0) {
  const tooBig = await tlx.openStream(5 * 2 ** 30, [], {path: 'huge.c3d'});
  reasonTooBig = tooBig.reason;
  tooBig.close();
  if (!/memory/i.test(reasonTooBig)) aborts.push(`a file too big gives "${reasonTooBig}"`);
}

console.log(`hostile${shards > 1 ? ` ${shard}/${shards}` : ''}: ${mine.length} files, ` +
  `${runs} inputs (cuts and mutations), ${loaded} loaded; ` +
  `${shard === 0 ? `too big: "${reasonTooBig}"; ` : ''}` +
  `module memory ${(tlx.memoryBytes() / 2 ** 20).toFixed(0)} MB; ` +
  `${((Date.now() - started) / 1000).toFixed(1)} s`);
for (const a of aborts) console.log(`FAULT: ${a}`);
process.exit(aborts.length === 0 && mine.length > 0 ? 0 : 1);
