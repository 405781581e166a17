// The page: opens a recording (picker or drop) in the worker, shows its
// summary and channels, plots the chosen channel, plays it through Web
// Audio with a moving playhead and saves it. `window.tremolux` exposes the
// page's state for scripts and the browser test.
import {PlotView, drawPlot} from './plot.mjs';

const $ = (id) => document.getElementById(id);
const worker = new Worker(new URL('./worker.mjs', import.meta.url), {type: 'module'});
const pending = new Map();
let nextId = 1;

// One request to the worker; resolves with its result or rejects with its message.
function ask(type, fields = {}, onProgress) {
  const id = nextId++;
  return new Promise((resolve, reject) => {
    pending.set(id, {resolve, reject, onProgress});
    worker.postMessage({id, type, ...fields});
  });
}
worker.onmessage = ({data}) => {
  const p = pending.get(data.id);
  if (!p) return;
  if (data.type === 'progress') {
    if (p.onProgress) p.onProgress(data.done, data.total);
    return;
  }
  pending.delete(data.id);
  if (data.error !== undefined) p.reject(new Error(data.error));
  else p.resolve(data.result);
};

const state = {
  file: null,      // what the worker said of the open file
  channel: -1,
  view: null,      // PlotView of the channel
  geometry: null,  // the last geometry drawn
  lastWave: null,  // the bytes of the last sound built
  playing: null,   // {source, started, duration, x0, x1} while a sound plays
  played: 0,       // sounds that played to their end
};
// Milliseconds of the last open (performance.now()): start (the file
// chosen), opened (the worker's answer), firstPlot (drawn) or failed; open
// (the worker's steps, see TremoluxFile.openStream), plot (the worker's
// geometry) and draw (the canvas) in milliseconds.
const timings = {};
// geometry({channel, width, height, first, last, merged}): the worker's plot answer.
window.tremolux = {state, timings, geometry: (fields) => ask('plot', fields)};

function say(text) {
  $('message').textContent = text;
  $('message').hidden = !text;
}

function status(text) {
  $('status').textContent = text;
}

// --- opening ---
async function openFile(file) {
  timings.start = performance.now();
  timings.firstPlot = undefined;
  timings.open = timings.plot = timings.draw = undefined;
  stop();
  say('');
  status(`Reading ${file.name}…`);
  const bar = $('progress');
  bar.hidden = false;
  bar.removeAttribute('value');
  let opened;
  try {
    opened = await ask('open', {file}, (done, total) => {
      bar.max = total;
      bar.value = done;
      status(done < total ? `Reading ${file.name}… ${Math.round((100 * done) / total)}%`
        : `Loading ${file.name}…`);
    });
  } catch (e) {
    opened = {loaded: false, reason: e.message};
  }
  bar.hidden = true;
  timings.opened = performance.now();
  timings.open = opened.timings;
  if (!opened.loaded) {
    state.file = null;
    $('sound').hidden = true;
    $('summary').textContent = '';
    $('name').textContent = '';
    status('');
    say(`Cannot open ${file.name}: ${opened.reason}.`);
    timings.failed = performance.now();
    return;
  }
  state.file = opened;
  $('name').textContent = file.name;
  $('hint').hidden = true;
  $('summary').textContent = opened.summary;
  const list = $('channels');
  list.replaceChildren(...opened.channels.map((c) => {
    const o = document.createElement('option');
    o.value = String(c.index);
    o.textContent = `${String(c.index).padStart(3)}  ${c.label.trimEnd()}${c.units.trim() ? ` (${c.units.trim()})` : ''}`;
    return o;
  }));
  $('sound').hidden = opened.channels.length === 0;
  status(opened.channels.length ? '' : 'This file has no analog channels.');
  if (opened.channels.length) {
    list.selectedIndex = 0;
    await choose(0);
  }
}

async function choose(channel) {
  stop();
  state.channel = channel;
  state.view = new PlotView(state.file.channels[channel].samples);
  await plot();
}

// --- plot ---
let plotting = false;
let plotAgain = false;
async function plot() {
  if (plotting) {
    plotAgain = true;
    return;
  }
  plotting = true;
  const canvas = $('plot');
  canvas.width = Math.max(1, canvas.clientWidth);
  canvas.height = Math.max(1, canvas.clientHeight);
  try {
    const v = state.view;
    state.geometry = await ask('plot', {channel: state.channel, width: canvas.width,
      height: canvas.height, first: v.first, last: v.last});
    const drawn = performance.now();
    drawPlot(canvas, state.geometry);
    if (timings.firstPlot === undefined) {
      timings.firstPlot = performance.now();
      timings.plot = state.geometry && state.geometry.ms;
      timings.draw = timings.firstPlot - drawn;
    }
  } catch (e) {
    say(e.message);
  }
  plotting = false;
  if (plotAgain) {
    plotAgain = false;
    plot();
  }
}

const canvas = $('plot');
canvas.addEventListener('wheel', (e) => {
  if (!state.view) return;
  e.preventDefault();
  const x = e.offsetX / canvas.clientWidth;
  state.view.zoom(e.deltaY < 0 ? 0.8 : 1.25, Math.min(1, Math.max(0, x)));
  plot();
}, {passive: false});
let drag = null;
canvas.addEventListener('pointerdown', (e) => {
  if (!state.view) return;
  drag = {x: e.clientX};
  canvas.setPointerCapture(e.pointerId);
});
canvas.addEventListener('pointermove', (e) => {
  if (!drag) return;
  state.view.pan((e.clientX - drag.x) / canvas.clientWidth);
  drag.x = e.clientX;
  plot();
});
canvas.addEventListener('pointerup', () => {
  drag = null;
});
$('whole').onclick = () => {
  if (!state.view) return;
  state.view.reset();
  plot();
};
$('channels').onchange = (e) => choose(Number(e.target.value));
window.addEventListener('resize', () => state.view && plot());

// --- sound ---
// The sound choices and the range shown (seconds from the first sample).
function choices() {
  const o = {channel: state.channel, rate: $('rate').value, bits: Number($('bits').value),
    level: $('level').value, mode: $('mode').value, filter: $('filter').value.trim(),
    pitch: $('pitch').value.trim(), speed: Number($('speed').value) || 1};
  const v = state.view;
  if (!v.whole && state.file.analogRate > 0) {
    o.from = v.first / state.file.analogRate;
    o.to = v.last / state.file.analogRate;
  }
  return o;
}

async function build() {
  say('');
  status('Building the sound…');
  try {
    state.lastWave = await ask('wav', {options: choices()});
    status('');
    return state.lastWave;
  } catch (e) {
    status('');
    say(e.message);
    return null;
  }
}

let audio = null;
async function play() {
  if (!state.file || state.channel < 0) return;
  stop();
  const bytes = await build();
  if (!bytes) return;
  audio = audio || new AudioContext();
  await audio.resume();
  let buffer;
  try {
    buffer = await audio.decodeAudioData(bytes.slice().buffer);
  } catch (e) {
    say(`The browser could not play this sound: ${e.message}`);
    return;
  }
  const source = audio.createBufferSource();
  source.buffer = buffer;
  source.connect(audio.destination);
  const playing = {source, started: audio.currentTime, duration: buffer.duration};
  source.onended = () => {
    if (state.playing !== playing) return;
    state.playing = null;
    state.played += 1;
    $('playhead').hidden = true;
    status('Played.');
  };
  state.playing = playing;
  source.start();
  status('Playing…');
  movePlayhead();
}

function movePlayhead() {
  const p = state.playing;
  const head = $('playhead');
  if (!p) {
    head.hidden = true;
    return;
  }
  const fraction = Math.min(1, (audio.currentTime - p.started) / Math.max(p.duration, 1e-9));
  head.hidden = false;
  head.style.left = `${1 + fraction * (canvas.clientWidth - 1)}px`;
  state.playheadFraction = fraction;
  requestAnimationFrame(movePlayhead);
}

function stop() {
  const p = state.playing;
  state.playing = null;
  if (p) {
    p.source.stop();
    status('Stopped.');
  }
  $('playhead').hidden = true;
}

async function save() {
  if (!state.file || state.channel < 0) return;
  const bytes = await build();
  if (!bytes) return;
  const c = state.file.channels[state.channel];
  const stem = state.file.name.replace(/\.[^.]*$/, '');
  const label = c.label.trimEnd().replace(/[^A-Za-z0-9._-]/g, '_');
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([bytes], {type: 'audio/wav'}));
  a.download = `${stem}_${String(c.index).padStart(2, '0')}_${label}.wav`;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

$('play').onclick = play;
$('stop').onclick = stop;
$('save').onclick = save;

// --- picker and drop ---
$('file').onchange = (e) => {
  const f = e.target.files[0];
  e.target.value = '';
  if (f) openFile(f);
};
document.addEventListener('dragover', (e) => {
  e.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (e) => {
  e.preventDefault();
  document.body.classList.remove('dragging');
  const f = e.dataTransfer && e.dataTransfer.files[0];
  if (f) openFile(f);
});
