// The calls as a flame chart on a canvas: one row per depth, callers above
// the calls they make, each call as long as it lasted (time) or as many
// records as it spans (record order). Drawn from the flat tables of
// dump-tables.js, so that a million calls draw as fast as a hundred: each
// row draws only what lies in view, and calls narrower than a pixel share
// the pixel they fall in.
//
// The wheel scrolls the rows; Ctrl or Shift and the wheel, or + and -,
// zoom; drag or the arrow keys pan, 0 shows everything; the pointer over a
// call says its name, start, duration and self time.

import { CALL_FLAGS } from '../model/dump-tables.js';
import { FrameTrack } from './frame-track.js';
import { clearedCanvas } from './canvas.js';
import { firstIndex } from '../model/search.js';
import { formatMs } from '../model/format.js';

const ROW = 18;
const RULER = 18;
const MOST_HEIGHT = 540;
const LABEL_WIDTH = 36;
// Calls no wider than this, in pixels, side by side, are drawn as one box:
// in the colour of their function when they are all of one, else in this.
const DENSE_WIDTH = 2;
const DENSE_COLOUR = 'hsl(220 12% 74%)';
const LABEL_COLOUR = '#10131a';
// What a search dims, what it finds among calls too narrow to see, and
// the outline of the call selected.
const DIM_COLOUR = 'hsl(220 10% 92%)';
const MATCH_COLOUR = 'hsl(28 95% 55%)';
const SELECTED_COLOUR = '#10131a';
const RANGE_COLOUR = 'hsl(210 90% 50% / 0.15)';
// The narrowest view, in records or milliseconds: one call fills it.
const NARROWEST = { sequence: 1, time: 0.01 };

function hue(name) {
  let hash = 0;
  for (let i = 0; i < name.length; i++) hash = (hash * 31 + name.charCodeAt(i)) >>> 0;
  return hash % 360;
}

// A chart shows hundredths of the short times that a table rounds to tenths.
const formatFineMs = (value) => formatMs(value, { fine: true });

export class FlameChart {
  /**
   * Draws `calls` (dump-tables.js's table) named by `names` into `box`.
   * `onSelect(call)` hears of a call clicked, `onRange([from, to] or
   * null)` of a stretch selected on the ruler. With `frames` (dump-tables'
   * framesTable) of a dump of `records` records, a frame track shows them
   * above the chart, frames over `budget` ms marked.
   */
  constructor(box, calls, names, { onSelect = () => {}, onRange = () => {}, frames = null, records = 0,
                                    budget = 1000 / 30 } = {}) {
    this.box = box;
    this.calls = calls;
    this.names = names;
    this.onSelect = onSelect;
    this.onRange = onRange;
    // The stretch selected on the ruler, [from, to] on the axis, or null.
    this.range = null;
    this.colours = names.map((name) => `hsl(${hue(name)} 62% 72%)`);
    this.axis = 'sequence';
    this.top = 0;
    // Per name, 1 when it matches a search; null when none is made.
    this.matches = null;
    // The call selected, and its depth, or -1.
    this.selected = -1;
    this.selectedDepth = -1;
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'flame';
    this.canvas.tabIndex = 0;
    this.canvas.setAttribute('role', 'img');
    this.tip = document.createElement('div');
    this.tip.className = 'flame-tip';
    this.tip.hidden = true;
    this.depthNote = document.createElement('p');
    this.depthNote.className = 'chart-depth';
    box.replaceChildren(this.canvas, this.tip, this.depthNote);
    this.frameTrack = frames?.count ? new FrameTrack(box, frames, records, this, budget) : null;
    this.listen();
    this.setAxis('sequence');
  }

  /**
   * Draws on `axis` ('sequence' or 'time'), the whole trace in view; a
   * stretch selected on the other axis is let go.
   */
  setAxis(axis) {
    this.axis = axis;
    if (this.range) {
      this.range = null;
      this.onRange(null);
    }
    this.showAll();
  }

  /** The whole trace in view. */
  showAll() {
    // The calls at the top hold all others.
    const top = this.calls.count ? this.row(0) : [];
    const low = top.length ? this.from(top[0]) : 0;
    const high = top.length ? this.to(top[top.length - 1]) : 1;
    this.whole = [low, Math.max(high, low + NARROWEST[this.axis])];
    this.view = [...this.whole];
    this.top = 0;
    this.draw();
  }

  row(depth) {
    const { rowOrder, rowStarts } = this.calls;
    return rowOrder.subarray(rowStarts[depth], rowStarts[depth + 1]);
  }

  from(id) {
    return this.axis === 'time' ? this.calls.start[id] : this.calls.first[id];
  }

  to(id) {
    return this.axis === 'time' ? this.calls.end[id] : this.calls.last[id] + 1;
  }

  // The first call of `row` that ends after `value` (or at it, for calls
  // of no length there).
  firstEndingAfter(row, value) {
    return firstIndex(row.length, (i) => this.to(row[i]) >= value);
  }

  /** Draws what is in view; returns how many boxes it drew. */
  draw() {
    const started = performance.now();
    const width = Math.max(this.box.clientWidth, 300);
    const rows = this.calls.depthCount;
    const height = Math.min(rows * ROW, MOST_HEIGHT) + RULER;
    this.top = Math.max(0, Math.min(this.top, rows * ROW + RULER - height));
    this.width = width;
    this.height = height;
    const context = clearedCanvas(this.canvas, width, height);
    context.font = '11px system-ui, sans-serif';
    context.textBaseline = 'middle';
    const [v0, v1] = this.view;
    const scale = width / (v1 - v0);
    let boxes = 0;
    const { matches, colours } = this;
    const colourOf = matches ? (name) => (matches[name] ? colours[name] : DIM_COLOUR) : (name) => colours[name];
    // A colour set again is parsed again: set it only when it changes.
    let colour = null;
    const paint = (next) => {
      if (next === colour) return;
      colour = next;
      context.fillStyle = next;
    };
    const firstRow = Math.floor(this.top / ROW);
    const lastRow = Math.min(rows, Math.ceil((this.top + height - RULER) / ROW));
    for (let d = firstRow; d < lastRow; d++) {
      const row = this.row(d);
      const y = RULER + d * ROW - this.top;
      let i = this.firstEndingAfter(row, v0);
      // Where the pixels drawn so far end: a call within them is hidden.
      let covered = -Infinity;
      // Calls of a pixel or two side by side, drawn as one box: at a wide
      // view there are thousands, and each box drawn costs.
      let denseFrom = 0;
      let denseTo = -Infinity;
      let denseColour = null;
      let denseMatched = false;
      const drawDense = () => {
        if (denseTo <= denseFrom) return;
        // A search's match shows even among calls too narrow to see.
        paint(matches ? (denseMatched ? MATCH_COLOUR : DIM_COLOUR) : denseColour);
        const from = Math.floor(denseFrom);
        context.fillRect(from, y, Math.ceil(denseTo) - from, ROW - 1);
        boxes += 1;
        denseTo = -Infinity;
      };
      while (i < row.length) {
        const id = row[i];
        const from = this.from(id);
        if (from > v1 || (from === v1 && v1 !== v0)) break;
        const x0 = (from - v0) * scale;
        const x1 = (this.to(id) - v0) * scale;
        if (x1 <= covered) {
          // Skip to the first call that ends past the pixel covered.
          i = this.firstEndingAfter(row, v0 + (covered + 0.001) / scale);
          continue;
        }
        const left = Math.max(x0, covered, -1);
        const right = Math.max(Math.min(x1, width + 1), left + 1);
        covered = Math.ceil(right);
        if (right - left <= DENSE_WIDTH) {
          // A gap of less than a pixel does not show.
          const name = this.calls.name[id];
          if (left > denseTo + 1) {
            drawDense();
            denseFrom = left;
            denseColour = colours[name];
            denseMatched = false;
          } else if (denseColour !== colours[name]) {
            denseColour = DENSE_COLOUR;
          }
          if (matches && matches[name]) denseMatched = true;
          denseTo = right;
          i++;
          continue;
        }
        drawDense();
        paint(colourOf(this.calls.name[id]));
        context.fillRect(left, y, right - left - (right - left > 3 ? 0.5 : 0), ROW - 1);
        boxes += 1;
        if (right - left > LABEL_WIDTH) {
          const name = this.names[this.calls.name[id]];
          const room = Math.floor((right - left - 6) / 6.2);
          paint(LABEL_COLOUR);
          context.fillText(name.length > room ? `${name.slice(0, Math.max(room - 1, 1))}…` : name,
                           left + 3, y + ROW / 2);
        }
        i++;
      }
      drawDense();
    }
    this.outlineSelected(context, v0, scale, firstRow, lastRow);
    this.drawRuler(context, v0, v1, width);
    if (this.range) {
      const left = Math.max((this.range[0] - v0) * scale, 0);
      const right = Math.min((this.range[1] - v0) * scale, width);
      if (right > left) {
        context.fillStyle = RANGE_COLOUR;
        context.fillRect(left, 0, right - left, height);
      }
    }
    this.depthNote.textContent = rows > lastRow - firstRow
      ? `Depths ${firstRow + 1} to ${lastRow} of ${rows}: the wheel scrolls them.`
      : `The calls nest ${rows} deep.`;
    this.frameTrack?.draw();
    this.canvas.dataset.view = `${v0},${v1}`;
    this.canvas.dataset.boxes = String(boxes);
    this.canvas.dataset.drawMs = (performance.now() - started).toFixed(2);
    return boxes;
  }

  outlineSelected(context, v0, scale, firstRow, lastRow) {
    const id = this.selected;
    const depth = this.selectedDepth;
    if (id < 0 || depth < firstRow || depth >= lastRow) return;
    const left = Math.max((this.from(id) - v0) * scale, -2);
    const right = Math.min(Math.max((this.to(id) - v0) * scale, left + 2), this.width + 2);
    if (right < 0 || left > this.width) return;
    context.lineWidth = 2;
    context.strokeStyle = SELECTED_COLOUR;
    context.strokeRect(left + 1, RULER + depth * ROW - this.top + 1, right - left - 2, ROW - 3);
  }

  /** Shows the calls of the names for which `matches` (one entry a name) is 1, the others dimmed; null: all. */
  setMatches(matches) {
    this.matches = matches;
    this.draw();
  }

  /** Outlines the call `id`, -1 for none; brings its depth into view. */
  select(id) {
    this.selected = id;
    this.selectedDepth = id < 0 ? -1 : this.depthOf(id);
    if (id >= 0) {
      const rowTop = this.selectedDepth * ROW;
      const shown = this.height - RULER;
      if (rowTop < this.top || rowTop + ROW > this.top + shown) this.top = rowTop - shown / 2;
    }
    this.draw();
  }

  // The place in `row` of the last call that begins at or before record `first`.
  lastBeginningBy(row, first) {
    return firstIndex(row.length, (i) => this.calls.first[row[i]] > first) - 1;
  }

  /** The depth of the call `id`. */
  depthOf(id) {
    for (let d = 0; d < this.calls.depthCount; d++) {
      const row = this.row(d);
      const at = this.lastBeginningBy(row, this.calls.first[id]);
      // Calls that begin at one record: the one asked for is among them.
      for (let i = at; i >= 0 && this.calls.first[row[i]] === this.calls.first[id]; i--) {
        if (row[i] === id) return d;
      }
    }
    return -1;
  }

  /** The calls that hold call `id` at `depth`, innermost first. */
  callersOf(id, depth) {
    const callers = [];
    for (let d = depth - 1; d >= 0; d--) {
      const row = this.row(d);
      const at = this.lastBeginningBy(row, this.calls.first[id]);
      if (at < 0) break;
      callers.push(row[at]);
    }
    return callers;
  }

  drawRuler(context, v0, v1, width) {
    context.fillStyle = '#f7f8fb';
    context.fillRect(0, 0, width, RULER);
    context.fillStyle = '#5d6577';
    const span = v1 - v0;
    const rough = span / 8;
    const power = 10 ** Math.floor(Math.log10(rough));
    const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= rough);
    const unit = this.axis === 'time' ? ' ms' : '';
    for (let value = Math.ceil(v0 / step) * step; value <= v1; value += step) {
      const x = (value - v0) / span * width;
      context.fillRect(x, RULER - 5, 1, 5);
      const label = this.axis === 'time' ? formatFineMs(+(value + this.calls.origin).toFixed(6)) + unit
        : `#${Math.round(value) + 1}`;
      context.fillText(label, x + 3, RULER / 2 - 1);
    }
  }

  /** Zooms by `factor` (below 1: in) around the view's point at `fraction` of its width. */
  zoom(factor, fraction = 0.5) {
    const [v0, v1] = this.view;
    const span = v1 - v0;
    const wholeSpan = this.whole[1] - this.whole[0];
    const next = Math.min(Math.max(span * factor, NARROWEST[this.axis]), wholeSpan);
    const pivot = v0 + span * fraction;
    this.setView(pivot - next * fraction, next);
  }

  /** Moves the view by `fraction` of its width. */
  pan(fraction) {
    const [v0, v1] = this.view;
    this.setView(v0 + (v1 - v0) * fraction, v1 - v0);
  }

  /** Selects the stretch `range` ([from, to] on the axis), or none. */
  selectRange(range) {
    this.range = range;
    this.draw();
    this.onRange(range);
  }

  // Selects the next slow frame (`step` 1) or the one before (-1), and
  // shows it across the chart.
  toSlowFrame(step) {
    const frame = this.frameTrack?.slowFrom(step) ?? -1;
    if (frame < 0) return;
    const [from, to] = this.frameTrack.span(frame);
    const span = Math.max(to - from, NARROWEST[this.axis]);
    this.range = [from, to];
    this.setView(from - span * 0.1, Math.min(span * 1.2, this.whole[1] - this.whole[0]));
    this.onRange(this.range);
  }

  /** The value on the axis at `x` pixels from the chart's left. */
  valueAt(x) {
    const [v0, v1] = this.view;
    return v0 + x / this.width * (v1 - v0);
  }

  setView(from, span) {
    const [low, high] = this.whole;
    const start = Math.min(Math.max(from, low), high - span);
    this.view = [start, start + span];
    this.draw();
  }

  /** Shows the call `id` across the whole width. */
  zoomTo(id) {
    const from = this.from(id);
    const span = Math.max(this.to(id) - from, NARROWEST[this.axis]);
    this.setView(from - span * 0.02, span * 1.04);
  }

  /** The call under the point (x, y) of the canvas, or -1. */
  callAt(x, y) {
    if (y < RULER) return -1;
    const depth = Math.floor((y - RULER + this.top) / ROW);
    if (depth >= this.calls.depthCount) return -1;
    const [v0, v1] = this.view;
    const scale = this.width / (v1 - v0);
    const value = v0 + x / scale;
    const row = this.row(depth);
    // The call there, or one narrower than a pixel drawn there.
    const i = this.firstEndingAfter(row, value - 1 / scale);
    if (i >= row.length) return -1;
    const id = row[i];
    const left = (this.from(id) - v0) * scale;
    const right = Math.max((this.to(id) - v0) * scale, left + 1);
    return x >= left - 0.5 && x <= right + 0.5 ? id : -1;
  }

  /** What the pointer says of call `id`. */
  describe(id) {
    const { calls } = this;
    const missing = [];
    if (calls.flags[id] & CALL_FLAGS.ENTER_MISSING) missing.push('its enter');
    if (calls.flags[id] & CALL_FLAGS.EXIT_MISSING) missing.push('its exit');
    return `${this.names[calls.name[id]]}: starts at ${formatFineMs(calls.start[id] + calls.origin)} ms, lasts ` +
           `${formatFineMs(calls.duration[id])} ms, ${formatFineMs(calls.self[id])} ms of it its own; ` +
           `records ${calls.first[id] + 1} to ${calls.last[id] + 1}` +
           (missing.length ? ` (${missing.join(' and ')} not recorded)` : '');
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
      if (event.ctrlKey || event.shiftKey || event.metaKey) {
        this.zoom(delta > 0 ? 1.25 : 0.8, x / this.width);
      } else {
        this.top += delta;
        this.draw();
      }
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
      drag = { x: event.clientX, y: event.clientY, view: [...this.view], top: this.top, moved: false };
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
        this.top = drag.top - dy;
        this.setView(drag.view[0] - dx / this.width * span, span);
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
      drag = null;
      if (!clicked) return;
      const id = this.callAt(...point(event));
      if (id >= 0) this.onSelect(id);
    });
    canvas.addEventListener('dblclick', (event) => {
      const id = this.callAt(...point(event));
      if (id >= 0) this.zoomTo(id);
    });
    canvas.addEventListener('pointerleave', () => { this.tip.hidden = true; });
    canvas.addEventListener('keydown', (event) => {
      const keys = { '+': () => this.zoom(0.8), '=': () => this.zoom(0.8), '-': () => this.zoom(1.25),
                     ArrowLeft: () => this.pan(-0.1), ArrowRight: () => this.pan(0.1),
                     ArrowUp: () => { this.top -= ROW; this.draw(); },
                     ArrowDown: () => { this.top += ROW; this.draw(); }, 0: () => this.showAll(),
                     ']': () => this.toSlowFrame(1), '[': () => this.toSlowFrame(-1) };
      if (!keys[event.key]) return;
      event.preventDefault();
      keys[event.key]();
    });
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
