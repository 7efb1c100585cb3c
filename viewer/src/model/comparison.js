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
    const keys = new Set([...(fresh?.below?.keys() ?? []), ...(old?.below?.keys() ?? [])]);
    for (const key of keys) {
      const a = fresh?.below?.get(key) ?? null;
      const b = old?.below?.get(key) ?? null;
      const node = { name: (a ?? b).name, status: statusOf(a, b), old: figures(b), new: figures(a), children: [] };
      node.change = changeOf(node.new, node.old);
      merged.children.push(node);
      work.push([node, a, b]);
    }
    merged.children.sort(byChange);
  }
  return top;
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

/**
 * Finds the first place where the calls of two dumps part, read side by
 * side as they come: side 0 the new dump, side 1 the old. Each side's
 * enter and exit records are compared in order, by kind and name; frame
 * marks and printed lines are not calls. Records wait only while the other
 * side has not come as far, so that two dumps read together are compared
 * without being held.
 */
export class PartingPlace {
  constructor() {
    // The records of the side ahead wait here for the other's.
    this.sides = [0, 1].map(() => ({ names: [], kinds: [], indexes: [], head: 0, ended: false, records: 0 }));
    // The calls open in both, by name: the same on both sides until they part.
    this.open = [];
    this.compared = 0;
    this.parted = null;
  }

  /** Record `index` of side `side`: `kind` 'Enter', 'Exit', 'Frame' or 'Trace'. */
  record(side, name, kind, index) {
    if (this.parted || (kind !== 'Enter' && kind !== 'Exit')) return;
    const other = this.sides[1 - side];
    if (other.head === other.names.length) {
      // This side is ahead; or the other ended, and this one makes a call more.
      if (other.ended) this.part(side, { kind, name, record: index + 1 });
      else this.wait(this.sides[side], name, kind, index);
      return;
    }
    if (other.names[other.head] !== name || other.kinds[other.head] !== kind) {
      this.part(side, { kind, name, record: index + 1 });
      return;
    }
    this.agree(name, kind);
    if (++other.head === other.names.length) {
      other.names.length = 0;
      other.kinds.length = 0;
      other.indexes.length = 0;
      other.head = 0;
    }
  }

  wait(queue, name, kind, index) {
    queue.names.push(name);
    queue.kinds.push(kind);
    queue.indexes.push(index);
  }

  // Both sides made this record.
  agree(name, kind) {
    const { open } = this;
    if (kind === 'Enter') {
      open.push(name);
    } else if (open[open.length - 1] === name) {
      open.pop();
    } else {
      const at = open.lastIndexOf(name);
      if (at >= 0) open.length = at;
    }
    this.compared += 1;
  }

  /** Side `side` ends after `records` records. */
  end(side, records) {
    const queue = this.sides[side];
    queue.ended = true;
    queue.records = records;
    const other = this.sides[1 - side];
    // The other made a call more than this side did.
    if (!this.parted && other.head < other.names.length) this.part(side, null);
  }

  /** How many of side `side`'s records wait for the other's. */
  waiting(side) {
    const queue = this.sides[side];
    return queue.names.length - queue.head;
  }

  // The sides part: `side` made `call` (null: its records ended), the
  // other what waits first on its side.
  part(side, call) {
    const other = this.sides[1 - side];
    const theirs = other.head < other.names.length
      ? { kind: other.kinds[other.head], name: other.names[other.head], record: other.indexes[other.head] + 1 } : null;
    const made = side === 0 ? [call, theirs] : [theirs, call];
    this.parted = { path: [...this.open], made };
    for (const queue of this.sides) Object.assign(queue, { names: [], kinds: [], indexes: [], head: 0 });
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
