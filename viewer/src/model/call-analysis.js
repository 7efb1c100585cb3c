// What ran in a stretch of a dump, from the page's call table
// (dump-tables.js): the table of functions, and the call tree three ways:
// top-down (each path from the top with its calls, total and self time),
// bottom-up (each function with the paths that led to its own time) and
// around one function (its callers above it, its callees below). A
// function's total counts its outermost calls only, as everywhere.

import { CALL_FLAGS } from './dump-tables.js';
import { FunctionTable } from './function-table.js';
import { pathTree } from './path-tree.js';

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

// Visits the calls in `order` (callOrder's) as they open, `open` the ids
// of the calls that hold it, outermost first: visit(id, open); and each as
// it closes, before the next opens: close(id).
function walkCalls(calls, order, visit, close = () => {}) {
  const { first, last } = calls;
  const open = [];
  for (let i = 0; i < order.length; i++) {
    const id = order[i];
    while (open.length && last[open[open.length - 1]] < first[id]) close(open.pop());
    visit(id, open);
    open.push(id);
  }
  while (open.length) close(open.pop());
}

/**
 * The calls that begin in [from, to) on `axis` ('sequence': record
 * indexes; 'time': ms after calls.origin), every call when `from` is null.
 * `order` is callOrder(calls). Returns, each made when first asked for, as
 * a tree of a long dump takes much memory and a walk of it time: calls
 * (how many), stats (rows of the table of functions, the longest total
 * first), tree (the top of the top-down tree: path-tree.js's PathNode),
 * bottomUp(), around(name) and callsOn(path). In the top-down trees a call whose caller
 * began before the stretch is at the top; read upwards, a call's callers
 * are its callers still, in the stretch or before it.
 */
export function analyseRange(calls, names, order, { axis = 'sequence', from = null, to = null } = {}) {
  const begin = axis === 'time' ? calls.start : calls.first;
  const { name, duration, self } = calls;
  const inRange = (id) => from === null || (begin[id] >= from && begin[id] < to);
  // The walk over the calls of the stretch: visit(id, held, open), `held`
  // the calls of the stretch that hold it and `open` all that do, in the
  // stretch or before it, outermost first; leave(id) as each closes.
  const walk = (visit, leave = () => {}) => {
    const held = [];
    walkCalls(calls, order, (id, open) => {
      if (!inRange(id)) return;
      visit(id, held, open);
      held.push(id);
    }, (id) => {
      if (held.length && held[held.length - 1] === id) leave(held.pop());
    });
  };
  let counted = null;
  let tree = null;
  let bottomUp = null;
  // The functions seen around last: a few, as each costs a tree of its calls.
  const around = new Map();
  return {
    /** How many calls begin in the stretch. */
    get calls() {
      counted ??= functionTable(walk, name, names, duration, self);
      return counted.count;
    },
    /** The rows of the table of functions, the longest total first. */
    get stats() {
      counted ??= functionTable(walk, name, names, duration, self);
      return counted.stats;
    },
    /** The top of the top-down tree (path-tree.js's PathNode), made when first asked for. */
    get tree() {
      tree ??= topDown(walk, name, names, duration, self);
      return tree;
    },
    /**
     * The bottom-up tree: at the top each function, with its own time;
     * below it the callers through which that time was spent, each path
     * upwards with the time of the function at its top.
     */
    bottomUp() {
      bottomUp ??= invertedTree(walk, name, names, (id) => self[id]);
      return bottomUp;
    },
    /**
     * The function `wanted` between its callers and its callees: callers,
     * the paths up from its outermost calls with their time; callees, its
     * calls merged as the top of a top-down tree of what they called.
     */
    around(wanted) {
      const made = around.get(wanted) ?? sandwich(walk, name, names, duration, self, wanted);
      around.delete(wanted);
      around.set(wanted, made);
      if (around.size > AROUND_KEPT) around.delete(around.keys().next().value);
      return made;
    },
    /**
     * The calls of the stretch on a path of one of its trees, as a mask
     * with an entry per call, 1 for each: `kind` 'top-down', the calls
     * whose path from the top is `path` (names); 'bottom-up', the calls of
     * path[0] whose callers, read upwards, are the rest; 'callees', the
     * calls whose path from an outermost call of path[0] is `path`.
     */
    callsOn({ kind, names: path }) {
      const mask = new Uint8Array(calls.count);
      const keys = path.map((wanted) => names.indexOf(wanted));
      if (keys.length === 0 || keys.includes(-1)) return mask;
      const last = keys[keys.length - 1];
      walk((id, held, open) => {
        if (kind === 'bottom-up') {
          if (name[id] !== keys[0] || open.length < keys.length - 1) return;
          for (let i = 1; i < keys.length; i++) if (name[open[open.length - i]] !== keys[i]) return;
          mask[id] = 1;
          return;
        }
        if (name[id] !== last) return;
        let from = 0;
        if (kind === 'callees') {
          from = held.findIndex((holder) => name[holder] === keys[0]);
          if (from < 0) from = held.length;
        }
        if (held.length - from !== keys.length - 1) return;
        for (let i = 0; i < keys.length - 1; i++) if (name[held[from + i]] !== keys[i]) return;
        mask[id] = 1;
      });
      return mask;
    },
  };
}

// The table of functions of the calls walked, and how many there are.
function functionTable(walk, name, names, duration, self) {
  // Per name, how many of its calls are open: a call inside one of its
  // own name adds nothing to its total.
  const openOfName = new Int32Array(names.length);
  const table = new FunctionTable();
  let count = 0;
  walk((id) => {
    count += 1;
    table.add(name[id], names[name[id]], duration[id], self[id], openOfName[name[id]] === 0);
    openOfName[name[id]] += 1;
  }, (id) => { openOfName[name[id]] -= 1; });
  return { count, stats: table.rows() };
}

// How many functions' sandwiches a stretch keeps.
const AROUND_KEPT = 4;

// Each call under its path from the top of the stretch.
function topDown(walk, name, names, duration, self) {
  const top = pathTree();
  const nodes = [];
  walk((id, held) => {
    const node = (held.length ? nodes[held.length - 1] : top).child(name[id], names[name[id]]);
    nodes[held.length] = node;
    node.add(duration[id], self[id]);
  });
  return top;
}

// Each call's path read upwards from it, `time(id)` of it spent along it.
function invertedTree(walk, name, names, time, only = () => true) {
  const top = pathTree();
  walk((id, held, open) => {
    if (!only(id, held)) return;
    const spent = time(id);
    let node = top.child(name[id], names[name[id]]);
    node.add(spent, spent);
    for (let i = open.length - 1; i >= 0; i--) {
      node = node.child(name[open[i]], names[name[open[i]]]);
      node.add(spent, spent);
    }
  });
  return top;
}

// One walk: each outermost call of `wanted`, read upwards through all that
// hold it, and the calls under it, by their path from it.
function sandwich(walk, name, names, duration, self, wanted) {
  const key = names.indexOf(wanted);
  const callers = pathTree();
  const callees = pathTree();
  // The callees' nodes by depth below the outermost call open, its depth
  // among the calls of the stretch, and how many calls of it are open.
  const nodes = [];
  let base = 0;
  let open = 0;
  walk((id, held, all) => {
    if (name[id] === key && open === 0) {
      const spent = duration[id];
      let node = callers.child(key, wanted);
      node.add(spent, spent);
      for (let i = all.length - 1; i >= 0; i--) {
        node = node.child(name[all[i]], names[name[all[i]]]);
        node.add(spent, spent);
      }
      base = held.length;
      nodes[0] = callees.child(key, wanted);
      nodes[0].add(spent, self[id]);
    } else if (open > 0) {
      const depth = held.length - base;
      const node = nodes[depth - 1].child(name[id], names[name[id]]);
      nodes[depth] = node;
      node.add(duration[id], self[id]);
    }
    if (name[id] === key) open += 1;
  }, (id) => {
    if (name[id] === key) open -= 1;
  });
  return { callers, callees };
}
