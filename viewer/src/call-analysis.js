// What ran in a stretch of a dump, from the page's call table
// (dump-tables.js): the table of functions, the call tree top-down with
// total and self time for each path, and who called a function. A
// function's total counts its outermost calls only, as everywhere.

import { CALL_FLAGS } from './dump-tables.js';

const longestFirst = (rows) => rows.sort((a, b) => b.total - a.total || a.name.localeCompare(b.name));

// A path of the call tree. Its children, the longest first, are sorted
// when first asked for: a tree of many paths is mostly never shown, and
// most paths end where they are.
class TreeNode {
  constructor(name) {
    this.name = name;
    this.calls = 0;
    this.total = 0;
    this.self = 0;
    this.below = null;
  }

  get children() {
    this.sorted ??= this.below ? longestFirst([...this.below.values()]) : [];
    return this.sorted;
  }
}

/**
 * The calls in the order they begin: those whose enter was not recorded
 * first, each before the one it holds, then the others as numbered (a call
 * is numbered when it enters).
 */
export function callOrder(calls) {
  const order = new Int32Array(calls.count);
  let at = 0;
  for (let id = calls.count - 1; id >= 0; id--) {
    if (calls.flags[id] & CALL_FLAGS.ENTER_MISSING) order[at++] = id;
  }
  for (let id = 0; id < calls.count; id++) {
    if (!(calls.flags[id] & CALL_FLAGS.ENTER_MISSING)) order[at++] = id;
  }
  return order;
}

// Visits the calls in `order` (callOrder's) as they open, each with the
// call that holds it (-1 for none): visit(id, caller); and each as it
// closes, before the next opens: visit(-1, -1, closed).
function walkCalls(calls, order, visit) {
  const { first, last } = calls;
  const open = [];
  for (let i = 0; i < order.length; i++) {
    const id = order[i];
    while (open.length && last[open[open.length - 1]] < first[id]) visit(-1, -1, open.pop());
    visit(id, open.length ? open[open.length - 1] : -1);
    open.push(id);
  }
}

/**
 * The calls that begin in [from, to) on `axis` ('sequence': record
 * indexes; 'time': ms after calls.origin), every call when `from` is null:
 * { calls, stats (rows as FunctionStats makes them, the longest total
 * first), tree (nodes { name, calls, total, self, children }, the longest
 * first), callers(name) }. `order` is callOrder(calls).
 */
export function analyseRange(calls, names, order, { axis = 'sequence', from = null, to = null } = {}) {
  const begin = axis === 'time' ? calls.start : calls.first;
  const { name, duration, self } = calls;
  const inRange = (id) => from === null || (begin[id] >= from && begin[id] < to);
  // The calls open where the walk stands, and their nodes in the tree (null
  // for calls before the range).
  const openNodes = [];
  // Per name, how many of its calls in the range are open: a call inside
  // one of its own name adds nothing to the total.
  const openOfName = new Int32Array(names.length);
  const roots = new Map();
  // Per name, its row of the table.
  const byName = new Array(names.length);
  let count = 0;
  walkCalls(calls, order, (id, caller, closed) => {
    if (closed !== undefined) {
      if (openNodes.pop()) openOfName[name[closed]] -= 1;
      return;
    }
    let node = null;
    if (inRange(id)) {
      count += 1;
      const holder = openNodes.length ? openNodes[openNodes.length - 1] : null;
      const siblings = holder ? (holder.below ??= new Map()) : roots;
      node = siblings.get(name[id]);
      if (!node) {
        node = new TreeNode(names[name[id]]);
        siblings.set(name[id], node);
      }
      node.calls += 1;
      node.total += duration[id];
      node.self += self[id];
      let row = byName[name[id]];
      if (!row) {
        row = { name: names[name[id]], calls: 0, total: 0, self: 0, max: 0 };
        byName[name[id]] = row;
      }
      row.calls += 1;
      if (openOfName[name[id]] === 0) row.total += duration[id];
      row.self += self[id];
      if (duration[id] > row.max) row.max = duration[id];
      openOfName[name[id]] += 1;
    }
    openNodes.push(node);
  });
  // The callers of each function asked for: each costs a walk of all calls.
  const callersOf = new Map();
  return {
    calls: count,
    stats: longestFirst(byName.filter(Boolean)),
    tree: longestFirst([...roots.values()]),
    /** Who called the function `wanted` in the range: { name, calls, total }, the longest first; '(top)' for none. */
    callers(wanted) {
      if (callersOf.has(wanted)) return callersOf.get(wanted);
      const by = new Map();
      walkCalls(calls, order, (id, caller, closed) => {
        if (closed !== undefined || names[name[id]] !== wanted || !inRange(id)) return;
        const who = caller >= 0 ? names[name[caller]] : '(top)';
        const row = by.get(who) ?? { name: who, calls: 0, total: 0 };
        row.calls += 1;
        row.total += duration[id];
        by.set(who, row);
      });
      callersOf.set(wanted, longestFirst([...by.values()]));
      return callersOf.get(wanted);
    },
  };
}
