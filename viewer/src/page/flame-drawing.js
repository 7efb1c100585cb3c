// Drawing the flame chart on its canvas: each row draws only what lies in
// view, and calls narrower than a pixel share the pixel they fall in, so
// that a million calls draw as fast as a hundred.

import { formatMs } from '../model/format.js';
import { firstIndex } from '../model/search.js';

export const ROW = 18;
export const RULER = 18;
const LABEL_WIDTH = 36;
// Calls no wider than this, in pixels, side by side, are drawn as one box:
// in the colour of their function when they are all of one, else in this.
const DENSE_WIDTH = 2;
const DENSE_COLOUR = 'hsl(220 12% 74%)';
const LABEL_COLOUR = '#10131a';
// What a highlight dims, what it shows among calls too narrow to see, the
// outline of the call selected, the stretch selected.
const DIM_COLOUR = 'hsl(220 10% 92%)';
const LIT_COLOUR = 'hsl(28 95% 55%)';
const SELECTED_COLOUR = '#10131a';
const RANGE_COLOUR = 'hsl(210 90% 50% / 0.15)';

function hue(name) {
  let hash = 0;
  for (let i = 0; i < name.length; i++) hash = (hash * 31 + name.charCodeAt(i)) >>> 0;
  return hash % 360;
}

/** Each name's colour: its own hue, the same on every page. */
export function colours(names) {
  return names.map((name) => `hsl(${hue(name)} 62% 72%)`);
}

/**
 * Draws on `context`, `width` by `height` pixels (the ruler included), the
 * rows of `rows` (FlameRows) that `viewport` shows. `lit(id)`, when given,
 * says which calls are lit: the others are dimmed. `selected` is
 * { id, depth } of the call outlined (id -1: none), `range` the stretch
 * selected or null. Returns { boxes, lit (of them, how many lit), firstRow,
 * lastRow }.
 */
export function drawFlame(context, { width, height, rows, viewport, names, colourOf, lit, selected, range, origin }) {
  context.font = '11px system-ui, sans-serif';
  context.textBaseline = 'middle';
  const [v0, v1] = viewport.view;
  const scale = width / (v1 - v0);
  const { calls } = rows;
  let boxes = 0;
  let litBoxes = 0;
  let colour = null;
  // A colour set again is parsed again: set it only when it changes.
  const paint = (next) => {
    if (next === colour) return;
    colour = next;
    context.fillStyle = next;
  };
  const boxColour = (id) => (!lit || lit(id) ? colourOf[calls.name[id]] : DIM_COLOUR);
  const firstRow = Math.floor(viewport.top / ROW);
  const lastRow = Math.min(rows.depthCount, Math.ceil((viewport.top + height - RULER) / ROW));
  for (let d = firstRow; d < lastRow; d++) {
    const row = rows.row(d);
    const y = RULER + d * ROW - viewport.top;
    let i = rows.firstEndingAfter(row, v0);
    // Where the pixels drawn so far end: a call within them is hidden.
    let covered = -Infinity;
    // Calls of a pixel or two side by side, drawn as one box: at a wide
    // view there are thousands, and each box drawn costs.
    let denseFrom = 0;
    let denseTo = -Infinity;
    let denseColour = null;
    let denseLit = false;
    const drawDense = () => {
      if (denseTo <= denseFrom) return;
      // What is lit shows even among calls too narrow to see.
      paint(lit ? (denseLit ? LIT_COLOUR : DIM_COLOUR) : denseColour);
      const from = Math.floor(denseFrom);
      context.fillRect(from, y, Math.ceil(denseTo) - from, ROW - 1);
      boxes += 1;
      if (denseLit) litBoxes += 1;
      denseTo = -Infinity;
    };
    while (i < row.length) {
      const id = row[i];
      const from = rows.from(id);
      if (from > v1 || (from === v1 && v1 !== v0)) break;
      const x0 = (from - v0) * scale;
      const x1 = (rows.to(id) - v0) * scale;
      if (x1 <= covered) {
        // Skip to the first call that ends past the pixel covered.
        i = rows.firstEndingAfter(row, v0 + (covered + 0.001) / scale);
        continue;
      }
      const left = Math.max(x0, covered, -1);
      const right = Math.max(Math.min(x1, width + 1), left + 1);
      covered = Math.ceil(right);
      if (right - left <= DENSE_WIDTH) {
        // A gap of less than a pixel does not show.
        const own = colourOf[calls.name[id]];
        if (left > denseTo + 1) {
          drawDense();
          denseFrom = left;
          denseColour = own;
          denseLit = false;
        } else if (denseColour !== own) {
          denseColour = DENSE_COLOUR;
        }
        if (lit && lit(id)) denseLit = true;
        denseTo = right;
        i++;
        continue;
      }
      drawDense();
      paint(boxColour(id));
      context.fillRect(left, y, right - left - (right - left > 3 ? 0.5 : 0), ROW - 1);
      boxes += 1;
      if (lit && lit(id)) litBoxes += 1;
      if (right - left > LABEL_WIDTH) {
        const name = names[calls.name[id]];
        const room = Math.floor((right - left - 6) / 6.2);
        paint(LABEL_COLOUR);
        context.fillText(name.length > room ? `${name.slice(0, Math.max(room - 1, 1))}…` : name, left + 3, y + ROW / 2);
      }
      i++;
    }
    drawDense();
  }
  outline(context, { rows, viewport, scale, width, selected, firstRow, lastRow });
  drawRuler(context, { viewport, width, origin });
  if (range) {
    const left = Math.max((range[0] - v0) * scale, 0);
    const right = Math.min((range[1] - v0) * scale, width);
    if (right > left) {
      context.fillStyle = RANGE_COLOUR;
      context.fillRect(left, 0, right - left, height);
    }
  }
  return { boxes, lit: litBoxes, firstRow, lastRow };
}

function outline(context, { rows, viewport, scale, width, selected, firstRow, lastRow }) {
  const { id, depth } = selected;
  if (id < 0 || depth < firstRow || depth >= lastRow) return;
  const v0 = viewport.view[0];
  const left = Math.max((rows.from(id) - v0) * scale, -2);
  const right = Math.min(Math.max((rows.to(id) - v0) * scale, left + 2), width + 2);
  if (right < 0 || left > width) return;
  context.lineWidth = 2;
  context.strokeStyle = SELECTED_COLOUR;
  context.strokeRect(left + 1, RULER + depth * ROW - viewport.top + 1, right - left - 2, ROW - 3);
}

function drawRuler(context, { viewport, width, origin }) {
  const [v0, v1] = viewport.view;
  context.fillStyle = '#f7f8fb';
  context.fillRect(0, 0, width, RULER);
  context.fillStyle = '#5d6577';
  const span = v1 - v0;
  const rough = span / 8;
  const power = 10 ** Math.floor(Math.log10(rough));
  const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= rough);
  for (let value = Math.ceil(v0 / step) * step; value <= v1; value += step) {
    const x = (value - v0) / span * width;
    context.fillRect(x, RULER - 5, 1, 5);
    const label = viewport.axis === 'time' ? `${formatMs(+(value + origin).toFixed(6), { fine: true })} ms`
      : `#${Math.round(value) + 1}`;
    context.fillText(label, x + 3, RULER / 2 - 1);
  }
}

const TRACE_COLOUR = '#10131a';

/**
 * Marks on the chart the lines the movie printed with trace(): a tick on
 * the row of the call that printed each (the top row for none), where it
 * was printed. `traces` are dump-tables.js's, `depths` the row of each.
 */
export function drawTraceMarks(context, { width, height, rows, viewport, traces, depths }) {
  const [v0, v1] = viewport.view;
  const scale = width / (v1 - v0);
  const at = rows.axis === 'time' ? traces.time : traces.record;
  context.fillStyle = TRACE_COLOUR;
  let drawn = -1;
  for (let i = firstIndex(traces.count, (k) => at[k] >= v0); i < traces.count && at[i] <= v1; i++) {
    const x = Math.floor((at[i] - v0) * scale);
    const y = RULER + depths[i] * ROW - viewport.top;
    if (y < RULER || y > height) continue;
    // Many lines in a pixel make one mark.
    if (x === drawn) continue;
    drawn = x;
    context.fillRect(x, y, 2, 5);
  }
}
