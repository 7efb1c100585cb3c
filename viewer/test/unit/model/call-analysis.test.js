// What ran in a stretch of a dump: its table, its call tree top-down,
// bottom-up and around a function, from the page's call table.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { DumpTables } from '../../../src/model/dump-tables.js';
import { analyseRange, callOrder } from '../../../src/model/call-analysis.js';

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

// A tree (its top, or its nodes) as lines: "depth name calls total self".
const lines = (tree, depth = 0) => (Array.isArray(tree) ? tree : tree.children).flatMap((node) =>
  [`${depth} ${node.name} ${node.calls} ${node.total} ${node.self}`, ...lines(node.children, depth + 1)]);
// The same with the time alone, for trees read upwards.
const timed = (tree) => lines(tree).map((line) => line.split(' ').slice(0, 4).join(' '));

test('the whole dump: a call tree by path, totals that count recursion once, callers', () => {
  const whole = analysed();
  assert.equal(whole.calls, 6);
  assert.deepEqual(lines(whole.tree), [
    '0 main 1 20 10', '1 a 1 6 2', '2 f 1 4 2', '3 f 1 2 2', '1 b 1 4 2', '2 f 1 2 2']);
  assert.deepEqual(whole.stats.map((row) => `${row.name} ${row.calls} ${row.total} ${row.self}`),
    ['main 1 20 10', 'a 1 6 2', 'f 3 6 6', 'b 1 4 2']);
  // Around f: its outermost calls, under a for 4 ms and under b for 2; what they call.
  const f = whole.around('f');
  assert.deepEqual(timed(f.callers), ['0 f 2 6', '1 a 1 4', '2 main 1 4', '1 b 1 2', '2 main 1 2']);
  assert.deepEqual(lines(f.callees), ['0 f 2 6 4', '1 f 1 2 2']);
  assert.deepEqual(timed(whole.around('main').callers), ['0 main 1 20']);
});

test('bottom-up and around a function, worked out by hand', () => {
  // main calls a, which calls b (2 ms); then main calls b (3 ms): main's
  // own time is 3 ms, a's 2, b's 5.
  const tables = new DumpTables();
  tables.push('main Enter 0,a Enter 1,b Enter 2,b Exit 4,a Exit 5,b Enter 6,b Exit 9,main Exit 10');
  const { calls, names } = tables.end();
  const whole = analyseRange(calls, names, callOrder(calls));
  // Each function's own time, and through which callers it was spent.
  assert.deepEqual(timed(whole.bottomUp()), [
    '0 b 2 5', '1 main 1 3', '1 a 1 2', '2 main 1 2', '0 main 1 3', '0 a 1 2', '1 main 1 2']);
  const b = whole.around('b');
  assert.deepEqual(timed(b.callers), ['0 b 2 5', '1 main 1 3', '1 a 1 2', '2 main 1 2']);
  assert.deepEqual(lines(b.callees), ['0 b 2 5 5']);
  const a = whole.around('a');
  assert.deepEqual(timed(a.callers), ['0 a 1 4', '1 main 1 4']);
  assert.deepEqual(lines(a.callees), ['0 a 1 4 2', '1 b 1 2 2']);
  // A path of each tree selects its calls.
  const on = (path) => [...whole.callsOn(path)].flatMap((lit, id) => (lit ? [calls.first[id]] : []));
  assert.deepEqual(on({ kind: 'top-down', names: ['main', 'a', 'b'] }), [2]);
  assert.deepEqual(on({ kind: 'top-down', names: ['main', 'b'] }), [5]);
  assert.deepEqual(on({ kind: 'bottom-up', names: ['b', 'a', 'main'] }), [2]);
  assert.deepEqual(on({ kind: 'bottom-up', names: ['b'] }), [2, 5]);
  assert.deepEqual(on({ kind: 'callees', names: ['a', 'b'] }), [2]);
  assert.deepEqual(on({ kind: 'callees', names: ['b'] }), [2, 5]);
  // A stretch of records 5 to 9: the second call of b, read up to main,
  // which began before it.
  assert.deepEqual(timed(analyseRange(calls, names, callOrder(calls), { from: 5, to: 10 }).bottomUp()),
    ['0 b 1 3', '1 main 1 3']);
});

test('a range holds the calls that begin in it; those that hold them are left out', () => {
  // Records 3 to 9: the inner f, b and the f it calls.
  const range = analysed({ axis: 'sequence', from: 3, to: 10 });
  assert.equal(range.calls, 3);
  assert.deepEqual(lines(range.tree), ['0 b 1 4 2', '1 f 1 2 2', '0 f 1 2 2']);
  assert.deepEqual(range.stats.map((row) => `${row.name} ${row.calls} ${row.total}`), ['b 1 4', 'f 2 4']);
  // Its callers are its callers still, in the range or before it.
  assert.deepEqual(timed(range.around('f').callers),
    ['0 f 2 4', '1 b 1 2', '2 main 1 2', '1 f 1 2', '2 a 1 2', '3 main 1 2']);
  // By time: the calls that begin from 8 ms up to 12 ms.
  const byTime = analysed({ axis: 'time', from: 8, to: 12 });
  assert.deepEqual(lines(byTime.tree), ['0 b 1 4 2', '1 f 1 2 2']);
});
