// Two dumps set side by side, a new one against a base (the old): per
// function and per path of the call tree, the figures of both and the
// change; and the first place where their calls part. The terminal's
// vimbrel-report --diff and the page's Compare tab show what this finds.

import { depthFirst } from './path-tree.js';

/** Where a function or a path is: in both dumps, only in the new, only in the old. */
export const BOTH = 'both';
export const NEW = 'new';
export const GONE = 'gone';

const NONE = Object.freeze({ calls: 0, total: 0, self: 0 });

const figures = (row) => (row ? { calls: row.calls, total: row.total, self: row.self } : NONE);
const statusOf = (fresh, old) => (fresh && old ? BOTH : fresh ? NEW : GONE);
const changeOf = (fresh, old) => ({ calls: fresh.calls - old.calls, total: fresh.total - old.total,
                                    self: fresh.self - old.self });

// The largest change of the total first; then the longer total, the name.
function byChange(a, b) {
  return Math.abs(b.change.total) - Math.abs(a.change.total) ||
         Math.max(b.new.total, b.old.total) - Math.max(a.new.total, a.old.total) ||
         (a.name < b.name ? -1 : a.name > b.name ? 1 : 0);
}

/**
 * The tables of functions of two dumps (rows of FunctionStats: name,
 * calls, total, self) as one: [{ name, status, old, new, change }], each
 * of old, new and change { calls, total, self } (zeros where it is not),
 * the largest change of the total first.
 */
export function compareFunctions(newRows, oldRows) {
  const old = new Map(oldRows.map((row) => [row.name, row]));
  const rows = [];
  for (const row of newRows) {
    const before = old.get(row.name);
    old.delete(row.name);
    rows.push({ name: row.name, status: statusOf(row, before), old: figures(before), new: figures(row) });
  }
  for (const before of old.values()) rows.push({ name: before.name, status: GONE, old: figures(before), new: NONE });
  for (const row of rows) row.change = changeOf(row.new, row.old);
  return rows.sort(byChange);
}

// The children of a merged path whose sides are `fresh` and `old` (nodes
// of either tree, or null): each { name, status, old, new, change,
// sides: [its new node, its old node] }, the largest change first.
function mergedChildren(fresh, old) {
  const children = [];
  const keys = new Set([...(fresh?.below?.keys() ?? []), ...(old?.below?.keys() ?? [])]);
  for (const key of keys) {
    const a = fresh?.below?.get(key) ?? null;
    const b = old?.below?.get(key) ?? null;
    const node = { name: (a ?? b).name, status: statusOf(a, b), old: figures(b), new: figures(a), sides: [a, b] };
    node.change = changeOf(node.new, node.old);
    children.push(node);
  }
  return children.sort(byChange);
}

/**
 * Two call trees (path-tree.js's, keyed by name) merged by their paths
 * from the top: each node { name, status, old, new, change, children },
 * the children the largest change first. Walked without recursion, for
 * stacks of any depth.
 */
export function mergeTrees(newTop, oldTop) {
  const top = { name: '', status: BOTH, old: sumOf(oldTop), new: sumOf(newTop), children: [] };
  top.change = changeOf(top.new, top.old);
  const work = [[top, newTop, oldTop]];
  while (work.length) {
    const [merged, fresh, old] = work.pop();
    merged.children = mergedChildren(fresh, old);
    for (const node of merged.children) work.push([node, ...node.sides]);
  }
  return top;
}

/**
 * The paths of two call trees merged, as mergeTrees orders them, depth
 * first, each as [node, depth]: made as they are walked, so that trees of
 * millions of paths are walked without a third.
 */
export function mergedPaths(newTop, oldTop) {
  return depthFirst(mergedChildren(newTop, oldTop), (node) => mergedChildren(...node.sides));
}

// A tree's top holds no call: its figures are those of its roots.
function sumOf(top) {
  const sum = { calls: 0, total: 0, self: 0 };
  for (const root of top?.below?.values() ?? []) {
    sum.calls += root.calls;
    sum.total += root.total;
  }
  return sum;
}

// A side's records waiting to be compared: names, kinds (1 for an enter)
// and indexes, taken from the front.
class Waiting {
  constructor() {
    this.names = [];
    this.enters = new Uint8Array(1 << 14);
    this.indexes = new Float64Array(1 << 14);
    this.head = 0;
    this.ended = false;
    this.records = 0;
  }

  push(name, enter, index) {
    const at = this.names.length;
    if (at === this.enters.length) this.grow();
    this.names.push(name);
    this.enters[at] = enter;
    this.indexes[at] = index;
  }

  grow() {
    const enters = new Uint8Array(this.enters.length * 2);
    const indexes = new Float64Array(this.enters.length * 2);
    enters.set(this.enters);
    indexes.set(this.indexes);
    this.enters = enters;
    this.indexes = indexes;
  }

  // What was taken goes.
  drop() {
    const kept = this.names.length - this.head;
    this.names = this.names.slice(this.head);
    this.enters.copyWithin(0, this.head, this.head + kept);
    this.indexes.copyWithin(0, this.head, this.head + kept);
    this.head = 0;
  }

  get count() {
    return this.names.length - this.head;
  }
}

/**
 * Finds the first place where the calls of two dumps part, read side by
 * side as they come: side 0 the new dump, side 1 the old. Each side's
 * enter and exit records are compared in order, by kind and name; frame
 * marks and printed lines are not calls. Records wait only while the other
 * side has not come as far, so that two dumps read together are compared
 * without being held: call settle() as the records come.
 */
export class PartingPlace {
  constructor() {
    this.sides = [new Waiting(), new Waiting()];
    // The calls open in both, by name: the same on both sides until they part.
    this.open = [];
    this.compared = 0;
    this.parted = null;
  }

  /** Record `index` of side `side`: `kind` 'Enter', 'Exit', 'Frame' or 'Trace'. */
  record(side, name, kind, index) {
    if (this.parted || (kind !== 'Enter' && kind !== 'Exit')) return;
    this.sides[side].push(name, kind === 'Enter' ? 1 : 0, index);
  }

  /** Compares what both sides have read so far. */
  settle() {
    if (this.parted) return;
    const [a, b] = this.sides;
    const { open } = this;
    const together = Math.min(a.count, b.count);
    let at = 0;
    for (; at < together; at++) {
      const name = a.names[a.head + at];
      const enter = a.enters[a.head + at];
      if (name !== b.names[b.head + at] || enter !== b.enters[b.head + at]) break;
      if (enter) {
        open.push(name);
      } else if (open[open.length - 1] === name) {
        open.pop();
      } else {
        const found = open.lastIndexOf(name);
        if (found >= 0) open.length = found;
      }
    }
    this.compared += at;
    a.head += at;
    b.head += at;
    if (at < together) this.part();
    // A side that ended while the other makes a call more.
    else if ((a.ended && b.count) || (b.ended && a.count)) this.part();
    else for (const side of this.sides) if (side.head > 4096) side.drop();
  }

  /** Side `side` ends after `records` records. */
  end(side, records) {
    this.sides[side].ended = true;
    this.sides[side].records = records;
    this.settle();
  }

  /** How many of side `side`'s records wait for the other's. */
  waiting(side) {
    return this.sides[side].count;
  }

  // The sides part at the first record waiting on each (none: its records ended).
  part() {
    const made = this.sides.map((queue) => (queue.count
      ? { kind: queue.enters[queue.head] ? 'Enter' : 'Exit', name: queue.names[queue.head],
          record: queue.indexes[queue.head] + 1 }
      : null));
    this.parted = { path: [...this.open], made };
    this.sides = [new Waiting(), new Waiting()].map((queue, side) => Object.assign(queue, {
      ended: this.sides[side].ended, records: this.sides[side].records,
    }));
  }

  /**
   * Once both sides ended: null when their calls are the same throughout;
   * else { path (the names of the calls open in both, outermost first),
   * made: [new, old], each { kind, name, record (counted from 1) }, or
   * null for a side whose records ended there }, with `records` [new,
   * old] each side holds. `compared` says how many calls' records agreed.
   */
  result() {
    if (!this.parted) return null;
    return { ...this.parted, records: this.sides.map((queue) => queue.records), compared: this.compared };
  }
}

/** Percent of `change` against `before`: null when there was nothing before. */
export function percentOf(change, before) {
  return before ? (100 * change) / before : null;
}

// What a name may not hold in a line of collapsed stacks: the path's
// separator and the line's end.
const FOLDED_UNSAFE = /[;\r\n]/g;

/**
 * The call tree (path-tree.js's) as collapsed stacks, the lines that
 * flamegraph.pl, inferno and speedscope read: "a;b;c value", the value
 * each path's self time in microseconds, or with `calls` its calls; paths
 * of no value are left out. A ";" or a line end in a name becomes ":" or a
 * space. The lines come one at a time.
 */
export function* foldedLines(top, { calls = false } = {}) {
  const path = [];
  const below = (node) => node.below?.values() ?? [];
  for (const [node, depth] of depthFirst(below(top), below)) {
    path.length = depth;
    path.push(node.name.replace(FOLDED_UNSAFE, (unsafe) => (unsafe === ';' ? ':' : ' ')));
    const value = calls ? node.calls : Math.round(Math.max(0, node.self) * 1000);
    if (value > 0) yield `${path.join(';')} ${value}\n`;
  }
}
