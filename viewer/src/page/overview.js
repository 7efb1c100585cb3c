// The whole trace at a glance, above the flame chart: its first rows
// drawn small, and the stretch in view marked. A click or a drag on it
// moves the view there.

import { clearedCanvas } from './canvas.js';

const HEIGHT = 36;
// The rows drawn, each this many pixels tall.
const ROWS = 12;
const ROW = 3;
const WINDOW_FILL = 'hsl(210 90% 50% / 0.12)';
const WINDOW_EDGE = 'hsl(210 90% 40%)';

export class Overview {
  /** The overview of `chart` (a FlameChart), in `box`, the tracks above it. */
  constructor(box, chart) {
    this.chart = chart;
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'overview';
    this.canvas.title = 'The whole trace: click or drag to see a part of it';
    box.append(this.canvas);
    // The whole trace drawn once for a width and an axis, and kept.
    this.picture = null;
    this.listen();
  }

  invalidate() {
    this.picture = null;
  }

  draw() {
    const { chart } = this;
    const width = chart.width;
    if (this.picture?.width !== width) this.picture = this.paint(width);
    const context = clearedCanvas(this.canvas, width, HEIGHT);
    context.drawImage(this.picture.canvas, 0, 0, width, HEIGHT);
    const [w0, w1] = chart.viewport.whole;
    const [v0, v1] = chart.viewport.view;
    const left = (v0 - w0) / (w1 - w0) * width;
    const right = Math.max((v1 - w0) / (w1 - w0) * width, left + 2);
    context.fillStyle = WINDOW_FILL;
    context.fillRect(left, 0, right - left, HEIGHT);
    context.strokeStyle = WINDOW_EDGE;
    context.lineWidth = 1;
    context.strokeRect(left + 0.5, 0.5, right - left - 1, HEIGHT - 1);
    this.canvas.dataset.window = `${left.toFixed(0)},${right.toFixed(0)}`;
  }

  // The first rows of the whole trace, a pixel at a time: the call that
  // covers each pixel first, in its colour.
  paint(width) {
    const { rows, colourOf } = this.chart;
    const canvas = document.createElement('canvas');
    const context = clearedCanvas(canvas, width, HEIGHT);
    const [w0, w1] = this.chart.viewport.whole;
    const scale = width / (w1 - w0);
    for (let d = 0; d < Math.min(rows.depthCount, ROWS); d++) {
      const row = rows.row(d);
      for (let x = 0; x < width;) {
        const i = rows.firstEndingAfter(row, w0 + x / scale);
        if (i >= row.length) break;
        const id = row[i];
        const from = Math.max(Math.floor((rows.from(id) - w0) * scale), x);
        const to = Math.max(Math.ceil((rows.to(id) - w0) * scale), from + 1);
        context.fillStyle = colourOf[rows.calls.name[id]];
        context.fillRect(from, d * ROW, to - from, ROW - 1);
        x = to;
      }
    }
    return { width, canvas };
  }

  // Moves the view so that it is centred where the pointer is.
  moveTo(x) {
    const { chart } = this;
    const [w0, w1] = chart.viewport.whole;
    const centre = w0 + x / chart.width * (w1 - w0);
    chart.viewport.setView(centre - chart.viewport.span / 2, chart.viewport.span);
    chart.draw();
  }

  listen() {
    let dragging = false;
    const x = (event) => event.clientX - this.canvas.getBoundingClientRect().left;
    this.canvas.addEventListener('pointerdown', (event) => {
      dragging = true;
      this.canvas.setPointerCapture(event.pointerId);
      this.moveTo(x(event));
    });
    this.canvas.addEventListener('pointermove', (event) => {
      if (dragging) this.moveTo(x(event));
    });
    this.canvas.addEventListener('pointerup', () => {
      dragging = false;
      this.chart.on.view?.();
    });
  }
}
