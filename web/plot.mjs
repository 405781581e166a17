// The plot of the page: draws the core's geometry (grid lines, the trace's
// path, the markers) into a canvas at its pixel size, and turns wheel and
// drag into the range of samples to show. Owns only its view state; the
// page owns the canvas and asks the worker for geometry.

const kColors = {background: '#ffffff', grid: '#c8c8c8', trace: '#1a4fa0', marker: '#1a4fa0',
  playhead: '#d02020'};

// The range of samples [first, last) shown of a channel of `samples` values.
export class PlotView {
  constructor(samples) {
    this.samples = samples;
    this.first = 0;
    this.last = samples;
  }

  get whole() {
    return this.first === 0 && this.last === this.samples;
  }

  reset() {
    this.first = 0;
    this.last = this.samples;
  }

  // Keeps at least 2 samples in view, inside the channel.
  clamp(first, span) {
    span = Math.max(Math.min(this.samples, 2), Math.min(this.samples, Math.round(span)));
    first = Math.max(0, Math.min(this.samples - span, Math.round(first)));
    this.first = first;
    this.last = first + span;
  }

  // Zooms by `factor` (< 1 in, > 1 out) keeping the sample under x (0..1 of the width) in place.
  zoom(factor, x) {
    const span = this.last - this.first;
    const at = this.first + x * span;
    const next = span * factor;
    this.clamp(at - x * next, next);
  }

  // Moves the view by a fraction of its width (positive: to earlier samples).
  pan(fraction) {
    const span = this.last - this.first;
    this.clamp(this.first - fraction * span, span);
  }
}

// Draws one geometry answer of the worker (see TremoluxFile.plot).
export function drawPlot(canvas, geometry) {
  const g = canvas.getContext('2d');
  g.fillStyle = kColors.background;
  g.fillRect(0, 0, canvas.width, canvas.height);
  if (!geometry) return;
  g.lineWidth = 1;
  g.strokeStyle = kColors.grid;
  g.beginPath();
  const grid = geometry.grid;
  for (let i = 0; i < grid.length; i += 4) {
    g.moveTo(grid[i] + 0.5, grid[i + 1] + 0.5);
    g.lineTo(grid[i + 2] + 0.5, grid[i + 3] + 0.5);
  }
  g.stroke();
  g.strokeStyle = kColors.trace;
  g.beginPath();
  const trace = geometry.trace;
  for (let i = 0; i < trace.length; i += 2) {
    if (i === 0) g.moveTo(trace[0] + 0.5, trace[1] + 0.5);
    else g.lineTo(trace[i] + 0.5, trace[i + 1] + 0.5);
  }
  g.stroke();
  g.fillStyle = kColors.marker;
  const m = geometry.markers;
  for (let i = 0; i < m.length; i += 4) g.fillRect(m[i], m[i + 1], m[i + 2] - m[i], m[i + 3] - m[i + 1]);
}

export const playheadColor = kColors.playhead;
