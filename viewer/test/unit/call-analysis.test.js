// What ran in a stretch of a dump: its table, its call tree and the
// callers of a function, from the page's call table.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { DumpTables } from '../../src/dump-tables.js';
import { analyseRange, callOrder } from '../../src/call-analysis.js';

// main calls a, which calls f, which calls f; then main calls b, which
// calls f. Records 0 to 11. By hand: main lasts 20 ms, a 6 of them and b
// 4, so main's own are 10; the outer f under a lasts 4, the inner 2.
const DUMP = 'main Enter 0,a Enter 1,f Enter 2,f Enter 3,f Exit 5,f Exit 6,a Exit 7,' +
             'b Enter 8,f Enter 9,f Exit 11,b Exit 12,main Exit 20';

function analysed(range) {
  const tables = new DumpTables();
  tables.push(DUMP);
  const { calls, names } = tables.end();
  return analyseRange(calls, names, callOrder(calls), range);
}

// A tree as lines: "depth name calls total self".
const lines = (nodes, depth = 0) => nodes.flatMap((node) =>
  [`${depth} ${node.name} ${node.calls} ${node.total} ${node.self}`, ...lines(node.children, depth + 1)]);

test('the whole dump: a call tree by path, totals that count recursion once, callers', () => {
  const whole = analysed();
  assert.equal(whole.calls, 6);
  assert.deepEqual(lines(whole.tree), [
    '0 main 1 20 10', '1 a 1 6 2', '2 f 1 4 2', '3 f 1 2 2', '1 b 1 4 2', '2 f 1 2 2']);
  assert.deepEqual(whole.stats.map((row) => `${row.name} ${row.calls} ${row.total} ${row.self}`),
    ['main 1 20 10', 'a 1 6 2', 'f 3 6 6', 'b 1 4 2']);
  assert.deepEqual(whole.callers('f').map((row) => `${row.name} ${row.calls} ${row.total}`),
    ['a 1 4', 'b 1 2', 'f 1 2']);
  assert.deepEqual(whole.callers('main').map((row) => row.name), ['(top)']);
});

test('a range holds the calls that begin in it; those that hold them are left out', () => {
  // Records 3 to 9: the inner f, b and the f it calls.
  const range = analysed({ axis: 'sequence', from: 3, to: 10 });
  assert.equal(range.calls, 3);
  assert.deepEqual(lines(range.tree), ['0 b 1 4 2', '1 f 1 2 2', '0 f 1 2 2']);
  assert.deepEqual(range.stats.map((row) => `${row.name} ${row.calls} ${row.total}`), ['b 1 4', 'f 2 4']);
  // Its callers are its callers still, in the range or before it.
  assert.deepEqual(range.callers('f').map((row) => row.name), ['b', 'f']);
  // By time: the calls that begin from 8 ms up to 12 ms.
  const byTime = analysed({ axis: 'time', from: 8, to: 12 });
  assert.deepEqual(lines(byTime.tree), ['0 b 1 4 2', '1 f 1 2 2']);
});
