// A dump read into the flat tables the page draws from: calls by depth,
// the clock held when it steps back, records a page at a time.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { analyseText, recordsText, CALL_FLAGS } from '../../src/dump-model.js';

// The calls of `model` as "depth name from-to", row by row, from the top.
function rows(model) {
  const { calls, names } = model;
  const lines = [];
  for (let depth = 0; depth < calls.depthCount; depth++) {
    for (const id of calls.rowOrder.subarray(calls.rowStarts[depth], calls.rowStarts[depth + 1])) {
      lines.push(`${depth} ${names[calls.name[id]]} ${calls.first[id]}-${calls.last[id]}`);
    }
  }
  return lines;
}

test('calls by depth, in the order they begin, with what was not recorded', () => {
  // b and c inside a; then `outer` exits without an enter, so it holds a;
  // d never exits.
  const text = 'a Enter 1,b Enter 2,b Exit 3,c Enter 3,c Exit 4,a Exit 5,outer Exit 6,d Enter 7,e Enter 8,e Exit 9';
  const model = analyseText(text);
  assert.equal(model.records, 10);
  assert.deepEqual(rows(model), ['0 outer 0-6', '0 d 7-9', '1 a 0-5', '1 e 8-9', '2 b 1-2', '2 c 3-4']);
  const { calls, names } = model;
  const id = (name) => calls.name.indexOf(names.indexOf(name));
  assert.equal(calls.flags[id('outer')], CALL_FLAGS.ENTER_MISSING);
  assert.equal(calls.flags[id('d')], CALL_FLAGS.EXIT_MISSING);
  assert.equal(calls.flags[id('a')], 0);
  // outer spans from the first record; its own time is what a leaves.
  assert.deepEqual([calls.start[id('outer')], calls.end[id('outer')], calls.self[id('outer')]], [1, 6, 1]);
  assert.deepEqual(model.stats.map((row) => `${row.name} ${row.calls} ${row.total} ${row.self}`),
    ['outer 1 5 1', 'a 1 4 2', 'd 1 2 1', 'b 1 1 1', 'c 1 1 1', 'e 1 1 1']);
  assert.deepEqual(model.anomalies.map((a) => a.text),
    ['outer exits without an enter: it began before the records', 'd has not exited by the end of the records']);
});

test('a clock that steps back is held for the chart, not for the times shown', () => {
  const model = analyseText('a Enter 10,a Exit 12,b Enter 7,b Exit 9,c Enter 13,c Exit 13');
  const { calls } = model;
  // The chart draws b where the clock stood, so that calls never overlap;
  // its length is what its records say.
  assert.deepEqual([...calls.start], [10, 12, 13]);
  assert.deepEqual([...calls.end], [12, 12, 13]);
  assert.deepEqual([...calls.duration], [2, 2, 0]);
});

test('the records a page at a time, as they stand in the text', () => {
  const text = Array.from({ length: 250 }, (_, i) => `f${i}, with a comma Enter ${i}`).join(',');
  const model = analyseText(text);
  const page = recordsText(text, model, 200, 100);
  assert.equal(page.length, 50);
  assert.equal(page[0], 'f200, with a comma Enter 200');
  assert.equal(page.at(-1), 'f249, with a comma Enter 249');
  assert.deepEqual(recordsText(text, model, 250, 100), []);
});
