// The calls as a flame chart on a canvas that fills its box: one row per
// depth, callers above the calls they make, each call as long as it
// lasted (time) or as many records as it spans (record order). The row
// queries are flame-rows.js's, what is in view flame-viewport.js's, the
// drawing flame-drawing.js's; this wires them to the pointer and the keys,
// and to the tracks above (the frames, the overview).
//
// The wheel scrolls the rows; Ctrl or Shift and the wheel, or + and -,
// zoom; drag or the arrow keys pan, 0 shows everything; the pointer over a
// call says its name, start, duration and self time; a drag on the ruler
// selects a stretch.

import { CALL_FLAGS } from '../model/dump-tables.js';
import { formatMs } from '../model/format.js';
import { clearedCanvas } from './canvas.js';
import { FlameRows } from './flame-rows.js';
import { Viewport } from './flame-viewport.js';
import { ROW, RULER, colours, drawFlame, drawTraceMarks } from './flame-drawing.js';
import { FrameTrack } from './frame-track.js';
import { Overview } from './overview.js';

const fine = (value) => formatMs(value, { fine: true });

export class FlameChart {
  /**
   * Draws `calls` (dump-tables.js's table) named by `names` into `box`,
   * and above it, into `tracks`, the frames (`frames`, dump-tables'
   * framesTable, of a dump of `records` records; those over `budget` ms
   * marked) and an overview of the whole trace, its last record `end` ms
   * after the first; the lines the movie printed with trace() (`traces`,
   * dump-tables' tracesTable) are marked on their calls' rows. `on` hears what the pointer and the keys select:
   * call(id), range([from, to] or null), frame(i), view() when the view
   * moves.
   */
  constructor(box, tracks, calls, names, { on = {}, frames = null, traces = null, records = 0, end = 0,
                                          budget = 1000 / 30, axis = 'sequence' } = {}) {
    this.box = box;
    // The lines the movie printed with trace(), marked on their calls' rows.
    this.traces = traces?.count ? traces : null;
    this.traceDepths = null;
    this.calls = calls;
    this.names = names;
    this.on = on;
    this.rows = new FlameRows(calls, { axis, records, end });
    this.viewport = new Viewport();
    this.colourOf = colours(names);
    // Which calls are lit (a function found or selected, a path of the
    // tree), or null: all.
    this.lit = null;
    this.selected = { id: -1, depth: -1 };
    // The stretch selected on the ruler, [from, to] on the axis, or null.
    this.range = null;
    this.width = 300;
    this.height = RULER + ROW;
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'flame';
    this.canvas.tabIndex = 0;
    this.canvas.setAttribute('role', 'img');
    this.canvas.setAttribute('aria-label', 'The calls, as a flame chart');
    this.tip = document.createElement('div');
    this.tip.className = 'flame-tip';
    this.tip.hidden = true;
    this.depthNote = document.createElement('p');
    this.depthNote.className = 'chart-depth';
    box.replaceChildren(this.canvas, this.tip, this.depthNote);
    this.frameTrack = frames?.count ? new FrameTrack(tracks, frames, records, this, budget) : null;
    this.overview = new Overview(tracks, this);
    this.listen();
    this.setAxis(axis);
  }

  get axis() {
    return this.rows.axis;
  }

  get view() {
    return this.viewport.view;
  }

  /** Draws on `axis` ('sequence' or 'time'), the whole trace in view; a stretch on the other axis is let go. */
  setAxis(axis) {
    this.rows.axis = axis;
    this.viewport.reset(axis, this.rows.whole());
    this.overview.invalidate();
    if (this.range) {
      this.range = null;
      this.on.range?.(null);
    }
    this.draw();
  }

  /** The whole trace in view. */
  showAll() {
    this.viewport.showAll();
    this.draw();
  }

  /** Draws what is in view; returns how many boxes it drew. */
  draw() {
    const started = performance.now();
    const width = Math.max(this.box.clientWidth, 300);
    const height = Math.max(this.box.clientHeight, RULER + ROW);
    const rows = this.rows.depthCount;
    const { viewport } = this;
    viewport.top = Math.max(0, Math.min(viewport.top, rows * ROW + RULER - height));
    this.width = width;
    this.height = height;
    const context = clearedCanvas(this.canvas, width, height);
    const { boxes, lit, firstRow, lastRow } = drawFlame(context, {
      width, height, rows: this.rows, viewport, names: this.names, colourOf: this.colourOf, lit: this.lit,
      selected: this.selected, range: this.range, origin: this.calls.origin,
    });
    if (this.traces) {
      this.traceDepths ??= Int32Array.from(this.traces.call, (call) => (call < 0 ? 0 : this.rows.depthOf(call)));
      drawTraceMarks(context, { width, height, rows: this.rows, viewport, traces: this.traces, depths: this.traceDepths });
    }
    this.depthNote.textContent = rows > lastRow - firstRow
      ? `Depths ${firstRow + 1} to ${lastRow} of ${rows}: the wheel scrolls them.`
      : `The calls nest ${rows} deep.`;
    this.frameTrack?.draw();
    this.overview.draw();
    const [v0, v1] = viewport.view;
    this.canvas.dataset.view = `${v0},${v1}`;
    this.canvas.dataset.boxes = String(boxes);
    this.canvas.dataset.lit = this.lit ? String(lit) : '';
    this.canvas.dataset.drawMs = (performance.now() - started).toFixed(2);
    return boxes;
  }

  /** Lights the calls for which `lit(id)` holds, the others dimmed; null: all. */
  setLit(lit) {
    this.lit = lit;
    this.draw();
  }

  /** Outlines call `id`, -1 for none; brings its depth into view. */
  select(id) {
    const depth = id < 0 ? -1 : this.rows.depthOf(id);
    this.selected = { id, depth };
    if (id >= 0) {
      const rowTop = depth * ROW;
      const shown = this.height - RULER;
      if (rowTop < this.viewport.top || rowTop + ROW > this.viewport.top + shown) this.viewport.top = rowTop - shown / 2;
    }
    this.draw();
  }

  /** Shows the stretch `range` ([from, to] on the axis), or none; `tell` says it to `on.range`. */
  selectRange(range, { tell = true } = {}) {
    this.range = range;
    this.draw();
    if (tell) this.on.range?.(range);
  }

  /** Shows [from, to) across the chart, with a margin. */
  fit(from, to, margin = 0.1) {
    this.viewport.fit(from, to, margin);
    this.draw();
  }

  /** Shows the call `id` across the whole width. */
  zoomTo(id) {
    this.fit(this.rows.from(id), this.rows.to(id), 0.02);
  }

  zoom(factor, fraction) {
    this.viewport.zoom(factor, fraction);
    this.draw();
    this.on.view?.();
  }

  pan(fraction) {
    this.viewport.pan(fraction);
    this.draw();
    this.on.view?.();
  }

  scroll(pixels) {
    this.viewport.top += pixels;
    this.draw();
  }

  /** The value on the axis at `x` pixels from the chart's left. */
  valueAt(x) {
    return this.viewport.valueAt(x, this.width);
  }

  /** The call under the point (x, y) of the canvas, or -1. */
  callAt(x, y) {
    if (y < RULER) return -1;
    const depth = Math.floor((y - RULER + this.viewport.top) / ROW);
    return this.rows.callAt(depth, this.valueAt(x), this.viewport.span / this.width);
  }

  /** What the pointer says of call `id`. */
  describe(id) {
    const { calls } = this;
    const missing = [];
    if (calls.flags[id] & CALL_FLAGS.ENTER_MISSING) missing.push('its enter');
    if (calls.flags[id] & CALL_FLAGS.EXIT_MISSING) missing.push('its exit');
    return `${this.names[calls.name[id]]}: starts at ${fine(calls.start[id] + calls.origin)} ms, lasts ` +
           `${fine(calls.duration[id])} ms, ${fine(calls.self[id])} ms of it its own; ` +
           `records ${calls.first[id] + 1} to ${calls.last[id] + 1}` +
           (missing.length ? ` (${missing.join(' and ')} not recorded)` : '');
  }

  // Selects the next slow frame (`step` 1) or the one before (-1).
  toSlowFrame(step) {
    const frame = this.frameTrack?.slowFrom(step) ?? -1;
    if (frame >= 0) this.on.frame?.(frame);
  }

  /** Does what `key` asks of the chart; false for a key it has no use for. */
  key(key) {
    const keys = { '+': () => this.zoom(0.8), '=': () => this.zoom(0.8), '-': () => this.zoom(1.25),
                   ArrowLeft: () => this.pan(-0.1), ArrowRight: () => this.pan(0.1),
                   ArrowUp: () => this.scroll(-ROW), ArrowDown: () => this.scroll(ROW), 0: () => this.showAll(),
                   ']': () => this.toSlowFrame(1), '[': () => this.toSlowFrame(-1) };
    if (!keys[key]) return false;
    keys[key]();
    return true;
  }

  listen() {
    const canvas = this.canvas;
    const point = (event) => {
      const bounds = canvas.getBoundingClientRect();
      return [event.clientX - bounds.left, event.clientY - bounds.top];
    };
    // The wheel scrolls the rows; with Ctrl or Shift (or a pinch) it zooms.
    // Browsers turn Shift and the wheel into a sideways scroll.
    canvas.addEventListener('wheel', (event) => {
      event.preventDefault();
      const [x] = point(event);
      const delta = event.deltaY || event.deltaX;
      if (event.ctrlKey || event.shiftKey || event.metaKey) this.zoom(delta > 0 ? 1.25 : 0.8, x / this.width);
      else this.scroll(delta);
    }, { passive: false });
    let drag = null;
    // Dragged on the ruler, the pointer selects a stretch of the trace;
    // elsewhere it moves the view.
    let ranging = null;
    canvas.addEventListener('pointerdown', (event) => {
      canvas.focus();
      canvas.setPointerCapture(event.pointerId);
      const [x, y] = point(event);
      if (y < RULER) {
        ranging = { from: this.valueAt(x), x };
        return;
      }
      drag = { x: event.clientX, y: event.clientY, view: [...this.viewport.view], top: this.viewport.top, moved: false };
    });
    canvas.addEventListener('pointermove', (event) => {
      if (ranging) {
        const to = this.valueAt(point(event)[0]);
        this.range = [Math.min(ranging.from, to), Math.max(ranging.from, to)];
        this.draw();
        return;
      }
      if (drag) {
        const dx = event.clientX - drag.x;
        const dy = event.clientY - drag.y;
        if (Math.abs(dx) + Math.abs(dy) > 2) drag.moved = true;
        const span = drag.view[1] - drag.view[0];
        this.viewport.top = drag.top - dy;
        this.viewport.setView(drag.view[0] - dx / this.width * span, span);
        this.draw();
        return;
      }
      this.hover(...point(event));
    });
    canvas.addEventListener('pointerup', (event) => {
      if (ranging) {
        // A click on the ruler, not a drag, lets the selection go.
        const moved = Math.abs(point(event)[0] - ranging.x) > 2;
        ranging = null;
        this.selectRange(moved ? this.range : null);
        return;
      }
      const clicked = drag && !drag.moved;
      if (drag?.moved) this.on.view?.();
      drag = null;
      if (!clicked) return;
      const id = this.callAt(...point(event));
      if (id >= 0) this.on.call?.(id);
    });
    canvas.addEventListener('dblclick', (event) => {
      const id = this.callAt(...point(event));
      if (id >= 0) this.zoomTo(id);
    });
    canvas.addEventListener('pointerleave', () => { this.tip.hidden = true; });
  }

  hover(x, y) {
    const id = this.callAt(x, y);
    this.canvas.dataset.hovered = String(id);
    if (id < 0) {
      this.tip.hidden = true;
      return;
    }
    this.tip.textContent = this.describe(id);
    this.tip.hidden = false;
    this.tip.style.left = `${Math.min(x + 12, Math.max(this.width - 320, 0))}px`;
    this.tip.style.top = `${y + 14}px`;
  }
}
