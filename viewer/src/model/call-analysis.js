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
 * `order` is callOrder(calls). Returns { calls (how many), stats (rows of
 * the table of functions, the longest total first), tree (the top of the
 * top-down tree: path-tree.js's PathNode) } and, made when asked for,
 * bottomUp() and around(name). In the top-down trees a call whose caller
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
  // Per name, how many of its calls are open: a call inside one of its
  // own name adds nothing to its total.
  const openOfName = new Int32Array(names.length);
  const table = new FunctionTable();
  const tree = pathTree();
  const nodes = [];
  let count = 0;
  walk((id, held) => {
    count += 1;
    const node = (held.length ? nodes[held.length - 1] : tree).child(name[id], names[name[id]]);
    nodes[held.length] = node;
    node.add(duration[id], self[id]);
    table.add(name[id], names[name[id]], duration[id], self[id], openOfName[name[id]] === 0);
    openOfName[name[id]] += 1;
  }, (id) => { openOfName[name[id]] -= 1; });
  let bottomUp = null;
  const around = new Map();
  return {
    calls: count,
    stats: table.rows(),
    tree,
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
      if (!around.has(wanted)) around.set(wanted, sandwich(walk, name, names, duration, self, wanted));
      return around.get(wanted);
    },
  };
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

function sandwich(walk, name, names, duration, self, wanted) {
  const key = names.indexOf(wanted);
  const outermost = (id, held) => name[id] === key && !held.some((holder) => name[holder] === key);
  const callers = invertedTree(walk, name, names, (id) => duration[id], outermost);
  // Callees: each call inside an outermost call of the function, under its path from it.
  const callees = pathTree();
  const nodes = [];
  walk((id, held) => {
    let from = -1;
    for (let i = 0; i < held.length; i++) {
      if (name[held[i]] === key) {
        from = i;
        break;
      }
    }
    if (from < 0 && name[id] !== key) return;
    const depth = from < 0 ? 0 : held.length - from;
    const node = (depth === 0 ? callees : nodes[depth - 1]).child(name[id], names[name[id]]);
    nodes[depth] = node;
    node.add(duration[id], self[id]);
  });
  return { callers, callees };
}
