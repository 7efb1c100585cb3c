// Draws calls as a flame chart: one row per call depth, callers above the
// calls they make, each call as wide as it lasted (or as many records as it
// spans, which keeps the many calls of under a millisecond visible).

import { walkCalls } from './trace.js';

const SVG = 'http://www.w3.org/2000/svg';
const ROW = 20;
const AXIS = 18;

function colour(name) {
  let hash = 0;
  for (const c of name) hash = (hash * 31 + c.codePointAt(0)) >>> 0;
  return `hsl(${hash % 360} 62% 72%)`;
}

function element(name, attributes, text) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== undefined) node.textContent = text;
  return node;
}

/** The horizontal extent of a call on the chosen axis. */
function extent(call, axis) {
  return axis === 'time' ? [call.start, call.end] : [call.first, call.last + 1];
}

// Pixels per record or per millisecond: enough to read the names.
const SCALE = { sequence: 8, time: 4 };

/**
 * Returns an SVG element that draws `roots`, at least `minWidth` pixels
 * wide and wider when there are many records.
 */
export function drawCalls(roots, axis, minWidth) {
  let low = Infinity;
  let high = -Infinity;
  let depth = 0;
  walkCalls(roots, (call, d) => {
    const [from, to] = extent(call, axis);
    low = Math.min(low, from);
    high = Math.max(high, to);
    depth = Math.max(depth, d + 1);
  });
  if (depth === 0) return element('svg', { width: minWidth, height: AXIS, role: 'img' });
  const span = Math.max(high - low, 1);
  const width = Math.max(minWidth, Math.ceil(span * SCALE[axis]));
  const svg = element('svg', { width, height: depth * ROW + AXIS, role: 'img' });
  const x = (value) => ((value - low) / span) * (width - 2) + 1;
  walkCalls(roots, (call, d) => {
    const [from, to] = extent(call, axis);
    const left = x(from);
    const w = Math.max(x(to) - left, 1);
    const group = element('g', { class: 'call' });
    const duration = call.end - call.start;
    const unfinished = !call.enterSeen || !call.exitSeen ? ' (not all of it recorded)' : '';
    group.append(element('title', {}, `${call.name}: ${call.start}–${call.end} ms, ${duration} ms${unfinished}`));
    group.append(element('rect', { x: left, y: d * ROW, width: w, height: ROW - 2, rx: 2,
                                   fill: colour(call.name), 'data-name': call.name }));
    if (w > 40) {
      const label = call.name.length * 6.5 > w - 6 ? `${call.name.slice(0, Math.floor((w - 6) / 6.5))}…` : call.name;
      group.append(element('text', { x: left + 3, y: d * ROW + 13 }, label));
    }
    svg.append(group);
  });
  const unit = axis === 'time' ? `ms ${low} to ${high}` : `records ${low + 1} to ${high}`;
  svg.append(element('text', { x: 4, y: depth * ROW + 13, class: 'axis-label' }, unit));
  return svg;
}
