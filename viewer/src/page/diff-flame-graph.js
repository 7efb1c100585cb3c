// The differential flame graph: the merged call tree of a dump and its
// base (dump-comparison.js's flattened tree), a path a box under its
// caller, as wide as its time in the dump, warmer where it got slower,
// cooler where faster, grey where it did not change; a path the base did
// not have is violet, with a mark. Paths the dump no longer makes have no
// width here; the Functions tab names them. A box tells its figures when
// pointed at, and selects its function when clicked.

import { clearedCanvas } from './canvas.js';
import { formatMs } from '../model/format.js';
import { STATUSES } from '../model/dump-comparison.js';
import { signedMs } from './function-table-view.js';

const ROW = 18;
// Narrower than this, a box and what it holds are not drawn.
const LEAST_WIDTH = 0.5;
const SAME_COLOUR = 'hsl(220 8% 86%)';
const NEW_COLOUR = 'hsl(275 55% 70%)';
const LABEL_COLOUR = '#10131a';
// A change below this share of the path's time is no change.
const NOISE = 0.005;

/** The colour of a path whose time went from `before` to `after` ms; how it changed. */
export function changeColour(before, after) {
  const larger = Math.max(before, after);
  const share = larger > 0 ? (after - before) / larger : 0;
  if (Math.abs(share) < NOISE) return { colour: SAME_COLOUR, change: 'same' };
  const strength = Math.min(1, Math.abs(share));
  const saturation = Math.round(35 + 55 * strength);
  const lightness = Math.round(84 - 30 * strength);
  return share > 0 ? { colour: `hsl(6 ${saturation}% ${lightness}%)`, change: 'slower' }
    : { colour: `hsl(212 ${saturation}% ${lightness}%)`, change: 'faster' };
}

export class DiffFlameGraph {
  /** In `box`; `on.select(name)` hears a box clicked. */
  constructor(box, { on = {} } = {}) {
    this.box = box;
    this.on = on;
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'diff-flame';
    this.canvas.setAttribute('role', 'img');
    box.replaceChildren(this.canvas);
    this.tree = null;
    this.boxes = [];
    this.canvas.addEventListener('mousemove', (event) => {
      const id = this.at(event);
      this.canvas.title = id < 0 ? '' : this.said(id);
      this.canvas.style.cursor = id < 0 ? '' : 'pointer';
    });
    this.canvas.addEventListener('click', (event) => {
      const id = this.at(event);
      if (id >= 0) this.on.select?.(this.tree.names[this.tree.name[id]]);
    });
  }

  /** Shows `tree` (flattenedTree's columns). */
  show(tree) {
    this.tree = tree;
    // Each node's children, and the roots, in their order.
    const { count, parent } = tree;
    this.firstChild = new Int32Array(count).fill(-1);
    this.nextSibling = new Int32Array(count).fill(-1);
    const last = new Int32Array(count).fill(-1);
    this.roots = [];
    let lastRoot = -1;
    for (let id = 0; id < count; id++) {
      const up = parent[id];
      if (up < 0) {
        if (lastRoot >= 0) this.nextSibling[lastRoot] = id;
        else this.roots.push(id);
        lastRoot = id;
      } else {
        if (last[up] >= 0) this.nextSibling[last[up]] = id;
        else this.firstChild[up] = id;
        last[up] = id;
      }
    }
    let depth = 0;
    for (let id = 0; id < count; id++) depth = Math.max(depth, tree.depth[id] + 1);
    this.depthCount = depth;
    this.draw();
  }

  /** Draws at the width the tab has. */
  draw() {
    if (!this.tree) return;
    const { tree } = this;
    const width = Math.max(200, this.box.clientWidth);
    const height = Math.max(ROW, this.depthCount * ROW);
    const context = clearedCanvas(this.canvas, width, height);
    context.font = '11px system-ui, sans-serif';
    context.textBaseline = 'middle';
    let whole = 0;
    for (let id = this.roots[0] ?? -1; id >= 0; id = this.nextSibling[id]) whole += tree.newTotal[id];
    const scale = whole > 0 ? width / whole : 0;
    const counts = { same: 0, slower: 0, faster: 0, new: 0 };
    this.boxes = [];
    const work = [];
    for (let id = this.roots[0] ?? -1, x = 0; id >= 0; id = this.nextSibling[id]) {
      work.push([id, x]);
      x += tree.newTotal[id] * scale;
    }
    while (work.length) {
      const [id, x] = work.pop();
      const w = tree.newTotal[id] * scale;
      if (w < LEAST_WIDTH) continue;
      const y = tree.depth[id] * ROW;
      const added = STATUSES[tree.status[id]] === 'new';
      const { colour, change } = added ? { colour: NEW_COLOUR, change: 'new' }
        : changeColour(tree.oldTotal[id], tree.newTotal[id]);
      counts[change] += 1;
      context.fillStyle = colour;
      context.fillRect(x, y, Math.max(w - 1, 0.5), ROW - 1);
      if (added && w > 6) {
        // The mark of a path the base did not have: a notch at its corner.
        context.fillStyle = LABEL_COLOUR;
        context.beginPath();
        context.moveTo(x, y);
        context.lineTo(x + 6, y);
        context.lineTo(x, y + 6);
        context.fill();
      }
      if (w > 30) {
        context.fillStyle = LABEL_COLOUR;
        context.save();
        context.beginPath();
        context.rect(x, y, w - 1, ROW - 1);
        context.clip();
        context.fillText(tree.names[tree.name[id]], x + 4, y + ROW / 2);
        context.restore();
      }
      this.boxes.push([id, x, y, w]);
      for (let child = this.firstChild[id], at = x; child >= 0; child = this.nextSibling[child]) {
        work.push([child, at]);
        at += tree.newTotal[child] * scale;
      }
    }
    // What was drawn, for those who read the page without seeing it.
    Object.assign(this.canvas.dataset, { boxes: String(this.boxes.length), same: String(counts.same),
                                         slower: String(counts.slower), faster: String(counts.faster),
                                         new: String(counts.new) });
    this.canvas.setAttribute('aria-label', `Differential flame graph: ${counts.slower} paths slower, ` +
                             `${counts.faster} faster, ${counts.new} new, ${counts.same} unchanged`);
  }

  // The node under the pointer, or -1.
  at(event) {
    const bounds = this.canvas.getBoundingClientRect();
    const x = event.clientX - bounds.left;
    const y = event.clientY - bounds.top;
    const found = this.boxes.find(([, bx, by, bw]) => x >= bx && x < bx + bw && y >= by && y < by + ROW);
    return found ? found[0] : -1;
  }

  // A path's figures in a line.
  said(id) {
    const { tree } = this;
    const name = tree.names[tree.name[id]];
    if (STATUSES[tree.status[id]] === 'new') return `${name}: new, ${formatMs(tree.newTotal[id])} ms in ${tree.newCalls[id]} calls`;
    const before = tree.oldTotal[id];
    const after = tree.newTotal[id];
    const percent = before > 0 ? ` (${signedMs((100 * (after - before)) / before)}%)` : '';
    return `${name}: ${formatMs(before)} ms in the base, ${formatMs(after)} ms here, ${signedMs(after - before)} ms${percent}; ` +
           `${tree.oldCalls[id]} calls then, ${tree.newCalls[id]} now`;
  }
}
