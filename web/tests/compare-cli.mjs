// The browser build against the native tremolux-cli over a folder of real
// recordings, in one node process: `info --json --samples` text byte for
// byte, every channel's WAVE bytes for several sound choices (the native
// side writes each choice's sounds in one batch run), and the plot's grid,
// trace and markers against `plot --geometry`. Exits 1 naming every
// difference.
//   node compare-cli.mjs --cli build/cli/tremolux-cli --samples DIR --scratch DIR --module build-web/tremolux.mjs
//        [--shard K/N]
// --shard K/N compares the K-th of N shares of the files only (0 <= K < N), so
// that N processes share the work (each with a scratch folder of its own);
// shard 0 also compares the refusal messages.
import {execFile} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {promisify} from 'node:util';

const run = promisify(execFile);
const args = Object.fromEntries(process.argv.slice(2).reduce((pairs, a, i, all) =>
  (a.startsWith('--') ? [...pairs, [a.slice(2), all[i + 1]]] : pairs), []));
const {default: createTremolux} = await import(path.resolve(args.module));
const cli = path.resolve(args.cli);
const scratch = path.resolve(args.scratch);
fs.mkdirSync(scratch, {recursive: true});

const [shard, shards] = (args.shard ?? '0/1').split('/').map(Number);
const share = (n) => Math.ceil(n / shards);  // a shard's part of n checks
const allFiles = [];
(function walk(dir) {
  for (const e of fs.readdirSync(dir, {withFileTypes: true}).sort((a, b) => (a.name < b.name ? -1 : 1))) {
    const p = path.join(dir, e.name);
    if (e.isDirectory()) walk(p);
    else if (/\.c3d$/i.test(e.name)) allFiles.push(p);
  }
})(path.resolve(args.samples));
// Dealt out largest first, each to the shard with the fewest bytes so far,
// so that the shards' shares of samples are alike (taking turns gave the
// first shard the larger file of every pair: a quarter more work).
const bySize = allFiles.map((f) => [fs.statSync(f).size, f]).sort((a, b) => b[0] - a[0] || (a[1] < b[1] ? -1 : 1));
const loads = new Array(shards).fill(0);
const files = [];
for (const [size, f] of bySize) {
  const lightest = loads.indexOf(Math.min(...loads));
  loads[lightest] += size;
  if (lightest === shard) files.push(f);
}
files.sort();

const failures = [];
const fail = (what) => failures.push(what);
const tlx = await createTremolux();
const started = Date.now();

// Runs the native program; its stdout, stderr and status, never throwing.
async function native(argv) {
  try {
    const r = await run(cli, argv, {encoding: 'buffer', maxBuffer: 1 << 30});
    return {stdout: r.stdout, stderr: r.stderr.toString(), status: 0};
  } catch (e) {
    if (e.code === undefined || typeof e.code !== 'number') throw e;
    return {stdout: e.stdout, stderr: e.stderr.toString(), status: e.code};
  }
}

// Runs fn over items two at a time (the machine's cores), in order of start.
async function pairwise(items, fn) {
  let next = 0;
  const worker = async () => {
    while (next < items.length) await fn(items[next++]);
  };
  await Promise.all([worker(), worker()]);
}

// --- wav: every channel of every file, for each set of choices ---
// The native batches run meanwhile, one process per set of choices.
const choiceSets = [
  {name: '16bit', cli: ['--rate', '44100', '--bits', '16'], mine: {rate: '44100', bits: 16}},
  {name: '8bit-fit', cli: ['--rate', '8000', '--bits', '8', '--level', 'fit'],
    mine: {rate: '8000', bits: 8, level: 'fit'}},
  {name: 'auto', cli: ['--rate', '22050', '--bits', '16', '--mode', 'auto'],
    mine: {rate: '22050', bits: 16, mode: 'auto'}},
  {name: 'filter-speed-ticks',
    cli: ['--rate', '11025', '--bits', '16', '--filter', 'highpass:5,notch:50', '--speed', '4', '--ticks'],
    mine: {rate: '11025', bits: 16, filter: 'highpass:5,notch:50', speed: 4, ticks: true}},
];
const batches = choiceSets.map((set) => {
  const dir = path.join(scratch, set.name);
  fs.rmSync(dir, {recursive: true, force: true});
  return native(['wav', ...files, '--channel', 'all', ...set.cli, '-o', dir]);
});

// --- info --json --samples: the same text ---
const opened = new Map();  // file -> TremoluxFile, loaded once for every check
let infoSame = 0;
await pairwise(files, async (file) => {
  const bytes = fs.readFileSync(file);
  const doc = tlx.open(bytes, {path: file});
  opened.set(file, doc);
  const mine = doc.infoText({samples: true});
  const theirs = await native(['info', file, '--json', '--samples']);
  if (Buffer.compare(Buffer.from(mine), theirs.stdout) !== 0) {
    fail(`info --json differs: ${file}`);
  } else if ((theirs.status === 0) !== doc.loaded) {
    fail(`load outcome differs (native status ${theirs.status}): ${file}`);
  } else {
    infoSame += 1;
  }
});

// The batch's file name of a channel: "<stem>_<NN>_<label>.wav".
const batchName = (file, index, label) =>
  `${path.basename(file).replace(/\.[^.]*$/, '')}_${String(index).padStart(2, '0')}_` +
  `${label.replace(/ +$/, '').replace(/[^A-Za-z0-9._-]/g, '_')}.wav`;
const latin1 = (text) => Buffer.from(text, 'latin1').toString('latin1');
let wavSame = 0;
let wavRefusedByBoth = 0;
for (const [s, set] of choiceSets.entries()) {
  const dir = path.join(scratch, set.name);
  await batches[s];
  for (const file of files) {
    const doc = opened.get(file);
    if (!doc.loaded) continue;
    const info = doc.info();
    for (const a of info.analogs) {
      const out = path.join(dir, batchName(file, a.index, latin1(a.label)));
      const theirs = fs.existsSync(out) ? fs.readFileSync(out) : null;
      let mine = null;
      let message = '';
      try {
        mine = doc.wav({...set.mine, channel: a.index});
      } catch (e) {
        if (e.name !== 'TremoluxError') throw e;
        message = e.message;
      }
      if (mine === null && theirs === null) {
        wavRefusedByBoth += 1;
      } else if (mine === null || theirs === null) {
        fail(`${set.name}: ${mine === null ? `refused here (${message})` : 'refused natively'}: ` +
             `${file} channel ${a.index}`);
      } else if (Buffer.compare(Buffer.from(mine), theirs) !== 0) {
        fail(`${set.name}: WAVE bytes differ: ${file} channel ${a.index}`);
      } else {
        wavSame += 1;
      }
    }
  }
}

// The single-file command's messages, for refusals of each kind.
const refusals = [
  {argv: ['--rate', '1', '--bits', '16'], mine: {rate: '1', bits: 16}},
  {argv: ['--rate', '50000', '--bits', '16'], mine: {rate: '50000', bits: 16}},
  {argv: ['--rate', '8000', '--bits', '16', '--pitch', '100-200'], mine: {rate: '8000', bits: 16, pitch: '100-200'}},
  {argv: ['--rate', '8000', '--bits', '16', '--filter', 'lowpass:x'], mine: {rate: '8000', bits: 16, filter: 'lowpass:x'}},
  {argv: ['--rate', '8000', '--bits', '16', '--from', '100000'], mine: {rate: '8000', bits: 16, from: 100000}},
  {argv: ['--rate', '8000', '--bits', '16', '--right', 'no such'], mine: {rate: '8000', bits: 16, right: 'no such'}},
];
let messagesSame = 0;
const loadable = files.filter((f) => opened.get(f).loaded && opened.get(f).info().analogs.length > 0);
for (const r of shard === 0 ? refusals : []) {
  const file = loadable[0];
  const theirs = await native(['wav', file, '--channel', '0', ...r.argv, '-o', path.join(scratch, 'refused.wav')]);
  try {
    opened.get(file).wav({...r.mine, channel: 0});
    fail(`accepted here, refused natively (${theirs.stderr.trim()}): ${r.argv.join(' ')}`);
  } catch (e) {
    if (e.message !== theirs.stderr.replace(/\n$/, '') || e.status !== theirs.status) {
      fail(`message differs for ${r.argv.join(' ')}: "${e.message}" (${e.status}) vs "${theirs.stderr.trim()}" (${theirs.status})`);
    } else {
      messagesSame += 1;
    }
  }
}

// --- two ears: the first channel left, the last one right ---
let stereoSame = 0;
const twoOrMore = loadable.filter((f) => opened.get(f).info().analogs.length > 1).slice(0, share(6));
await pairwise(twoOrMore, async (file) => {
  const right = String(opened.get(file).info().analogs.length - 1);
  const out = path.join(scratch, `stereo-${twoOrMore.indexOf(file)}.wav`);
  const theirs = await native(['wav', file, '--channel', '0', '--right', right, '--rate', '11025',
    '--bits', '16', '--level', 'fit', '-o', out]);
  let mine = null;
  try {
    mine = opened.get(file).wav({channel: 0, right, rate: '11025', bits: 16, level: 'fit'});
  } catch (e) {
    if (e.name !== 'TremoluxError') throw e;
  }
  if ((mine === null) !== (theirs.status !== 0)) fail(`two ears: refused by one side only: ${file}`);
  else if (mine !== null && Buffer.compare(Buffer.from(mine), fs.readFileSync(out)) !== 0) {
    fail(`two ears: WAVE bytes differ: ${file}`);
  } else stereoSame += 1;
});

// --- plot: the vertices of `plot --geometry` ---
const qtCli = path.join(path.dirname(cli), 'tremolux-cli-qt');
let plotSame = 0;
let plotsSkipped = '';
if (!fs.existsSync(qtCli)) {
  plotsSkipped = `no ${qtCli}: plot comparison skipped`;
} else {
  const same = (a, b) => a.length === b.flat().length && b.flat().every((v, i) => a[i] === v);
  const cases = [];
  for (const file of loadable.slice(0, share(8))) {
    const info = opened.get(file).info();
    const n = info.analogs[0].sample_count;
    const rate = Math.fround(info.header.analog_samples_per_frame * info.header.frame_rate);
    const last = info.analogs.length - 1;
    cases.push({file, channel: 0, width: 640, height: 200});
    cases.push({file, channel: last, width: 97, height: 31});
    if (n > 40 && rate > 0) {
      // 20 samples from sample 10: times that lie on those samples exactly.
      cases.push({file, channel: last, width: 640, height: 200, first: 10, last: 30,
        times: ['--from', String(10 / rate), '--to', String(29 / rate)]});
    }
  }
  await pairwise(cases, async (c) => {
    const json = path.join(scratch, `geometry-${cases.indexOf(c)}.json`);
    const r = await native(['plot', c.file, '--channel', String(c.channel), '--width', String(c.width),
      '--height', String(c.height), '-o', path.join(scratch, `plot-${cases.indexOf(c)}.svg`),
      '--geometry', json, ...(c.times || [])]);
    if (r.status !== 0) {
      fail(`native plot failed (${r.stderr.trim()}): ${c.file}`);
      return;
    }
    const theirs = JSON.parse(fs.readFileSync(json, 'latin1'));
    const mine = opened.get(c.file).plot(c.channel, c.width, c.height,
      {first: c.first ?? 0, last: c.last ?? -1});
    const what = `${c.file} channel ${c.channel} at ${c.width}x${c.height}${c.times ? ' (range)' : ''}`;
    if (!same(mine.grid, theirs.grid)) fail(`plot grid differs: ${what}`);
    else if (!same(mine.trace, theirs.trace)) fail(`plot trace differs: ${what}`);
    else if (!same(mine.markers, theirs.markers)) fail(`plot markers differ: ${what}`);
    else plotSame += 1;
  });
}

for (const doc of opened.values()) doc.close();
console.log(`compare-cli${shards > 1 ? ` ${shard}/${shards}` : ''}: ${files.length} files: ` +
  `info --json identical for ${infoSame}; ` +
  `${wavSame} sounds byte-identical, ${wavRefusedByBoth} refused by both ` +
  `(${choiceSets.length} sets of choices); ${stereoSame} two-ear sounds identical; ` +
  `${messagesSame} refusal messages identical; ` +
  `${plotSame} plots with identical vertices${plotsSkipped ? `; ${plotsSkipped}` : ''}; ` +
  `${((Date.now() - started) / 1000).toFixed(1)} s`);
for (const f of failures) console.log(`DIFFERS: ${f}`);
process.exit(failures.length === 0 && infoSame > 0 ? 0 : 1);
