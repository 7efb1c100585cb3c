// Two dumps held in tables (dump-tables.js's) compared, as the page's
// worker does when a base is chosen: both read again side by side through
// the report's reader, the functions and the merged tree of comparison.js,
// where the runs part; the tree flattened into columns, to hand over.

import { BOTH, GONE, NEW, PartingPlace, compareFunctions, mergeTrees } from './comparison.js';
import { DumpReport } from './dump-report.js';

// How many records of one side are read before the other's.
const STRIDE = 8192;

const STATUS_CODES = { [BOTH]: 0, [NEW]: 1, [GONE]: 2 };
export const STATUSES = [BOTH, NEW, GONE];

/**
 * The merged tree (mergeTrees') as columns in depth-first order, each
 * node's children by name, as flame graphs draw them: { count, names,
 * name (index into names), parent (-1 for a root), depth, status (index
 * into STATUSES), oldCalls, newCalls, oldTotal, newTotal }.
 */
export function flattenedTree(top) {
  const nodes = [];
  const work = [...top.children].sort(byName).reverse().map((node) => [node, -1, 0]);
  while (work.length) {
    const [node, parent, depth] = work.pop();
    const id = nodes.length;
    nodes.push([node, parent, depth]);
    const children = [...node.children].sort(byName);
    for (let i = children.length - 1; i >= 0; i--) work.push([children[i], id, depth + 1]);
  }
  const count = nodes.length;
  const names = [];
  const known = new Map();
  const flat = { count, names, name: new Uint32Array(count), parent: new Int32Array(count), depth: new Uint32Array(count),
                 status: new Uint8Array(count), oldCalls: new Float64Array(count), newCalls: new Float64Array(count),
                 oldTotal: new Float64Array(count), newTotal: new Float64Array(count) };
  nodes.forEach(([node, parent, depth], id) => {
    if (!known.has(node.name)) {
      known.set(node.name, names.length);
      names.push(node.name);
    }
    flat.name[id] = known.get(node.name);
    flat.parent[id] = parent;
    flat.depth[id] = depth;
    flat.status[id] = STATUS_CODES[node.status];
    flat.oldCalls[id] = node.old.calls;
    flat.newCalls[id] = node.new.calls;
    flat.oldTotal[id] = node.old.total;
    flat.newTotal[id] = node.new.total;
  });
  return flat;
}

function byName(a, b) {
  return a.name < b.name ? -1 : a.name > b.name ? 1 : 0;
}

// What the page says of each dump in the comparison's first line.
const sideOf = (analysis) => ({ records: analysis.records, span: analysis.span, total: analysis.total,
                                frames: analysis.frames && { count: analysis.frames.count, median: analysis.frames.median,
                                                             p95: analysis.frames.p95, longest: analysis.frames.longest } });

/**
 * `fresh` compared with `old` (DumpTables both, read whole): { new, old
 * (each { records, span, total, frames }), functions (compareFunctions'
 * rows), tree (flattenedTree's), parting (PartingPlace's result), compared }.
 */
export function compareTables(fresh, old) {
  const parting = new PartingPlace();
  const reports = [0, 1].map((side) => new DumpReport([], {
    traceLines: 0, onRecord: (name, kind, index) => parting.record(side, name, kind, index),
  }));
  const sides = [fresh, old];
  const longest = Math.max(fresh.records, old.records);
  for (let from = 0; from < longest; from += STRIDE) {
    sides.forEach((tables, side) => {
      const report = reports[side];
      tables.eachRecord(Math.min(from, tables.records), Math.min(from + STRIDE, tables.records),
                        (name, kind, time) => report.add(name, kind, time));
    });
    parting.settle();
  }
  const [a, b] = reports.map((report, side) => {
    const analysis = report.end();
    parting.end(side, analysis.records);
    return analysis;
  });
  return { new: sideOf(a), old: sideOf(b), functions: compareFunctions(a.stats, b.stats),
           tree: flattenedTree(mergeTrees(a.tree, b.tree)), parting: parting.result(), compared: parting.compared };
}
